// A window's control found by its name in the window layout, for tests that look at what the
// window shows without the window handing out its widgets.
#pragma once

#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace support {

// The child of window named name, also among the widgets a view of the window shows scaled
// (a scene's widgets are not the window's children); a missing control ends the test with its
// name.
template <class T>
T* Control(const QObject& window, const QString& name) {
    T* found = window.findChild<T*>(name);
    for (QGraphicsView* view : window.findChildren<QGraphicsView*>()) {
        if (found || !view->scene()) break;
        for (QGraphicsItem* item : view->scene()->items()) {
            auto* proxy = dynamic_cast<QGraphicsProxyWidget*>(item);
            QWidget* shown = proxy ? proxy->widget() : nullptr;
            if (!shown) continue;
            if (shown->objectName() == name) found = qobject_cast<T*>(shown);
            if (!found) found = shown->findChild<T*>(name);
            if (found) break;
        }
    }
    if (!found) throw std::logic_error("no control named " + name.toStdString());
    return found;
}

}  // namespace support
