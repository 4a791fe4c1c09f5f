// The password window: the learner types the password of the chosen user. Texts come from the
// language's PASSWD message file (caption 2, prompt 3, OK 0, Cancel 1).
#pragma once

#include <QDialog>
#include <string>

#include "data/UserChoice.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace data {
class Course;
}

namespace windows {

// The password window's texts (PASSWD): OK, Cancel, its title and its label; none takes an
// argument.
inline constexpr int kPasswordTextsUsed[] = {0, 1, 2, 3};

using data::PasswordAnswer;

class TPassword : public QDialog {
  public:
    static constexpr int kMaxLength = 40;

    // course: where the language folders are.
    explicit TPassword(const data::Course& course, QWidget* parent = nullptr);

    // Shows the window, in the texts of language, for a stored (scrambled) password: Ok when
    // OK was pressed with the password, upper-cased, Wrong when OK was pressed with another
    // text, Cancel otherwise.
    PasswordAnswer Check(const std::string& stored, const std::string& language);

    QLabel* Label() const { return label_; }
    QLineEdit* Edit() const { return edit_; }
    QPushButton* BitBtn1() const { return ok_; }
    QPushButton* BitBtn2() const { return cancel_; }

  private:
    void SetTexts(const std::string& language);

    const data::Course& course_;
    QLabel* label_;
    QLineEdit* edit_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

}  // namespace windows
