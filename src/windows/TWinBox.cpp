#include "windows/TWinBox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "data/Course.h"
#include "platform/Path.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"
#include "windows/SoundPlayer.h"

namespace windows {

namespace {

constexpr unsigned kBoxModulus = 1009;
constexpr int kCloseSound = 10;
constexpr int kAutoConfirmMs = 2000;

QStyle::StandardPixmap GlyphFor(int result) {
    switch (result) {
        case kResultYes:
            return QStyle::SP_DialogYesButton;
        case kResultNo:
            return QStyle::SP_DialogNoButton;
        case kResultCancel:
            return QStyle::SP_DialogCancelButton;
        case kResultAbort:
            return QStyle::SP_DialogAbortButton;
        case kResultRetry:
            return QStyle::SP_DialogRetryButton;
        case kResultIgnore:
            return QStyle::SP_DialogIgnoreButton;
        default:
            return QStyle::SP_DialogOkButton;
    }
}

// Splits at LF, dropping the CR of CR LF line ends.
QStringList SplitLines(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    return lines;
}

}  // namespace

TWinBox::TWinBox(const data::Course& course, SoundPlayer& sounds, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      course_(course),
      sounds_(sounds) {
    course_.Prepare(box_messages_);
    course_.Prepare(sound_list_);
    setFixedSize(281, 112);
    bevel_ = new QFrame(this);
    bevel_->setFrameShape(QFrame::Box);
    bevel_->setFrameShadow(QFrame::Sunken);
    bevel_->setGeometry(kBoxBevelLeft, kBoxBevelTop, 265, 57);
    image_ = new QLabel(this);
    image_->move(kBoxImageLeft, kBoxImageTop);
    image_->setAttribute(Qt::WA_TranslucentBackground);
    label_ = new QLabel(this);
    label_->setGeometry(kBoxLabelLeft, kBoxLabelTop, kBoxLabelWidth, 42);
    label_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    label_->setAttribute(Qt::WA_TranslucentBackground);
    const int lefts[3] = {105, 15, 195};
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = new QPushButton(this);
        buttons_[i]->setGeometry(lefts[i], 74, kBoxButtonWidth, kBoxButtonHeight);
        buttons_[i]->hide();
        connect(buttons_[i], &QPushButton::clicked, this, [this, i] { done(results_[i]); });
    }
    buttons_[1]->setDefault(true);
    scaler_ = ScaleWithMainWindow(this);
    timer_ = new QTimer(this);
    timer_->setInterval(kAutoConfirmMs);
    connect(timer_, &QTimer::timeout, this, [this] {
        timer_->stop();
        if (!buttons_[0]->isHidden()) buttons_[0]->click();
    });

    design_icon_ = style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32);
    image_->setPixmap(design_icon_);
    image_->adjustSize();

    OpenBoxMessages();
    if (sound_list_.Open(course_.SoundList())) {
        sound_list_.SetCheckModulus(kBoxModulus);
        sound_list_.PreloadAll();
    }
}

TWinBox::~TWinBox() {
    box_messages_.Close();
    sound_list_.Close();
}

void TWinBox::FollowLanguage() {
    if (course_.Message("MSGBOX") != box_path_) OpenBoxMessages();
    box_messages_.SetShowErrors(course_.Has(data::Developer));
}

void TWinBox::OpenBoxMessages() {
    box_path_ = course_.Message("MSGBOX");
    box_messages_.Close();
    // Before Language= is known there is no file to open yet.
    if (!course_.Language().empty() && box_messages_.Open(box_path_))
        box_messages_.SetCheckModulus(kBoxModulus);
    box_messages_.SetShowErrors(course_.Has(data::Developer));
    LoadIcons();
}

std::string TWinBox::BoxText(int number) {
    // Without the language's texts (no MSGBOX file, or a text left empty) the buttons still
    // need words: the built-in English ones.
    static const char* const kEnglish[] = {"Yes", "No", "OK", "Cancel", "Ignore", "Retry", "Abort"};
    std::string text = box_messages_.GetText(number);
    if (text.empty() && number >= kTextYes && number <= kTextAbort) text = kEnglish[number];
    return text;
}

std::string TWinBox::PictureMissingText(const std::string& path) {
    std::string text = box_messages_.GetText(kTextPictureMissing, path);
    if (text.empty()) text = "Picture " + path + " is missing";
    return text;
}

QPixmap TWinBox::LoadBitmap(const std::string& name, bool* found) const {
    return LoadPicture(course_.Bitmap(name), found);
}

QPixmap TWinBox::LoadPicture(const std::string& path, bool* found) const {
    QPixmap pixmap;
    std::string native = course_.Resolve(path);
    bool ok = platform::FileExists(native) && pixmap.load(QString::fromStdString(native));
    if (found) *found = ok;
    return ok ? pixmap : design_icon_;
}

void TWinBox::LoadIcons() {
    // An icon the texts do not name is the system's own of its kind, so that an error never
    // shows the information icon.
    static const QStyle::StandardPixmap kStandard[] = {
        QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxQuestion,
        QStyle::SP_MessageBoxInformation};
    for (int t = kTextErrorIcon; t <= kTextInformationIcon; ++t) {
        const std::string name = BoxText(t);
        icons_[t - kTextErrorIcon] =
            name.empty() ? style()->standardIcon(kStandard[t - kTextErrorIcon]).pixmap(32, 32)
                         : LoadBitmap(name);
    }
}

void TWinBox::Play(const std::string& sound_name) {
    if (sound_name.empty())
        sounds_.PlaySoundNamed(nullptr, kSoundAsync);
    else
        sounds_.PlaySoundNamed(sound_name.c_str(), kSoundAsync);
}

