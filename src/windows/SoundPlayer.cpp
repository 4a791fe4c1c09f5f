#include "windows/SoundPlayer.h"

#include <cerrno>

#include "data/Course.h"
#include "platform/Path.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"

namespace windows {

SoundPlayer::SoundPlayer(const data::Course& course, std::unique_ptr<SoundBackend> backend)
    : course_(course), backend_(std::move(backend)) {
    course_.Prepare(list_);
}

// The sound list of the course's language: opened at its first use and again when the language
// (hence the file) changes; a file that could not be opened is tried again at the next call.
text::MessageFile* SoundPlayer::SoundList() {
    const std::string path = course_.SoundList();
    if (path != list_path_ || list_.State() != text::MessageFile::kOpen) {
        list_path_ = path;
        if (!list_.Open(path)) return nullptr;
        list_.SetCheckModulus(text::MessageFile::kStandardModulus);
    }
    return &list_;
}

// Reported through the course's notifier: the application's error boxes in the player.
void SoundPlayer::ShowError(const std::string& caption, const std::string& text) {
    course_.Notifier().ShowError(caption, text);
}

bool SoundPlayer::PlaySoundNamed(const char* name, int flags) {
    if (name == nullptr || silent_) {
        backend_->Stop();
        return true;
    }
    std::string path = course_.Sound(name);
    errno = 0;
    if (platform::FileExists(path)) return backend_->Play(path, flags);
    if (developer_) {
        std::string reason =
            platform::SystemErrorText(errno != 0 ? -1 : platform::kErrorFileNotFound);
        if (text::MessageFile* list = SoundList()) {
            std::string caption = list->GetText(0);
            std::string body = list->GetText(1, path) + "\n" + reason;
            ShowError(caption, body);
        } else {
            ShowError(path, reason);
        }
    }
    return false;
}

bool SoundPlayer::PlaySoundNumber(int number, int flags) {
    text::MessageFile* list = SoundList();
    if (!list) return false;
    if (number >= 0 && number < list->RecordCount()) {
        const std::string name = list->GetText(number);
        return PlaySoundNamed(name.c_str(), flags);
    }
    if (developer_) {
        std::string caption = list->GetText(0);
        std::string body = list->GetText(2);
        ShowError(caption, body);
    }
    return false;
}

}  // namespace windows
