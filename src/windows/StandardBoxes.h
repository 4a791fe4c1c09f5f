#pragma once

#include <functional>
#include <string>

#include "platform/Notifier.h"

namespace windows {

// The toolkit's standard message boxes (not the course's own box), for file errors and
// developer reports. Texts are in the courseware's code page.
enum class BoxKind { Error, Information };

void ShowStandardBox(BoxKind kind, const std::string& caption, const std::string& text);

// Replaces how standard boxes are shown (tests record them instead); nullptr restores the
// window boxes. Without a QApplication the boxes go to stderr.
using StandardBoxHandler =
    std::function<void(BoxKind kind, const std::string& caption, const std::string& text)>;
void SetStandardBoxHandler(StandardBoxHandler handler);

// The notifier the windows install for code below them: ShowSystemError is an error box
// captioned with the system's text for the code, ShowMessage an information box.
class WindowNotifier : public platform::Notifier {
  public:
    void ShowSystemError(const std::string& text, int code) override;
    void ShowMessage(const std::string& caption, const std::string& text) override;
};

}  // namespace windows
