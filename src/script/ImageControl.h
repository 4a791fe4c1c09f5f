// The transparent control laid over an image object on the stage: it carries the object's
// hint, cursor and pop-up menu, and shows the magnifier while the left button is held. An
// object with a menu is a Tab stop with a visible focus frame; Enter, the menu key or
// Shift+F10 opens its menu. Screen readers see it as a menu button named by its hint.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

#include "script/StageObject.h"

class QLabel;

namespace script {

class ImageControl : public QWidget {
  public:
    explicit ImageControl(QWidget* stage);

    // Called with the index of the picked menu entry.
    std::function<void(int)> on_pick;
    // Entries shown by the pop-up menu (owned by the object).
    const std::vector<MenuEntry>* entries = nullptr;

    void SetHint(const std::string& text, bool enabled);
    // The menu's entries changed: the control is reachable by keyboard exactly while its menu
    // has an entry to choose, and describes its entries to screen readers.
    void MenuChanged();
    // Shows the menu at global and hands the chosen entry's index to on_pick.
    void OpenMenu(QPoint global);
    // Installs the magnifier: a view of size (w, h) showing picture stretched.
    void SetMagnifier(QImage picture, int width, int height);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QImage zoom_picture_;
    int zoom_width_ = 0;
    int zoom_height_ = 0;
    bool zoom_on_ = false;
    QPointer<QLabel> zoom_view_;
};

}  // namespace script
