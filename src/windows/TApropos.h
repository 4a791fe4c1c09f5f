#pragma once

#include <QDialog>
#include <string>

class QLabel;

namespace windows {

// The about box: the application name and its version text, with an OK button.
class TApropos : public QDialog {
  public:
    explicit TApropos(QWidget* parent = nullptr);
    // Texts in the courseware code page.
    void SetTexts(const std::string& app_name, const std::string& version);
    QLabel* Name() const { return name_; }
    QLabel* Version() const { return version_; }

  private:
    QLabel* name_;
    QLabel* version_;
};

}  // namespace windows
