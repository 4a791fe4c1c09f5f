// The HTTP side of coursereport serve: the page, its script and style, Chart.js, the JSON and
// CSV reports, and the token check.
#pragma once

#include <string>
#include <vector>

namespace report {
class ReportCache;
}

namespace coursereport {

struct ServeOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;
    std::string token;     // empty: no token asked (loopback only)
    std::string chart_js;  // the file served as /chart.js
    // With both: HTTPS with this certificate (chain) and private key, PEM files.
    std::string tls_cert, tls_key;
    // Without a token, the Host names answered besides the bound address and loopback's.
    std::vector<std::string> allowed_hosts;
};

// Whether addr is a loopback address (127.0.0.0/8, ::1).
bool IsLoopback(const std::string& addr);

// Whether a request whose Host header is host (its port left out) may be answered without a
// token: the bound address, a loopback name (localhost, 127.0.0.1, [::1]) or an allowed host.
// Any other name may be a rebinding of an attacker's name to this address.
bool HostAllowed(const std::string& host, const ServeOptions& options);

// Serves until SIGTERM or SIGINT, running the cache's refresher meanwhile. Prints "listening on
// http://ADDR:PORT/" (https with TLS) once bound. 0 on a clean end; 1 with a message on stderr
// when the certificate cannot be used or the address cannot be bound.
int Serve(report::ReportCache& cache, const ServeOptions& options);

// The reports of one of the course's languages (its MSG folder's name: GB, FR).
struct LanguageReports {
    std::string language;
    report::ReportCache* cache = nullptr;
};
// As above for a course in several languages, the first the course's own: a request names the
// one it wants by ?lang= (any case); /api/languages lists them.
int Serve(const std::vector<LanguageReports>& languages, const ServeOptions& options);

}  // namespace coursereport
