#include "QVDemoForm.h"

#include "QVDemoJson.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> decoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

} // namespace

std::optional<std::string> QVDemoForm::decode(std::string_view body, httplib::Params& params)
{
    size_t fields = 0;
    while (!body.empty()) {
        const size_t end = std::min(body.find('&'), body.size());
        const std::string_view pair = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
        if (pair.empty())
            continue;
        if (++fields > maxFields)
            return "Too many form fields: at most " + std::to_string(maxFields) + ".";
        const size_t equals = pair.find('=');
        const auto name = decoded(pair.substr(0, equals));
        const auto value
            = decoded(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!name || !value)
            return std::string("Malformed percent-escape in the form body.");
        if (!QVDemoJson::isValidUtf8(*name) || (name->size() > 32 && !QVDemoJson::isValidUtf8(*value)))
            return std::string("A form field is not valid UTF-8.");
        if (!QVDemoJson::isValidUtf8(*value))
            return "Field \"" + *name + "\" is not valid UTF-8.";
        params.emplace(*name, *value);
    }
    return std::nullopt;
}
