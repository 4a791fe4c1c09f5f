#include "script/ImageControl.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>

#include "windows/BoxScaler.h"
#include "windows/QtText.h"
#include "windows/ScaledScreen.h"

namespace script {

using windows::FromCp1252;

namespace {

// Screen readers announce an image control as a menu button.
QAccessibleInterface* ImageControlAccessible(const QString&, QObject* object) {
    if (auto* control = dynamic_cast<ImageControl*>(object))
        return new QAccessibleWidget(control, QAccessible::ButtonMenu);
    return nullptr;
}

// Entries a learner can choose: visible, not separators.
bool Choosable(const MenuEntry& e) {
    return e.visible && e.caption != "-";
}

}  // namespace

ImageControl::ImageControl(QWidget* stage) : QWidget(stage) {
    static const bool accessible_installed = [] {
        QAccessible::installFactory(ImageControlAccessible);
        return true;
    }();
    (void)accessible_installed;
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);
}

void ImageControl::SetHint(const std::string& text, bool enabled) {
    setToolTip(enabled ? FromCp1252(text) : QString());
    setAccessibleName(FromCp1252(text));
}

void ImageControl::MenuChanged() {
    QStringList captions;
    if (entries) {
        for (const MenuEntry& e : *entries)
            if (Choosable(e)) captions << FromCp1252(e.caption);
    }
    setFocusPolicy(captions.isEmpty() ? Qt::NoFocus : Qt::TabFocus);
    setAccessibleDescription(captions.join(", "));
}

void ImageControl::SetMagnifier(QImage picture, int width, int height) {
    zoom_picture_ = std::move(picture);
    zoom_width_ = width;
    zoom_height_ = height;
    zoom_on_ = true;
}

void ImageControl::contextMenuEvent(QContextMenuEvent* event) {
    OpenMenu(event->globalPos());
}

void ImageControl::OpenMenu(QPoint global) {
    if (!entries || entries->empty()) return;
    // A window of its own, not a child of the stage, drawn at the stage's scale.
    QMenu menu;
    std::vector<QAction*> actions;
    for (const MenuEntry& e : *entries) {
        QAction* a = e.caption == "-" ? menu.addSeparator() : menu.addAction(FromCp1252(e.caption));
        if (!e.picture.empty()) a->setIcon(QIcon(QString::fromStdString(e.picture)));
        a->setVisible(e.visible);
        if (e.is_default) menu.setDefaultAction(a);
        actions.push_back(a);
    }
    windows::ScaleMenu(menu, this);
    QAction* chosen = menu.exec(global);
    for (size_t i = 0; chosen && i < actions.size(); ++i) {
        if (actions[i] == chosen && on_pick) on_pick(static_cast<int>(i));
    }
}

void ImageControl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const bool shift_f10 = key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier;
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Menu || shift_f10) {
        OpenMenu(mapToGlobal(rect().center()));
        return;
    }
    QWidget::keyPressEvent(event);
}

void ImageControl::focusInEvent(QFocusEvent* event) {
    // The control paints nothing but its focus frame, and only while it has the focus; it is
    // created with updates off, and takes them once it is first focused.
    setUpdatesEnabled(true);
    update();
    QWidget::focusInEvent(event);
}

void ImageControl::focusOutEvent(QFocusEvent* event) {
    update();
    QWidget::focusOutEvent(event);
}

void ImageControl::paintEvent(QPaintEvent*) {
    if (!hasFocus()) return;
    // A black ring around a white one, each at least 2 pixels wide on the screen at the stage's
    // scale: one of the two stands out by 3:1 or more on any picture.
    const windows::ScaledScreen* screen = windows::MainScreenOf(this);
    const double scale = screen && screen->Scale() > 0 ? screen->Scale() : 1.0;
    const int w = std::max(2, static_cast<int>(std::ceil(2.0 / scale)));
    QPainter p(this);
    auto ring = [&p, w](const QRect& r, const QColor& colour) {
        p.fillRect(r.x(), r.y(), r.width(), w, colour);
        p.fillRect(r.x(), r.bottom() - w + 1, r.width(), w, colour);
        p.fillRect(r.x(), r.y(), w, r.height(), colour);
        p.fillRect(r.right() - w + 1, r.y(), w, r.height(), colour);
    };
    ring(rect(), Qt::black);
    ring(rect().adjusted(w, w, -w, -w), Qt::white);
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
