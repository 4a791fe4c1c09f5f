#pragma once

#include <memory>
#include <string>

#include "text/MessageFile.h"
#include "windows/SoundBackend.h"

namespace data {
class Course;
}

namespace windows {

// Named and numbered sounds of the course: a name maps to "SND\<name>.WAV", a number to the
// text of that number in the sound list "MSG\SND.MSG".
class SoundPlayer {
  public:
    // Shows an error box (caption, text); texts are in the courseware's code page.
    // Sounds are found in course's SND and MSG folders.
    SoundPlayer(const data::Course& course, std::unique_ptr<SoundBackend> backend);

    // Silent: every call only stops the current sound. Developer: missing sounds are reported.
    void SetSilent(bool silent) { silent_ = silent; }
    void SetDeveloper(bool developer) { developer_ = developer; }
    bool Silent() const { return silent_; }
    bool Developer() const { return developer_; }

    // Plays SND\<name>.WAV with the play-sound flags; a null name stops the sound playing.
    bool PlaySoundNamed(const char* name, int flags);
    // Plays the sound named by text number of MSG\SND.MSG.
    bool PlaySoundNumber(int number, int flags);

    SoundBackend& Backend() { return *backend_; }
    void SetBackend(std::unique_ptr<SoundBackend> backend) { backend_ = std::move(backend); }

  private:
    void ShowError(const std::string& caption, const std::string& text);
    text::MessageFile* SoundList();

    const data::Course& course_;
    std::unique_ptr<SoundBackend> backend_;
    // The language's sound list, kept open between plays; list_path_ is the file it holds.
    text::MessageFile list_;
    std::string list_path_;
    bool silent_ = false;
    bool developer_ = false;
};

}  // namespace windows
