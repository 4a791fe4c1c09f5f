// A screen laid out at its design size and shown scaled to the space it is given: one scale for
// both axes, bands of the band colour around it, pictures drawn smoothly and text at the
// display's own resolution. Its widgets keep their design coordinates, so clicks, keys, focus
// and pop-up menus reach them as if nothing were scaled.
#pragma once

#include <QGraphicsView>
#include <QPointer>

class QGraphicsProxyWidget;

namespace windows {

class ScaledScreen : public QGraphicsView {
    Q_OBJECT

  public:
    // Takes content (a widget without parent) and its design size.
    ScaledScreen(QWidget* content, QSize design, QWidget* parent = nullptr);
    ~ScaledScreen() override;

    QWidget* Content() const { return content_; }
    QSize DesignSize() const { return design_; }
    void SetDesignSize(QSize design);
    // Design pixels to shown pixels (before the display's own device-pixel ratio).
    double Scale() const { return scale_; }
    // A point of the content in this view's coordinates, and back.
    QPoint FromContent(QPoint design_point) const;
    QPoint ToContent(QPoint view_point) const;

    QSize sizeHint() const override { return design_; }

  signals:
    // After each change of scale or place (the window resized, full screen, ...).
    void Refitted();

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void drawBackground(QPainter* painter, const QRectF& rect) override;

  private:
    void Refit();

    QPointer<QWidget> content_;
    QGraphicsProxyWidget* proxy_ = nullptr;
    QSize design_;
    double scale_ = 1.0;
};

}  // namespace windows
