// What the demo lesson must offer beyond what coursecheck verifies for every course (texts,
// parameter lines, scripts, menus, matrix cells, documents, languages; the build runs it on the
// demo): each kind of step is there, and every practical step can be solved from a pop-up menu
// of the stage its script builds, whose entries answer only outside choice steps.
#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "platform/Path.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"
#include "support/QtTestEnvironment.h"
#include "text/MessageFile.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCourse = DEMO_COURSE_DIR;
// The course's program: relative message file names are completed from its folder.
const std::string kProgram = (kCourse / "DEMO").string();
constexpr int kCommonSeed = 1957;
constexpr unsigned kSubStepModulus = 1009;
constexpr int kTickLimit = 5000;

enum Kind { kChoice = 0, kPractical = 1, kEstimate = 2 };

// The step parameter line, as the lesson flow reads it.
struct StepParams {
    unsigned long key_high = 0, key_low = 0;
    int expected = 0, tolerance = 0, try_limit = 0, try_penalty = 0, points = 0;
    char script[64] = "-";
    int f_number = 0, p_number = 0;
    char comment[64] = "-";
};

int ParseParams(const std::string& line, StepParams& p) {
    return std::sscanf(line.c_str(), "K[%lX:%lX] BR%d:%d TRY%d:%d PT%d LDE%63s F%d P%d:[%63[^]]",
                       &p.key_high, &p.key_low, &p.expected, &p.tolerance, &p.try_limit,
                       &p.try_penalty, &p.points, p.script, &p.f_number, &p.p_number, p.comment);
}

std::vector<std::string> Split(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        size_t at = text.find(sep, pos);
        parts.push_back(text.substr(pos, at == std::string::npos ? std::string::npos : at - pos));
        if (at == std::string::npos) return parts;
        pos = at + sep.size();
    }
}

// The bracketed fields of a level configuration line: "[a][b]" gives {a, b}.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while ((pos = line.find('[', pos)) != std::string::npos) {
        size_t end = line.find(']', pos);
        if (end == std::string::npos) break;
        fields.push_back(line.substr(pos + 1, end - pos - 1));
        pos = end + 1;
    }
    return fields;
}

// The script that the level matrix gives for (step, item, column); "-" when there is none.
std::string LookupMatrix(const std::vector<std::string>& lines, int step, const std::string& item,
                         const std::string& column) {
    char header[16];
    std::snprintf(header, sizeof header, "##%02d", step);
    size_t c = 0;
    bool in_block = false;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == ';') continue;
        std::vector<std::string> f = Fields(line);
        if (f.empty()) continue;
        if (!in_block) {
            if (f[0] != header) continue;
            for (c = 1; c < f.size() && f[c] != column; ++c) {
            }
            if (c == f.size()) return "-";
            in_block = true;
        } else if (f[0] == item) {
            return c < f.size() ? f[c] : "-";
        }
    }
    return "-";
}

struct Variant {
    const char* language;
    const char* unit;  // the Unit= value
    int line;          // the conversion line it selects
};

void PrintTo(const Variant& v, std::ostream* os) {
    *os << v.language << " " << v.unit;
}

class DemoLesson : public ::testing::TestWithParam<Variant> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(config_.LoadConfiguration((kCourse / "DEMO.INI").string()).ok());
        config_.Set(data::kLanguage, GetParam().language);
        config_.Set(data::kUnit, GetParam().unit);
        data::ProductRecord& product = course_.Product();
        ASSERT_TRUE(data::LoadProduct(config_, kProgram, product, kCourse.string()).ok());
        data_dir_ = course_.Resolve(product.data_dir);
        dir_ = config_.Get(data::kDirectory);
        lang_ = GetParam().language;
        course_.Prepare(steps_);
        ASSERT_TRUE(steps_.Open(MessagePath("STEP01")));
        steps_.SetSeed(kCommonSeed);
        steps_.SetCheckModulus(kCommonSeed);
        steps_.SetConversionLine(GetParam().line);
    }
    std::string MessagePath(const std::string& name) const {
        return "MSG\\" + lang_ + "\\" + dir_ + name + ".MSG";
    }
    fs::path ScriptFile(const std::string& name) const {
        return fs::path(data_dir_) / "LDE" / (dir_ + name);
    }

    data::Course course_{(kCourse / "DEMO").string()};
    data::ConfigTable& config_ = course_.Config();
    std::string data_dir_, dir_, lang_;
    text::MessageFile steps_;
};

TEST_P(DemoLesson, TheLessonHasEveryKindOfStep) {
    const int steps = steps_.RecordCount() / 4;
    ASSERT_EQ(steps, 10);
    EXPECT_EQ(config_.Get(data::kUnit) == "SI", GetParam().line == 0);
    std::set<int> kinds;
    int kind = kChoice;  // a new learner's record
    for (int s = 1; s <= steps; ++s) {
        const std::vector<std::string> answers = Split(steps_.GetText(4 * s - 3), "\n");
        kind = answers[0].empty() ? kChoice : kind == kEstimate ? kEstimate : kPractical;
        kinds.insert(kind);
        if (kind == kPractical) kind = kEstimate;  // solved, it turns the next steps to estimates
    }
    EXPECT_EQ(kinds, (std::set<int>{kChoice, kPractical, kEstimate}));
}

