// A form laid out at fixed design coordinates, shown at a scale of that design: the form's size
// and size limits, the places of the children it positions itself, their size limits, fonts,
// pictures and icon sizes, the margins and spacing of its layouts and the widths of its list
// columns are multiplied; text is drawn afresh in the larger font, so it stays crisp. The
// widgets stay ordinary widgets, so clicks, keys, focus and screen readers work as at design.
#pragma once

#include <QFont>
#include <QList>
#include <QMargins>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <vector>

class QLayout;
class QWidget;

namespace windows {

// font at scale times its size (pixel or point size, whichever it is given in).
QFont ScaledFont(QFont font, double scale);

class FormScale {
  public:
    // Takes the design state of form and of every child that is not a window of its own.
    explicit FormScale(QWidget* form);

    // The form at scale times its design; 1 brings the design back.
    void Apply(double scale) const;
    QSize DesignSize() const { return design_size_; }

  private:
    struct Widget {
        QPointer<QWidget> widget;
        bool placed = false;  // its parent positions it by coordinates, not by a layout
        bool designed = false;
        QRect geometry;
        QSize minimum;
        QSize maximum;
        bool own_font = false;
        QFont font;
        QSize icon_size;  // buttons and item views; invalid for the others
        QPixmap pixmap;   // labels showing a picture
        int indentation = -1;
        std::vector<int> sections;  // header sections sized by hand; -1 for the others
        int minimum_section = -1;
        int default_section = -1;
        QList<int> splits;  // a splitter's pane sizes
    };
    struct Layout {
        QPointer<QLayout> layout;
        QMargins margins;
        int spacing = -1;
        int horizontal = -1;
        int vertical = -1;
    };

    void Take(QWidget* widget, bool designed, bool placed);
    void TakeLayout(QLayout* layout);
    void ApplyWidget(const Widget& w, double scale) const;

    QPointer<QWidget> form_;
    QSize design_size_;
    std::vector<Widget> widgets_;  // the form first
    std::vector<Layout> layouts_;
};

}  // namespace windows
