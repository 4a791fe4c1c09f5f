#include "windows/ScaledScreen.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QGraphicsProxyWidget>
#include <QGraphicsScene>
#include <QKeyEvent>
#include <QPainter>
#include <QResizeEvent>

#include "windows/ScreenFit.h"

namespace windows {

namespace {

// The screen in the accessibility tree: its one child is the content, which Qt would otherwise
// leave outside the tree (a widget inside a scene has no window of its own).
class ScreenAccessible : public QAccessibleWidget {
  public:
    explicit ScreenAccessible(ScaledScreen* screen)
        : QAccessibleWidget(screen, QAccessible::Pane) {}
    int childCount() const override { return Content() ? 1 : 0; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 && Content() ? QAccessible::queryAccessibleInterface(Content()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child && Content() && child->object() == Content() ? 0 : -1;
    }

  private:
    QWidget* Content() const { return static_cast<ScaledScreen*>(widget())->Content(); }
};

// The content's way back up the tree: its parent is the screen that shows it.
class ContentAccessible : public QAccessibleWidget {
  public:
    ContentAccessible(QWidget* content, ScaledScreen* screen)
        : QAccessibleWidget(content, QAccessible::Client), screen_(screen) {}
    QAccessibleInterface* parent() const override {
        return screen_ ? QAccessible::queryAccessibleInterface(screen_.data()) : nullptr;
    }

  private:
    QPointer<ScaledScreen> screen_;
};

constexpr const char* kShownBy = "scaledScreenShownBy";

QAccessibleInterface* ScreenAccessibleFactory(const QString&, QObject* object) {
    if (auto* screen = dynamic_cast<ScaledScreen*>(object)) return new ScreenAccessible(screen);
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget) return nullptr;
    auto* screen = widget->property(kShownBy).value<QObject*>();
    if (auto* s = dynamic_cast<ScaledScreen*>(screen)) return new ContentAccessible(widget, s);
    return nullptr;
}

}  // namespace

ScaledScreen::ScaledScreen(QWidget* content, QSize design, QWidget* parent)
    : QGraphicsView(parent), content_(content), design_(design) {
    setScene(new QGraphicsScene(this));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    static const bool accessible_installed = [] {
        QAccessible::installFactory(ScreenAccessibleFactory);
        return true;
    }();
    (void)accessible_installed;
    content_->setProperty(kShownBy, QVariant::fromValue<QObject*>(this));
    setBackgroundBrush(Qt::black);  // the bands around the screen
    // The view paints every pixel itself (bands, then the content): the viewport is not filled
    // first. Nothing scrolls, so the fill's only use, faster scrolling, is not needed.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setRenderHints(QPainter::SmoothPixmapTransform | QPainter::TextAntialiasing);
    // Only the parts that changed are painted again: an animation repaints its own rectangle.
    setViewportUpdateMode(QGraphicsView::MinimalViewportUpdate);
    setOptimizationFlags(QGraphicsView::DontSavePainterState);
    setAlignment(Qt::AlignCenter);
    content_->resize(design_);
    proxy_ = scene()->addWidget(content_);
    scene()->setSceneRect(0, 0, design_.width(), design_.height());
    setFocusPolicy(Qt::StrongFocus);
    // The screen is the scene's active window, so that its buttons' mnemonics work.
    scene()->setActiveWindow(proxy_);
    Refit();
}

ScaledScreen::~ScaledScreen() {
    // The content belongs to the proxy; it goes with the scene, before this view.
    delete scene();
}

void ScaledScreen::SetDesignSize(QSize design) {
    design_ = design;
    content_->resize(design_);
    scene()->setSceneRect(0, 0, design_.width(), design_.height());
    Refit();
}

void ScaledScreen::Refit() {
    ScreenFit fit =
        FitScreen(design_.width(), design_.height(), viewport()->width(), viewport()->height());
    scale_ = fit.scale;
    setTransform(QTransform::fromScale(scale_, scale_));
    centerOn(design_.width() / 2.0, design_.height() / 2.0);
    emit Refitted();
}

void ScaledScreen::resizeEvent(QResizeEvent* event) {
    QGraphicsView::resizeEvent(event);
    Refit();
}

void ScaledScreen::keyPressEvent(QKeyEvent* event) {
    QGraphicsView::keyPressEvent(event);
    if (event->isAccepted() || event->modifiers() != Qt::AltModifier) return;
    // Shortcuts do not reach widgets inside a scene: the buttons' mnemonics are matched here.
    const QKeySequence pressed(event->key());
    for (QAbstractButton* b : content_->findChildren<QAbstractButton*>()) {
        if (b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == pressed) {
            b->setFocus(Qt::ShortcutFocusReason);
            b->animateClick();
            event->accept();
            return;
        }
    }
}

void ScaledScreen::drawBackground(QPainter* painter, const QRectF& rect) {
    // Content that paints all of itself covers the scene: only the bands around it are filled
    // (a full-screen fill beneath it costs as much as the content), each reaching two shown
    // pixels into the scene, so that rounding at a fractional scale cannot leave a seam.
    const bool opaque = content_ && (content_->testAttribute(Qt::WA_OpaquePaintEvent) ||
                                     content_->autoFillBackground());
    if (!opaque) {
        painter->fillRect(rect, backgroundBrush());
        return;
    }
    const double overlap = 2.0 / scale_;
    const QRectF inner = sceneRect().adjusted(overlap, overlap, -overlap, -overlap);
    const QRectF bands[] = {
        QRectF(QPointF(rect.left(), rect.top()), QPointF(rect.right(), inner.top())),
        QRectF(QPointF(rect.left(), inner.bottom()), QPointF(rect.right(), rect.bottom())),
        QRectF(QPointF(rect.left(), inner.top()), QPointF(inner.left(), inner.bottom())),
        QRectF(QPointF(inner.right(), inner.top()), QPointF(rect.right(), inner.bottom())),
    };
    for (const QRectF& band : bands) {
        const QRectF shown = band.intersected(rect);
        if (shown.isValid() && !shown.isEmpty()) painter->fillRect(shown, backgroundBrush());
    }
}

QPoint ScaledScreen::FromContent(QPoint design_point) const {
    return mapFromScene(QPointF(design_point));
}

QPoint ScaledScreen::ToContent(QPoint view_point) const {
    return mapToScene(view_point).toPoint();
}

}  // namespace windows
