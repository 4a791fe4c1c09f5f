// A course's learner files in a fresh temporary folder, made with the learners tool, and
// COMMON message files with the user list's texts (the one the test opens, and those of the
// language folders MSG/GB and MSG/FR). Header-only: its tests link the data library and define
// LEARNERS_PATH.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/RecordBytes.h"
#include "data/UserList.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "support/LearnersTool.h"
#include "support/TempFolder.h"
#include "text/MessageFile.h"
#include "text/MessageWriter.h"

namespace support {

struct LearnerFolder : TempFolder {
    std::string folder;  // DATA/DEMO/GB
    std::string groups_path;
    std::string users_path;
    text::MessageFile common;

    LearnerFolder() {
        folder = (path / "DATA" / "DEMO" / "GB").string();
        groups_path = folder + "/GROUP";
        users_path = folder + "/USERS";
        Write("PRODUCT.DAT", "[Demo Course][DEMO][DATA][DEMO.PRD][1100:0800][1][1][GB]\n");
        Write("DEMO.INI", "Language=GB\nIPserv=127.0.0.1\n");
        Learners("init", "");

        text::MessageContent texts;
        texts.texts.resize(100);
        texts.formats.resize(100);
        texts.texts[0] = "English (GB)";
        texts.texts[9] = "Pumps and valves\nA short course";
        texts.texts[13] = "Choose a learner";
        texts.texts[14] = "Click a name";
        texts.texts[16] = "Group";
        texts.texts[18] = "&Language";
        texts.texts[19] = "&Options";
        texts.texts[25] = "&Reset";
        texts.texts[36] = "OK";
        texts.texts[37] = "Cancel";
        texts.texts[38] = "Groups";
        texts.texts[40] = "Learners";
        texts.texts[42] = "Progress";
        texts.texts[43] = "Completed";
        texts.texts[44] = "Level %1";
        texts.formats[44] = "%d";
        texts.texts[45] = "Are you %1?";
        texts.formats[45] = "%s";
        texts.texts[47] = "Gas";
        texts.texts[48] = "Units";
        texts.texts[49] = "Metric (SI)";
        texts.texts[50] = "Imperial (US)";
        texts.texts[51] = "Symbols";
        texts.texts[52] = "European (EU)";
        texts.texts[53] = "American (US)";
        texts.texts[76] = "Error";
        texts.texts[98] = "Password";
        texts.texts[99] = "Wrong password.";
        const std::string bytes = text::EncodeMessageFile(texts);
        Write("MSG/GB/COMMON.MSG", bytes);
        texts.texts[0] =
            "Fran\xE7"
            "ais (FR)";
        Write("MSG/FR/COMMON.MSG", text::EncodeMessageFile(texts));
        common.Open(Write("COMMON.MSG", bytes));
    }

    // Runs the learners tool on the course folder; the test fails when it refuses.
    void Learners(const std::string& command, const std::string& args) const {
        const ToolRun run = RunLearners(path, command, args);
        EXPECT_EQ(run.status, 0) << command << " " << args << "\n" << run.out;
    }
    void AddGroup(int32_t number, const std::string& name) const {
        Learners("add-group", "--group " + std::to_string(number) + " --name '" + name + "'");
    }
    // options: further arguments of add-user (--password P, --may-configure).
    void AddUser(int32_t group, int32_t user, const std::string& name,
                 const std::string& options = "") const {
        Learners("add-user", "--group " + std::to_string(group) + " --user " +
                                 std::to_string(user) + " --name '" + name + "' " + options);
    }
    // Changes the stored record of a user as a session saves it.
    void Change(int32_t group, int32_t user,
                const std::function<void(data::UserRecord&)>& edit) const {
        data::DataAccess users;
        ASSERT_TRUE(users.Open(users_path, isam::OPEN_INOUT).ok());
        data::UserRecord record;
        ASSERT_TRUE(data::FindUser(users, group, user, record).ok());
        edit(record);
        uint8_t bytes[data::kUserRecordSize];
        data::EncodeUserRecord(record, bytes);
        ASSERT_TRUE(users.Rewrite(bytes).ok());
    }
    // The score file of a user whose two level bounds are first and second.
    void WriteScores(int32_t group, int32_t user, int32_t first, int32_t second) {
        std::string bytes(16 + 24, '\0');
        data::StoreLe32(reinterpret_cast<uint8_t*>(bytes.data()), first);
        data::StoreLe32(reinterpret_cast<uint8_t*>(bytes.data()) + 4, second);
        char name[32];
        std::snprintf(name, sizeof name, "SCO%03d.%03d", user, group);
        Write("DATA/DEMO/GB/" + std::string(name), bytes);
    }
};

}  // namespace support
