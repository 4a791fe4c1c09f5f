// The main window's side of choosing a learner: the start timer shows the user list, Config
// opens the options window, Reset wipes a learner's progress.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>

#include "data/CommonTexts.h"
#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/LearnerFiles.h"
#include "data/UserChoice.h"
#include "data/UserList.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "shell/TStagWin.h"
#include "text/Codepage.h"
#include "windows/QtText.h"
#include "windows/TUserOption.h"
#include "windows/TUsrList.h"
#include "windows/WinBoxLayout.h"

namespace shell {

void TStagWin::CreateUserWindows(windows::TEditView* edit_view) {
    windows::UserListCourse list;
    list.config = &course_.Config();
    list.flags = &course_.Flags();
    list.common = &course_.Common();
    list.product = &course_.Product();
    list.groups = &group_data_;
    list.users = &user_data_;
    list.course = &course_;
    list.box = &box_;
    user_list_ = std::make_unique<windows::TUsrList>(list, this);
    user_list_->SetEditView(edit_view);
    user_list_->SetMainWindow(this);
    user_list_->SetOnChosen([this] { PostUserMessage(lesson::kMsgUserChosen); });

    windows::UserOptionCourse options;
    options.course = &course_;
    options.config = &course_.Config();
    options.common = &course_.Common();
    options.common_seed = course_.CommonSeed();
    options.developer = course_.Flags().Has(data::Developer);
    options.removable_media = course_.RemovableMedia();
    options.data_dir = course_.Product().data_dir;
    options.product_name = course_.Product().product_name;
    options.program_ini = course_.IniPath();
    user_option_ = std::make_unique<windows::TUserOption>(options, this);
}

void TStagWin::CommencerClick() {
    // The start timer is the flow's: start and automatic play.
    if (flow_) flow_->TimerTick();
}

void TStagWin::ConfigClick() {
    if (!user_option_ || !user_list_) return;
    const std::string language = course_.Config().Get(data::kLanguage);
    const data::UserRecord& user = user_list_->Chosen();
    user_option_->SetUser(user.GroupNo, user.UserNo);
    if (user_option_->exec() != QDialog::Accepted) return;
    // A new language brings its own texts; a missing one keeps the texts in use.
    const std::string chosen = course_.Config().Get(data::kLanguage);
    if (chosen != language) {
        course_.Config().Set(data::kLanguage, language);
        SwitchLanguage(chosen);
    }
    if (flow_) flow_->OptionsAccepted();
}

void TStagWin::ResetClick() {
    int32_t group = 0, user = 0;
    if (!user_list_ || !user_list_->SelectedUser(group, user)) return;
    std::string caption = course_.Common().GetText(data::kTextReset);
    caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
    // The name as the users file holds it (the course's code page), not as a widget shows it.
    data::UserRecord record;
    if (data::FindUser(user_data_, group, user, &record) != 1) {
        Box(user_data_.ErrorText("%s", user_data_.DataPath().c_str()), caption, windows::kIconError,
            windows::kButtonOk);
        RefreshUserList();
        return;
    }
    if (Box(caption + " : " + record.UserName + " ?", caption, windows::kIconQuestion,
            windows::kButtonsYesNo) != windows::kResultYes)
        return;
    if (data::ResetUser(user_data_, group, user) < 0)
        Box(user_data_.ErrorText("%s", user_data_.DataPath().c_str()), caption, windows::kIconError,
            windows::kButtonOk);
    RefreshUserList();
}

void TStagWin::RefreshUserList() {
    if (user_list_ && user_list_->isVisible()) user_list_->Refresh();
}

}  // namespace shell
