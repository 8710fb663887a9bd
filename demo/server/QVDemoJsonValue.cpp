#include "QVDemoJsonValue.h"

#include "QVDemoJson.h"

#include <charconv>

namespace {

void appendUtf8(std::string& out, unsigned int code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

} // namespace

class QVDemoJsonValue::Parser
{
public:
    Parser(std::string_view text, Limits limits)
        : _text(text)
        , _limits(limits)
    {
    }

    std::optional<QVDemoJsonValue> parseDocument(std::string& error)
    {
        QVDemoJsonValue value;
        _skipSpace();
        if (_parseValue(value, 1)) {
            _skipSpace();
            if (_pos != _text.size())
                _fail("unexpected text after the value");
        }
        if (!_error.empty()) {
            error = "at byte " + std::to_string(_pos) + ": " + _error;
            return std::nullopt;
        }
        return value;
    }

private:
    bool _fail(const char* message)
    {
        if (_error.empty())
            _error = message;
        return false;
    }

    void _skipSpace()
    {
        while (_pos < _text.size()
            && (_text[_pos] == ' ' || _text[_pos] == '\t' || _text[_pos] == '\n' || _text[_pos] == '\r'))
            ++_pos;
    }

    bool _literal(std::string_view word)
    {
        if (_text.substr(_pos, word.size()) != word)
            return _fail("unknown literal");
        _pos += word.size();
        return true;
    }

    bool _countElement()
    {
        if (++_elements > _limits.maxElements)
            return _fail("too many elements");
        return true;
    }

    bool _parseValue(QVDemoJsonValue& value, size_t depth)
    {
        if (_pos >= _text.size())
            return _fail("unexpected end of text");
        switch (_text[_pos]) {
        case '{':
            return _parseObject(value, depth);
        case '[':
            return _parseArray(value, depth);
        case '"':
            value._type = Type::String;
            return _parseString(value._string);
        case 't':
            value._type = Type::Boolean;
            value._boolean = true;
            return _literal("true");
        case 'f':
            value._type = Type::Boolean;
            return _literal("false");
        case 'n':
            return _literal("null");
        default:
            return _parseNumber(value);
        }
    }

    bool _parseObject(QVDemoJsonValue& value, size_t depth)
    {
        if (depth > _limits.maxDepth)
            return _fail("nested too deeply");
        value._type = Type::Object;
        ++_pos;
        _skipSpace();
        if (_pos < _text.size() && _text[_pos] == '}') {
            ++_pos;
            return true;
        }
        while (true) {
            if (!_countElement())
                return false;
            _skipSpace();
            if (_pos >= _text.size() || _text[_pos] != '"')
                return _fail("expected a member name");
            std::string key;
            if (!_parseString(key))
                return false;
            _skipSpace();
            if (_pos >= _text.size() || _text[_pos] != ':')
                return _fail("expected ':'");
            ++_pos;
            _skipSpace();
            QVDemoJsonValue member;
            if (!_parseValue(member, depth + 1))
                return false;
            value._keys.push_back(std::move(key));
            value._values.push_back(std::move(member));
            _skipSpace();
            if (_pos < _text.size() && _text[_pos] == ',') {
                ++_pos;
                continue;
            }
            if (_pos < _text.size() && _text[_pos] == '}') {
                ++_pos;
                return true;
            }
            return _fail("expected ',' or '}'");
        }
    }

    bool _parseArray(QVDemoJsonValue& value, size_t depth)
    {
        if (depth > _limits.maxDepth)
            return _fail("nested too deeply");
        value._type = Type::Array;
        ++_pos;
        _skipSpace();
        if (_pos < _text.size() && _text[_pos] == ']') {
            ++_pos;
            return true;
        }
        while (true) {
            if (!_countElement())
                return false;
            _skipSpace();
            QVDemoJsonValue element;
            if (!_parseValue(element, depth + 1))
                return false;
            value._values.push_back(std::move(element));
            _skipSpace();
            if (_pos < _text.size() && _text[_pos] == ',') {
                ++_pos;
                continue;
            }
            if (_pos < _text.size() && _text[_pos] == ']') {
                ++_pos;
                return true;
            }
            return _fail("expected ',' or ']'");
        }
    }

