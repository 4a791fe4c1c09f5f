// Choosing a learner in the user list, without a window: the record read again, the option
// files applied, the confirmation, the password. The boxes it shows come through ChoiceDialogs.
#pragma once

#include <cstdint>
#include <string>

#include "data/UserRecord.h"

namespace text {
class MessageFile;
}

namespace data {

class ConfigTable;
class DataAccess;

enum class PasswordAnswer { Ok, Cancel, Wrong };

// The boxes the choice shows; the user list gives the course's own windows, tests record them.
class ChoiceDialogs {
  public:
    virtual ~ChoiceDialogs() = default;
    // An error box with text (the failed read).
    virtual void ShowError(const std::string& text) = 0;
    // The developer's summary of the options applied, captioned with caption.
    virtual void ShowSummary(const std::string& text, const std::string& caption) = 0;
    // The identification window for the record; true when the learner confirmed.
    virtual bool ConfirmIdentity(const UserRecord& record) = 0;
    // A yes/no question; true for yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
    // The password window for a stored (scrambled) password.
    virtual PasswordAnswer AskPassword(const std::string& stored) = 0;
    // The wrong-password box: text, caption.
    virtual void ShowWrongPassword(const std::string& text, const std::string& caption) = 0;
};

struct ChoiceContext {
    DataAccess* users = nullptr;  // the open user file
    ConfigTable* config = nullptr;
    text::MessageFile* common = nullptr;
    bool developer = false;
    std::string root;            // the course folder, inside which options_folder lies
    std::string options_folder;  // the group file's folder, where the option files are
    std::string group_name;      // the caption of the confirmation
};

// The user list's tag for a chosen user.
constexpr int32_t UserTag(int32_t group, int32_t user) {
    return group * 256 + user;
}
// The group and the user number a tag names.
constexpr int32_t UserTagGroup(int32_t tag) {
    return (tag >> 8) & 0xFF;
}
constexpr int32_t UserTagUser(int32_t tag) {
    return tag & 0xFF;
}

// Chooses (group, user): reads the record again (a failure shows its path and the engine's reason
// and gives false), applies the group's then the user's option file (in developer mode with a
// summary captioned common text 76), asks for confirmation (the identification window when
// CheckID= is set, else common text 45 with the name, captioned with the group's name), then
// for a stored password the password window (a wrong one shows common text 99 captioned 98).
// True when the user is accepted; chosen, when given, then holds the record read.
bool ChooseUser(const ChoiceContext& context, ChoiceDialogs& dialogs, int32_t group, int32_t user,
                UserRecord* chosen = nullptr);

}  // namespace data
