#include "report/ReportCourse.h"

#include <cstdlib>
#include <filesystem>

#include "data/Course.h"
#include "data/CoursePaths.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "text/Codepage.h"
#include "text/MessageFile.h"

namespace report {

namespace {

// Keeps the first complaint of the files the course opens, for the one message of the caller.
class Collected final : public platform::Notifier {
  public:
    void ShowSystemError(const std::string& what, int code) override {
        if (text.empty()) text = what + ": " + platform::SystemErrorText(code);
    }
    void ShowError(const std::string&, const std::string& what) override {
        if (text.empty()) text = what;
    }
    void ShowMessage(const std::string&, const std::string&) override {}
    std::string text;
};

Collected& Quiet() {
    static thread_local Collected collected;
    collected.text.clear();
    return collected;
}

// The common text that names the course's first unit system (SI): the other takes the second
// line of conversion files.
constexpr int kTextUnitSystem = 101;

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
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(folder, ec).lexically_normal();
    std::string root = dir.string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (ec || !platform::DirectoryExists(root)) {
        error = "cannot enter the course folder " + folder;
        return false;
    }
    // The course's INI sits beside the player's link, named after the product.
    const std::vector<std::string> inis = platform::FindEntries(root + "/*.INI");
    if (inis.size() != 1) {
        error = inis.empty() ? "no INI file in the course folder " + root
                             : "more than one INI file in the course folder " + root;
        return false;
    }
    const std::string& ini = inis.front();
    const std::string program = (root == "/" ? "" : root) + "/" + ini.substr(0, ini.size() - 4);
    auto course = std::make_unique<data::Course>(program);
    Collected& quiet = Quiet();
    course->SetNotifier(&quiet);
    if (course->Config().LoadConfiguration(course->IniPath(), quiet) != 0) {
        error = "cannot read " + course->IniPath();
        return false;
    }
    if (!language.empty()) {
        if (!data::ConfigTable::Accepts(data::kLanguage, language)) {
            error = "refused language " + language + ": it leads out of the course folder";
            return false;
        }
        course->Config().Set(data::kLanguage, language);
    }
    const std::string lang = course->Language();
    if (data::LoadProduct(course->Config(), program, course->Product(), root, quiet) != 1) {
        error = "no product of the course fits language " + lang +
                (quiet.text.empty() ? std::string() : " (" + quiet.text + ")");
        return false;
    }
    text::MessageFile common;
    course->Prepare(common);
    if (!common.Open(course->Message("COMMON"))) {
        error = "cannot open the common texts " + course->Message("COMMON");
        return false;
    }
    course->SetCommonSeed(common.Seed());
    conversion_line_ = course->Config().Get(data::kUnit) == common.GetText(kTextUnitSystem) ? 0 : 1;
    root_ = root;
    language_ = lang;
    name_ = course->Product().product_name;
    group_path_ = course->GroupFile();
    users_path_ = course->UsersFile();
    const size_t slash = users_path_.rfind('/');
    learner_dir_ = slash == std::string::npos || slash == 0 ? "." : users_path_.substr(0, slash);
    // The notifier lives as long as the thread; files opened later report nowhere.
    course->SetNotifier(nullptr);
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
    file.SetNotifier(&Quiet());
    if (!file.Open(StepFilePath(level))) return false;
    file.SetSeed(course_->CommonSeed());
    file.SetCheckModulus(static_cast<unsigned>(course_->CommonSeed()));
    file.SetConversionLine(conversion_line_);
    const int count = file.RecordCount() / 4;
    for (int s = 1; s <= count; ++s) {
        StepText step;
        step.level = level;
        step.step = s;
        step.question = text::Cp1252ToUtf8(file.GetText(4 * s - 4));
        // An answers text whose first line is empty offers choices, one a line.
        const std::vector<std::string> lines = SplitLines(file.GetText(4 * s - 3));
        if (lines.size() > 1 && lines.front().empty()) {
            for (size_t i = 1; i < lines.size(); ++i)
                step.answers.push_back(text::Cp1252ToUtf8(lines[i]));
            while (!step.answers.empty() && step.answers.back().empty()) step.answers.pop_back();
        }
        step.expected = ExpectedAnswer(file.RawText(4 * s - 1));
        steps.push_back(std::move(step));
    }
    return true;
}

}  // namespace report
