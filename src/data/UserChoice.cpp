#include "data/UserChoice.h"

#include "data/ConfigTable.h"
#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/OptionFiles.h"
#include "data/UserList.h"
#include "platform/Path.h"
#include "text/MessageFile.h"

namespace data {

bool ChooseUser(const ChoiceContext& context, ChoiceDialogs& dialogs, int32_t group, int32_t user,
                UserRecord* chosen) {
    DataAccess& users = *context.users;
    ConfigTable& config = *context.config;
    text::MessageFile& common = *context.common;

    UserRecord record;
    if (const platform::Status read = FindUser(users, group, user, record); !read) {
        dialogs.ShowError(read.what() + " : " + read.Cause());
        return false;
    }

    const AppliedOptions applied =
        ApplyUserOptions(config, context.root, context.options_folder, group, user);
    // Settings that would lead out of the course are not applied, and named.
    for (const std::string& line : config.TakeRefused())
        dialogs.ShowError(line + " : " + platform::SystemErrorText(platform::kErrorOutsideCourse));
    if (context.developer) {
        const std::string summary = OptionSummary(applied, config);
        dialogs.ShowSummary(summary, common.GetText(76));
    }

    bool yes;
    if (!config.Get(kCheckID).empty()) {
        yes = dialogs.ConfirmIdentity(record);
    } else {
        const std::string question = common.GetText(45, record.UserName);
        yes = dialogs.AskYesNo(question, context.group_name);
    }
    if (!yes) return false;
    bool accepted = record.password.empty();
    if (!accepted) {
        switch (dialogs.AskPassword(record.password)) {
            case PasswordAnswer::Ok:
                accepted = true;
                break;
            case PasswordAnswer::Wrong: {
                const std::string text = common.GetText(99);
                dialogs.ShowWrongPassword(text, common.GetText(98));
                break;
            }
            case PasswordAnswer::Cancel:
                break;
        }
    }
    if (accepted && chosen != nullptr) *chosen = record;
    return accepted;
}

}  // namespace data
