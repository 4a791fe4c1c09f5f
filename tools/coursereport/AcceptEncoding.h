// Which content codings a request's Accept-Encoding allows.
#pragma once

#include <string_view>

namespace coursereport {

// Whether the Accept-Encoding value allows a gzip body: "gzip" or "x-gzip" with a weight above
// 0, or "*" above 0 when gzip is not named. Empty (no header): false, the body goes as it is.
bool AcceptsGzip(std::string_view accept_encoding);

}  // namespace coursereport
