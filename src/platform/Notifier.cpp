#include "platform/Notifier.h"

#include <cstdio>

#include "platform/Path.h"

namespace platform {
namespace {

// Until a window layer installs its own, texts go to stderr.
class StderrNotifier final : public Notifier {
  public:
    void ShowSystemError(const std::string& text, int code) override {
        std::fprintf(stderr, "%s: %s\n", SystemErrorText(code).c_str(), text.c_str());
    }
    void ShowMessage(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
};

StderrNotifier& DefaultNotifier() {
    static StderrNotifier n;
    return n;
}

Notifier* current = nullptr;

}  // namespace

void SetNotifier(Notifier* n) {
    current = n;
}

Notifier& CurrentNotifier() {
    return current ? *current : DefaultNotifier();
}

}  // namespace platform
