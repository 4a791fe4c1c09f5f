// Text from peers and from the course's files for the server's log lines, shown so that a name
// or a sign-on text can neither garble a line nor forge another one.
#pragma once

#include <string>
#include <string_view>

namespace server {

// A text in the course's code page (Windows-1252), converted to UTF-8, its control characters
// shown as \xNN.
std::string LogText(std::string_view cp1252);

// A native path as the system names it, in UTF-8: its control characters and the bytes of no
// UTF-8 character shown as \xNN.
std::string LogPath(std::string_view path);

}  // namespace server
