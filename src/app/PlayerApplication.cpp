#include "app/PlayerApplication.h"

#include <exception>
#include <string>

#include "windows/StandardBoxes.h"

namespace app {

PlayerApplication::PlayerApplication(int& argc, char** argv) : QApplication(argc, argv) {}

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
