#include "windows/TEditView.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <memory>
#include <string>

#include "data/CommonTexts.h"
#include "data/Course.h"
#include "text/Codepage.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"
#include "windows/TWinBox.h"

namespace windows {

namespace {

constexpr size_t kNameOffset = 12;
constexpr size_t kNameSize = 24;

}  // namespace

bool IdentityMatches(std::string_view typed, std::span<const uint8_t> user_record) {
    if (user_record.size() < kNameOffset + kNameSize) return false;
    std::span<const uint8_t> field = user_record.subspan(kNameOffset, kNameSize);
    size_t length = 0;
    while (length < field.size() && field[length] != 0) ++length;
    if (typed.size() != length) return false;
    for (size_t i = 0; i < length; ++i)
        if (uint8_t(typed[i]) != field[i]) return false;
    return true;
}

TEditView::TEditView(data::Course& course, TWinBox& box, QWidget* parent)
    : QDialog(parent), course_(course), box_(box) {
    setFixedSize(259, 100);
    label_ = new QLabel(this);
    label_->move(16, 8);
    label_->setTextFormat(Qt::PlainText);
    edit_ = new QLineEdit(this);
    edit_->setGeometry(16, 32, 225, edit_->sizeHint().height());
    edit_->setMaxLength(kMaxLength);
    // Everything typed is shown and compared in upper case.
    connect(edit_, &QLineEdit::textEdited, this, [this](const QString& typed) {
        QString upper = typed.toUpper();
        if (upper != typed) {
            int cursor = edit_->cursorPosition();
            edit_->setText(upper.left(kMaxLength));
            edit_->setCursorPosition(cursor);
        }
    });
    ok_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    ok_->setGeometry(32, 64, 89, 25);
    ok_->setDefault(true);
    cancel_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
    cancel_->setGeometry(144, 64, 89, 25);
    connect(ok_, &QPushButton::clicked, this, &TEditView::OkClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    ScaleWithMainWindow(this);
}

void TEditView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setWindowTitle(FromCp1252(course_.CommonText(data::kTextEditTitle)));
    label_->setText(FromCp1252(course_.CommonText(data::kTextEditLabel)));
    label_->adjustSize();
    ok_->setText(FromCp1252(course_.CommonText(data::kTextOk)));
    cancel_->setText(FromCp1252(course_.CommonText(data::kTextCancel)));
    edit_->clear();
    edit_->setFocus();
}

void TEditView::OkClick() {
    std::string typed;
    text::Utf8ToCp1252(edit_->text().toUpper().toStdString(), typed);
    if (IdentityMatches(typed, record_)) {
        accept();
        return;
    }
    box_.Ask(course_.CommonText(data::kTextEditError),
             course_.CommonText(data::kTextEditErrorCaption), nullptr, 0, kIconError, kButtonOk);
}

int TEditView::ConfirmIdentity(std::span<const uint8_t> user_record) {
    record_ = user_record;
    int result = exec();
    record_ = {};
    return result == QDialog::Accepted ? kResultYes : kResultNo;
}

}  // namespace windows
