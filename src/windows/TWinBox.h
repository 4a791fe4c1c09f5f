#pragma once

#include <QDialog>
#include <QPixmap>
#include <memory>
#include <string>

#include "text/MessageFile.h"
#include "windows/WinBoxLayout.h"

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace data {
class Course;
}

namespace windows {

// The message box's own texts (MSGBOX) the player shows, each with the kinds of the arguments
// it passes ('s' a text), so that a course can be checked for them.
struct WinBoxTextUse {
    int number;
    const char* arguments;
};
inline constexpr WinBoxTextUse kWinBoxTextsUsed[] = {
    {kTextYes, ""},          {kTextNo, ""},
    {kTextOk, ""},           {kTextCancel, ""},
    {kTextIgnore, ""},       {kTextRetry, ""},
    {kTextAbort, ""},        {kTextPictureMissing, "s"},
    {kTextErrorIcon, ""},    {kTextWarningIcon, ""},
    {kTextQuestionIcon, ""}, {kTextInformationIcon, ""},
};

class BoxScaler;
class SoundPlayer;

// The course's own message box: buttons in the learner's language (the MSGBOX message file of
// the language), icons from the course's bitmaps and sounds from the sound list. One shared
// instance lives for the whole run; callers may also create private ones. The texts and icons
// follow Language=: a box made before the configuration is read picks them up at its first Ask.
class TWinBox : public QDialog {
  public:
    TWinBox(const data::Course& course, SoundPlayer& sounds, QWidget* parent = nullptr);
    ~TWinBox() override;

    // Shows text (courseware code page) modally and returns the modal result of the button
    // pressed. picture: a bitmap name replacing the icon, or null; sound: a sound-list number
    // replacing the icon's sound, or 0; icon and buttons: the WinBoxIcon / WinBoxButtons values.
    int Ask(const std::string& text, const std::string& caption, const char* picture, int sound,
            int icon, int buttons);
    // A box showing only BMP\<name>.BMP and OK; a non-zero height or width stretches it.
    int ShowPicture(const std::string& name, int height, int width);
    // ShowPicture with the picture's own size multiplied by factor.
    int ShowPictureScaled(const std::string& name, double factor);
    // The same for a picture file given by its path (either path form).
    int ShowPictureFile(const std::string& path, int height, int width);
    int ShowPictureFileScaled(const std::string& path, double factor);
    // Shows the next box at left x + dy, top y + dx instead of centred over the main window.
    void PlaceBox(int x, int y, int dx, int dy);

    // When set, the box plays neither its icon sound nor its closing sound.
    bool Quiet() const { return quiet_; }
    void SetQuiet(bool quiet) { quiet_ = quiet; }

    // The auto-confirm timer (2000 ms, disabled): a caller enables it before showing; when it
    // fires it clicks BitBtn1 if visible and disables itself.
    QTimer* Timer() const { return timer_; }

    // Controls, for the callers that inspect the box and for tests.
    QPushButton* BitBtn(int index) const { return buttons_[index]; }  // 0..2 = BitBtn1..3
    QLabel* Label() const { return label_; }
    QLabel* Image() const { return image_; }
    QFrame* Bevel() const { return bevel_; }
    const std::string& MessagePath() const { return box_path_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    void reject() override;

  private:
    // Opens the MSGBOX texts of the current language and loads their icons, when the
    // language's file is not the one open.
    void FollowLanguage();
    void OpenBoxMessages();
    void LoadIcons();
    QPixmap LoadBitmap(const std::string& name, bool* found = nullptr) const;
    QPixmap LoadPicture(const std::string& path, bool* found) const;
    // A MSGBOX text; the button captions fall back to built-in English when it is empty.
    std::string BoxText(int number);
    std::string PictureMissingText(const std::string& path);
    void Play(const std::string& sound_name);
    int ShowModal();

    const data::Course& course_;
    SoundPlayer& sounds_;
    text::MessageFile box_messages_;
    text::MessageFile sound_list_;
    std::string box_path_;
    QPixmap design_icon_;
    QPixmap icons_[4];  // by WinBoxText - kTextErrorIcon: error, warning, question, information
    QFrame* bevel_ = nullptr;
    QLabel* image_ = nullptr;
    QLabel* label_ = nullptr;
    QPushButton* buttons_[3] = {};
    int results_[3] = {};
    QTimer* timer_ = nullptr;
    BoxScaler* scaler_ = nullptr;
    bool quiet_ = false;
    bool placed_ = false;
    QPoint place_;
};

}  // namespace windows
