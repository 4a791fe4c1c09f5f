#include "windows/TStat.h"

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTextEdit>

#include "data/CommonTexts.h"
#include "data/Course.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"
#include "windows/VerdictColour.h"

namespace windows {

namespace {

constexpr int kWidth = 321;
constexpr int kHeight = 247;

QTextEdit* ReadOnlyText(QWidget* parent) {
    auto* edit = new QTextEdit(parent);
    edit->setReadOnly(true);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return edit;
}

}  // namespace

TStat::TStat(data::Course& course, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), course_(course) {
    setFixedSize(kWidth, kHeight);
    image_ = new QLabel(this);
    image_->move(8, 5);
    image_->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    image_->adjustSize();
    titre_ = new QLabel(this);
    titre_->setGeometry(40, 6, 273, 30);
    titre_->setWordWrap(true);
    titre_->setTextFormat(Qt::PlainText);
    texte_ = ReadOnlyText(this);
    texte_->setGeometry(16, 48, 289, 33);
    bevel_ = new QFrame(this);
    bevel_->setFrameShape(QFrame::Box);
    bevel_->setFrameShadow(QFrame::Sunken);
    bevel_->setGeometry(8, 40, 305, 96);
    track_ = new QSlider(Qt::Horizontal, this);
    track_->setGeometry(24, 88, 273, 28);
    track_->setRange(0, 100);
    track_->setValue(50);
    track_->setSingleStep(10);
    track_->setPageStep(10);
    track_->setTickInterval(10);
    track_->setTickPosition(QSlider::TicksBelow);
    const struct {
        const char* text;
        int x;
    } scale[] = {{"0", 24}, {"50", 152}, {"100", 282}};
    slider_parts_.push_back(track_);
    for (const auto& s : scale) {
        auto* label = new QLabel(s.text, this);
        label->move(s.x, 118);
        slider_parts_.push_back(label);
    }
    ok_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    ok_->setGeometry(8, 144, 305, 25);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    group_ = new QGroupBox(this);
    group_->setGeometry(8, 176, 305, 65);
    info_ = ReadOnlyText(group_);
    info_->setGeometry(6, 16, 293, 43);
    ScaleWithMainWindow(this);
}

void TStat::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowTitle(
        FromCp1252(caption_.empty() ? course_.CommonText(data::kTextQuestionTitle) : caption_));
    // While asking, the arrow keys move the track bar at once; Enter confirms with OK.
    if (asking_) track_->setFocus(Qt::ActiveWindowFocusReason);
}

void TStat::SetQuestion(const std::string& title, const std::string& text) {
    for (QWidget* part : slider_parts_) part->setVisible(true);
    caption_ = course_.CommonText(data::kTextQuestionTitle);
    setWindowTitle(FromCp1252(caption_));
    titre_->setText(FromCp1252(title));
    texte_->setPlainText(FromCp1252(text));
    track_->setAccessibleName(FromCp1252(title));
    track_->setAccessibleDescription(FromCp1252(text));
}

void TStat::SetAnswer(const Answered& a) {
    caption_ = a.caption;
    setWindowTitle(FromCp1252(caption_));
    titre_->setText(FromCp1252(a.question));
    titre_->setToolTip(titre_->text());
    texte_->setPlainText(FromCp1252(a.answer));
    info_->setPlainText(FromCp1252(a.comment));
    group_->setTitle(FromCp1252(a.verdict));
    for (QWidget* part : slider_parts_) part->setVisible(a.slider);
    const bool right = a.right;
    info_->setAccessibleName(group_->title());
    // Shades that keep 4.5:1 against the dialog's light background.
    QPalette p = group_->palette();
    p.setColor(QPalette::WindowText, VerdictColour(right));
    group_->setPalette(p);
    // The verdict in bold over the comment in the dialog's own font.
    QFont bold = group_->font();
    bold.setBold(true);
    group_->setFont(bold);
    QFont normal = info_->font();
    normal.setBold(false);
    info_->setFont(normal);
}

void TStat::SetAsking(bool asking) {
    asking_ = asking;
    track_->setEnabled(asking);
    group_->setVisible(!asking);
    setFixedSize(kWidth, asking ? kHeight - group_->height() - 5 : kHeight);
}

int TStat::Answer() const {
    return track_->value();
}

void TStat::PlaceAt(const QPoint& global) {
    placed_ = true;
    place_ = global;
}

int TStat::ShowModal() {
    BoxScaler* scaler = ScaleWithMainWindow(this);
    if (placed_) move(place_);
    scaler->SetCentred(!placed_);
    const int result = exec();
    placed_ = false;
    return result;
}

}  // namespace windows
