// A window's control found by its name in the window layout, for tests that look at what the
// window shows without the window handing out its widgets.
#pragma once

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace support {

// The child of window named name; a missing control ends the test with its name.
template <class T>
T* Control(const QObject& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    if (!found) throw std::logic_error("no control named " + name.toStdString());
    return found;
}

}  // namespace support
