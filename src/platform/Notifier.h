// How code below the windows shows an error or notice to the user. The windows install a
// message-box implementation at start-up; until then texts go to stderr.
#pragma once

#include <string>

namespace platform {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // An error box: the body text, with SystemErrorText(code) as its caption.
    virtual void ShowSystemError(const std::string& text, int code) = 0;
    // An information box.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

// Installs n as the current notifier; nullptr restores the default (stderr). The caller keeps
// ownership and must reset it before n is destroyed.
void SetNotifier(Notifier* n);
Notifier& CurrentNotifier();

}  // namespace platform
