#include "QVDemoServer.h"

#include "QVDemoJson.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// What a real service sends: no inline script or style, nothing from elsewhere.
constexpr const char* contentSecurityPolicy = "default-src 'self'; script-src 'self'; connect-src 'self'; "
                                              "img-src 'self' data:; media-src 'self'; style-src 'self'";
constexpr const char* jsonType = "application/json; charset=utf-8";
constexpr const char* textType = "text/plain; charset=utf-8";

// A 1x1 transparent GIF, the reachability probe's target.
constexpr unsigned char transparentGif[] = { 0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80,
    0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0x21, 0xf9, 0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x2c,
    0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b };

bool isApiPath(const std::string& path)
{
    return path.rfind("/api/", 0) == 0;
}

void fail(const httplib::Request& req, httplib::Response& res, int status, const std::string& message)
{
    res.status = status;
    if (isApiPath(req.path))
        res.set_content(QVDemoJson::dump({ { "error", message } }), jsonType);
    else
        res.set_content(message + "\n", textType);
}

void answerJson(httplib::Response& res, const nlohmann::json& json)
{
    res.set_header("Cache-Control", "no-store");
    res.set_content(QVDemoJson::dump(json), jsonType);
}

// cpp-httplib 0.11.4 (Debian 12) applies the Range header to every routed
// answer on its own: a page would go out in part, media we cut to the range
// would be cut again, and its Content-Range for an end past the resource
// names that end ("bytes 995-999999999/1000"). We answer ranges ourselves,
// for media only, so its parsed list is dropped before it acts.
void dropLibraryRanges(const httplib::Request& req)
{
    const_cast<httplib::Request&>(req).ranges.clear();
}

bool isDotSegmentPath(const std::string& path)
{
    if (path.find('\\') != std::string::npos || path.find('\0') != std::string::npos)
        return true;
    std::istringstream segments(path);
    std::string segment;
    while (std::getline(segments, segment, '/'))
        if (segment == ".." || segment == ".")
            return true;
    return false;
}

// Decimal digits only: from_chars takes no sign for an unsigned type.
std::optional<size_t> parseDigits(const std::string& text)
{
    size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [last, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || last != end)
        return std::nullopt;
    return value;
}

// One name or value of a url-encoded form: "+" is a space, "%XX" a byte.
std::optional<std::string> formDecoded(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] != '%') {
            out += text[i];
        } else {
            // Two hexadecimal digits: from_chars takes no sign or prefix for an unsigned type.
            unsigned char byte = 0;
            const char* digits = text.data() + i + 1;
            if (i + 2 >= text.size() || std::from_chars(digits, digits + 2, byte, 16).ptr != digits + 2)
                return std::nullopt;
            out += static_cast<char>(byte);
            i += 2;
        }
    }
    return out;
}

// A url-encoded form body (application/x-www-form-urlencoded), whatever its
// size: its fields go into `params`, each name and value checked as UTF-8. A
// name given twice keeps each value; the request's lookup answers the first.
// A message for the client when the body is malformed.
std::optional<std::string> decodeForm(std::string_view body, httplib::Params& params)
{
    size_t fields = 0;
    while (!body.empty()) {
        const size_t end = std::min(body.find('&'), body.size());
        const std::string_view pair = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
        if (pair.empty())
            continue;
        if (++fields > QVDemoServer::maxFormFields)
            return "Too many form fields: at most " + std::to_string(QVDemoServer::maxFormFields) + ".";
        const size_t equals = pair.find('=');
        const auto name = formDecoded(pair.substr(0, equals));
        const auto value
            = formDecoded(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
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

} // namespace

QVDemoServer::QVDemoServer(std::string root, std::string jqueryPath)
    : _root(std::move(root))
    , _jqueryPath(std::move(jqueryPath))
{
    // Media elements keep connections open; give page loads room beside them.
    _server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    _server.set_payload_max_length(maxPayloadLength);
    _server.set_keep_alive_timeout(3);
    // Headers and body go out in separate writes: without this, small answers
    // wait out the client's delayed acknowledgement (40 ms).
    _server.set_tcp_nodelay(true);
    _server.set_read_timeout(10);
    _server.set_write_timeout(10);
    _server.set_default_headers({
        { "Content-Security-Policy", contentSecurityPolicy },
        { "X-Content-Type-Options", "nosniff" },
        { "Referrer-Policy", "same-origin" },
    });
    _server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        dropLibraryRanges(req);
        if (isDotSegmentPath(req.path)) {
            fail(req, res, 400, "Bad path: dot segments are not allowed.");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    _server.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
        dropLibraryRanges(req);
        if (!res.body.empty())
            return;
        static const std::map<int, const char*> messages { { 400, "Bad request." },
            { 413, "Request body too large." }, { 414, "Request URI too long." },
            { 416, "Malformed or unsatisfiable Range header." } };
        const auto message = messages.find(res.status);
        fail(req, res, res.status, message == messages.end() ? "Request failed." : message->second);
    });
    _server.set_exception_handler(
        [](const httplib::Request& req, httplib::Response& res, std::exception_ptr) {
            std::fprintf(stderr, "quiv-demo-service: error while answering %s %s\n", req.method.c_str(),
                req.path.c_str());
            fail(req, res, 500, "Internal error.");
        });
    _server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        if (res.status >= 500 || std::getenv("QUIV_DEMO_LOG"))
            std::fprintf(stderr, "%s %s -> %d\n", req.method.c_str(), req.path.c_str(), res.status);
    });
    _installRoutes();
}

