#include "QVDemoJson.h"

#include <nlohmann/json.hpp>

#include <vector>

using nlohmann::json;

namespace {

// Builds the value as the library's SAX parser reads it, stopping at a limit.
// The parser keeps its own stack, so nesting costs no recursion; its callback
// parser would rescan a container's members each time an object in it closes.
class BoundedReader : public nlohmann::json_sax<json>
{
public:
    explicit BoundedReader(QVDemoJson::Limits limits)
        : _limits(limits)
    {
    }

    json value;
    std::string error;

    bool null() override { return _add(nullptr); }
    bool boolean(bool v) override { return _add(v); }
    bool number_integer(number_integer_t v) override { return _add(v); }
    bool number_unsigned(number_unsigned_t v) override { return _add(v); }
    bool number_float(number_float_t v, const string_t&) override { return _add(v); }
    bool string(string_t& v) override { return _add(std::move(v)); }
    bool binary(binary_t&) override { return _refuse("binary values are not JSON"); }
    bool start_object(std::size_t) override { return _add(json::object()) && _enter(); }
    bool start_array(std::size_t) override { return _add(json::array()) && _enter(); }
    bool end_object() override { return _open.pop_back(), true; }
    bool end_array() override { return _open.pop_back(), true; }
    bool key(string_t& name) override
    {
        _key = std::move(name);
        return true;
    }

    bool parse_error(std::size_t position, const std::string& lastToken,
        const nlohmann::detail::exception& exception) override
    {
        // The library's reason, less the place in lines and columns and the
        // text it quotes from the body, which need not be UTF-8.
        std::string reason = exception.what();
        const std::string quote = "; last read: '" + lastToken + "'";
        if (const size_t at = reason.find(quote); at != std::string::npos)
            reason.erase(at, quote.size());
        if (const size_t at = reason.find("syntax error"); at != std::string::npos)
            reason.erase(0, at);
        else if (const size_t at = reason.find("] "); at != std::string::npos)
            reason.erase(0, at + 2);
        return _refuse("at byte " + std::to_string(position) + ": " + reason);
    }

private:
    bool _refuse(std::string reason)
    {
        error = std::move(reason);
        return false;
    }

    // The value goes at the top, into the open array, or into the open object under the last key.
    bool _add(json&& v)
    {
        if (_open.empty()) {
            value = std::move(v);
            _last = &value;
            return true;
        }
        if (++_elements > _limits.maxElements)
            return _refuse("too many elements");
        json& parent = *_open.back();
        _last = parent.is_array() ? &parent.emplace_back(std::move(v)) : &(parent[_key] = std::move(v));
        return true;
    }
    bool _enter()
    {
        if (_open.size() >= _limits.maxDepth)
            return _refuse("nested too deeply");
        _open.push_back(_last);
        return true;
    }

    QVDemoJson::Limits _limits;
    std::vector<json*> _open; // the arrays and objects being read, outermost first
    json* _last = nullptr;
    std::string _key;
    size_t _elements = 0;
};

} // namespace

std::optional<json> QVDemoJson::parse(std::string_view text, std::string& error, Limits limits)
{
    BoundedReader reader(limits);
    if (!json::sax_parse(text, &reader)) {
        error = reader.error;
        return std::nullopt;
    }
    return std::move(reader.value);
}

std::string QVDemoJson::dump(const json& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::strict);
}

bool QVDemoJson::isValidUtf8(std::string_view text)
{
    // The library's writer checks UTF-8 as strictly as its reader.
    try {
        (void)json(text).dump(-1, ' ', false, json::error_handler_t::strict);
        return true;
    } catch (const json::type_error&) {
        return false;
    }
}
