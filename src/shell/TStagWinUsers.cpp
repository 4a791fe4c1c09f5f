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
    user_list_ = std::make_unique<windows::TUsrList>(course_, group_data_, user_data_, box_, this);
    user_list_->SetEditView(edit_view);
    user_list_->SetMainWindow(this);
    user_list_->SetOnChosen([this] { PostUserMessage(lesson::kMsgUserChosen); });

    user_option_ = std::make_unique<windows::TUserOption>(course_, this);
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
    if (const platform::Status read = data::FindUser(user_data_, group, user, record); !read) {
        Box(read.what() + " : " + read.Cause(), caption, windows::kIconError, windows::kButtonOk);
        RefreshUserList();
        return;
    }
    if (Box(caption + " : " + record.UserName + " ?", caption, windows::kIconQuestion,
            windows::kButtonsYesNo) != windows::kResultYes)
        return;
    if (const platform::Status reset = data::ResetUser(user_data_, group, user); !reset)
        Box(reset.what() + " : " + reset.Cause(), caption, windows::kIconError, windows::kButtonOk);
    RefreshUserList();
}

void TStagWin::RefreshUserList() {
    if (user_list_ && user_list_->isVisible()) user_list_->Refresh();
}

}  // namespace shell
