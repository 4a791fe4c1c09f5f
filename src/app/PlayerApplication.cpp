#include "app/PlayerApplication.h"

#include <exception>
#include <string>

#include "data/Course.h"
#include "platform/Notifier.h"

namespace app {

PlayerApplication::PlayerApplication(int& argc, char** argv, const data::Course& course)
    : QApplication(argc, argv),
      course_(course),
      sounds_(std::make_unique<windows::SoundPlayer>(course, windows::MakeSoundBackend())) {}

PlayerApplication::~PlayerApplication() {
    // Sounds stop before the toolkit goes away.
    sounds_.reset();
}

bool PlayerApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        course_.Notifier().ShowError(applicationDisplayName().toStdString(), e.what());
    } catch (...) {
        course_.Notifier().ShowError(applicationDisplayName().toStdString(), "Unknown exception");
    }
    return false;
}

}  // namespace app
