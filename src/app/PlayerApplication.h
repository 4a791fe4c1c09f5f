// The player's application object: it owns the notifier that shows the lower layers' errors
// and the sound player, which it hands to the windows; an exception that reaches the event loop
// is shown as an error box through the course's notifier instead of ending the run.
#pragma once

#include <QApplication>
#include <memory>

#include "windows/SoundPlayer.h"
#include "windows/StandardBoxes.h"

namespace data {
class Course;
}

namespace app {

class PlayerApplication : public QApplication {
  public:
    PlayerApplication(int& argc, char** argv, const data::Course& course);
    ~PlayerApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;

    windows::SoundPlayer& Sounds() { return *sounds_; }
    platform::Notifier& Notifier() { return notifier_; }

  private:
    const data::Course& course_;
    windows::WindowNotifier notifier_;
    std::unique_ptr<windows::SoundPlayer> sounds_;
};

}  // namespace app