int TWinBox::Ask(const std::string& text, const std::string& caption, const char* picture,
                 int sound, int icon, int buttons) {
    setWindowTitle(FromCp1252(caption));
    FollowLanguage();

    // Reset the layout, then size the label to the text.
    label_->resize(kBoxLabelWidth, kBoxLabelHeight);
    image_->setScaledContents(false);
    image_->move(kBoxImageLeft, kBoxImageTop);
    QString body = FromCp1252(text);
    QFontMetrics metrics(label_->font());
    std::vector<int> widths;
    for (const QString& line : SplitLines(body)) widths.push_back(metrics.horizontalAdvance(line));
    WinBoxLayout layout = LayoutWinBox(widths, metrics.height(), buttons);

    label_->setGeometry(kBoxLabelLeft, kBoxLabelTop, layout.label_width, layout.label_height);
    label_->setText(body);
    label_->show();
    bevel_->setGeometry(kBoxBevelLeft, kBoxBevelTop, layout.bevel_width, layout.bevel_height);
    bevel_->show();
    setFixedSize(layout.client_width, layout.client_height);
    for (int i = 0; i < 3; ++i) {
        const BoxButton& b = layout.button[i];
        QPushButton* button = buttons_[i];
        button->setGeometry(b.left, layout.button_top, kBoxButtonWidth, kBoxButtonHeight);
        results_[i] = b.result;
        if (b.visible) {
            button->setText(FromCp1252(BoxText(b.text)));
            button->setIcon(style()->standardIcon(GlyphFor(b.result)));
        }
        button->setVisible(b.visible);
        button->setEnabled(true);
    }

    // Icon and sound; a picture or a sound number given by the caller wins.
    std::string sound_name;
    int bitmap_text = 0, icon_sound = 0;
    if (IconResources(icon, bitmap_text, icon_sound)) {
        image_->setPixmap(icons_[bitmap_text - kTextErrorIcon]);
        sound_name = sound_list_.GetText(icon_sound);
    }
    if (picture && *picture) image_->setPixmap(LoadBitmap(picture));
    image_->adjustSize();
    if (sound != 0) sound_name = sound_list_.GetText(sound);
    if (!quiet_) Play(sound_name);
    return ShowModal();
}

int TWinBox::ShowPicture(const std::string& name, int height, int width) {
    return ShowPictureFile(course_.Bitmap(name), height, width);
}

int TWinBox::ShowPictureFile(const std::string& path, int height, int width) {
    FollowLanguage();
    bool found = false;
    QPixmap pixmap = LoadPicture(path, &found);
    if (!found) {
        course_.Notifier().ShowError("MSGBOX", PictureMissingText(path));
    }
    if (height != 0 || width != 0) {
        int w = width != 0 ? width : pixmap.width();
        int h = height != 0 ? height : pixmap.height();
        pixmap = pixmap.scaled(std::max(w, 1), std::max(h, 1), Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    }
    image_->setScaledContents(false);
    image_->setPixmap(pixmap);
    image_->setGeometry(0, 0, pixmap.width(), pixmap.height());
    bevel_->hide();
    label_->hide();
    PictureBoxLayout p = LayoutPictureBox(pixmap.width(), pixmap.height());
    buttons_[1]->hide();
    buttons_[2]->hide();
    QPushButton* ok = buttons_[0];
    ok->setText(FromCp1252(BoxText(kTextOk)));
    ok->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    ok->setGeometry(p.button_left, p.button_top, p.button_width, kBoxButtonHeight);
    ok->show();
    results_[0] = kResultOk;
    setFixedSize(p.client_width, p.client_height);
    placed_ = false;
    return ShowModal();
}

int TWinBox::ShowPictureScaled(const std::string& name, double factor) {
    return ShowPictureFileScaled(course_.Bitmap(name), factor);
}

int TWinBox::ShowPictureFileScaled(const std::string& path, double factor) {
    bool found = false;
    QPixmap pixmap = LoadPicture(path, &found);
    if (!found) return ShowPictureFile(path, 0, 0);
    return ShowPictureFile(path, ScaleDimension(pixmap.height(), factor),
                           ScaleDimension(pixmap.width(), factor));
}

void TWinBox::PlaceBox(int x, int y, int dx, int dy) {
    placed_ = true;
    place_ = QPoint(x + dy, y + dx);
}

int TWinBox::ShowModal() {
    // Shown at the main window's scale, centred over it unless placed.
    if (placed_) move(place_);
    scaler_->SetCentred(!placed_);
    int result = exec();
    placed_ = false;
    return result;
}

void TWinBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    for (int i : {0, 1}) {
        if (!buttons_[i]->isHidden() && buttons_[i]->isEnabled()) {
            buttons_[i]->setFocus();
            break;
        }
    }
}

void TWinBox::done(int result) {
    timer_->stop();
    QDialog::done(result);
    for (QWidget* w : QApplication::topLevelWidgets()) w->update();
    if (!quiet_) Play(sound_list_.GetText(kCloseSound));
}

void TWinBox::reject() {
    // Escape answers like the box's Cancel (or No) button; a box without buttons just closes.
    for (int want : {kResultCancel, kResultNo}) {
        for (int i = 0; i < 3; ++i) {
            if (!buttons_[i]->isHidden() && results_[i] == want) {
                buttons_[i]->click();
                return;
            }
        }
    }
    bool any = false;
    for (QPushButton* b : buttons_) any = any || !b->isHidden();
    if (!any) done(kResultCancel);
}

}  // namespace windows
