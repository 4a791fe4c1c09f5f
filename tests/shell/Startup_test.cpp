#include "shell/Startup.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/OpenCourse.h"
#include "isam/Check.h"
#include "platform/Path.h"
#include "shell/OpenDataAccess.h"
#include "shell/TStagWinLayout.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"

namespace {

namespace fs = std::filesystem;

struct RecordingView : shell::StartupView {
    std::vector<std::string> boxes;
    std::vector<std::string> status;
    void ShowErrorBox(const std::string& caption, const std::string& text) override {
        boxes.push_back(caption + "|" + text);
    }
    void ShowStatus(const std::string& text) override { status.push_back(text); }
};

struct FakeRemote : lesson::RemoteData {
    bool reachable = true;
    std::vector<std::string>* log;
    std::filesystem::path source;  // where the served files are; nothing is written when empty
    explicit FakeRemote(std::vector<std::string>* l) : log(l) {}
    bool Connect(const std::string& address, int port, int timeout_ms) override {
        log->push_back("connect " + address + ":" + std::to_string(port) + " " +
                       std::to_string(timeout_ms));
        return reachable;
    }
    bool FetchFile(const std::string& path, const std::string& into) override {
        log->push_back("fetch " + path);
        if (source.empty()) return true;
        // The server's copy: the file of that name in source.
        std::error_code ec;
        fs::copy_file(source / fs::path(platform::NativePath(path)).filename(), into,
                      fs::copy_options::overwrite_existing, ec);
        return !ec;
    }
    void Close() override { log->push_back("close"); }
    std::string LastError() const override { return "refused"; }
};

// Bytes of a fixed pseudo-random sequence.
std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 gen(seed);
    std::string bytes(n, '\0');
    for (char& b : bytes) b = static_cast<char>(gen() & 0xFF);
    return bytes;
}

// A course folder in a fresh temporary folder, the program's folder for the test's lifetime.
class CourseFolder : public ::testing::Test {
  public:
    void SetUp() override {
        temp_ = std::make_unique<support::TempFolder>();
        root_ = temp_->path;  // the course's folder, never made the current one
        program_ = (root_ / "DEMO").string();
        course_ = std::make_unique<data::Course>(program_);
        course_->SetNotifier(&notes_);

        Write("DEMO.INI",
              "Language=GB\nIPserv=127.0.0.1\nIPport=5000\nFlag=-D -r trace.log -x 3\n");
        Write("PRODUCT.DAT",
              "# catalogue\n"
              "[Demo][DEMO][DATA][DEMO.PRD][1100:0800][1][1][GB]\n"
              "[Formation][DEMO][DATA][DEMO.PRD][1100:0800][1][1][FR]\n");
        WriteCommon("GB", "English (GB)", 4711);
        WriteCommon("FR",
                    "Fran\xe7"
                    "ais (FR)",
                    4711);
    }
    void TearDown() override { temp_.reset(); }