int QVDemoServer::bind(int port)
{
    if (port == 0)
        return _server.bind_to_any_port("127.0.0.1");
    return _server.bind_to_port("127.0.0.1", port) ? port : -1;
}

bool QVDemoServer::run()
{
    return _server.listen_after_bind();
}

void QVDemoServer::stop()
{
    _faults.releaseAll();
    _server.stop();
}

bool QVDemoServer::_applyFault(const std::string& call, const httplib::Request& req, httplib::Response& res)
{
    int delayMs = 0;
    switch (_faults.take(call, &delayMs)) {
    case QVDemoFaults::Mode::Ok:
        return false;
    case QVDemoFaults::Mode::Delay:
        // Then the normal answer.
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        return false;
    case QVDemoFaults::Mode::Status500:
        fail(req, res, 500, "Failing on purpose, as asked.");
        return true;
    case QVDemoFaults::Mode::Hang:
        _faults.hang(call);
        [[fallthrough]];
    case QVDemoFaults::Mode::Drop:
        // Promise a body and close the connection before any of it.
        res.set_content_provider(
            64, "application/json", [](size_t, size_t, httplib::DataSink&) { return false; });
        return true;
    }
    return false;
}

void QVDemoServer::_route(const std::string& method, const std::string& pattern, Handler handler)
{
    _routes.push_back({ method, std::regex(pattern) });
    if (method == "GET")
        _server.Get(pattern, std::move(handler));
    else if (method == "POST")
        _server.Post(pattern, std::move(handler));
}

void QVDemoServer::_routeForm(const std::string& pattern, Handler handler)
{
    // cpp-httplib 0.11.4 (Debian 12) answers 413 to url-encoded bodies over
    // 8 KiB, less than a crash log or a library batch. Form calls take their
    // bodies through a content reader, which the library leaves alone, and
    // decode them here. A chunked body comes through it at any length: the
    // bound is kept here too.
    _routes.push_back({ "POST", std::regex(pattern) });
    _server.Post(pattern,
        [handler = std::move(handler)](
            const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
            if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0) {
                fail(req, res, 415, "Send the fields as application/x-www-form-urlencoded.");
                return;
            }
            std::string body;
            bool tooLarge = false;
            const bool read = reader([&](const char* data, size_t length) {
                tooLarge = body.size() + length > maxPayloadLength;
                body.append(data, tooLarge ? 0 : length);
                return !tooLarge;
            });
            if (!read) {
                // The library has set 413 for a Content-Length over the limit.
                if (tooLarge || res.status < 400)
                    fail(req, res, tooLarge ? 413 : 400,
                        tooLarge ? "Request body too large." : "Could not read the request body.");
                return;
            }
            if (const auto problem = decodeForm(body, const_cast<httplib::Request&>(req).params)) {
                fail(req, res, 400, *problem);
                return;
            }
            handler(req, res);
        });
}

