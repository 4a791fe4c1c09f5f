#include "check/Finding.h"

#include <algorithm>
#include <tuple>

namespace check {

const char* SeverityName(Severity severity) {
    return severity == Severity::kError ? "error" : "warning";
}

std::string FormatFinding(const Finding& f) {
    std::string out = f.path;
    if (f.line > 0) {
        out += ":" + std::to_string(f.line);
    } else if (f.text >= 0) {
        out += "#" + std::to_string(f.text);
    }
    out += ": ";
    out += SeverityName(f.severity);
    out += ": " + f.message + " [" + f.code + "]";
    if (!f.source.empty()) {
        out += " (" + f.source;
        if (f.source_line > 0) out += ":" + std::to_string(f.source_line);
        out += ")";
    }
    return out;
}

void SortFindings(std::vector<Finding>& findings) {
    auto key = [](const Finding& f) {
        return std::tie(f.path, f.line, f.text, f.severity, f.code, f.message);
    };
    std::sort(findings.begin(), findings.end(),
              [&](const Finding& a, const Finding& b) { return key(a) < key(b); });
    findings.erase(std::unique(findings.begin(), findings.end()), findings.end());
}

}  // namespace check