    void Write(const std::string& name, const std::string& bytes) {
        fs::path file = root_ / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) {
        std::ifstream in(root_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteCommon(const std::string& lang, const std::string& text0, int32_t seed) {
        text::MessageContent content;
        content.seed = seed;
        content.texts.resize(122);
        content.formats.resize(122);
        content.texts[0] = text0;
        content.texts[1] = "Caption " + lang;
        content.texts[7] = "%1 - %2.%3";
        content.texts[81] = "Server %1 port %2 unreachable";
        content.texts[82] = "Fetching %1";
        content.formats[82] = "%s";
        content.texts[121] = "Kept %1";
        content.formats[121] = "%s";
        Write("MSG/" + lang + "/COMMON.MSG", text::EncodeMessageFile(content));
    }
    bool Run(std::vector<const char*> argv = {"DEMO"}, lesson::RemoteDataFactory remote = {}) {
        return shell::RunStartup(*course_, *state_, static_cast<int>(argv.size()), argv.data(),
                                 view_, remote);
    }

    std::unique_ptr<support::TempFolder> temp_;  // a fresh one for each SetUp
    fs::path root_;
    std::string program_;
    std::unique_ptr<data::Course> course_;
    std::unique_ptr<shell::StartupState> state_ = std::make_unique<shell::StartupState>();
    RecordingView view_;
    support::RecordingNotifier notes_;
};

TEST_F(CourseFolder, LocalStartUpEstablishesTheSettings) {
    ASSERT_TRUE(Run({"DEMO", "-l", "FR"}));
    EXPECT_TRUE(notes_.errors.empty());
    EXPECT_EQ(course_->Config().Get(data::kLanguage), "FR");
    EXPECT_TRUE(course_->Flags().Has(data::Developer));
    EXPECT_TRUE(course_->Flags().Has(data::AutoPlay));
    EXPECT_EQ(course_->Flags().auto_delay, 3);
    EXPECT_EQ(course_->Product().app_name, "Formation");
    EXPECT_EQ(course_->Product().product_name, "DEMO");

    EXPECT_EQ(course_->Common().State(), 0);
    EXPECT_EQ(course_->Common().CheckModulus(), 1009u);
    EXPECT_TRUE(course_->Common().ShowErrors());
    EXPECT_EQ(course_->Common().LinkPath(), "DEMO");
    EXPECT_EQ(course_->CommonSeed(), 4711);
    EXPECT_EQ(state_->caption, "Caption FR");
    EXPECT_EQ(course_->Title(), "Caption FR - 4.7");  // built-in format "%s %d %d"
    EXPECT_EQ(state_->remote, nullptr);
    EXPECT_FALSE(course_->RemovableMedia());

    // The trace log is open with its opening line; shutting down writes the closing one.
    ASSERT_TRUE(course_->Trace().IsOpen());
    shell::ShutdownStartup(*course_, *state_);
    const std::string trace = Read("trace.log");
    ASSERT_GE(trace.size(), 4u);
    EXPECT_EQ(trace.substr(0, 2), ">>");
    EXPECT_NE(trace.find("\n<<"), std::string::npos);
}

// Each start-up failure stops the sequence with its own report, naming its cause.
TEST_F(CourseFolder, FailuresStopWithTheirReport) {
    struct Case {
        const char* what;
        std::function<void(CourseFolder&)> spoil;
        std::string text;
        int code;
        std::string lang = {};  // given with -l when not empty
    };
    const std::string long_lang(10000, 'Q');
    const Case cases[] = {
        {"no INI", [](CourseFolder& c) { fs::remove(c.root_ / "DEMO.INI"); }, "DEMO.INI", 2},
        {"INI is a folder",
         [](CourseFolder& c) {
             fs::remove(c.root_ / "DEMO.INI");
             fs::create_directory(c.root_ / "DEMO.INI");
         },
         "DEMO.INI", EISDIR},
        {"empty INI", [](CourseFolder& c) { c.Write("DEMO.INI", ""); },
         "DEMO.INI: no Language= setting", 13},
        {"random INI", [](CourseFolder& c) { c.Write("DEMO.INI", RandomBytes(2000, 7)); },
         "DEMO.INI: no Language= setting", 13},
        {"UTF-16 INI",
         [](CourseFolder& c) {
             c.Write("DEMO.INI",
                     std::string("\xff\xfeL\0a\0n\0g\0u\0a\0g\0e\0=\0G\0B\0\r\0\n\0", 28));
         },
         "DEMO.INI: no Language= setting", 13},
        {"INI of NULs", [](CourseFolder& c) { c.Write("DEMO.INI", std::string(512, '\0')); },
         "DEMO.INI: no Language= setting", 13},
        {"unknown language", [](CourseFolder& c) { c.Write("DEMO.INI", "Language=XX\n"); },
         ".\\PRODUCT.DAT: no line for the language XX", 13},
        {"very long -l", [](CourseFolder&) {},
         ".\\PRODUCT.DAT: no line for the language " + long_lang.substr(0, 40) + "...", 13,
         long_lang},
        {"no catalogue", [](CourseFolder& c) { fs::remove(c.root_ / "PRODUCT.DAT"); },
         ".\\PRODUCT.DAT", 2},
        {"catalogue is a folder",
         [](CourseFolder& c) {
             fs::remove(c.root_ / "PRODUCT.DAT");
             fs::create_directory(c.root_ / "PRODUCT.DAT");
         },
         ".\\PRODUCT.DAT", EISDIR},
        {"empty catalogue", [](CourseFolder& c) { c.Write("PRODUCT.DAT", ""); },
         ".\\PRODUCT.DAT: no line for the language GB", 13},
        {"random catalogue", [](CourseFolder& c) { c.Write("PRODUCT.DAT", RandomBytes(2000, 3)); },
         "for the language GB", 19},
        {"3-field catalogue", [](CourseFolder& c) { c.Write("PRODUCT.DAT", "[A][B][C]\n"); },
         ".\\PRODUCT.DAT: line 1 has 3 of its 8 fields, and no line is for the language GB", 19},
        {"short line",
         [](CourseFolder& c) { c.Write("PRODUCT.DAT", "# x\n[A][B][C][D][1100:0800][][7][GB]\n"); },
         ".\\PRODUCT.DAT: line 2 has 5 of its 8 fields", 19},
        {"bad version",
         [](CourseFolder& c) { c.Write("PRODUCT.DAT", "[A][B][C][D][1200:0800][1][1][GB]\n"); },
         "PRODUCT.DAT: bad version 1100:800", 13},
        {"no common texts", [](CourseFolder& c) { fs::remove(c.root_ / "MSG/GB/COMMON.MSG"); },
         "MSG\\GB\\COMMON.MSG", 2},
    };
    for (const auto& c : cases) {
        TearDown();
        SetUp();
        state_ = std::make_unique<shell::StartupState>();
        notes_.errors.clear();
        c.spoil(*this);
        std::vector<const char*> argv{"DEMO"};
        if (!c.lang.empty()) argv.insert(argv.end(), {"-l", c.lang.c_str()});
        EXPECT_FALSE(Run(argv)) << c.what;
        ASSERT_EQ(notes_.errors.size(), 1u) << c.what;
        EXPECT_NE(notes_.errors[0].text.find(c.text), std::string::npos)
            << c.what << ": " << notes_.errors[0].text;
        EXPECT_LT(notes_.errors[0].text.size(), 300u) << c.what;
        EXPECT_EQ(notes_.errors[0].code, c.code) << c.what << ": " << notes_.errors[0].text;
    }
}

// A COMMON file that is there but cannot be read is named as damaged, never as not found.
TEST_F(CourseFolder, DamagedCommonFileIsNamedAsDamaged) {
    auto link = [](const std::string& target) {
        text::MessageContent content;
        content.texts = {"%@[" + target + " -1]"};
        content.formats = {""};
        return text::EncodeMessageFile(content);
    };
    auto patched = [](std::string bytes, size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
        return bytes;
    };
    const std::string good = Read("MSG/GB/COMMON.MSG");
    const uint32_t first =
        static_cast<unsigned char>(good[24]) | static_cast<unsigned char>(good[25]) << 8;
    std::string flipped = good;
    flipped[24 + 4 * 5 + 3] ^= 0x40;  // a high bit of a record's offset
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"cut short in its header", good.substr(0, 10)},
        {"cut short in its table", good.substr(0, 40)},
        {"random bytes", RandomBytes(3000, 11)},
        {"all zeros", std::string(3000, '\0')},
        {"huge record count", patched(good, 24, 0x7FFFFFF0u)},
        {"table offset past the end", patched(good, 0, 0x7FF00000u | (good[0] & 0xFF))},
        {"negative table offset", patched(good, 0, 0x80000000u | (good[0] & 0xFF))},
        {"decreasing table", patched(good, 28, first - 1)},
        {"bit flip in the table", flipped},
        {"link to itself", link("..\\..\\GB")},
    };
    for (const auto& [what, bytes] : cases) {
        notes_.errors.clear();
        Write("MSG/GB/COMMON.MSG", bytes);
        EXPECT_FALSE(Run()) << what;
        ASSERT_EQ(notes_.errors.size(), 1u) << what;
        EXPECT_EQ(notes_.errors[0], (support::RecordingNotifier::Error{
                                        "MSG\\GB\\COMMON.MSG: the message file is damaged", 13}))
            << what;
    }
    // GB and FR linking to each other, either language asked for.
    Write("MSG/GB/COMMON.MSG", link("..\\..\\FR"));
    Write("MSG/FR/COMMON.MSG", link("..\\..\\GB"));
    for (const char* lang : {"GB", "FR"}) {
        notes_.errors.clear();
        EXPECT_FALSE(Run({"DEMO", "-l", lang})) << lang;
        ASSERT_EQ(notes_.errors.size(), 1u) << lang;
        EXPECT_EQ(notes_.errors[0].text,
                  std::string("MSG\\") + lang + "\\COMMON.MSG: the message file is damaged");
        EXPECT_EQ(notes_.errors[0].code, 13);
    }
}