QVDemoServer::ByteRange QVDemoServer::parseRange(const std::string& header, size_t size)
{
    ByteRange range;
    const std::string unit = "bytes=";
    if (header.rfind(unit, 0) != 0) {
        range.kind = ByteRange::Unsatisfiable;
        return range;
    }
    const std::string spec = header.substr(unit.size());
    // Several ranges would need a multipart answer; sending the whole file is allowed.
    if (spec.find(',') != std::string::npos)
        return range;
    const size_t dash = spec.find('-');
    range.kind = ByteRange::Unsatisfiable;
    if (dash == std::string::npos || size == 0)
        return range;
    const std::string firstText = spec.substr(0, dash);
    const std::string lastText = spec.substr(dash + 1);
    if (firstText.empty()) {
        const auto suffix = parseDigits(lastText);
        if (!suffix || *suffix == 0)
            return range;
        range.first = *suffix >= size ? 0 : size - *suffix;
        range.last = size - 1;
    } else {
        const auto first = parseDigits(firstText);
        const auto last = lastText.empty() ? std::optional<size_t>(size - 1) : parseDigits(lastText);
        if (!first || !last || *last < *first || *first >= size)
            return range;
        range.first = *first;
        range.last = std::min(*last, size - 1);
    }
    range.kind = ByteRange::Partial;
    return range;
}

void QVDemoServer::_serveFile(
    const std::string& path, const std::string& contentType, httplib::Response& res) const
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        res.status = 404;
        res.set_content("Not found.\n", textType);
        return;
    }
    std::string content;
    char buffer[65536];
    while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
        content.append(buffer, static_cast<size_t>(file.gcount()));
        if (content.size() > maxStaticFileSize) {
            res.status = 500;
            res.set_content("File too large.\n", textType);
            return;
        }
    }
    res.set_header("Cache-Control", "no-cache");
    res.set_content(std::move(content), contentType);
}

void QVDemoServer::_answerWithRanges(const httplib::Request& req, httplib::Response& res,
    const std::string& content, const std::string& contentType)
{
    res.set_header("Accept-Ranges", "bytes");
    if (!req.has_header("Range")) {
        res.set_content(content, contentType);
        return;
    }
    const ByteRange range = parseRange(req.get_header_value("Range"), content.size());
    switch (range.kind) {
    case ByteRange::Whole:
        res.set_content(content, contentType);
        break;
    case ByteRange::Unsatisfiable:
        res.set_header("Content-Range", "bytes */" + std::to_string(content.size()));
        fail(req, res, 416,
            "Range not satisfiable: the resource has " + std::to_string(content.size()) + " bytes.");
        break;
    case ByteRange::Partial:
        res.status = 206;
        res.set_header("Content-Range",
            "bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/"
                + std::to_string(content.size()));
        res.set_content(content.substr(range.first, range.last - range.first + 1), contentType);
        break;
    }
}

void QVDemoServer::_serveAudio(const httplib::Request& req, httplib::Response& res)
{
    const std::string key = req.matches[1];
    const QVDemoCatalogue::Track* track = _catalogue.track(key);
    if (!track) {
        fail(req, res, 404, "Unknown track key.");
        return;
    }
    const auto wav = _audio.wav(track->key, track->seed, track->duration);
    res.set_header("Cache-Control", "public, max-age=86400");
    _answerWithRanges(req, res, *wav, "audio/wav");
}

void QVDemoServer::_serveAlbumArt(const httplib::Request& req, httplib::Response& res)
{
    const auto icon = _field(req, res, "m");
    const auto widthText = icon ? _field(req, res, "w") : std::nullopt;
    const auto heightText = widthText ? _field(req, res, "h") : std::nullopt;
    if (!heightText)
        return;
    const auto width = parseDigits(*widthText);
    const auto height = parseDigits(*heightText);
    const auto inBounds = [](const std::optional<size_t>& size) {
        return size && *size >= QVDemoArt::minimumSize && *size <= QVDemoArt::maximumSize;
    };
    if (!inBounds(width) || !inBounds(height)) {
        fail(req, res, 400,
            "Fields \"w\" and \"h\" must be whole numbers from " + std::to_string(QVDemoArt::minimumSize)
                + " to " + std::to_string(QVDemoArt::maximumSize) + ".");
        return;
    }
    // Base icons are album keys.
    const QVDemoCatalogue::Album* album = _catalogue.album(*icon);
    if (!album) {
        fail(req, res, 404, "Unknown album art icon.");
        return;
    }
    const auto png = _art.cover(
        album->key, album->name, album->color, static_cast<int>(*width), static_cast<int>(*height));
    if (!png) {
        fail(req, res, 500, "Could not draw the cover.");
        return;
    }
    res.set_header("Cache-Control", "public, max-age=86400");
    _answerWithRanges(req, res, *png, "image/png");
}

