#include "WebFiles.h"

#include <algorithm>
#include <cctype>

namespace coursereport {

std::string LoginPage(bool failed, const std::string& language) {
    const bool french = language == "fr";
    const WebFile* file = FindWebFile(french ? "login.fr.html" : "login.html");
    std::string page = file ? file->body : "";
    const std::string mark = "<!--message-->";
    const size_t at = page.find(mark);
    const char* wrong =
        french ? "<p class=\"error\">Jeton incorrect.</p>" : "<p class=\"error\">Wrong token.</p>";
    if (at != std::string::npos) page.replace(at, mark.size(), failed ? wrong : "");
    return page;
}

std::string PageLanguage(const std::string& asked, const std::string& accept_language) {
    if (asked == "fr" || asked == "en") return asked;
    // The browser's languages in its order of preference: the first the page speaks.
    for (size_t at = 0; at < accept_language.size();) {
        const size_t end = std::min(accept_language.find(',', at), accept_language.size());
        std::string tag = accept_language.substr(at, end - at);
        tag = tag.substr(0, tag.find_first_of(";-"));
        tag.erase(0, tag.find_first_not_of(' '));
        for (char& c : tag) c = char(std::tolower(static_cast<unsigned char>(c)));
        if (tag == "fr" || tag == "en") return tag;
        at = end + 1;
    }
    return "en";
}

}  // namespace coursereport
