// The stage widget: the background picture the script engine draws on, shown at its own size
// with white where the picture does not reach. Shown scaled, the picture is filtered once into
// a copy at the display's own resolution, and only the parts of the picture that changed since
// are filtered again: a repaint copies pixels instead of filtering the whole screen anew.
#pragma once

#include <QImage>
#include <QPointF>
#include <QRegion>
#include <QWidget>

namespace script {

class StageView : public QWidget {
  public:
    // picture is the engine's drawing surface (RGB32); it must outlive the view.
    explicit StageView(const QImage& picture, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // How the picture is scaled into the copy: the scale of each axis, and where the picture
    // starts in the copy (less than a pixel from its corner).
    struct Filtering {
        double sx = 0;
        double sy = 0;
        QPointF offset;
        bool operator==(const Filtering&) const = default;
    };
    // Brings the scaled copy up to date where it shows area of the picture.
    void Refresh(const QRect& area, const Filtering& filtering);
    // Filters region of the picture (picture pixels) into the scaled copy.
    void Filter(const QRegion& region);

    const QImage& picture_;
    QImage filtered_;  // the picture as it was when last filtered
    QImage scaled_;    // filtered_ at the display's resolution
    Filtering filtering_;
};

}  // namespace script
