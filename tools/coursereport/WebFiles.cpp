#include "WebFiles.h"

namespace coursereport {

std::string LoginPage(bool failed) {
    const WebFile* file = FindWebFile("login.html");
    std::string page = file ? file->body : "";
    const std::string mark = "<!--message-->";
    const size_t at = page.find(mark);
    if (at != std::string::npos)
        page.replace(at, mark.size(), failed ? "<p class=\"error\">Wrong token.</p>" : "");
    return page;
}

}  // namespace coursereport
