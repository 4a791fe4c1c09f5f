// The page's files, built into the program from tools/coursereport/web so that it serves them
// without reading anything but the course (and Chart.js, from its Debian package).
#pragma once

#include <string>

namespace coursereport {

struct WebFile {
    const char* name;  // index.html, app.js, app.css, login.html
    const char* type;  // its Content-Type
    const char* body;
};

// The file of that name, or null.
const WebFile* FindWebFile(const std::string& name);

// The login page; failed adds the line that says the token was wrong.
std::string LoginPage(bool failed);

}  // namespace coursereport