TEST_F(CourseFolder, UnreachableServerIsReportedWithCommonText81) {
    Write("DEMO.INI", "Language=GB\nIPserv=10.1.2.3\nIPport=7001\n");
    std::vector<std::string> log;
    auto make = [&log] {
        auto remote = std::make_unique<FakeRemote>(&log);
        remote->reachable = false;
        return remote;
    };
    EXPECT_FALSE(Run({"DEMO"}, make));
    EXPECT_EQ(log, std::vector<std::string>{"connect 10.1.2.3:7001 10000"});
    EXPECT_EQ(view_.boxes, std::vector<std::string>{"Demo|Server 10.1.2.3 port 7001 unreachable"});
    EXPECT_EQ(state_->remote, nullptr);
}

// Opening the data says what happened and shows nothing itself: the start-up reports it once.
TEST_F(CourseFolder, OpeningTheDataReturnsWhatHappenedAndShowsNothing) {
    Write("DEMO.INI", "Language=GB\nIPserv=10.1.2.3\nIPport=7001\n");
    ASSERT_TRUE(data::OpenCourse(*course_, {}).ok());
    std::vector<std::string> log;
    shell::DataOpening opening;
    platform::Status status = shell::OpenDataAccess(
        *course_, view_,
        [&log] {
            auto remote = std::make_unique<FakeRemote>(&log);
            remote->reachable = false;
            return remote;
        },
        opening);
    EXPECT_EQ(status.code(), ENOTCONN);
    EXPECT_EQ(status.Text(), "10.1.2.3:7001: refused");
    EXPECT_EQ(opening.remote, nullptr);

    // Reached, but neither pair can be taken: each is named and its local copy kept.
    status = shell::OpenDataAccess(
        *course_, view_,
        [&] {
            auto remote = std::make_unique<FakeRemote>(&log);
            remote->source = root_ / "nothing served";
            return remote;
        },
        opening);
    ASSERT_TRUE(status.ok()) << status.Text();
    EXPECT_NE(opening.remote, nullptr);
    ASSERT_EQ(opening.kept_local.size(), 2u);
    EXPECT_EQ(opening.kept_local[0].Text(), "GROUP.dat: refused");
    EXPECT_EQ(opening.kept_local[1].Text(), "USERS.dat: refused");
    EXPECT_TRUE(view_.boxes.empty());
    EXPECT_EQ(view_.status, (std::vector<std::string>{"Fetching GROUP.dat", "Fetching USERS.dat"}));
    shell::ReportDataOpening(status, opening, *course_, view_);
    EXPECT_TRUE(view_.boxes.empty());
    EXPECT_EQ(view_.status.back(), "") << "the status bar is cleared once the files are in";
}

