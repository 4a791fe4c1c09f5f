#pragma once

#include <functional>
#include <string>

#include "platform/Notifier.h"

namespace windows {

// The toolkit's standard message boxes (not the course's own box), for file errors and
// developer reports. Texts are in the courseware's code page. Without a QApplication the boxes
// go to stderr.
enum class BoxKind { Error, Information };

void ShowStandardBox(BoxKind kind, const std::string& caption, const std::string& text);

// The notifier the application hands down to the course: ShowSystemError is an error box
// captioned with the system's text for the code, ShowError an error box with its own caption,
// ShowMessage an information box. A test gives it a function that records the boxes instead.
class WindowNotifier : public platform::Notifier {
  public:
    using BoxShower =
        std::function<void(BoxKind kind, const std::string& caption, const std::string& text)>;
    explicit WindowNotifier(BoxShower show = ShowStandardBox) : show_(std::move(show)) {}

    void ShowSystemError(const std::string& text, int code) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;

  private:
    BoxShower show_;
};

}  // namespace windows
