// The course a report reads: its folder, language, product and learner files, and the lesson's
// step texts. The one place where the report opens a course (through data::OpenCourse).
// Nothing here writes to the course.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace data {
class Course;
}

namespace report {

// One step of the lesson, its texts in UTF-8.
struct StepText {
    int level = 0;
    int step = 0;
    std::string question;
    std::vector<std::string> answers;  // the offered answers; empty for other kinds of step
    int expected = 0;                  // the right answer (BR of the parameter line)
};

class ReportCourse {
  public:
    ReportCourse();
    ~ReportCourse();
    ReportCourse(const ReportCourse&) = delete;
    ReportCourse& operator=(const ReportCourse&) = delete;

    // Opens the course in folder (made absolute) for language (empty: Language= of its INI).
    // False with a message in error when the folder, its INI, the catalogue line or the
    // common texts are missing.
    bool Open(const std::string& folder, const std::string& language, std::string& error);

    const std::string& Root() const { return root_; }
    const std::string& Language() const { return language_; }
    // The product name (DEMO), as the course names itself.
    const std::string& Name() const { return name_; }
    // Native ISAM base paths of the GROUP and USERS files, and the folder holding them.
    const std::string& GroupPath() const { return group_path_; }
    const std::string& UsersPath() const { return users_path_; }
    std::string ScorePath(int user, int group) const;
    std::string HistoryPath(int user, int group) const;
    // The step message file of a level (native), whether or not it exists.
    std::string StepFilePath(int level) const;
    // Reads every step of a level's step message file (four texts per step) into steps. False
    // when the file cannot be opened.
    bool ReadSteps(int level, std::vector<StepText>& steps) const;

  private:
    std::unique_ptr<data::Course> course_;
    std::string root_, language_, name_, group_path_, users_path_, learner_dir_;
    int conversion_line_ = 0;
};

// The answer a parameter line expects ("... BR<expected>:<tolerance> ..."), 0 when it names none.
int ExpectedAnswer(const std::string& parameter_line);

}  // namespace report
