// The sources of a course's compiled files, where they stand beside it: message sources (*.txt,
// compiled by msgc) and script sources (*.lds, assembled by ldeasm), found by name in folders
// given and kept only when they compile to the very file the course holds. A finding on a
// compiled file then also names the source file and line the author edits.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "check/Finding.h"

namespace coursecheck {

class SourceMap {
  public:
    // course: the course folder; dir: its Directory= prefix (lesson files are named with it,
    // their sources without it); folders: where sources are looked for (recursively).
    SourceMap(std::string course, std::string dir, const std::vector<std::string>& folders);

    // Sets finding.source and source_line when the source of its file is known.
    void Annotate(check::Finding& finding);

  private:
    struct Candidate {
        std::string path;    // as found, for the finding
        std::string stem;    // upper case, without the extension
        std::string parent;  // upper-case name of its folder
        bool script = false;
    };
    struct Source {
        std::string path;
        std::vector<int> header_lines;  // message sources: the line of each record's header
        std::vector<int> first_lines;   // and of its first text line (0 for an empty text)
        bool script = false;
    };
    std::optional<Source> Find(const std::string& course_path);

    std::string course_;
    std::string dir_;
    std::vector<Candidate> candidates_;
    std::map<std::string, std::optional<Source>> found_;  // by upper-case course path
};

// The Directory= value of the course in folder, read as the player reads its INI ("" when it
// cannot be read).
std::string CourseDirectory(const std::string& folder);

}  // namespace coursecheck
