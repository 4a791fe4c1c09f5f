// What start-up shows besides system errors (those go through platform::Notifier): an error
// message box and the status bar text. The main window implements it; ConsoleStartupView
// prints, for runs without a window and for tests.
#pragma once

#include <string>

namespace shell {

class StartupView {
  public:
    virtual ~StartupView() = default;
    // A message box with the error icon and an OK button.
    virtual void ShowErrorBox(const std::string& caption, const std::string& text) = 0;
    // The status bar's text; "" clears it.
    virtual void ShowStatus(const std::string& text) = 0;
};

// Writes error boxes to stderr and status texts to stdout.
class ConsoleStartupView final : public StartupView {
  public:
    void ShowErrorBox(const std::string& caption, const std::string& text) override;
    void ShowStatus(const std::string& text) override;
};

}  // namespace shell
