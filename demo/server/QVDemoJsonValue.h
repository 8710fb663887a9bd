#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A parsed JSON value, for reading the bodies clients post. Parsing is strict
// (RFC 8259, UTF-8 only) and bounded in nesting depth and element count, so a
// hostile body costs little and is refused with a message saying why.
class QVDemoJsonValue
{
public:
    enum class Type { Null, Boolean, Number, String, Array, Object };

    struct Limits {
        size_t maxDepth = 16;
        size_t maxElements = 100000; // array elements and object members, all levels
    };

    // The value, or nothing with `error` saying what is wrong and where.
    static std::optional<QVDemoJsonValue> parse(std::string_view text, std::string& error, Limits limits);
    static std::optional<QVDemoJsonValue> parse(std::string_view text, std::string& error)
    {
        return parse(text, error, Limits());
    }
    static bool isValidUtf8(std::string_view text);

    Type type() const { return _type; }
    bool isObject() const { return _type == Type::Object; }
    bool isArray() const { return _type == Type::Array; }
    bool isString() const { return _type == Type::String; }
    bool isNumber() const { return _type == Type::Number; }

    bool boolean() const { return _boolean; }
    double number() const { return _number; }
    const std::string& string() const { return _string; }
    // Array elements, or object member values (paired with keys()).
    const std::vector<QVDemoJsonValue>& values() const { return _values; }
    const std::vector<std::string>& keys() const { return _keys; }
    // The last member of that name, or null.
    const QVDemoJsonValue* member(std::string_view key) const;

private:
    class Parser;

    Type _type = Type::Null;
    bool _boolean = false;
    double _number = 0;
    std::string _string;
    std::vector<std::string> _keys;
    std::vector<QVDemoJsonValue> _values;
};
