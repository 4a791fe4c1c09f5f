#include "AcceptEncoding.h"

#include <cctype>

namespace coursereport {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return true;
}

// A weight "0", "0.", "0.0", up to "0.000", is a refusal; any other weight is taken as a
// yes, except one that is not a weight at all, which refuses too.
bool Refuses(std::string_view params) {
    while (!params.empty()) {
        const size_t semi = params.find(';');
        const std::string_view param = Trim(params.substr(0, semi));
        params = semi == std::string_view::npos ? std::string_view() : params.substr(semi + 1);
        const size_t eq = param.find('=');
        if (eq == std::string_view::npos || !SameWord(Trim(param.substr(0, eq)), "q")) continue;
        const std::string_view q = Trim(param.substr(eq + 1));
        if (q.empty() || q.size() > 5 || (q[0] != '0' && q[0] != '1')) return true;
        if (q.size() > 1 && q[1] != '.') return true;
        bool zero = q[0] == '0';
        for (size_t i = 2; i < q.size(); ++i) {
            if (q[i] < '0' || q[i] > '9') return true;
            if (q[i] != '0') zero = false;
            if (q[0] == '1' && q[i] != '0') return true;
        }
        return zero;
    }
    return false;
}

}  // namespace

bool AcceptsGzip(std::string_view accept_encoding) {
    bool named = false, gzip = false, any = false;
    while (!accept_encoding.empty()) {
        const size_t comma = accept_encoding.find(',');
        const std::string_view item = accept_encoding.substr(0, comma);
        accept_encoding = comma == std::string_view::npos ? std::string_view()
                                                          : accept_encoding.substr(comma + 1);
        const size_t semi = item.find(';');
        const std::string_view coding = Trim(item.substr(0, semi));
        const bool yes =
            !Refuses(semi == std::string_view::npos ? std::string_view() : item.substr(semi + 1));
        if (SameWord(coding, "gzip") || SameWord(coding, "x-gzip")) {
            // Named more than once: a refusal wins.
            gzip = (named ? gzip : true) && yes;
            named = true;
        } else if (coding == "*") {
            any = yes;
        }
    }
    return named ? gzip : any;
}

}  // namespace coursereport