    bool _hex4(unsigned int& code)
    {
        if (_pos + 4 > _text.size())
            return _fail("short \\u escape");
        code = 0;
        for (size_t k = 0; k < 4; ++k) {
            const char c = _text[_pos + k];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned int>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned int>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned int>(c - 'A' + 10);
            else
                return _fail("bad \\u escape");
        }
        _pos += 4;
        return true;
    }

    bool _parseString(std::string& out)
    {
        ++_pos; // the opening quote
        while (_pos < _text.size()) {
            const unsigned char c = static_cast<unsigned char>(_text[_pos]);
            if (c == '"') {
                ++_pos;
                return true;
            }
            if (c < 0x20)
                return _fail("control character in a string");
            if (c >= 0x80) {
                const size_t length = QVDemoJson::utf8SequenceLength(_text, _pos);
                if (length == 0)
                    return _fail("invalid UTF-8");
                out.append(_text.substr(_pos, length));
                _pos += length;
                continue;
            }
            ++_pos;
            if (c != '\\') {
                out += static_cast<char>(c);
                continue;
            }
            if (_pos >= _text.size())
                break;
            const char escape = _text[_pos++];
            switch (escape) {
            case '"':
            case '\\':
            case '/':
                out += escape;
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned int code = 0;
                if (!_hex4(code))
                    return false;
                if (code >= 0xDC00 && code <= 0xDFFF)
                    return _fail("lone low surrogate");
                if (code >= 0xD800 && code <= 0xDBFF) {
                    unsigned int low = 0;
                    if (_text.substr(_pos, 2) != "\\u")
                        return _fail("lone high surrogate");
                    _pos += 2;
                    if (!_hex4(low))
                        return false;
                    if (low < 0xDC00 || low > 0xDFFF)
                        return _fail("lone high surrogate");
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                appendUtf8(out, code);
                break;
            }
            default:
                return _fail("unknown escape");
            }
        }
        return _fail("unterminated string");
    }

    bool _parseNumber(QVDemoJsonValue& value)
    {
        // The JSON grammar first: from_chars alone would take "+1", "01" or "1.".
        const size_t start = _pos;
        const auto digits = [&] {
            const size_t from = _pos;
            while (_pos < _text.size() && _text[_pos] >= '0' && _text[_pos] <= '9')
                ++_pos;
            return _pos - from;
        };
        if (_pos < _text.size() && _text[_pos] == '-')
            ++_pos;
        if (_pos < _text.size() && _text[_pos] == '0')
            ++_pos;
        else if (digits() == 0)
            return _fail("unexpected character");
        if (_pos < _text.size() && _text[_pos] == '.') {
            ++_pos;
            if (digits() == 0)
                return _fail("bad number");
        }
        if (_pos < _text.size() && (_text[_pos] == 'e' || _text[_pos] == 'E')) {
            ++_pos;
            if (_pos < _text.size() && (_text[_pos] == '+' || _text[_pos] == '-'))
                ++_pos;
            if (digits() == 0)
                return _fail("bad number");
        }
        const char* first = _text.data() + start;
        const char* last = _text.data() + _pos;
        const auto result = std::from_chars(first, last, value._number);
        if (result.ec != std::errc() || result.ptr != last)
            return _fail("number out of range");
        value._type = Type::Number;
        return true;
    }

    std::string_view _text;
    Limits _limits;
    size_t _pos = 0;
    size_t _elements = 0;
    std::string _error;
};

std::optional<QVDemoJsonValue> QVDemoJsonValue::parse(
    std::string_view text, std::string& error, Limits limits)
{
    return Parser(text, limits).parseDocument(error);
}

bool QVDemoJsonValue::isValidUtf8(std::string_view text)
{
    for (size_t i = 0; i < text.size();) {
        const size_t length = QVDemoJson::utf8SequenceLength(text, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

const QVDemoJsonValue* QVDemoJsonValue::member(std::string_view key) const
{
    for (size_t i = _keys.size(); i-- > 0;) {
        if (_keys[i] == key)
            return &_values[i];
    }
    return nullptr;
}