TEST_F(CourseFolder, WithoutARemoteClientTheServerIsUnreachable) {
    Write("DEMO.INI", "Language=GB\nIPserv=\nIPport=\n");  // empty is not the local address
    EXPECT_FALSE(Run());
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0], "Demo|Server  port 0 unreachable");
}

TEST_F(CourseFolder, ConnectedServerSendsGroupThenUserFiles) {
    Write("DEMO.INI", "Language=GB\nIPserv=server\nIPport=7001\n");
    Write("DATA/DEMO/GB/OTHER.dat", "o");  // a fresh machine: no local learner files
    std::vector<std::string> log;
    ASSERT_TRUE(Run({"DEMO"}, [&log] { return std::make_unique<FakeRemote>(&log); }));
    const std::vector<std::string> expected = {
        "connect server:7001 10000",       "fetch DATA\\DEMO\\GB\\GROUP.dat",
        "fetch DATA\\DEMO\\GB\\GROUP.idx", "fetch DATA\\DEMO\\GB\\USERS.dat",
        "fetch DATA\\DEMO\\GB\\USERS.idx",
    };
    EXPECT_EQ(log, expected);
    const std::vector<std::string> status = {"Fetching GROUP.dat", "Fetching GROUP.idx",
                                             "Fetching USERS.dat", "Fetching USERS.idx", ""};
    EXPECT_EQ(view_.status, status);
    ASSERT_NE(state_->remote, nullptr);
    shell::ShutdownStartup(*course_, *state_);
    EXPECT_EQ(log.back(), "close");
    EXPECT_EQ(state_->remote, nullptr);
}

// GROUP and USERS files at base (native, without extension) holding users 1..n of group 1,
// with the given StepStart and Total each.
void MakeUsers(const std::string& folder, const std::vector<std::pair<int, int>>& users) {
    fs::create_directories(folder);
    ASSERT_TRUE(data::BuildGroupFile(folder + "/GROUP").ok());
    ASSERT_TRUE(data::BuildUsersFile(folder + "/USERS").ok());
    data::DataAccess access;
    ASSERT_TRUE(access.Open(folder + "/USERS", isam::OPEN_INOUT).ok());
    for (size_t i = 0; i < users.size(); ++i) {
        data::UserRecord r = data::UserTemplate();
        r.UserNo = int(i) + 1;
        r.UserName = "user" + std::to_string(i + 1);
        r.StepStart = users[i].first;
        r.Total = users[i].second;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(r, b);
        ASSERT_TRUE(access.Write(b).ok());
    }
}

