// What the checks of one course share: the course opened in each language, the unit systems,
// the place findings go, and the course's file names in the courseware's spelling.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check/CourseCheck.h"
#include "data/Course.h"
#include "data/OpenCourse.h"

namespace check {

// One language of the course, opened as the player opens it.
struct LanguageCourse {
    std::string lang;
    std::unique_ptr<data::Course> course;
    bool opened = false;  // settings, catalogue and common texts all opened
    // The common seed step and sub-step files are read with; 0 (each file's own) when the
    // course did not open.
    int32_t Seed() const { return opened ? course->CommonSeed() : 0; }
};

// A unit system checked: the Unit= value and the conversion line it selects.
struct UnitSystem {
    std::string value;
    int line = 0;
};

class CheckContext {
  public:
    CheckContext(std::string root, std::string program, CheckOptions options,
                 std::vector<Finding>& out)
        : root_(std::move(root)),
          program_(std::move(program)),
          options_(std::move(options)),
          out_(out) {}

    void Error(const std::string& path, const std::string& code, const std::string& message,
               int line = 0, int text = -1) {
        Add(Severity::kError, path, code, message, line, text);
    }
    void Warning(const std::string& path, const std::string& code, const std::string& message,
                 int line = 0, int text = -1) {
        Add(Severity::kWarning, path, code, message, line, text);
    }
    // Findings seen twice (the same fault in two languages or units) are kept once; a file
    // gives at most kMaxFindingsPerFile, so a damaged file of any size makes a bounded report.
    static constexpr int kMaxFindingsPerFile = 100;
    void Add(Severity severity, const std::string& path, const std::string& code,
             const std::string& message, int line, int text);
    // Whether path has given all the findings it may: what a further one would say need not
    // be worked out.
    bool Full(const std::string& path) const {
        auto it = per_file_.find(path);
        return it != per_file_.end() && it->second >= kMaxFindingsPerFile;
    }
    // Says, for each file whose findings were cut, how many more there were.
    void Finish();

    const std::string& Root() const { return root_; }
    const std::string& Program() const { return program_; }
    const CheckOptions& Options() const { return options_; }
    // A courseware path (backslashes, any case) as a native path inside the course; both are
    // remembered, as the course does not change while it is checked.
    std::string Native(const std::string& path) const;
    bool Exists(const std::string& path) const;
    // For a missing script (its courseware path): "; did you mean <name>?" naming the script of
    // the LDE folder nearest in spelling, or "" when none is near.
    std::string ScriptSuggestion(const std::string& missing);
    // Whether anything (a file, a folder, a FIFO...) stands at path.
    bool Present(const std::string& path) const;
    // Whether the course file at path may be read: a regular file of at most cap bytes. A file
    // that is there but is no regular file or is larger gives a file-not-regular or
    // file-too-large finding (once); a missing one gives none.
    bool Readable(const std::string& path, uint64_t cap);
    // Reads the course file at path as Readable allows; false with a finding (code
    // unreadable_code for a system error) when it cannot.
    bool ReadFile(const std::string& path, uint64_t cap, const std::string& unreadable_code,
                  std::string& out);

    // The INI's name and the line of its Language= setting (0 when none).
    std::string ini;
    int language_line = 0;
    // Settings shared by every language (from the INI).
    std::string dir;      // Directory=
    std::string data;     // the data folder, courseware form relative to the course
    std::string product;  // the product name
    std::vector<LanguageCourse> languages;
    std::vector<UnitSystem> units;
    // Scripts found in the LDE folder (file name as found), and those some step, menu, call or
    // matrix cell names (upper case, without the Directory= prefix).
    std::vector<std::string> script_files;
    std::set<std::string> named_scripts;
    // Sub-step (tag) files stage objects name, by upper-case tag.
    std::set<std::string> tags;

    // The courseware paths of the course's own files.
    std::string ScriptPath(const std::string& name) const;  // DATA\LDE\<dir><name>
    std::string MessagePath(const std::string& lang, const std::string& name) const;
    std::string StepFile(const std::string& lang, int level) const;
    std::string LevelTable(int level) const;
    // The levels that have a step file in some language.
    std::vector<int> levels;
    // The steps of every level as the first language holds them, in order.
    enum class StepKind { kChoice, kPractical, kEstimate };
    struct Step {
        int level = 0;
        int number = 0;      // from 1
        std::string script;  // the parameter line's LDE name ("-" for none)
        StepKind kind = StepKind::kChoice;
    };
    std::vector<Step> steps;
    // The conversion line a Unit= value selects in a language: 0 when it equals common text
    // 101, else 1.
    int ConversionLine(LanguageCourse& l, const std::string& unit) const;

  private:
    std::string root_;
    std::string program_;
    CheckOptions options_;
    std::vector<Finding>& out_;
    mutable std::map<std::string, std::string> native_;
    mutable std::map<std::string, bool> exists_;
    mutable std::map<std::string, bool> present_;
    std::set<std::string> refused_;
    std::set<std::string> seen_;           // findings given, as formatted
    std::map<std::string, int> per_file_;  // findings given per path
    std::map<std::string, int> cut_;       // findings left out per path
    std::vector<std::string> lde_names_;   // the LDE folder's entries, listed once
    bool lde_listed_ = false;
};

// The checks, in the order CheckCourse runs them.
void CheckStartup(CheckContext& c);
// settings: the INI's.
void CheckSelectableLanguages(CheckContext& c, const data::ConfigTable& settings);
void CheckMessageFiles(CheckContext& c);
void CheckUsedTexts(CheckContext& c);
void CheckSteps(CheckContext& c);
void CheckScripts(CheckContext& c);
void CheckLanguagesAgree(CheckContext& c);
void RunScripts(CheckContext& c);

// Pieces of a text split at sep.
std::vector<std::string> SplitText(const std::string& text, const std::string& sep);
std::string Upper(std::string text);

}  // namespace check
