// Opening a course: its settings (the INI, overrides, the command line), its catalogue line
// and product, and its common texts, filled into a Course. The player, the tools and the
// reports all open a course through OpenCourse; changing the language goes through
// ChangeLanguage.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Course.h"
#include "platform/Status.h"
#include "text/MessageFile.h"

namespace data {

// The name of the common texts' file in each language folder.
inline constexpr const char* kCommonName = "COMMON";

struct CourseOptions {
    // The INI to read; empty: the program's own (Course::IniPath). With without_ini and no
    // path, the settings start empty (a folder of scripts without a course around them).
    std::string ini;
    bool without_ini = false;
    // "KEY=VALUE" lines applied after the INI; an unknown key or a refused value fails.
    std::vector<std::string> overrides;
    // Language= when not empty; one that would lead out of the course fails.
    std::string language;
    // The player's command line (-l, -s), applied after the option words.
    int argc = 0;
    const char* const* argv = nullptr;
    // Answers drive the session: no automatic play and no preset session.
    bool answers_drive = false;
    // A course without a catalogue, or without a line for its language, opens with an empty
    // product (its data in the course folder).
    bool catalogue_optional = false;
    // Whether the language's common texts are opened.
    bool common_texts = true;
};

// The program of the course in folder, for tools that are given a folder: the folder made
// absolute, and the first *.INI in it named without its extension (the link named after the
// product). Fails when the folder cannot be entered or holds no INI.
platform::Status CourseProgramIn(const std::string& folder, std::string& program);

// Fills course from its folder as options say. Lines of the INI or the command line that were
// refused (a value leading out of the course) do not stop the opening: each goes to notices as
// ("INI: line", kErrorOutsideCourse) when notices is given.
platform::Status OpenCourse(Course& course, const CourseOptions& options,
                            std::vector<platform::Status>* notices = nullptr);

// Opens MSG\<Language>\COMMON.MSG into common with the built-in main formats, check modulus
// 1009, show-errors following Developer and the product name as link path; seed receives the
// file's seed (given later to the step, sub-step and language files). Fails with (path, 2), or
// (path + ": the message file is damaged", 13) when its table cannot be read.
platform::Status LoadCommonTexts(const Course& course, text::MessageFile& common, int32_t& seed);
// The same into the course's own common texts and seed.
platform::Status LoadCommonTexts(Course& course);

// Switches the course to language: its catalogue line (the course's name and data folder in
// that language) and its common texts are checked first, so a language without them leaves the
// course as it was and says why; then the INI keeps the new language (a failure to save it is
// returned, the language is taken all the same).
platform::Status ChangeLanguage(Course& course, const std::string& language);

struct LanguageEntry {
    std::string folder;   // the folder under MSG
    std::string caption;  // text 0 of its common file, e.g. "English (GB)"
    // The language the caption names ("GB"), read by ParseOptionChoice; the folder's name when
    // the caption names none, so that choosing it names a language folder that exists.
    std::string code;
};

// Every folder under the course's MSG that holds MSG\<folder>\<common_name>.MSG, read with
// seed, in folder-name order. A file that does not open is left out. The one scan of the
// language folders: the options window and the language menu offer what it finds.
std::vector<LanguageEntry> FindLanguages(const Course& course, const std::string& common_name,
                                         int32_t seed);

}  // namespace data