int LocalTotal(const std::string& folder, int user) {
    data::DataAccess access;
    if (!access.Open(folder + "/USERS", isam::OPEN_INPUT)) return -1;
    data::UserRecord r;
    return data::FindUser(access, 1, user, r) ? r.Total : -1;
}

// The start-up fetch takes the server's GROUP and USERS pairs, except the records of learners
// whose local progress is newer, and names those learners.
TEST_F(CourseFolder, FetchedLearnersKeepTheirNewerLocalRecords) {
    Write("DEMO.INI", "Language=GB\nIPserv=server\nIPport=7001\n");
    const std::string local = (root_ / "DATA/DEMO/GB").string();
    const fs::path served = root_ / "served";
    MakeUsers(served.string(), {{100, 5}, {100, 0}, {100, 3}});
    MakeUsers(local, {{50, 1}, {200, 9}});
    std::vector<std::string> log;
    ASSERT_TRUE(Run({"DEMO"}, [&] {
        auto remote = std::make_unique<FakeRemote>(&log);
        remote->source = served;
        return remote;
    }));
    EXPECT_EQ(LocalTotal(local, 1), 5) << "the server's newer record";
    EXPECT_EQ(LocalTotal(local, 2), 9) << "the local newer record";
    EXPECT_EQ(LocalTotal(local, 3), 3) << "a learner only the server had";
    EXPECT_EQ(view_.status.back(), "Kept user2");
    std::vector<std::string> problems;
    EXPECT_TRUE(isam::CheckFiles((local + "/USERS").c_str(), &problems));
    for (const auto& entry : fs::directory_iterator(local))
        EXPECT_EQ(entry.path().filename().string().find("fetched"), std::string::npos);
}

// A server copy that is cut or damaged leaves both local files as they were.
TEST_F(CourseFolder, ADamagedServerCopyLeavesTheLocalPairAlone) {
    Write("DEMO.INI", "Language=GB\nIPserv=server\nIPport=7001\n");
    const std::string local = (root_ / "DATA/DEMO/GB").string();
    const fs::path served = root_ / "served";
    MakeUsers(served.string(), {{100, 5}});
    MakeUsers(local, {{50, 1}});
    const std::string idx = Read("served/USERS.idx");
    Write("served/USERS.idx", idx.substr(0, idx.size() / 2));  // cut in the middle
    const std::string dat_before = Read("DATA/DEMO/GB/USERS.dat");
    const std::string idx_before = Read("DATA/DEMO/GB/USERS.idx");
    std::vector<std::string> log;
    ASSERT_TRUE(Run({"DEMO"}, [&] {
        auto remote = std::make_unique<FakeRemote>(&log);
        remote->source = served;
        return remote;
    }));
    EXPECT_EQ(Read("DATA/DEMO/GB/USERS.dat"), dat_before);
    EXPECT_EQ(Read("DATA/DEMO/GB/USERS.idx"), idx_before);
    EXPECT_EQ(LocalTotal(local, 1), 1);
    for (const auto& entry : fs::directory_iterator(local))
        EXPECT_EQ(entry.path().filename().string().find("fetched"), std::string::npos);
}

TEST_F(CourseFolder, LanguageListReadsEveryFolderWithACommonFile) {
    fs::create_directories(root_ / "MSG" / "DE");  // no common file: not offered
    Write("MSG/SND.MSG", "x");                     // not a folder
    WriteCommon("NL", "Nederlands NL", 4711);      // no code: the folder names it
    const auto languages = data::FindLanguages(*course_, "COMMON", 4711);
    ASSERT_EQ(languages.size(), 3u);
    EXPECT_EQ(languages[0].folder, "FR");
    EXPECT_EQ(languages[0].caption,
              "Fran\xe7"
              "ais (FR)");
    EXPECT_EQ(languages[0].code, "FR");
    EXPECT_EQ(languages[1].folder, "GB");
    EXPECT_EQ(languages[1].code, "GB");
    EXPECT_EQ(languages[2].folder, "NL");
    EXPECT_EQ(languages[2].code, "NL");
}

TEST_F(CourseFolder, CommonSeedComesFromTheFile) {
    WriteCommon("GB", "English (GB)", -250);
    Write("DEMO.INI", "Language=GB\nIPserv=127.0.0.1\n");
    ASSERT_TRUE(Run());
    EXPECT_EQ(course_->CommonSeed(), -250);
    EXPECT_EQ(course_->Common().GetText(0), "English (GB)");  // unscrambled with that seed
    EXPECT_FALSE(course_->Common().ShowErrors());
    EXPECT_FALSE(course_->Trace().IsOpen());
}

}  // namespace
