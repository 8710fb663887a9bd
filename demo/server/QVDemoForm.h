#pragma once

#include <httplib.h>

#include <optional>
#include <string>
#include <string_view>

// Url-encoded form bodies (application/x-www-form-urlencoded): the one reader
// for every call that takes a form, whatever the body's size. "+" is a space,
// "%XX" a byte; every name and value must be UTF-8. A name given twice keeps
// each value, and the request's parameter lookup answers the first.
class QVDemoForm
{
public:
    static constexpr size_t maxFields = 64;

    // Adds the body's fields to `params`; a message for the client, and
    // perhaps some fields added, when the body is malformed.
    static std::optional<std::string> decode(std::string_view body, httplib::Params& params);
};
