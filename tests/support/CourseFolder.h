// A small course folder in a fresh temporary folder (never made the current folder): MSG\GB and
// MSG\FR with MSGBOX texts, MSG\SND.MSG naming the sounds, SND\*.WAV and the icon bitmaps in
// BMP\. Header-only: the tests that use it link the data library.
#pragma once

#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "data/Course.h"
#include "platform/Path.h"
#include "support/BmpWriter.h"
#include "support/MessageFileWriter.h"
#include "support/TempFolder.h"
#include "support/WavWriter.h"

namespace support {

// Sound-list names used by the folder, by number.
inline const char* const kSoundNames[] = {"CAPTION", "ERRTEXT", "RANGE", "WARN", "QUEST", "ERROR",
                                          "INFO",    "START",   "STOP",  "NEXT", "CLOSE"};

class CourseFolder {
  public:
    CourseFolder() : root_(temp_.path) {
        course_ = std::make_unique<data::Course>((root_ / "PLAYER").string());
        course_->Config().Set(data::kLanguage, "GB");

        auto box = [](const char* yes, const char* no, const char* ok, const char* cancel,
                      const char* ignore, const char* retry, const char* abort,
                      const char* missing) {
            return std::vector<MessageText>{{yes, ""},      {no, ""},        {ok, ""},
                                            {cancel, ""},   {ignore, ""},    {retry, ""},
                                            {abort, ""},    {missing, "%s"}, {"ICERR", ""},
                                            {"ICWARN", ""}, {"ICQUEST", ""}, {"ICINFO", ""}};
        };
        WriteMessageFile(
            root_ / "MSG/GB/MSGBOX.MSG",
            box("Yes", "No", "OK", "Cancel", "Ignore", "Retry", "Abort", "Picture %1 is missing"));
        WriteMessageFile(root_ / "MSG/FR/MSGBOX.MSG",
                         box("Oui", "Non", "D'accord", "Annuler", "Ignorer", "Reessayer",
                             "Abandonner", "Image %1 absente"));
        std::vector<MessageText> sounds;
        for (const char* name : kSoundNames) sounds.push_back({name, ""});
        sounds[0].text = "Sound";
        sounds[1] = {"Sound %1 cannot be played", "%s"};
        sounds[2].text = "No sound of that number";
        WriteMessageFile(root_ / "MSG/SND.MSG", sounds);
        for (size_t i = 3; i < std::size(kSoundNames); ++i)
            WriteWav(root_ / "SND" / (std::string(kSoundNames[i]) + ".WAV"), 20);
        WriteBmp(root_ / "BMP/ICERR.BMP", 32, 32, 0xFF0000);
        WriteBmp(root_ / "BMP/ICWARN.BMP", 32, 32, 0xFFFF00);
        WriteBmp(root_ / "BMP/ICQUEST.BMP", 32, 32, 0x0000FF);
        WriteBmp(root_ / "BMP/ICINFO.BMP", 32, 32, 0x00FF00);
        WriteBmp(root_ / "BMP/WIDE.BMP", 120, 40, 0x808080);
    }
    CourseFolder(const CourseFolder&) = delete;
    CourseFolder& operator=(const CourseFolder&) = delete;

    const std::filesystem::path& Root() const { return root_; }
    // The native path of a file of the course ("SND/X.WAV").
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    // The course of the folder, its program named PLAYER, Language=GB.
    data::Course& Course() { return *course_; }

  private:
    TempFolder temp_;
    std::filesystem::path root_;
    std::unique_ptr<data::Course> course_;
};

}  // namespace support
