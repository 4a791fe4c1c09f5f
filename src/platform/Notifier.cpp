#include "platform/Notifier.h"

#include <cstdio>

#include "platform/Path.h"

namespace platform {
namespace {

class ConsoleNotifier final : public Notifier {
  public:
    void ShowSystemError(const std::string& text, int code) override {
        std::fprintf(stderr, "%s: %s\n", SystemErrorText(code).c_str(),
                     PathsForPeople(text).c_str());
    }
    void ShowError(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), PathsForPeople(text).c_str());
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), PathsForPeople(text).c_str());
    }
};

}  // namespace

Notifier& StderrNotifier() {
    static ConsoleNotifier n;
    return n;
}

}  // namespace platform
