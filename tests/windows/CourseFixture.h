#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "data/Course.h"
#include "support/TempFolder.h"

namespace windows::testing {

// One text of a message file with its argument format entry ("%s %d" or "").
struct Text {
    std::string text;
    std::string format;
};

// Writes a plain (unscrambled) compiled message file with checksums for modulus 1009.
void WriteMessageFile(const std::filesystem::path& path, const std::vector<Text>& texts);
// Writes a silent 16-bit mono PCM WAV of ms milliseconds.
void WriteWav(const std::filesystem::path& path, int ms);
// Writes a w x h BMP filled with one colour (0xRRGGBB).
void WriteBmp(const std::filesystem::path& path, int w, int h, unsigned rgb);

// A small course folder in a fresh temporary directory, made the current directory for the
// fixture's lifetime: MSG\GB and MSG\FR with MSGBOX and COMMON texts, MSG\SND.MSG naming the
// sounds, SND\*.WAV and the icon bitmaps in BMP\.
class CourseFolder {
  public:
    CourseFolder();
    ~CourseFolder();
    const std::filesystem::path& Root() const { return root_; }
    // The native path of a file of the course ("SND/X.WAV").
    std::string Path(const std::string& relative) const { return (root_ / relative).string(); }
    // The course of the folder, its program named PLAYER, Language=GB.
    data::Course& Course() { return *course_; }

  private:
    support::TempFolder temp_;
    std::filesystem::path root_;
    std::unique_ptr<data::Course> course_;
    std::filesystem::path previous_;
};

// Sound-list names used by the fixture, by number.
inline const char* const kSoundNames[] = {"CAPTION", "ERRTEXT", "RANGE", "WARN", "QUEST", "ERROR",
                                          "INFO",    "START",   "STOP",  "NEXT", "CLOSE"};

}  // namespace windows::testing
