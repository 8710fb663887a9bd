#pragma once

#include "QVDemoAccounts.h"
#include "QVDemoApi.h"
#include "QVDemoArt.h"
#include "QVDemoAudio.h"
#include "QVDemoCatalogue.h"
#include "QVDemoFaults.h"

#include <httplib.h>

#include <optional>
#include <string>
#include <vector>

// The demo service: the web application's pages and scripts, its JSON API, the
// synthesised audio and the reachability image, on 127.0.0.1 only.
class QVDemoServer
{
public:
    static constexpr size_t maxPayloadLength = 4 << 20;
    static constexpr size_t maxFieldLength = 256;
    static constexpr size_t maxFormFields = 64;
    static constexpr size_t maxStaticFileSize = 4 << 20;
    static constexpr const char* sessionCookie = "quiv_demo_session";

    QVDemoServer(std::string root, std::string jqueryPath);

    // Binds to 127.0.0.1 (`port` 0 takes a free one); the bound port, or -1.
    int bind(int port);
    // Serves until stop(); false when the server could not run.
    bool run();
    void stop();

    // One byte range of a resource of `size` bytes, as the Range header asks.
    struct ByteRange {
        enum Kind { Whole, Partial, Unsatisfiable } kind = Whole;
        size_t first = 0;
        size_t last = 0;
    };
    static ByteRange parseRange(const std::string& header, size_t size);

private:
    using Handler = httplib::Server::Handler;
    void _route(const std::string& method, const std::string& pattern, Handler handler);
    // A POST of a url-encoded form, decoded here into the request's params.
    void _routeForm(const std::string& pattern, Handler handler);
    void _installRoutes();
    void _serveFile(const std::string& path, const std::string& contentType, httplib::Response& res) const;
    void _serveAudio(const httplib::Request& req, httplib::Response& res);
    void _serveAlbumArt(const httplib::Request& req, httplib::Response& res);
    // Answers `content` whole, or the one byte range the request asks for.
    static void _answerWithRanges(const httplib::Request& req, httplib::Response& res,
        const std::string& content, const std::string& contentType);
    std::optional<int> _sessionUser(const httplib::Request& req) const;
    static std::optional<std::string> _sessionToken(const httplib::Request& req);
    // A required form field or query parameter, or an error answer and nothing.
    static std::optional<std::string> _field(const httplib::Request& req, httplib::Response& res,
        const std::string& name, size_t maxLength = maxFieldLength);
    void _answerUnrouted(const httplib::Request& req, httplib::Response& res) const;
    // Fails `call` as a test asked (true: the answer is set), else false.
    bool _applyFault(const std::string& call, const httplib::Request& req, httplib::Response& res);

    std::string _root;
    std::string _jqueryPath;
    httplib::Server _server;
    QVDemoCatalogue _catalogue;
    QVDemoAudio _audio;
    QVDemoAccounts _accounts;
    QVDemoApi _api { _catalogue, _accounts };
    QVDemoArt _art;
    QVDemoFaults _faults;
    struct Route {
        std::string method;
        std::regex pattern;
    };
    std::vector<Route> _routes;
};
