#include "script/ImageControl.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>

#include "windows/QtText.h"

namespace script {

using windows::FromCp1252;

ImageControl::ImageControl(QWidget* stage) : QWidget(stage) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
}

void ImageControl::SetHint(const std::string& text, bool enabled) {
    setToolTip(enabled ? FromCp1252(text) : QString());
}

void ImageControl::SetMagnifier(QImage picture, int width, int height) {
    zoom_picture_ = std::move(picture);
    zoom_width_ = width;
    zoom_height_ = height;
    zoom_on_ = true;
}

void ImageControl::contextMenuEvent(QContextMenuEvent* event) {
    if (!entries || entries->empty()) return;
    QMenu menu(this);
    std::vector<QAction*> actions;
    for (const MenuEntry& e : *entries) {
        QAction* a = e.caption == "-" ? menu.addSeparator() : menu.addAction(FromCp1252(e.caption));
        if (!e.picture.empty()) a->setIcon(QIcon(QString::fromStdString(e.picture)));
        a->setVisible(e.visible);
        if (e.is_default) menu.setDefaultAction(a);
        actions.push_back(a);
    }
    QAction* chosen = menu.exec(event->globalPos());
    for (size_t i = 0; chosen && i < actions.size(); ++i) {
        if (actions[i] == chosen && on_pick) on_pick(static_cast<int>(i));
    }
}

void ImageControl::mousePressEvent(QMouseEvent* event) {
    if (!zoom_on_ || event->button() != Qt::LeftButton || !parentWidget()) return;
    delete zoom_view_;
    zoom_view_ = new QLabel(parentWidget());
    // The pointer's position within the control, used as stage coordinates.
    QPoint at = event->position().toPoint();
    zoom_view_->setGeometry(at.x(), at.y(), zoom_width_, zoom_height_);
    if (!zoom_picture_.isNull()) {
        zoom_view_->setPixmap(QPixmap::fromImage(zoom_picture_.scaled(
            zoom_width_ > 0 ? zoom_width_ : 1, zoom_height_ > 0 ? zoom_height_ : 1)));
    }
    zoom_view_->show();
}

void ImageControl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) delete zoom_view_;
}

}  // namespace script
