#include "windows/BoxScaler.h"

#include <QApplication>
#include <QEvent>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QMenu>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "windows/BoxFit.h"
#include "windows/FormScale.h"
#include "windows/ScaledScreen.h"

namespace windows {

namespace {

ScaledScreen* ScreenIn(const QWidget* window) {
    if (!window) return nullptr;
    for (QGraphicsView* view : window->findChildren<QGraphicsView*>())
        if (auto* screen = dynamic_cast<ScaledScreen*>(view)) return screen;
    return nullptr;
}

BoxRect ToBox(const QRect& r) {
    return {r.x(), r.y(), r.width(), r.height()};
}

// What the window manager adds around a window; nothing is known before it is first shown.
QSize FrameOf(const QWidget* w) {
    if (!w || !w->testAttribute(Qt::WA_WState_Created)) return {};
    return w->frameGeometry().size() - w->geometry().size();
}

QScreen* DisplayOf(const QWidget* main_window, const QWidget* box) {
    if (main_window && main_window->screen()) return main_window->screen();
    if (box && box->screen()) return box->screen();
    return QGuiApplication::primaryScreen();
}

}  // namespace

ScaledScreen* MainScreenOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        // A widget on the stage: the view that shows its scene.
        if (const QGraphicsProxyWidget* proxy = w->graphicsProxyWidget(); proxy && proxy->scene())
            for (QGraphicsView* view : proxy->scene()->views())
                if (auto* screen = dynamic_cast<ScaledScreen*>(view)) return screen;
        if (w->isWindow() && w != widget)
            if (ScaledScreen* screen = ScreenIn(w)) return screen;
    }
    // A box without a parent (the shared message box, the standard boxes): the main window is
    // the visible window that shows the scaled screen.
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top != widget && top->isVisible())
            if (ScaledScreen* screen = ScreenIn(top)) return screen;
    return nullptr;
}

BoxScaler::BoxScaler(QWidget* box) : QObject(box), box_(box) {
    box_->installEventFilter(this);
}

BoxScaler::~BoxScaler() = default;

BoxScaler* ScaleWithMainWindow(QWidget* box) {
    if (auto* scaler = box->findChild<BoxScaler*>(QString(), Qt::FindDirectChildrenOnly))
        return scaler;
    return new BoxScaler(box);
}

bool BoxScaler::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_) {
        // A minimised window's hide and show are spontaneous: its design is not taken again.
        if (event->type() == QEvent::Show && !event->spontaneous()) Shown();
        if (event->type() == QEvent::Hide && !event->spontaneous()) Hidden();
        // The box's own show handling may have sized it once more (a standard box does).
        if (event->type() == QEvent::ShowToParent && design_ && box_->size() != placed_size_)
            Place();
        // Some platforms report the hidden window's last shown size after the hide.
        if (event->type() == QEvent::Resize && event->spontaneous() && !box_->isVisible() &&
            hidden_size_.isValid() && box_->size() != hidden_size_)
            box_->resize(hidden_size_);
    }
    return false;
}

void BoxScaler::Shown() {
    hidden_size_ = QSize();
    ScaledScreen* screen = ScreenIn(main_window_);
    if (!screen) screen = MainScreenOf(box_);
    FollowScreen(screen);
    design_ = std::make_unique<FormScale>(box_);
    Fit();
}

void BoxScaler::Hidden() {
    if (design_) design_->Apply(1.0);
    design_.reset();
    hidden_size_ = box_->size();
    FollowScreen(nullptr);
    scale_ = 1.0;
    centred_ = true;
}

void BoxScaler::FollowScreen(ScaledScreen* screen) {
    if (screen_ == screen) return;
    if (screen_) disconnect(screen_, nullptr, this, nullptr);
    screen_ = screen;
    // An open box follows the screen's new scale.
    if (screen_)
        connect(screen_, &ScaledScreen::Refitted, this, [this] {
            if (design_ && box_->isVisible()) Fit();
        });
}

void BoxScaler::Fit() {
    QWidget* main_window = screen_ ? screen_->window() : main_window_.data();
    const QScreen* display = DisplayOf(main_window, box_);
    const QRect room = display ? display->availableGeometry() : QRect();
    const QSize frame = FrameOf(box_).expandedTo(FrameOf(main_window));
    const QSize design = design_->DesignSize();
    scale_ = BoxScale(screen_ ? screen_->Scale() : 1.0, design.width(), design.height(),
                      frame.width(), frame.height(), room.width(), room.height());
    design_->Apply(scale_);
    Place();
}

void BoxScaler::Place() {
    QWidget* main_window = screen_ ? screen_->window() : main_window_.data();
    const QScreen* display = DisplayOf(main_window, box_);
    const BoxRect room = display ? ToBox(display->availableGeometry()) : BoxRect{};
    const QSize outer = box_->size() + FrameOf(box_).expandedTo(FrameOf(main_window));
    const BoxRect over =
        main_window && main_window->isVisible() ? ToBox(main_window->frameGeometry()) : BoxRect{};
    const BoxRect at =
        centred_ ? CentreBox(outer.width(), outer.height(), over, room)
                 : KeepInRoom({box_->x(), box_->y(), outer.width(), outer.height()}, room);
    box_->move(at.left, at.top);
    placed_size_ = box_->size();
}

void ScaleMenu(QMenu& menu, const QWidget* opener) {
    const ScaledScreen* screen = MainScreenOf(opener);
    const QScreen* display = DisplayOf(screen ? screen->window() : nullptr, opener);
    const QRect room = display ? display->availableGeometry() : QRect();
    const QSize design = menu.sizeHint();
    const double scale = BoxScale(screen ? screen->Scale() : 1.0, design.width(), design.height(),
                                  0, 0, room.width(), room.height());
    if (scale != 1.0) menu.setFont(ScaledFont(menu.font(), scale));
}

}  // namespace windows
