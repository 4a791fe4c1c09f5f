#include "ReportServer.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/random.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>
#include <thread>

#include <nlohmann/json.hpp>

#include "AcceptEncoding.h"
#include "Connections.h"
#include "WebFiles.h"
#include "platform/ReadFile.h"
#include "report/Gzip.h"
#include "report/ReportCache.h"

namespace coursereport {

namespace {

constexpr char kCookieName[] = "coursereport_session";
constexpr char kSecurityPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; form-action 'self'; base-uri 'none'; frame-ancestors 'none'";
// How long a sign-in lasts, and how many are kept at once (the oldest go first).
constexpr auto kSessionLife = std::chrono::hours(12);
constexpr size_t kMostSessions = 1000;

// Compares in a time that does not depend on where the texts differ.
bool SameSecret(std::string_view given, std::string_view token) {
    if (token.empty() || given.size() != token.size()) return false;
    unsigned char diff = 0;
    for (size_t i = 0; i < token.size(); ++i) diff |= uint8_t(given[i] ^ token[i]);
    return diff == 0;
}

// The value of the cookie name in the request's Cookie header; empty without one.
std::string CookieValue(const httplib::Request& req, const std::string& name) {
    const std::string cookies = req.get_header_value("Cookie");
    const std::string key = name + "=";
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

// The sign-ins of the login page: random ids, each valid until its expiry, kept in memory
// only. The cookie carries an id, never the token.
class Sessions {
  public:
    using Clock = std::chrono::steady_clock;

    // A new id, valid for kSessionLife; empty when the system gives no random bytes.
    std::string Open() {
        unsigned char bytes[32];
        if (getrandom(bytes, sizeof bytes, 0) != ssize_t(sizeof bytes)) return std::string();
        static const char hex[] = "0123456789abcdef";
        std::string id;
        for (unsigned char b : bytes) {
            id += hex[b >> 4];
            id += hex[b & 15];
        }
        std::lock_guard<std::mutex> lock(mutex_);
        Expire();
        while (expiry_.size() >= kMostSessions)
            expiry_.erase(
                std::min_element(expiry_.begin(), expiry_.end(),
                                 [](const auto& a, const auto& b) { return a.second < b.second; }));
        expiry_[id] = Clock::now() + kSessionLife;
        return id;
    }
    bool Valid(const std::string& id) {
        if (id.empty()) return false;
        std::lock_guard<std::mutex> lock(mutex_);
        Expire();
        return expiry_.count(id) != 0;
    }

  private:
    void Expire() {
        const auto now = Clock::now();
        std::erase_if(expiry_, [now](const auto& entry) { return entry.second <= now; });
    }

    std::mutex mutex_;
    std::map<std::string, Clock::time_point> expiry_;
};

// Every Accept-Encoding line of the request, as one list.
std::string AcceptEncodingOf(const httplib::Request& req) {
    std::string all;
    const auto [first, last] = req.headers.equal_range("Accept-Encoding");
    for (auto it = first; it != last; ++it) all += (all.empty() ? "" : ",") + it->second;
    return all;
}

// An error answer: the English text, and beside it a code the page words in its own language.
void SendError(httplib::Response& res, int status, const char* code, const std::string& message) {
    res.status = status;
    res.set_content(nlohmann::json{{"error", message}, {"code", code}}.dump(
                        -1, ' ', false, nlohmann::json::error_handler_t::replace),
                    "application/json");
}

// What an error answer's body says, for the answers the library makes itself.
std::string ErrorText(int status) {
    switch (status) {
        case 400:
            return "bad request: the request line or a header is malformed\n";
        case 404:
            return "not found\n";
        case 413:
            return "the request's body is too large\n";
        case 414:
            return "the request's path is too long\n";
        case 416:
            return "the range asked for cannot be served\n";
        case 500:
            return "the server failed to answer this request\n";
        default:
            return "the request cannot be answered (" + std::to_string(status) + ")\n";
    }
}

// A body sent as it is, or gzip-compressed to the clients that accept it: both made once,
// never compressed per request.
struct Prepared {
    std::shared_ptr<const std::string> plain, gzip;
    std::string type;
};

Prepared Prepare(std::string body, std::string type) {
    Prepared p;
    std::string packed, why;
    if (report::Gzip(body, packed, why)) p.gzip = std::make_shared<const std::string>(packed);
    p.plain = std::make_shared<const std::string>(std::move(body));
    p.type = std::move(type);
    return p;
}

// Sends body (kept alive by the answer) with its length: the library sends it as it is, never
// compressing it again.
void SendBody(const httplib::Request& req, httplib::Response& res,
              std::shared_ptr<const std::string> plain, std::shared_ptr<const std::string> gzip,
              const std::string& type) {
    res.set_header("Vary", "Accept-Encoding");
    std::shared_ptr<const std::string> sent = plain;
    if (gzip && AcceptsGzip(AcceptEncodingOf(req))) {
        sent = gzip;
        res.set_header("Content-Encoding", "gzip");
    }
    res.set_content_provider(sent->size(), type,
                             [sent](size_t offset, size_t length, httplib::DataSink& sink) {
                                 return sink.write(sent->data() + offset, length);
                             });
}

// host without its port: "a.b:80" -> "a.b", "[::1]:80" -> "[::1]".
std::string HostName(const std::string& host) {
    if (!host.empty() && host[0] == '[') return host.substr(0, host.find(']') + 1);
    return host.substr(0, host.find(':'));
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

bool IsLoopback(const std::string& addr) {
    in_addr v4{};
    if (inet_pton(AF_INET, addr.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (inet_pton(AF_INET6, addr.c_str(), &v6) == 1) return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

bool HostAllowed(const std::string& host, const ServeOptions& options) {
    const std::string name = Lower(HostName(host));
    const bool v6 = options.bind.find(':') != std::string::npos;
    if (name == "localhost" || name == "127.0.0.1" || name == "[::1]" ||
        name == Lower(v6 ? "[" + options.bind + "]" : options.bind))
        return true;
    return std::any_of(options.allowed_hosts.begin(), options.allowed_hosts.end(),
                       [&](const std::string& allowed) { return Lower(allowed) == name; });
}

namespace {

// The TLS context's certificate and key, loaded and checked; false with OpenSSL's reason.
bool UseCertificate(SSL_CTX& context, const ServeOptions& options, std::string& error) {
    SSL_CTX_set_min_proto_version(&context, TLS1_2_VERSION);
    SSL_CTX_set_options(&context, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION);
    std::string failed;
    if (SSL_CTX_use_certificate_chain_file(&context, options.tls_cert.c_str()) != 1)
        failed = "cannot use the certificate " + options.tls_cert;
    else if (SSL_CTX_use_PrivateKey_file(&context, options.tls_key.c_str(), SSL_FILETYPE_PEM) != 1)
        failed = "cannot use the private key " + options.tls_key;
    else if (SSL_CTX_check_private_key(&context) != 1)
        failed = "the private key " + options.tls_key + " does not match the certificate";
    if (failed.empty()) return true;
    char reason[256] = "";
    ERR_error_string_n(ERR_get_error(), reason, sizeof reason);
    ERR_clear_error();
    error = failed + ": " + reason;
    return false;
}

}  // namespace

int Serve(report::ReportCache& cache, const ServeOptions& options) {
    return Serve(std::vector<LanguageReports>{{"", &cache}}, options);
}

int Serve(const std::vector<LanguageReports>& languages, const ServeOptions& options) {
    // A peer gone while TLS writes to it is an error of that write, not the end of the server
    // (OpenSSL writes to the socket without MSG_NOSIGNAL).
    std::signal(SIGPIPE, SIG_IGN);
    const ConnectionLimits limits;
    const bool tls = !options.tls_cert.empty();
    std::unique_ptr<httplib::Server> made;
    std::function<void(httplib::Request&)>* setup_request = nullptr;
    std::function<void(int)> widen_backlog;
    std::string tls_error;
    if (tls) {
        auto secure = std::make_unique<GuardedServer<httplib::SSLServer>>(
            limits, [&](SSL_CTX& context) { return UseCertificate(context, options, tls_error); });
        setup_request = &secure->setup_request;
        widen_backlog = [server = secure.get()](int n) { server->WidenBacklog(n); };
        made = std::move(secure);
    } else {
        auto plain = std::make_unique<GuardedServer<httplib::Server>>(limits);
        setup_request = &plain->setup_request;
        widen_backlog = [server = plain.get()](int n) { server->WidenBacklog(n); };
        made = std::move(plain);
    }
    if (!made->is_valid()) {
        std::fprintf(stderr, "coursereport: %s\n",
                     tls_error.empty() ? "cannot make the TLS context" : tls_error.c_str());
        return 1;
    }
    httplib::Server& server = *made;
    // One range at most: a request for many would have the answer sent again for each.
    *setup_request = [](httplib::Request& req) {
        if (req.ranges.size() > 1) req.ranges.clear();
    };
    server.set_payload_max_length(4096);
    server.set_default_headers({{"Content-Security-Policy", kSecurityPolicy},
                                {"X-Content-Type-Options", "nosniff"},
                                {"Referrer-Policy", "no-referrer"},
                                {"X-Frame-Options", "DENY"},
                                {"Cache-Control", "no-store"}});

    // The page's files, each compressed once here.
    std::map<std::string, Prepared> files;
    for (const char* name : {"index.html", "app.js", "i18n.js", "app.css"}) {
        const WebFile* file = FindWebFile(name);
        if (!file) continue;
        const std::string path =
            name == std::string_view("index.html") ? "/" : std::string("/") + name;
        files[path] = Prepare(file->body, file->type);
    }
    if (!options.chart_js.empty()) {
        std::string chart_js, why;
        if (platform::ReadWholeFile(options.chart_js, chart_js, why))
            files["/chart.js"] = Prepare(std::move(chart_js), "text/javascript; charset=utf-8");
        else
            std::fprintf(stderr, "coursereport: no charts: %s\n", why.c_str());
    }
    // The sign-in page in each language the page speaks, picked by ?lang= or Accept-Language.
    std::map<std::string, Prepared> login, login_failed;
    for (const char* language : {"en", "fr"}) {
        login[language] = Prepare(LoginPage(false, language), "text/html; charset=utf-8");
        login_failed[language] = Prepare(LoginPage(true, language), "text/html; charset=utf-8");
    }
    auto language_of = [](const httplib::Request& req) {
        return PageLanguage(req.get_param_value("lang"), req.get_header_value("Accept-Language"));
    };
    auto send = [](const httplib::Request& req, httplib::Response& res, const Prepared& p) {
        SendBody(req, res, p.plain, p.gzip, p.type);
    };

    const std::string bound =
        options.bind.find(':') != std::string::npos ? "[" + options.bind + "]" : options.bind;
    const std::string refused_host =
        "this report answers only requests addressed to localhost, 127.0.0.1" +
        (HostAllowed(bound, ServeOptions{}) ? " or [::1]" : ", [::1] or " + bound) +
        "; name other hosts with --allow-host\n";
    Sessions sessions;
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response& res) {
        if (options.token.empty()) {
            // Answered only when addressed to this machine by a name an attacker's page
            // cannot take (rebinding its own name to this address).
            if (!req.has_header("Host") || HostAllowed(req.get_header_value("Host"), options))
                return httplib::Server::HandlerResponse::Unhandled;
            res.status = 403;
            res.set_content(refused_host, "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.path == "/login") return httplib::Server::HandlerResponse::Unhandled;
        const std::string auth = req.get_header_value("Authorization");
        if ((auth.rfind("Bearer ", 0) == 0 && SameSecret(auth.substr(7), options.token)) ||
            sessions.Valid(CookieValue(req, kCookieName)))
            return httplib::Server::HandlerResponse::Unhandled;
        res.set_header("WWW-Authenticate", "Bearer");
        send(req, res, login.at(language_of(req)));
        res.status = 401;
        return httplib::Server::HandlerResponse::Handled;
    });

    for (const auto& [path, file] : files)
        server.Get(path, [&send, &file = file](const httplib::Request& req,
                                               httplib::Response& res) { send(req, res, file); });
    if (!files.count("/chart.js"))
        server.Get("/chart.js",
                   [](const httplib::Request&, httplib::Response& res) { res.status = 404; });
    // Browsers ask for it on their own: no icon, and no error in their console.
    server.Get("/favicon.ico",
               [](const httplib::Request&, httplib::Response& res) { res.status = 204; });
    server.Get("/login", [&](const httplib::Request& req, httplib::Response& res) {
        send(req, res, login.at(language_of(req)));
    });
    server.Post("/login", [&](const httplib::Request& req, httplib::Response& res) {
        const std::string given = req.get_param_value("token");
        if (options.token.empty() || !SameSecret(given, options.token)) {
            send(req, res, login_failed.at(language_of(req)));
            res.status = 401;
            return;
        }
        const std::string id = sessions.Open();
        if (id.empty())
            return SendError(res, 503, "no_session",
                             "cannot sign in: no random bytes for a session");
        res.status = 303;
        res.set_header("Location", "/");
        res.set_header("Set-Cookie",
                       std::string(kCookieName) + "=" + id + "; Path=/; Max-Age=" +
                           std::to_string(std::chrono::seconds(kSessionLife).count()) +
                           "; HttpOnly; SameSite=Strict" + (tls ? "; Secure" : ""));
    });

    // The reports of the course language a request names by ?lang= (any case), else the
    // course's own.
    auto cache_of = [&languages](const httplib::Request& req) -> report::ReportCache& {
        std::string asked = req.get_param_value("lang");
        for (char& c : asked) c = char(std::toupper(static_cast<unsigned char>(c)));
        for (const LanguageReports& l : languages)
            if (!l.language.empty() && l.language == asked) return *l.cache;
        return *languages.front().cache;
    };
    server.Get("/api/languages", [&languages](const httplib::Request&, httplib::Response& res) {
        nlohmann::json list = nlohmann::json::array();
        for (const LanguageReports& l : languages)
            if (!l.language.empty()) list.push_back(l.language);
        res.set_content(nlohmann::json{{"languages", list}}.dump(), "application/json");
    });
    auto report = [&](report::ReportCache::Kind kind, const char* type) {
        return [&cache_of, kind, type](const httplib::Request& req, httplib::Response& res) {
            report::ReportCache::Body body;
            std::string error;
            if (cache_of(req).Get(kind, body, error) != 0)
                return SendError(res, 503, "no_report", error);
            // Sent straight from the snapshot, which the answer keeps alive until it is sent.
            SendBody(req, res, body.plain, body.gzip, type);
        };
    };
    server.Get("/api/summary", report(report::ReportCache::kSummaryJson, "application/json"));
    server.Get("/api/steps", report(report::ReportCache::kStepsJson, "application/json"));
    // A CSV with French columns (?columns=fr, else a French ?lang=: fr, FR, BE, CH) is made for
    // the request and sent as it is.
    auto csv = [&](report::ReportCache::Kind kind) {
        return [&cache_of, kind, plain = report(kind, "text/csv; charset=utf-8")](
                   const httplib::Request& req, httplib::Response& res) {
            std::string columns = req.has_param("columns") ? req.get_param_value("columns")
                                                           : req.get_param_value("lang");
            for (char& c : columns) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (columns != "fr" && columns != "be" && columns != "ch") return plain(req, res);
            std::string body, error;
            if (cache_of(req).Get(kind, body, error) != 0)
                return SendError(res, 503, "no_report", error);
            SendBody(req, res,
                     std::make_shared<const std::string>(report::CsvInLanguage(body, "fr")),
                     nullptr, "text/csv; charset=utf-8");
        };
    };
    server.Get("/learners.csv", csv(report::ReportCache::kLearnersCsv));
    server.Get("/steps.csv", csv(report::ReportCache::kStepsCsv));
    server.Get("/answers.csv", csv(report::ReportCache::kAnswersCsv));
    server.Get(R"(/api/learners/([0-9]{1,3})/([0-9]{1,3}))",
               [&cache_of](const httplib::Request& req, httplib::Response& res) {
                   std::string body, error;
                   const int rc = cache_of(req).GetLearner(std::atoi(req.matches[1].str().c_str()),
                                                           std::atoi(req.matches[2].str().c_str()),
                                                           body, error);
                   if (rc < 0) return SendError(res, 503, "no_report", error);
                   if (rc == 0) return SendError(res, 404, "no_learner", "no such learner");
                   // Made for this request: sent as it is, never compressed per request.
                   SendBody(req, res, std::make_shared<const std::string>(std::move(body)), nullptr,
                            "application/json");
               });
    server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty() && !res.content_provider_)
            res.set_content(ErrorText(res.status), "text/plain; charset=utf-8");
    });

    const int port = options.port == 0
                         ? server.bind_to_any_port(options.bind)
                         : (server.bind_to_port(options.bind, options.port) ? options.port : -1);
    if (port < 0) {
        std::fprintf(stderr, "coursereport: cannot listen on %s port %d\n", options.bind.c_str(),
                     options.port);
        return 1;
    }
    widen_backlog(SOMAXCONN);
    const bool v6 = options.bind.find(':') != std::string::npos;
    std::printf("listening on %s://%s%s%s:%d/\n", tls ? "https" : "http", v6 ? "[" : "",
                options.bind.c_str(), v6 ? "]" : "", port);
    std::fflush(stdout);

    // SIGTERM and SIGINT are taken by one thread that stops the server: the others never see
    // them (blocked before the server starts its threads).
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // The refresher starts with the signals blocked too, and ends after the last request.
    for (const LanguageReports& l : languages) {
        std::string error;
        if (!l.cache->Start(error))
            std::fprintf(stderr, "coursereport: %s; every request checks the files itself\n",
                         error.c_str());
    }
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
    for (const LanguageReports& l : languages) l.cache->Stop();
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
