#include "report/ReportCourse.h"

#include <cstdlib>

#include "data/CommonTexts.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/OpenCourse.h"
#include "data/StepTexts.h"
#include "platform/Status.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"

namespace report {

namespace {

// The common text that names the course's first unit system (SI): the other takes the second
// line of conversion files.

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

}  // namespace

int ExpectedAnswer(const std::string& parameter_line) {
    const size_t at = parameter_line.find("BR");
    if (at == std::string::npos) return 0;
    return std::atoi(parameter_line.c_str() + at + 2);
}

ReportCourse::ReportCourse() = default;
ReportCourse::~ReportCourse() = default;

bool ReportCourse::Open(const std::string& folder, const std::string& language,
                        std::string& error) {
    std::string program;
    if (const platform::Status found = data::CourseProgramIn(folder, program); !found) {
        error = found.Text();
        return false;
    }
    auto course = std::make_unique<data::Course>(program);
    data::CourseOptions options;
    options.language = language;
    if (const platform::Status opened = data::OpenCourse(*course, options); !opened) {
        error = "cannot open the course in " + folder + ": " + opened.Text();
        return false;
    }
    conversion_line_ =
        course->Config().Get(data::kUnit) == course->Common().GetText(data::kTextUnitSystem) ? 0
                                                                                             : 1;
    root_ = course->Root();
    language_ = course->Language();
    name_ = course->Product().product_name;
    group_path_ = course->GroupFile();
    users_path_ = course->UsersFile();
    const size_t slash = users_path_.rfind('/');
    learner_dir_ = slash == std::string::npos || slash == 0 ? "." : users_path_.substr(0, slash);
    course_ = std::move(course);
    return true;
}

std::string ReportCourse::ScorePath(int user, int group) const {
    return data::ScorePath(root_, learner_dir_, user, group);
}

std::string ReportCourse::HistoryPath(int user, int group) const {
    return data::HistoryPath(root_, learner_dir_, user, group);
}

std::string ReportCourse::StepFilePath(int level) const {
    return course_->StepMessage(level);
}

bool ReportCourse::ReadSteps(int level, std::vector<StepText>& steps) const {
    text::MessageFile file;
    course_->Prepare(file);
    if (!file.Open(StepFilePath(level))) return false;
    file.SetSeed(course_->CommonSeed());
    file.SetCheckModulus(static_cast<unsigned>(course_->CommonSeed()));
    file.SetConversionLine(conversion_line_);
    const int count = file.RecordCount() / 4;
    for (int s = 1; s <= count; ++s) {
        StepText step;
        step.level = level;
        step.step = s;
        step.question =
            text::Cp1252ToUtf8(file.GetText(data::StepTextNumber(s, data::StepText::kQuestion)));
        // An answers text whose first line is empty offers choices, one a line.
        const std::vector<std::string> lines =
            SplitLines(file.GetText(data::StepTextNumber(s, data::StepText::kAnswers)));
        if (lines.size() > 1 && lines.front().empty()) {
            for (size_t i = 1; i < lines.size(); ++i)
                step.answers.push_back(text::Cp1252ToUtf8(lines[i]));
            while (!step.answers.empty() && step.answers.back().empty()) step.answers.pop_back();
        }
        step.expected =
            ExpectedAnswer(file.RawText(data::StepTextNumber(s, data::StepText::kParameters)));
        steps.push_back(std::move(step));
    }
    return true;
}

}  // namespace report
