#include "app/PlayerApplication.h"

#include <exception>
#include <string>

#include "platform/Notifier.h"
#include "windows/StandardBoxes.h"

namespace app {

PlayerApplication::PlayerApplication(int& argc, char** argv, const data::Course& course)
    : QApplication(argc, argv),
      sounds_(std::make_unique<windows::SoundPlayer>(course, windows::MakeSoundBackend())) {}

PlayerApplication::~PlayerApplication() {
    // Sounds stop before the toolkit goes away.
    sounds_.reset();
}

bool PlayerApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        windows::ShowStandardBox(windows::BoxKind::Error, applicationDisplayName().toStdString(),
                                 e.what());
    } catch (...) {
        windows::ShowStandardBox(windows::BoxKind::Error, applicationDisplayName().toStdString(),
                                 "Unknown exception");
    }
    return false;
}

}  // namespace app