std::optional<std::string> QVDemoServer::_sessionToken(const httplib::Request& req)
{
    const std::string cookies = req.get_header_value("Cookie");
    const std::string name = std::string(sessionCookie) + "=";
    std::istringstream parts(cookies);
    std::string part;
    while (std::getline(parts, part, ';')) {
        const size_t start = part.find_first_not_of(' ');
        if (start == std::string::npos || part.compare(start, name.size(), name) != 0)
            continue;
        std::string token = part.substr(start + name.size());
        if (token.size() == 64 && token.find_first_not_of("0123456789abcdef") == std::string::npos)
            return token;
    }
    return std::nullopt;
}

std::optional<int> QVDemoServer::_sessionUser(const httplib::Request& req) const
{
    const auto token = _sessionToken(req);
    return token ? _accounts.userForSession(*token) : std::nullopt;
}

std::optional<std::string> QVDemoServer::_field(
    const httplib::Request& req, httplib::Response& res, const std::string& name, size_t maxLength)
{
    const std::string kind = req.method == "POST" ? "form field" : "query parameter";
    if (!req.has_param(name)) {
        fail(req, res, 400, "Missing " + kind + " \"" + name + "\".");
        return std::nullopt;
    }
    std::string value = req.get_param_value(name);
    if (value.size() > maxLength) {
        fail(req, res, 400,
            "The " + kind + " \"" + name + "\" is too long: at most " + std::to_string(maxLength)
                + " bytes.");
        return std::nullopt;
    }
    return value;
}

void QVDemoServer::_answerUnrouted(const httplib::Request& req, httplib::Response& res) const
{
    std::string allowed;
    for (const Route& route : _routes) {
        if (!std::regex_match(req.path, route.pattern) || allowed.find(route.method) != std::string::npos)
            continue;
        allowed += (allowed.empty() ? "" : ", ") + route.method;
        if (route.method == "GET")
            allowed += ", HEAD";
    }
    if (allowed.empty()) {
        fail(req, res, 404, "Not found: no such page or API call.");
        return;
    }
    res.set_header("Allow", allowed);
    fail(req, res, 405, "Method " + req.method + " not allowed here; use " + allowed + ".");
}

