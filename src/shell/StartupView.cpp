#include "shell/StartupView.h"

#include <cstdio>

namespace shell {

void ConsoleStartupView::ShowErrorBox(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void ConsoleStartupView::ShowStatus(const std::string& text) {
    if (!text.empty()) std::printf("%s\n", text.c_str());
}

}  // namespace shell
