// The options window: the learner picks a language, a gas, a unit system and a symbol set;
// OK stores them in the configuration and saves the whole configuration into the user's
// option file.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>
#include <vector>

#include "data/OptionChoices.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace data {
class Course;
}

namespace windows {

class TUserOption : public QDialog {
  public:
    // course: the running course, whose settings, texts, product and paths are read when the
    // window needs them; the language, unit and symbol lists are built now and again each time
    // the window is shown (after a language switch, from the new language's texts).
    explicit TUserOption(data::Course& course, QWidget* parent = nullptr);

    // The learner whose option file the window loads and saves.
    void SetUser(int32_t group, int32_t user);

    // The folder of the group file, where the option files are.
    std::string OptionsFolder() const;

    QLabel* Label(int n) const { return labels_[n - 1]; }        // Label1..Label4
    QComboBox* ComboBox(int n) const { return combos_[n - 1]; }  // ComboBox1..ComboBox4
    QPushButton* BitBtn1() const { return ok_; }
    QPushButton* BitBtn2() const { return cancel_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void FillChoices();
    void FillGases();
    void LoadOptions();
    void SelectCurrent();
    void OkClick();

    data::Course& course_;
    int32_t group_ = 0;
    int32_t user_ = 0;
    // Entries of the four lists, in ComboBox order: languages, gases, units, symbols.
    std::vector<data::OptionChoice> choices_[4];
    QLabel* labels_[4] = {};
    QComboBox* combos_[4] = {};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace windows
