// A body compressed once as gzip, for the clients that accept it.
#pragma once

#include <string>
#include <string_view>

namespace report {

// body as one gzip member at zlib's default level: true with it in out, false with zlib's
// reason in error (out is then empty).
bool Gzip(std::string_view body, std::string& out, std::string& error);

}  // namespace report
