#pragma once

#include <string>
#include <string_view>

// Minimal JSON text writing for the demo service's answers.
class QVDemoJson
{
public:
    // A JSON string literal. Control characters, quotes and the characters that
    // could close an HTML script block are escaped; invalid UTF-8 becomes U+FFFD.
    static std::string quote(std::string_view text);
    static std::string boolean(bool value) { return value ? "true" : "false"; }
    // {"error": message}
    static std::string error(std::string_view message);
    // Length of the valid UTF-8 sequence at `text[i]` (1 for ASCII), or 0.
    static size_t utf8SequenceLength(std::string_view text, size_t i);
};
