#include "windows/TApropos.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "windows/BoxScaler.h"
#include "windows/QtText.h"

namespace windows {

TApropos::TApropos(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    auto* layout = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    icon->setAlignment(Qt::AlignCenter);
    name_ = new QLabel(this);
    name_->setAlignment(Qt::AlignCenter);
    name_->setTextFormat(Qt::PlainText);
    QFont bold = name_->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    name_->setFont(bold);
    version_ = new QLabel(this);
    version_->setAlignment(Qt::AlignCenter);
    version_->setTextFormat(Qt::PlainText);
    auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(icon);
    layout->addWidget(name_);
    layout->addWidget(version_);
    layout->addWidget(ok, 0, Qt::AlignCenter);
    setMinimumWidth(300);
    ScaleWithMainWindow(this);
}

void TApropos::SetTexts(const std::string& app_name, const std::string& version) {
    name_->setText(FromCp1252(app_name));
    version_->setText(FromCp1252(version));
    setWindowTitle(name_->text());
}

}  // namespace windows
