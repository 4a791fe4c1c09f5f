// The HTTP side of coursereport serve: the page, its script and style, Chart.js, the JSON and
// CSV reports, and the token check.
#pragma once

#include <string>

namespace report {
class ReportCache;
}

namespace coursereport {

struct ServeOptions {
    std::string bind = "127.0.0.1";
    int port = 8080;
    std::string token;     // empty: no token asked (loopback only)
    std::string chart_js;  // the file served as /chart.js
};

// Whether addr is a loopback address (127.0.0.0/8, ::1).
bool IsLoopback(const std::string& addr);

// Serves until SIGTERM or SIGINT, running the cache's refresher meanwhile. Prints "listening on
// http://ADDR:PORT/" once bound. 0 on a clean end; 1 with a message on stderr when the address
// cannot be bound.
int Serve(report::ReportCache& cache, const ServeOptions& options);

}  // namespace coursereport
