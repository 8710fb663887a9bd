#pragma once

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <string>
#include <string_view>

// JSON for the demo service, on nlohmann-json: the bodies clients post, read
// strictly (RFC 8259, UTF-8 only) and bounded so a hostile body costs little
// and is refused with a message saying why; and the answers, written by the
// library.
class QVDemoJson
{
public:
    struct Limits {
        size_t maxDepth = 16;
        size_t maxElements = 100000; // array elements and object members, all levels
    };

    // The value, or nothing with `error` saying what is wrong and where.
    static std::optional<nlohmann::json> parse(std::string_view text, std::string& error, Limits limits);
    // Answer text. Text that is not UTF-8 throws: it would be our fault, and
    // the server answers 500.
    static std::string dump(const nlohmann::json& value);
    static bool isValidUtf8(std::string_view text);
};
