#include "windows/FormScale.h"

#include <QAbstractButton>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QSplitter>
#include <QTreeView>
#include <QWidget>
#include <cmath>

namespace windows {

namespace {

// Widgets whose children are the form's own controls; the children of any other widget (a list's
// viewport, a combo box's button) belong to that widget, which places them itself.
bool IsContainer(const QWidget* w) {
    const QMetaObject* m = w->metaObject();
    return m == &QWidget::staticMetaObject || m == &QFrame::staticMetaObject ||
           m == &QGroupBox::staticMetaObject || m == &QSplitter::staticMetaObject;
}

int Scaled(int value, double scale) {
    return int(std::lround(value * scale));
}

// Edges are scaled rather than sizes, so that controls that touch at design still touch.
QRect Scaled(const QRect& r, double scale) {
    const int left = Scaled(r.x(), scale), top = Scaled(r.y(), scale);
    return QRect(left, top, Scaled(r.x() + r.width(), scale) - left,
                 Scaled(r.y() + r.height(), scale) - top);
}

// A size limit; no limit (0 or the widget maximum) stays none.
int ScaledLimit(int value, double scale) {
    return value <= 0 || value >= QWIDGETSIZE_MAX ? value : std::max(1, Scaled(value, scale));
}

QSize ScaledLimit(const QSize& s, double scale) {
    return QSize(ScaledLimit(s.width(), scale), ScaledLimit(s.height(), scale));
}

QPixmap Scaled(const QPixmap& design, double scale) {
    if (scale == 1.0 || design.isNull()) return design;
    QPixmap p = design.scaled(std::max(1, Scaled(design.width(), scale)),
                              std::max(1, Scaled(design.height(), scale)), Qt::IgnoreAspectRatio,
                              Qt::SmoothTransformation);
    p.setDevicePixelRatio(design.devicePixelRatio());
    return p;
}

void SetLimits(QWidget* w, const QSize& minimum, const QSize& maximum) {
    w->setMinimumSize(minimum);
    w->setMaximumSize(maximum);
}

}  // namespace

QFont ScaledFont(QFont font, double scale) {
    if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, Scaled(font.pixelSize(), scale)));
    else if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * scale);
    return font;
}

FormScale::FormScale(QWidget* form) : form_(form), design_size_(form->size()) {
    Take(form, true, false);
}

void FormScale::Take(QWidget* widget, bool designed, bool placed) {
    Widget w;
    w.widget = widget;
    w.designed = designed;
    w.placed = placed;
    w.geometry = widget->geometry();
    w.minimum = widget->minimumSize();
    w.maximum = widget->maximumSize();
    w.own_font = widget->testAttribute(Qt::WA_SetFont);
    w.font = widget->font();
    if (designed) {
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) w.icon_size = b->iconSize();
        if (auto* v = qobject_cast<QAbstractItemView*>(widget)) w.icon_size = v->iconSize();
        if (auto* label = qobject_cast<QLabel*>(widget)) w.pixmap = label->pixmap();
        if (auto* tree = qobject_cast<QTreeView*>(widget)) {
            w.indentation = tree->indentation();
            const QHeaderView* header = tree->header();
            w.minimum_section = header->minimumSectionSize();
            w.default_section = header->defaultSectionSize();
            for (int i = 0; i < header->count(); ++i) {
                const QHeaderView::ResizeMode mode = header->sectionResizeMode(i);
                const bool by_hand = mode == QHeaderView::Interactive || mode == QHeaderView::Fixed;
                const bool last = header->stretchLastSection() && i == header->count() - 1;
                w.sections.push_back(by_hand && !last ? header->sectionSize(i) : -1);
            }
        }
        if (auto* splitter = qobject_cast<QSplitter*>(widget)) w.splits = splitter->sizes();
        if (widget->layout()) TakeLayout(widget->layout());
    }
    widgets_.push_back(w);

    const bool container = designed && (widget == form_ || IsContainer(widget));
    const bool places = container && !widget->layout() && !qobject_cast<QSplitter*>(widget);
    for (QObject* child : widget->children()) {
        auto* c = qobject_cast<QWidget*>(child);
        if (c && !c->isWindow()) Take(c, container, places);
    }
}

