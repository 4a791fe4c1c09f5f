#pragma once

#include <QDialog>
#include <cstdint>
#include <span>
#include <string_view>

class QLabel;
class QLineEdit;
class QPushButton;

namespace data {
class Course;
}

namespace windows {

class TWinBox;

// True when typed (courseware code page, already upper case) equals, byte for byte, the user
// name stored in a user record: 24 bytes at offset 12, ended by a NUL or by the field's end.
// A record too short to hold the field never matches.
bool IdentityMatches(std::string_view typed, std::span<const uint8_t> user_record);

// The identification window: the learner types their name to confirm who they are.
class TEditView : public QDialog {
  public:
    static constexpr int kMaxLength = 20;

    // Texts come from the course's common texts; a wrong name is told in box.
    TEditView(data::Course& course, TWinBox& box, QWidget* parent = nullptr);

    // Shows the window for a user record; 6 when the typed name matched and OK closed the
    // window, 7 when it was cancelled.
    int ConfirmIdentity(std::span<const uint8_t> user_record);

    QLabel* Label() const { return label_; }
    QLineEdit* Edit() const { return edit_; }
    QPushButton* BitBtn1() const { return ok_; }
    QPushButton* BitBtn2() const { return cancel_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    data::Course& course_;
    TWinBox& box_;
    void OkClick();

    QLabel* label_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
    std::span<const uint8_t> record_;
};

}  // namespace windows
