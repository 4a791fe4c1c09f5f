#include "windows/TUserOption.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <filesystem>

#include "data/CommonTexts.h"
#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/OpenCourse.h"
#include "data/OptionFiles.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"
#include "windows/BoxScaler.h"
#include "windows/QtText.h"

namespace windows {
namespace {

// The configuration key of each list.
constexpr int kListKeys[4] = {data::kLanguage, data::kGaz, data::kUnit, data::kSymbol};
constexpr int kGases = 1;

// A text without its first character (the menu captions' '&').
std::string WithoutFirst(const std::string& s) {
    return s.empty() ? s : s.substr(1);
}

}  // namespace

TUserOption::TUserOption(data::Course& course, QWidget* parent) : QDialog(parent), course_(course) {
    setFixedSize(320, 200);
    for (int i = 0; i < 4; ++i) {
        labels_[i] = new QLabel(this);
        labels_[i]->setTextFormat(Qt::PlainText);
        labels_[i]->setGeometry(16, 12 + 36 * i, 100, 24);
        combos_[i] = new QComboBox(this);
        combos_[i]->setGeometry(120, 12 + 36 * i, 184, 24);
    }
    ok_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    ok_->setGeometry(60, 160, 89, 25);
    cancel_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), "Cancel", this);
    cancel_->setGeometry(170, 160, 89, 25);
    connect(ok_, &QPushButton::clicked, this, &TUserOption::OkClick);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    FillChoices();
    ScaleWithMainWindow(this);
}

void TUserOption::FillChoices() {
    text::MessageFile& common = course_.Common();
    std::string common_name = std::filesystem::path(common.FileName()).stem().string();
    if (common_name.empty()) common_name = data::kCommonName;
    choices_[0] = data::FindLanguageChoices(course_, common_name, course_.CommonSeed(),
                                            course_.Language(), course_.Has(data::Developer));
    choices_[2].clear();
    choices_[3].clear();
    for (int number : data::kUnitChoiceTexts)
        choices_[2].push_back(data::ParseOptionChoice(common.GetText(number)));
    for (int number : data::kSymbolChoiceTexts)
        choices_[3].push_back(data::ParseOptionChoice(common.GetText(number)));
    for (int list : {0, 2, 3}) {
        combos_[list]->clear();
        for (const data::OptionChoice& choice : choices_[list])
            combos_[list]->addItem(FromCp1252(choice.name));
    }
}

void TUserOption::SetUser(int32_t group, int32_t user) {
    group_ = group;
    user_ = user;
}

std::string TUserOption::OptionsFolder() const {
    return std::filesystem::path(course_.GroupFile()).parent_path().string();
}

void TUserOption::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    text::MessageFile& common = course_.Common();
    setWindowTitle(FromCp1252(WithoutFirst(common.GetText(data::kTextConfigure))));
    labels_[0]->setText(FromCp1252(WithoutFirst(common.GetText(data::kTextLanguageMenu))));
    labels_[1]->setText(FromCp1252(common.GetText(data::kTextUnitsLabel)));
    labels_[2]->setText(FromCp1252(common.GetText(data::kTextSymbolsLabel)));
    labels_[3]->setText(FromCp1252(common.GetText(data::kTextEvaluateLabel)));
    ok_->setText(FromCp1252(common.GetText(data::kTextOptionsOk)));
    cancel_->setText(FromCp1252(common.GetText(data::kTextCancel)));
    FillChoices();
    FillGases();
    LoadOptions();
    SelectCurrent();
    cancel_->setFocus();
}

void TUserOption::FillGases() {
    choices_[kGases].clear();
    combos_[kGases]->clear();
    std::vector<std::string> fluids;
    if (const platform::Status read = data::ReadFluids(course_.Fluids(), fluids); !read)
        course_.Notifier().ShowSystemError(read.what(), read.code());
    for (std::string& fluid : fluids) {
        combos_[kGases]->addItem(FromCp1252(fluid));
        choices_[kGases].push_back({fluid, fluid});
    }
}

void TUserOption::LoadOptions() {
    const std::string folder = OptionsFolder();
    const std::string path = data::OptionFileToLoad(
        data::UserOptionsPath(course_.Root(), folder, user_, group_),
        data::GroupOptionsPath(course_.Root(), folder, group_), course_.IniPath());
    if (const platform::Status read = data::ApplyOptionFile(course_.Config(), path); !read)
        course_.Notifier().ShowSystemError(read.what(), read.code());
}

void TUserOption::SelectCurrent() {
    for (int list = 0; list < 4; ++list) {
        const std::string& value = course_.Config().Get(kListKeys[list]);
        int found = -1;
        for (size_t i = 0; i < choices_[list].size() && found < 0; ++i)
            if (choices_[list][i].code == value) found = int(i);
        combos_[list]->setCurrentIndex(found);
    }
}

void TUserOption::OkClick() {
    for (int list = 0; list < 4; ++list) {
        const int selected = combos_[list]->currentIndex();
        if (selected >= 0 && size_t(selected) < choices_[list].size())
            course_.Config().Set(kListKeys[list], choices_[list][size_t(selected)].code);
    }
    if (!course_.RemovableMedia()) {
        const std::string path =
            data::UserOptionsPath(course_.Root(), OptionsFolder(), user_, group_);
        if (const platform::Status written = data::WriteOptionFile(course_.Config(), path);
            !written)
            course_.Notifier().ShowSystemError(written.what(), written.code());
    }
    accept();
}

}  // namespace windows
