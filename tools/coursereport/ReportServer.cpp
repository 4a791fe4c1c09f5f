#include "ReportServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

#include "AcceptEncoding.h"
#include "WebFiles.h"
#include "platform/ReadFile.h"
#include "report/ReportCache.h"

namespace coursereport {

namespace {

constexpr char kCookieName[] = "coursereport_token";
constexpr char kSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'";

// Compares in a time that does not depend on where the texts differ.
bool SameSecret(std::string_view given, std::string_view token) {
    if (token.empty() || given.size() != token.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < token.size(); ++i) diff |= uint8_t(given[i] ^ token[i]);
    return diff == 0;
}

// The token a request carries: "Authorization: Bearer T", else the login cookie.
std::string CarriedToken(const httplib::Request& req) {
    const std::string auth = req.get_header_value("Authorization");
    if (auth.rfind("Bearer ", 0) == 0) return auth.substr(7);
    const std::string cookies = req.get_header_value("Cookie");
    const std::string key = std::string(kCookieName) + "=";
    size_t pos = 0;
    while (pos < cookies.size()) {
        while (pos < cookies.size() && (cookies[pos] == ' ' || cookies[pos] == ';')) ++pos;
        const size_t end = std::min(cookies.find(';', pos), cookies.size());
        if (cookies.compare(pos, key.size(), key) == 0)
            return cookies.substr(pos + key.size(), end - pos - key.size());
        pos = end;
    }
    return std::string();
}

// Every Accept-Encoding line of the request, as one list.
std::string AcceptEncodingOf(const httplib::Request& req) {
    std::string all;
    const auto [first, last] = req.headers.equal_range("Accept-Encoding");
    for (auto it = first; it != last; ++it) all += (all.empty() ? "" : ",") + it->second;
    return all;
}

void SendError(httplib::Response& res, int status, const std::string& message) {
    res.status = status;
    res.set_content(nlohmann::json{{"error", message}}.dump(
                        -1, ' ', false, nlohmann::json::error_handler_t::replace),
                    "application/json");
}

}  // namespace

bool IsLoopback(const std::string& addr) {
    in_addr v4{};
    if (inet_pton(AF_INET, addr.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, addr.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

int Serve(report::ReportCache& cache, const ServeOptions& options) {
    httplib::Server server;
    server.set_payload_max_length(4096);
    server.set_read_timeout(5, 0);
    server.set_write_timeout(5, 0);
    server.set_keep_alive_timeout(5);
    server.set_default_headers({{"Content-Security-Policy", kSecurityPolicy},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"X-Frame-Options", "DENY"},
                                {"Cache-Control", "no-store"}});

    std::string chart_js;
    if (!options.chart_js.empty()) {
        std::string why;
        if (!platform::ReadWholeFile(options.chart_js, chart_js, why))
            std::fprintf(stderr, "coursereport: no charts: %s\n", why.c_str());
    }

    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        if (options.token.empty() || req.path == "/login")
            return httplib::Server::HandlerResponse::Unhandled;
        if (SameSecret(CarriedToken(req), options.token))
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = 401;
        res.set_header("WWW-Authenticate", "Bearer");
        res.set_content(LoginPage(false), "text/html; charset=utf-8");
        return httplib::Server::HandlerResponse::Handled;
    });

    for (const char* name : {"index.html", "app.js", "app.css"}) {
        const WebFile* file = FindWebFile(name);
        if (!file) continue;
        const std::string path =
            name == std::string_view("index.html") ? "/" : std::string("/") + name;
        server.Get(path, [file](const httplib::Request&, httplib::Response& res) {
            res.set_content(file->body, file->type);
        });
    }
    server.Get("/chart.js", [&](const httplib::Request&, httplib::Response& res) {
        if (chart_js.empty()) {
            res.status = 404;
            return;
        }
        res.set_content(chart_js, "text/javascript; charset=utf-8");
    });
    // Browsers ask for it on their own: no icon, and no error in their console.
    server.Get("/favicon.ico",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/login", [](const httplib::Request&, httplib::Response& res) {
        res.set_content(LoginPage(false), "text/html; charset=utf-8");
    });
    server.Post("/login", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string given = req.get_param_value("token");
        if (options.token.empty() || !SameSecret(given, options.token)) {
            res.status = 401;
            res.set_content(LoginPage(true), "text/html; charset=utf-8");
            return;
        }
        res.status = 303;
        res.set_header("Location", "/");
        res.set_header("Set-Cookie", std::string(kCookieName) + "=" + options.token +
                                         "; Path=/; HttpOnly; SameSite=Strict");
    });

    auto report = [&](report::ReportCache::Kind kind, const char* type) {
        return [&cache, kind, type](const httplib::Request& req, httplib::Response& res) {
            report::ReportCache::Body body;
            std::string error;
            if (cache.Get(kind, body, error) != 0) return SendError(res, 503, error);
            res.set_header("Vary", "Accept-Encoding");
            std::shared_ptr<const std::string> sent = body.plain;
            if (body.gzip && AcceptsGzip(AcceptEncodingOf(req))) {
                sent = body.gzip;
                res.set_header("Content-Encoding", "gzip");
            }
            // Sent straight from the snapshot, which the provider keeps alive until it is sent;
            // with a length given, the library sends it as it is, never compressing it again.
            res.set_content_provider(sent->size(), type,
                                     [sent](size_t offset, size_t length, httplib::DataSink& sink) {
                                         return sink.write(sent->data() + offset, length);
                                     });
        };
    };
    server.Get("/api/summary", report(report::ReportCache::kSummaryJson, "application/json"));
    server.Get("/api/steps", report(report::ReportCache::kStepsJson, "application/json"));
    server.Get("/learners.csv",
               report(report::ReportCache::kLearnersCsv, "text/csv; charset=utf-8"));
    server.Get("/steps.csv", report(report::ReportCache::kStepsCsv, "text/csv; charset=utf-8"));
    server.Get(R"(/api/learners/([0-9]{1,3})/([0-9]{1,3}))", [&cache](const httplib::Request& req,
                                                                      httplib::Response& res) {
        std::string body, error;
        const int rc = cache.GetLearner(std::atoi(req.matches[1].str().c_str()),
                                        std::atoi(req.matches[2].str().c_str()), body, error);
        if (rc < 0) return SendError(res, 503, error);
        if (rc == 0) return SendError(res, 404, "no such learner");
        res.set_content(body, "application/json");
    });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) res.set_content("not found\n", "text/plain; charset=utf-8");
    });

    const int port = options.port == 0
                         ? server.bind_to_any_port(options.bind)
                         : (server.bind_to_port(options.bind, options.port) ? options.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "coursereport: cannot listen on %s port %d\n", options.bind.c_str(),
                     options.port);
        return 1;
    }
    const bool v6 = options.bind.find(':') != std::string::npos;
    std::printf("listening on http://%s%s%s:%d/\n", v6 ? "[" : "", options.bind.c_str(),
                v6 ? "]" : "", port);
    std::fflush(stdout);

    // SIGTERM and SIGINT are taken by one thread that stops the server: the others never see
    // them (blocked before the server starts its threads).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // The refresher starts with the signals blocked too, and ends after the last request.
    std::string error;
    if (!cache.Start(error))
        std::fprintf(stderr, "coursereport: %s; every request checks the files itself\n",
                     error.c_str());
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&signals, &signal);
        // A signal that comes before the server runs waits for it, so that it is not lost.
        while (!done && !server.is_running())
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        server.stop();
    });
    const bool ok = server.listen_after_bind();
    done = true;
    cache.Stop();
    // When the listening ended by itself, the waiter is still waiting for its signal.
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    if (!ok) {
        std::fprintf(stderr, "coursereport: the server stopped listening\n");
        return 1;
    }
    return 0;
}

}  // namespace coursereport
