// The page's files, built into the program from tools/coursereport/web so that it serves them
// without reading anything but the course (and Chart.js, from its Debian package).
#pragma once

#include <string>

namespace coursereport {

struct WebFile {
    const char* name;  // index.html, app.js, i18n.js, app.css, login.html, login.fr.html
    const char* type;  // its Content-Type
    const char* body;
};

// The file of that name, or null.
const WebFile* FindWebFile(const std::string& name);

// The login page in language ("fr" or English); failed adds the line that says the token was
// wrong.
std::string LoginPage(bool failed, const std::string& language);
// The page's language for a request: asked (?lang=) when the page speaks it, else the first of
// Accept-Language it speaks, else "en".
std::string PageLanguage(const std::string& asked, const std::string& accept_language);

}  // namespace coursereport