void FormScale::TakeLayout(QLayout* layout) {
    Layout l;
    l.layout = layout;
    l.margins = layout->contentsMargins();
    if (auto* grid = qobject_cast<QGridLayout*>(layout)) {
        l.horizontal = grid->horizontalSpacing();
        l.vertical = grid->verticalSpacing();
    } else if (auto* form = qobject_cast<QFormLayout*>(layout)) {
        l.horizontal = form->horizontalSpacing();
        l.vertical = form->verticalSpacing();
    } else {
        l.spacing = layout->spacing();
    }
    layouts_.push_back(l);
    for (int i = 0; i < layout->count(); ++i)
        if (QLayout* inner = layout->itemAt(i)->layout()) TakeLayout(inner);
}

void FormScale::Apply(double scale) const {
    if (!form_) return;
    for (const Layout& l : layouts_) {
        if (!l.layout) continue;
        const QMargins& m = l.margins;
        l.layout->setContentsMargins(Scaled(m.left(), scale), Scaled(m.top(), scale),
                                     Scaled(m.right(), scale), Scaled(m.bottom(), scale));
        if (l.spacing >= 0) l.layout->setSpacing(Scaled(l.spacing, scale));
        auto* grid = qobject_cast<QGridLayout*>(l.layout.data());
        auto* form = qobject_cast<QFormLayout*>(l.layout.data());
        if (l.horizontal >= 0) {
            if (grid) grid->setHorizontalSpacing(Scaled(l.horizontal, scale));
            if (form) form->setHorizontalSpacing(Scaled(l.horizontal, scale));
        }
        if (l.vertical >= 0) {
            if (grid) grid->setVerticalSpacing(Scaled(l.vertical, scale));
            if (form) form->setVerticalSpacing(Scaled(l.vertical, scale));
        }
    }
    // The form first: its children's fonts, sizes and places follow from its own.
    for (const Widget& w : widgets_)
        if (w.widget) ApplyWidget(w, scale);
}

void FormScale::ApplyWidget(const Widget& w, double scale) const {
    QWidget* widget = w.widget;
    const bool form = widget == form_;
    if (w.own_font)
        widget->setFont(ScaledFont(w.font, scale));
    else if (form)
        // A form that inherits its font takes a scaled one, and inherits again at design.
        widget->setFont(scale == 1.0 ? QFont() : ScaledFont(w.font, scale));
    if (!w.designed) return;

    if (w.icon_size.isValid()) {
        const QSize icon(Scaled(w.icon_size.width(), scale), Scaled(w.icon_size.height(), scale));
        if (auto* b = qobject_cast<QAbstractButton*>(widget)) b->setIconSize(icon);
        if (auto* v = qobject_cast<QAbstractItemView*>(widget)) v->setIconSize(icon);
    }
    if (!w.pixmap.isNull())
        if (auto* label = qobject_cast<QLabel*>(widget)) label->setPixmap(Scaled(w.pixmap, scale));
    if (auto* tree = qobject_cast<QTreeView*>(widget); tree && w.indentation >= 0) {
        tree->setIndentation(Scaled(w.indentation, scale));
        QHeaderView* header = tree->header();
        header->setMinimumSectionSize(Scaled(w.minimum_section, scale));
        header->setDefaultSectionSize(Scaled(w.default_section, scale));
        for (int i = 0; i < int(w.sections.size()) && i < header->count(); ++i)
            if (w.sections[size_t(i)] >= 0)
                header->resizeSection(i, Scaled(w.sections[size_t(i)], scale));
    }

    if (auto* splitter = qobject_cast<QSplitter*>(widget); splitter && !w.splits.isEmpty()) {
        // Each pane keeps its share: a narrow pane of names grows with its font.
        QList<int> sizes;
        for (int size : w.splits) sizes << Scaled(size, scale);
        splitter->setSizes(sizes);
    }

    const QSize minimum = ScaledLimit(w.minimum, scale);
    const QSize maximum = ScaledLimit(w.maximum, scale);
    if (form || w.placed) {
        // Limits off while moving, so that the old ones do not clamp the new size.
        SetLimits(widget, QSize(0, 0), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
        if (form)
            widget->resize(Scaled(w.geometry.width(), scale), Scaled(w.geometry.height(), scale));
        else
            widget->setGeometry(Scaled(w.geometry, scale));
        SetLimits(widget, minimum, maximum);
    } else if (widget->minimumSize() != minimum || widget->maximumSize() != maximum) {
        SetLimits(widget, minimum, maximum);
    }
}

}  // namespace windows
