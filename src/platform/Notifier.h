// How code below the windows shows an error or notice to the user. The application hands its
// message-box implementation down to the course; code given none writes to stderr.
#pragma once

#include <string>

namespace platform {

class Notifier {
  public:
    virtual ~Notifier() = default;
    // An error box: the body text, with SystemErrorText(code) as its caption.
    virtual void ShowSystemError(const std::string& text, int code) = 0;
    // An error box with its own caption.
    virtual void ShowError(const std::string& caption, const std::string& text) = 0;
    // An information box.
    virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
};

// The default where nothing was handed over: a stateless notifier that writes each text as
// one line to stderr.
Notifier& StderrNotifier();

}  // namespace platform
