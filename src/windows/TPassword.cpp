#include "windows/TPassword.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "data/Course.h"
#include "data/UserRecord.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"

namespace windows {

TPassword::TPassword(const data::Course& course, QWidget* parent)
    : QDialog(parent), course_(course) {
    setFixedSize(300, 100);
    label_ = new QLabel(this);
    label_->move(16, 8);
    label_->setTextFormat(Qt::PlainText);
    edit_ = new QLineEdit(this);
    edit_->setGeometry(16, 32, 268, edit_->sizeHint().height());
    edit_->setMaxLength(kMaxLength);
    edit_->setEchoMode(QLineEdit::Password);
    // Every character typed shows as '#'.
    edit_->setStyleSheet("QLineEdit { lineedit-password-character: 35; }");
    ok_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    ok_->setGeometry(50, 64, 89, 25);
    ok_->setDefault(true);
    cancel_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
    cancel_->setGeometry(160, 64, 89, 25);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    ScaleWithMainWindow(this);
}

void TPassword::SetTexts(const std::string& language) {
    text::MessageFile texts;
    course_.Prepare(texts);
    texts.Open(course_.MessageIn(language, "PASSWD"), text::MessageFile::kStandardModulus);
    setWindowTitle(FromCp1252(texts.GetText(2)));
    label_->setText(FromCp1252(texts.GetText(3)));
    label_->adjustSize();
    ok_->setText(FromCp1252(texts.GetText(0)));
    cancel_->setText(FromCp1252(texts.GetText(1)));
}

PasswordAnswer TPassword::Check(const std::string& stored, const std::string& language) {
    SetTexts(language);
    edit_->clear();
    edit_->setFocus();
    if (exec() != QDialog::Accepted) return PasswordAnswer::Cancel;
    // Upper case follows the courseware's code page, as for the stored password (Qt's rule
    // would turn ß into SS and ÿ into Ÿ differently).
    std::string typed;
    text::Utf8ToCp1252(edit_->text().toStdString(), typed);
    edit_->clear();
    return data::PasswordMatches(typed, stored) ? PasswordAnswer::Ok : PasswordAnswer::Wrong;
}

}  // namespace windows
