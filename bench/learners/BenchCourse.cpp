#include "BenchCourse.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/ScoreBook.h"
#include "data/ScoreFile.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "text/MessageWriter.h"

namespace bench {
namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

bool MakeLearnerCourse(const std::filesystem::path& root, int groups_made, int users_made,
                       int step_count) {
    Write(root / "BENCH.INI", "Language=GB\nUnit=SI\nDirectory=D1\nIPserv=127.0.0.1\n");
    Write(root / "PRODUCT.DAT", "[Bench course][X][DATA][BENCH.EXE][1100:0800][1][x][GB]\n");
    text::MessageContent common;
    common.seed = 1957;
    common.texts.resize(102);
    common.texts[101] = "SI";
    Write(root / "MSG/GB/COMMON.MSG", text::EncodeMessageFile(common));
    text::MessageContent steps;
    steps.seed = steps.modulus = 1957;
    for (int s = 1; s <= step_count; ++s) {
        steps.texts.push_back("Question " + std::to_string(s));
        steps.texts.push_back("\nAnswer one\nAnswer two\nAnswer three\nAnswer four");
        steps.texts.push_back("-");
        steps.texts.push_back("K[0:0] BR" + std::to_string(1 + s % 4) + ":0 TRY1:0 PT10 LDES0 F" +
                              std::to_string(s) + " P0:[-]");
    }
    Write(root / "MSG/GB/D1STEP01.MSG", text::EncodeMessageFile(steps));

    const std::filesystem::path dir = root / "DATA/BENCH/GB";
    std::filesystem::create_directories(dir);
    if (!data::BuildGroupFile((dir / "GROUP").string()).ok() ||
        !data::BuildUsersFile((dir / "USERS").string()).ok())
        return false;
    const int groups = isam::ISOPEN((dir / "GROUP").c_str(), isam::OPEN_INOUT);
    const int users = isam::ISOPEN((dir / "USERS").c_str(), isam::OPEN_INOUT);
    if (groups < 0 || users < 0) return false;
    std::mt19937 random(42);
    for (int g = 1; g <= groups_made; ++g) {
        data::GroupRecord group = data::GroupTemplate();
        group.group_no = g;
        group.name = "Group " + std::to_string(g);
        uint8_t gb[data::kGroupRecordSize];
        data::EncodeGroupRecord(group, gb);
        if (isam::ISWRITE(groups, gb) != 0) return false;
        for (int u = 1; u <= users_made; ++u) {
            const int reached = int(random() % (step_count + 1));
            data::UserRecord r = data::UserTemplate();
            r.GroupNo = g;
            r.UserNo = u;
            r.UserName = "Learner " + std::to_string(g) + ":" + std::to_string(u);
            r.StepCount = step_count;
            r.Step = reached;
            r.State = reached == step_count ? data::kStateFinished
                      : reached             ? data::kStateBegun
                                            : 0;
            data::ScoreBook book;
            book.LevelSteps[0] = step_count;
            std::string history;
            for (int s = 0; s < reached; ++s) {
                const int expected = 1 + (s + 1) % 4, given = 1 + int(random() % 4);
                book.StepScore[size_t(s)] = expected == given ? 10 : 0;
                book.StepWorth[size_t(s)] = 10;
                book.StepTime[size_t(s)] = 20 + int(random() % 100);
                book.StepVisits[size_t(s)] = 1 + int(random() % 2);
                book.StepStatus[size_t(s)] = 3;
                r.Total += book.StepScore[size_t(s)];
                r.TotalWorth += 10;
                history += "#F" + std::to_string(s + 1) + " E1 Q" + std::to_string(s + 1) + " " +
                           std::to_string(expected) + ":" + std::to_string(given) + " N3 D1\n";
            }
            uint8_t ub[data::kUserRecordSize];
            data::EncodeUserRecord(r, ub);
            if (isam::ISWRITE(users, ub) != 0) return false;
            char name[32];
            std::snprintf(name, sizeof name, "%03d.%03d", u, g);
            if (!data::WriteScoreFile((dir / (std::string("SCO") + name)).string(), step_count,
                                      book)
                     .ok())
                return false;
            Write(dir / (std::string("HST") + name), history);
        }
    }
    isam::ISCLOSE(groups);
    isam::ISCLOSE(users);
    return true;
}

}  // namespace bench