void QVDemoServer::_installRoutes()
{
    using httplib::Request;
    using httplib::Response;

    // The single-page application answers its index for every path it routes.
    _route("GET",
        "/|/(?:accounts|signout|management|search|artist|album|track|station|people|collection|notices)(?:/"
        ".*)?",
        [this](const Request&, Response& res) {
            _serveFile(_root + "/index.html", "text/html; charset=utf-8", res);
        });
    _route("GET", "/js/jquery\\.min\\.js", [this](const Request&, Response& res) {
        _serveFile(_jqueryPath, "text/javascript; charset=utf-8", res);
    });
    _route("GET", "/js/([A-Za-z0-9_-]+)\\.js", [this](const Request& req, Response& res) {
        _serveFile(
            _root + "/js/" + std::string(req.matches[1]) + ".js", "text/javascript; charset=utf-8", res);
    });
    _route("GET", "/css/([A-Za-z0-9_-]+)\\.css", [this](const Request& req, Response& res) {
        _serveFile(_root + "/css/" + std::string(req.matches[1]) + ".css", "text/css; charset=utf-8", res);
    });
    // Fixture pages of the client's own integration tests, under the same policy.
    _route("GET", "/test/([A-Za-z0-9_-]+)\\.(html|js|css)", [this](const Request& req, Response& res) {
        static const std::map<std::string, std::string> types {
            { "html", "text/html; charset=utf-8" },
            { "js", "text/javascript; charset=utf-8" },
            { "css", "text/css; charset=utf-8" },
        };
        const std::string extension = req.matches[2];
        _serveFile(
            _root + "/test/" + std::string(req.matches[1]) + "." + extension, types.at(extension), res);
    });
    // "reachability" in /api/demo/control makes the probe fail on purpose.
    _route("GET", "/media/images/trans\\.gif", [this](const Request& req, Response& res) {
        if (_applyFault("reachability", req, res))
            return;
        res.set_header("Cache-Control", "no-store");
        res.set_content(reinterpret_cast<const char*>(transparentGif), sizeof transparentGif, "image/gif");
    });
    _route("GET", "/media/audio/([A-Za-z0-9]{1,16})\\.wav",
        [this](const Request& req, Response& res) { _serveAudio(req, res); });

    _route("GET", "/images/art", [this](const Request& req, Response& res) { _serveAlbumArt(req, res); });

    // The calls the desktop client makes itself, outside the page.
    const auto answerApi = [](const Request& req, Response& res, const QVDemoApi::Answer& answer) {
        if (answer.status == 200)
            answerJson(res, answer.json);
        else
            fail(req, res, answer.status, answer.message);
    };
    _route(
        "GET", "/api/json/groupedSearchSuggestions/", [this, answerApi](const Request& req, Response& res) {
            const auto query = _field(req, res, "query", QVDemoApi::maxQueryLength);
            if (query && !_applyFault("groupedSearchSuggestions", req, res))
                answerApi(req, res, _api.groupedSearchSuggestions(*query));
        });
    // The matching calls keep what they received, for tests to check.
    const auto matchingCall = [this, answerApi](const std::string& call, auto&& answer) {
        return [this, answerApi, call, answer](const Request& req, Response& res) {
            const auto data = _field(req, res, "data", QVDemoApi::maxLibraryDataLength);
            if (!data)
                return;
            if (_applyFault(call, req, res)) {
                _api.recordReceived(call, *data, res.status == 500 ? 500 : 0);
                return;
            }
            const QVDemoApi::Answer result = answer(*data, _sessionUser(req));
            _api.recordReceived(call, *data, result.status);
            answerApi(req, res, result);
        };
    };
    _routeForm("/api/json/bulkAddToLibrary/",
        matchingCall("bulkAddToLibrary", [this](const std::string& data, std::optional<int> user) {
            return _api.bulkAddToLibrary(data, user);
        }));
    _routeForm("/api/json/addToLibraryCompleted/",
        matchingCall("addToLibraryCompleted", [this](const std::string& data, std::optional<int> user) {
            return _api.addToLibraryCompleted(data, user);
        }));
    // For tests: what the matching calls received, and failures on purpose.
    _route("GET", "/api/demo/received/([A-Za-z]{1,64})", [this](const Request& req, Response& res) {
        const std::string call = req.matches[1];
        if (!QVDemoApi::isRecordedCall(call)) {
            fail(req, res, 404, "No record is kept of \"" + call + "\".");
            return;
        }
        answerJson(res, _api.received(call));
    });
    _routeForm("/api/demo/control", [this](const Request& req, Response& res) {
        const auto call = _field(req, res, "call", QVDemoFaults::maxCallNameLength);
        const auto modeName = call ? _field(req, res, "mode") : std::nullopt;
        if (!modeName)
            return;
        const auto delayMs = QVDemoFaults::delayNamed(*modeName);
        const auto mode
            = delayMs ? std::optional(QVDemoFaults::Mode::Delay) : QVDemoFaults::modeNamed(*modeName);
        if (!mode) {
            fail(req, res, 400,
                "Field \"mode\" must be ok, status500, drop, hang or delay:<ms> (ms up to "
                    + std::to_string(QVDemoFaults::maxDelayMs) + ").");
            return;
        }
        int after = 0;
        if (req.has_param("after")) {
            const std::string text = req.get_param_value("after");
            if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos
                || std::stoi(text) > QVDemoFaults::maxAfter) {
                fail(req, res, 400,
                    "Field \"after\" must be a whole number up to " + std::to_string(QVDemoFaults::maxAfter)
                        + ".");
                return;
            }
            after = std::stoi(text);
        }
        _faults.set(*call, *mode, after, delayMs.value_or(0));
        answerJson(res, { { "call", *call }, { "mode", *modeName }, { "after", after } });
    });
    _routeForm("/api/json/submitAppLog/", [this, answerApi](const Request& req, Response& res) {
        if (_applyFault("submitAppLog", req, res))
            return;
        const auto appName = _field(req, res, "appName", QVDemoApi::maxAppNameLength);
        const auto log = appName ? _field(req, res, "log", QVDemoApi::maxLogLength) : std::nullopt;
        if (log)
            answerApi(req, res, _api.submitAppLog(*appName, *log));
    });
    // For tests: what crash logs arrived.
    _route("GET", "/api/demo/appLogs",
        [this](const Request&, Response& res) { answerJson(res, _api.appLogs()); });

    _route("GET", "/api/demo/catalogue", [this](const Request&, Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_content(QVDemoJson::dump(_catalogue.json()), jsonType);
    });
    _route("GET", "/api/demo/session", [this](const Request& req, Response& res) {
        answerJson(res, { { "user", _accounts.user(_sessionUser(req)) } });
    });
    _routeForm("/api/demo/signin", [this](const Request& req, Response& res) {
        const auto username = _field(req, res, "username");
        const auto password = username ? _field(req, res, "password") : std::nullopt;
        if (!username || !password)
            return;
        if (const auto old = _sessionToken(req))
            _accounts.signOut(*old);
        const auto token = _accounts.signIn(*username, *password);
        if (!token) {
            fail(req, res, 401, "Wrong user name or password.");
            return;
        }
        res.set_header(
            "Set-Cookie", std::string(sessionCookie) + "=" + *token + "; Path=/; HttpOnly; SameSite=Lax");
        answerJson(res, { { "user", _accounts.user(_accounts.userForSession(*token)) } });
    });
    _route("POST", "/api/demo/signout", [this](const Request& req, Response& res) {
        if (const auto token = _sessionToken(req))
            _accounts.signOut(*token);
        res.set_header(
            "Set-Cookie", std::string(sessionCookie) + "=; Path=/; HttpOnly; SameSite=Lax; Max-Age=0");
        answerJson(res, { { "user", nullptr } });
    });

    // The calls below act on the signed-in user's account.
    const auto signedIn = [this](auto action) {
        return [this, action](const Request& req, Response& res) {
            const auto user = _sessionUser(req);
            if (!user) {
                fail(req, res, 401, "Sign in first.");
                return;
            }
            action(*user, req, res);
        };
    };
    _routeForm("/api/demo/collection", signedIn([this](int user, const Request& req, Response& res) {
        static const std::map<std::string, QVDemoAccounts::CollectionAction> actions {
            { "add", QVDemoAccounts::CollectionAction::Add },
            { "remove", QVDemoAccounts::CollectionAction::Remove },
            { "offlineAdd", QVDemoAccounts::CollectionAction::OfflineAdd },
            { "offlineRemove", QVDemoAccounts::CollectionAction::OfflineRemove },
        };
        const auto action = _field(req, res, "action");
        const auto keys = action ? _field(req, res, "keys") : std::nullopt;
        if (!keys)
            return;
        const auto found = actions.find(*action);
        if (found == actions.end()) {
            fail(req, res, 400, "Unknown collection action.");
            return;
        }
        std::vector<int> ids;
        std::istringstream list(*keys);
        std::string key;
        while (std::getline(list, key, ',')) {
            const QVDemoCatalogue::Track* track = _catalogue.track(key);
            if (!track) {
                fail(req, res, 400, "Unknown track key in \"keys\".");
                return;
            }
            ids.push_back(track->id);
        }
        if (ids.empty()) {
            fail(req, res, 400, "No track keys given.");
            return;
        }
        _accounts.changeCollection(user, found->second, ids);
        answerJson(res, _accounts.collection(user));
    }));
    _routeForm("/api/demo/subscription", signedIn([this](int user, const Request& req, Response& res) {
        const auto type = _field(req, res, "type");
        if (!type)
            return;
        if (*type != "0" && *type != "1" && *type != "2") {
            fail(req, res, 400, "Field \"type\" must be 0, 1 or 2.");
            return;
        }
        std::optional<bool> billingFailure;
        if (req.has_param("billing_failure")) {
            const std::string value = req.get_param_value("billing_failure");
            if (value != "0" && value != "1") {
                fail(req, res, 400, "Field \"billing_failure\" must be 0 or 1.");
                return;
            }
            billingFailure = value == "1";
        }
        std::optional<int> remaining;
        if (req.has_param("remaining")) {
            const auto value = parseDigits(req.get_param_value("remaining"));
            if (!value || *value > 100) {
                fail(req, res, 400, "Field \"remaining\" must be a whole number from 0 to 100.");
                return;
            }
            remaining = static_cast<int>(*value);
        }
        _accounts.setSubscription(user, std::stoi(*type), billingFailure, remaining);
        answerJson(res, { { "user", _accounts.user(user) } });
    }));
    _route("GET", "/api/demo/notices", signedIn([this](int user, const Request&, Response& res) {
        answerJson(res, _accounts.notices(user));
    }));
    _route("POST", "/api/demo/notices/read", signedIn([this](int user, const Request&, Response& res) {
        _accounts.markNoticesRead(user);
        answerJson(res, _accounts.notices(user));
    }));
    _route("POST", "/api/demo/notices/new", signedIn([this](int user, const Request&, Response& res) {
        answerJson(res, _accounts.addNotice(user));
    }));

    // Anything else: 405 for a known path, 404 otherwise.
    const auto unrouted = [this](const Request& req, Response& res) { _answerUnrouted(req, res); };
    _server.Get(".*", unrouted);
    _server.Post(".*", unrouted);
    _server.Put(".*", unrouted);
    _server.Delete(".*", unrouted);
    _server.Patch(".*", unrouted);
    _server.Options(".*", unrouted);
}