// Runs the lesson's scripts as the player does: each step's script on the stage left by the
// steps before it, then every script its pop-up menus can start.
class DemoLessonRun : public DemoLesson {
  protected:
    void SetUp() override {
        DemoLesson::SetUp();
        if (HasFatalFailure()) return;
        picture_ = QImage(1008, 749, QImage::Format_RGB32);
        picture_.fill(Qt::white);
        course_.SetTitle("DEMO");
        course_.SeedRandom(1);
        engine_ = std::make_unique<script::ScriptEngine>(course_, &host_);
        engine_->SetClock([this] { return now_; });
        stage_.resize(picture_.size());
        engine_->Bind(&stage_, nullptr, &picture_);
        engine_->Start();
        std::ifstream cfg(fs::path(data_dir_) / "CFG" / (dir_ + "LEVEL01.CFG"));
        has_matrix_ = cfg.is_open();
        for (std::string line; std::getline(cfg, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            matrix_.push_back(line);
        }
    }

    // Runs a step's script to its end, building the stage its menus are on.
    void RunScript(const std::string& name) {
        SCOPED_TRACE("script " + name);
        engine_->OpenScript(name, -1);
        for (int ticks = 0; !engine_->Ended() && ticks < kTickLimit; ++ticks) {
            engine_->Tick();
            now_ += engine_->TimerInterval();
        }
        EXPECT_TRUE(engine_->Ended());
    }

    script::HeadlessHost host_;
    QWidget stage_;  // parent of the image controls, which carry the menus and cursors
    QImage picture_;
    std::unique_ptr<script::ScriptEngine> engine_;
    int64_t now_ = 1000;
    std::vector<std::string> matrix_;
    bool has_matrix_ = false;
};

TEST_P(DemoLessonRun, PracticalStepsAreSolvableFromTheirMenus) {
    const int steps = steps_.RecordCount() / 4;
    ASSERT_GT(steps, 0);
    int kind = kChoice;
    for (int s = 1; s <= steps; ++s) {
        SCOPED_TRACE("step " + std::to_string(s));
        const bool choice = Split(steps_.GetText(4 * s - 3), "\n")[0].empty();
        kind = choice ? kChoice : kind == kEstimate ? kEstimate : kPractical;
        StepParams p;
        ASSERT_EQ(ParseParams(steps_.GetText(4 * s - 1), p), 11);
        if (std::string(p.script) != "-") RunScript(p.script);
        if (HasFatalFailure()) return;

        // The stage objects with a pop-up menu and what their entries start.
        std::map<std::string, std::string> tagged;  // tag name -> item name
        for (const script::StageObject* o : engine_->ObjectsInOrder(script::kBmp)) {
            if (o->rec.tag.empty()) continue;
            ASSERT_GE(o->menu.size(), 4u) << o->rec.tag << ": title, hint, separator, entries";
            const std::string& title = o->menu[0].caption;
            EXPECT_EQ(title.substr(0, title.find(':')), o->rec.tag);
            tagged[o->rec.tag] = title.substr(title.rfind(':') + 1);
            for (const script::MenuEntry& e : o->menu) EXPECT_FALSE(e.caption.empty());
        }
        bool solvable = false;
        for (const auto& [tag, item] : tagged) {
            SCOPED_TRACE("menu " + tag);
            text::MessageFile sub(kProgram);
            ASSERT_TRUE(sub.Open(MessagePath(tag)));
            sub.SetCheckModulus(kSubStepModulus);
            sub.SetSeed(kCommonSeed);
            sub.SetConversionLine(GetParam().line);
            // One sub-step line per menu entry; line 0 stands for the hint entry.
            const std::vector<std::string> lines = Split(sub.GetText(2), "\n");
            for (size_t j = 1; j < lines.size(); ++j) {
                char script[64] = {}, column[64] = {};
                int points = 0;
                ASSERT_EQ(
                    std::sscanf(lines[j].c_str(), "LDE%63s TPS%d MTX%63s", script, &points, column),
                    3)
                    << lines[j];
                const std::string name = script, matrix = column;
                std::string cell = "-";
                if (matrix != "-") {
                    ASSERT_TRUE(has_matrix_) << "the level matrix is missing";
                    cell = LookupMatrix(matrix_, s, item, matrix);
                    EXPECT_NE(cell, "-") << "no matrix cell for " << item << ", " << matrix;
                }
                if (name[0] == '#') {
                    int answer = -1;
                    EXPECT_EQ(std::sscanf(name.c_str(), "#%d", &answer), 1) << name;
                    // An answer line with a matrix script would be judged without its answer.
                    EXPECT_EQ(cell, "-") << lines[j];
                    // Evaluated in a choice step, a menu answer would count as a wrong answer 0.
                    EXPECT_FALSE(choice) << lines[j];
                    solvable = solvable || answer == 0;
                }
            }
        }
        if (kind == kPractical) {
            EXPECT_TRUE(solvable) << "no menu entry solves the step";
            kind = kEstimate;
        }
    }
}

const Variant kVariants[] = {
    {"GB", "SI", 0},
    {"GB", "US", 1},
    {"FR", "SI", 0},
    {"FR", "US", 1},
};

std::string VariantName(const ::testing::TestParamInfo<Variant>& info) {
    return std::string(info.param.language) + "_" + info.param.unit;
}

INSTANTIATE_TEST_SUITE_P(Variants, DemoLesson, ::testing::ValuesIn(kVariants), VariantName);
INSTANTIATE_TEST_SUITE_P(Variants, DemoLessonRun, ::testing::ValuesIn(kVariants), VariantName);

}  // namespace
