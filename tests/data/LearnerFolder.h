// A course's learner files in a fresh temporary folder: GROUP and USERS built empty, filled
// with the records a test adds, and COMMON message files with the user list's texts (the
// one the test opens, and those of the language folders MSG/GB and MSG/FR).
#pragma once

#include <fcntl.h>

#include <string>

#include "TempFolder.h"
#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/RecordBytes.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "text/MessageFile.h"
#include "text/MessageWriter.h"

struct LearnerFolder : TempFolder {
    std::string folder;  // DATA/DEMO/GB
    std::string groups_path;
    std::string users_path;
    text::MessageFile common;

    LearnerFolder() {
        folder = (path / "DATA" / "DEMO" / "GB").string();
        std::filesystem::create_directories(folder);
        groups_path = folder + "/GROUP";
        users_path = folder + "/USERS";
        int error = 0;
        data::BuildGroupFile(groups_path, error);
        data::BuildUsersFile(users_path, error);
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

    void AddGroup(int32_t number, const std::string& name) {
        data::GroupRecord g = data::GroupTemplate();
        g.group_no = number;
        g.name = name;
        uint8_t bytes[data::kGroupRecordSize];
        data::EncodeGroupRecord(g, bytes);
        Append(groups_path, bytes);
    }
    void AddUser(const data::UserRecord& u) {
        uint8_t bytes[data::kUserRecordSize];
        data::EncodeUserRecord(u, bytes);
        Append(users_path, bytes);
    }
    static data::UserRecord User(int32_t group, int32_t user, const std::string& name) {
        data::UserRecord u = data::UserTemplate();
        u.GroupNo = group;
        u.UserNo = user;
        u.UserName = name;
        return u;
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

  private:
    static void Append(const std::string& base, const uint8_t* bytes) {
        const int h = isam::ISOPEN(base.c_str(), isam::OPEN_INOUT);
        ASSERT_GE(h, 0);
        EXPECT_EQ(isam::ISWRITE(h, bytes), 0);
        isam::ISCLOSE(h);
    }
};
