// coursereport serve on loopback, on a copy of the played course: each endpoint, the headers
// every answer carries, gzip for the clients that accept it, the token, hostile paths and
// requests, and a clean end on SIGTERM.
#include <gtest/gtest.h>
#include <httplib.h>
#include <zlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "CourseFixture.h"
#include "RawHttp.h"
#include "ServeProcess.h"
#include "support/ToolRun.h"

namespace {

using nlohmann::json;

// The content of one whole gzip member, or a text saying it is not one.
std::string Gunzip(const std::string& member) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 16) != Z_OK) return "<no inflater>";
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(member.data()));
    stream.avail_in = uInt(member.size());
    std::string out;
    char part[1 << 16];
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(part);
        stream.avail_out = sizeof part;
        rc = inflate(&stream, Z_NO_FLUSH);
        out.append(part, sizeof part - stream.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && stream.avail_in == 0;
    inflateEnd(&stream);
    return whole ? out : "<not one whole gzip member>";
}

class ReportServerTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(course_.Made()) << course_.Output(); }
    void Serve(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--port", "0"});
        ASSERT_TRUE(server_.Start(course_.Root(), extra)) << server_.FirstLine() << "\n"
                                                          << server_.Log();
        client_ = std::make_unique<httplib::Client>("127.0.0.1", server_.Port());
    }
    // Asks for path until holds(status, body) is true or 20 s went by, and gives the last
    // answer's status: the server reads changed files again about once a second.
    int Await(const std::string& path, const std::function<bool(int, const json&)>& holds,
              json& body) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        int status = 0;
        for (;;) {
            const httplib::Result res = client_->Get(path);
            status = res ? res->status : 0;
            body = res ? json::parse(res->body, nullptr, false) : json();
            if (holds(status, body) || std::chrono::steady_clock::now() > deadline) return status;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    // The token file of the tests.
    std::string TokenFile(const std::string& token, const std::string& name = "token") {
        return temp_.Write(name, token + "\n");
    }

    reporttest::CourseCopy course_;
    support::TempFolder temp_;
    reporttest::ServeProcess server_;
    std::unique_ptr<httplib::Client> client_;
};

TEST_F(ReportServerTest, ServesEveryReportWithItsHeaders) {
    Serve();
    const struct {
        const char* path;
        const char* type;
        const char* holds;
    } cases[] = {
        {"/", "text/html", "group-picker"},
        {"/app.js", "text/javascript", "textContent"},
        {"/app.css", "text/css", "@media print"},
        {"/chart.js", "text/javascript", "Chart.js v"},
        {"/api/summary", "application/json", "\"Night <b>shift</b>\""},
        {"/api/steps", "application/json", "\"first_try_right\""},
        {"/api/learners/2/1", "application/json", "\"<img src=x onerror=f()>\""},
        {"/learners.csv", "text/csv", "1,Morning shift,1,Alice Martin,finished,"},
        {"/steps.csv", "text/csv",
         "1,1,Which valve opens first?,choice,1,4,2,3,Suction valve V1,3,Discharge valve V2,2,"},
        {"/answers.csv", "text/csv", "1,Morning shift,2,Bruno Leroy,1,1,2,Discharge valve V2,1,"},
    };
    for (const auto& c : cases) {
        const httplib::Result res = client_->Get(c.path);
        ASSERT_TRUE(res) << c.path;
        EXPECT_EQ(res->status, 200) << c.path;
        EXPECT_EQ(res->get_header_value("Content-Type").rfind(c.type, 0), 0u) << c.path;
        EXPECT_NE(res->body.find(c.holds), std::string::npos) << c.path;
        EXPECT_EQ(res->get_header_value("X-Content-Type-Options"), "nosniff") << c.path;
        EXPECT_NE(res->get_header_value("Content-Security-Policy").find("default-src 'none'"),
                  std::string::npos)
            << c.path;
    }
    const json summary = json::parse(client_->Get("/api/summary")->body);
    EXPECT_EQ(summary["course"], "TEST");
    EXPECT_EQ(summary["groups"][0]["learners"][0]["percent"], 100.0);
    const json learner = json::parse(client_->Get("/api/learners/1/2")->body);
    EXPECT_EQ(learner["history"].size(), 3u);
    EXPECT_EQ(learner["history"][0]["given"], 2);
    EXPECT_EQ(learner["scores"][0]["visits"], 2);
    EXPECT_EQ(server_.Stop(), 0);
}

TEST_F(ReportServerTest, ReportsGoGzipCompressedToClientsThatAcceptIt) {
    Serve();
    client_->set_decompress(false);  // the bytes as sent
    for (const char* path : {"/api/summary", "/api/steps", "/learners.csv", "/steps.csv"}) {
        const httplib::Result plain = client_->Get(path);
        const httplib::Result gzip = client_->Get(path, {{"Accept-Encoding", "gzip, deflate, br"}});
        ASSERT_TRUE(plain && gzip) << path;
        EXPECT_EQ(plain->status, 200) << path;
        EXPECT_EQ(gzip->status, 200) << path;
        EXPECT_FALSE(plain->has_header("Content-Encoding")) << path;
        EXPECT_EQ(gzip->get_header_value("Content-Encoding"), "gzip") << path;
        EXPECT_EQ(Gunzip(gzip->body), plain->body) << path;
        EXPECT_EQ(gzip->get_header_value("Content-Length"), std::to_string(gzip->body.size()));
        for (const httplib::Result* res : {&plain, &gzip}) {
            EXPECT_EQ((*res)->get_header_value("Vary"), "Accept-Encoding") << path;
            EXPECT_EQ((*res)->get_header_value("X-Content-Type-Options"), "nosniff") << path;
            EXPECT_NE((*res)->get_header_value("Content-Security-Policy").find("default-src"),
                      std::string::npos)
                << path;
        }
    }
    // Weights, case, wildcards and repeated lines: gzip only where it is not refused.
    const struct {
        httplib::Headers asked;
        bool gzip;
    } cases[] = {
        {{{"Accept-Encoding", "GZip"}}, true},
        {{{"Accept-Encoding", "br;q=1.0, gzip;q=0.5"}}, true},
        {{{"Accept-Encoding", "x-gzip"}}, true},
        {{{"Accept-Encoding", "*"}}, true},
        {{{"Accept-Encoding", "br"}, {"Accept-Encoding", "gzip"}}, true},
        {{{"Accept-Encoding", "gzip;q=0"}}, false},
        {{{"Accept-Encoding", "gzip ; q=0.000, deflate"}}, false},
        {{{"Accept-Encoding", "*, gzip;q=0"}}, false},
        {{{"Accept-Encoding", "gzip;q=nope"}}, false},
        {{{"Accept-Encoding", "identity, br, deflate"}}, false},
        {{{"Accept-Encoding", "gzipped"}}, false},
        {{{"Accept-Encoding", ""}}, false},
    };
    const std::string body = client_->Get("/api/summary")->body;
    for (const auto& c : cases) {
        const std::string asked = c.asked.begin()->second;
        const httplib::Result res = client_->Get("/api/summary", c.asked);
        ASSERT_TRUE(res) << asked;
        EXPECT_EQ(res->get_header_value("Content-Encoding") == "gzip", c.gzip) << asked;
        EXPECT_EQ(c.gzip ? Gunzip(res->body) : res->body, body) << asked;
    }
    EXPECT_EQ(server_.Stop(), 0);
}

// Each of the course's languages has its reports, named by ?lang= in any case; an unknown one
// gives the course's own.
TEST_F(ReportServerTest, ReportsInEachOfTheCoursesLanguages) {
    Serve();
    EXPECT_EQ(json::parse(client_->Get("/api/languages")->body)["languages"],
              json::array({"GB", "FR"}));
    const auto question = [this](const std::string& path) {
        const httplib::Result res = client_->Get(path);
        return res && res->status == 200
                   ? json::parse(res->body)["steps"][0]["question"].get<std::string>()
                   : std::string("failed");
    };
    EXPECT_EQ(question("/api/steps?lang=fr"), "Quelle vanne s\xE2\x80\x99ouvre en premier ?");
    EXPECT_EQ(question("/api/steps?lang=GB"), "Which valve opens first?");
    EXPECT_EQ(question("/api/steps?lang=DE"), "Which valve opens first?");
    EXPECT_EQ(question("/api/steps"), "Which valve opens first?");
    const std::string csv = client_->Get("/steps.csv?lang=FR&columns=en")->body;
    EXPECT_NE(csv.find("level,step,question"), std::string::npos) << csv;
    EXPECT_NE(csv.find("Quelle vanne"), std::string::npos) << csv;
    EXPECT_EQ(server_.Stop(), 0);
}

TEST_F(ReportServerTest, HostilePathsAndRequestsFindNothing) {
    Serve();
    for (const char* path :
         {"/api/learners/../../etc/passwd", "/static/../..", "/api/learners/%2e%2e/%2e%2e/etc",
          "/api/learners/1/9", "/api/learners/1/2/x", "/api/learners/-1/2", "/..%2f..%2fetc",
          "/api/learners/1/99999999999999999999", "/app.js/../../../etc/passwd"}) {
        const httplib::Result res = client_->Get(path);
        ASSERT_TRUE(res) << path;
        EXPECT_EQ(res->status, 404) << path;
        EXPECT_EQ(res->body.find("root:"), std::string::npos) << path;
    }
    // A learner the course does not have: an error the page can word by its code.
    const json unknown = json::parse(client_->Get("/api/learners/1/9")->body);
    EXPECT_EQ(unknown["code"], "no_learner");
    EXPECT_EQ(unknown["error"], "no such learner");
    // A body far over the limit, and a header line over the library's limit.
    const httplib::Result big =
        client_->Post("/login", std::string(1 << 20, 'x'), "application/x-www-form-urlencoded");
    EXPECT_TRUE(!big || big->status == 413 || big->status == 400);
    const httplib::Result header = client_->Get("/", {{"X-Long", std::string(20000, 'a')}});
    EXPECT_TRUE(!header || header->status >= 400);
    // Still serving.
    ASSERT_TRUE(client_->Get("/api/summary"));
    EXPECT_EQ(server_.Stop(SIGINT), 0);
}

TEST_F(ReportServerTest, ATokenGuardsEveryRequest) {
    Serve({"--token-file", TokenFile("s3cret-token-1")});
    for (const char* path : {"/", "/api/summary", "/learners.csv", "/chart.js"}) {
        EXPECT_EQ(client_->Get(path)->status, 401) << path;
        EXPECT_EQ(client_->Get(path, {{"Authorization", "Bearer s3cret-token-2"}})->status, 401);
        EXPECT_EQ(client_->Get(path, {{"Cookie", "coursereport_token=s3cret"}})->status, 401);
        EXPECT_EQ(client_->Get(path, {{"Authorization", "Bearer s3cret-token-1"}})->status, 200);
    }
    // The login page's form sets the cookie; a wrong token gets 401 and no cookie.
    const httplib::Result wrong =
        client_->Post("/login", "token=nope", "application/x-www-form-urlencoded");
    EXPECT_EQ(wrong->status, 401);
    EXPECT_FALSE(wrong->has_header("Set-Cookie"));
    const httplib::Result right =
        client_->Post("/login", "token=s3cret-token-1", "application/x-www-form-urlencoded");
    EXPECT_EQ(right->status, 303);
    const std::string cookie = right->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
    EXPECT_EQ(cookie.find("Secure"), std::string::npos);  // plain HTTP on loopback
    // The cookie holds a session of its own, never the token.
    const std::string pair = cookie.substr(0, cookie.find(';'));
    EXPECT_EQ(pair.find("s3cret"), std::string::npos) << pair;
    EXPECT_EQ(pair.size(), std::string("coursereport_session=").size() + 64) << pair;
    EXPECT_EQ(client_->Get("/api/steps", {{"Cookie", "a=b; " + pair}})->status, 200);
    const std::string forged = "coursereport_session=" + std::string(64, '0');
    EXPECT_EQ(client_->Get("/api/steps", {{"Cookie", forged}})->status, 401);
    // Another sign-in is another session; both hold.
    const std::string second =
        client_->Post("/login", "token=s3cret-token-1", "application/x-www-form-urlencoded")
            ->get_header_value("Set-Cookie");
    EXPECT_NE(second.substr(0, second.find(';')), pair);
    EXPECT_EQ(client_->Get("/", {{"Cookie", pair}})->status, 200);
}

TEST_F(ReportServerTest, TheSignInPageSpeaksTheBrowsersLanguage) {
    Serve({"--token-file", TokenFile("s3cret-token-1")});
    const struct {
        const char* path;
        const char* accept;
        const char* holds;
    } cases[] = {
        {"/login", "fr-FR,fr;q=0.9,en;q=0.8", "Se connecter"},
        {"/", "de-DE, fr;q=0.7", "Se connecter"},  // the first language the page speaks
        {"/login", "de-DE, en;q=0.5", "Sign in"},
        {"/login", "", "Sign in"},
        {"/login?lang=fr", "en", "Se connecter"},
    };
    for (const auto& c : cases) {
        const httplib::Result res = client_->Get(c.path, {{"Accept-Language", c.accept}});
        ASSERT_TRUE(res) << c.accept;
        EXPECT_NE(res->body.find(c.holds), std::string::npos) << c.path << " " << c.accept;
    }
    const httplib::Result wrong = client_->Post("/login", {{"Accept-Language", "fr"}}, "token=nope",
                                                "application/x-www-form-urlencoded");
    EXPECT_EQ(wrong->status, 401);
    EXPECT_NE(wrong->body.find("Jeton incorrect."), std::string::npos);
}

TEST_F(ReportServerTest, ATokenFileWithACarriageReturnStillSignsIn) {
    // A token file saved with old Mac line ends: the token is the text before the CR.
    Serve({"--token-file", temp_.Write("token", "s3cret-token-1\rsecond line\r")});
    const httplib::Result right =
        client_->Post("/login", "token=s3cret-token-1", "application/x-www-form-urlencoded");
    ASSERT_TRUE(right);
    ASSERT_EQ(right->status, 303);
    const std::string cookie = right->get_header_value("Set-Cookie");
    EXPECT_EQ(
        client_->Get("/api/summary", {{"Cookie", cookie.substr(0, cookie.find(';'))}})->status,
        200);
}

TEST_F(ReportServerTest, RefusesAnOpenBindWithoutATokenOrTls) {
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"--bind 0.0.0.0 --port 0", 1, "needs --token-file"},
        {"--bind 192.168.1.20 --port 0", 1, "needs --token-file"},
        {"--port 0 --token-file " + TokenFile("short", "short"), 1, "8 to 256 characters"},
        {"--port 0 --token-file /nonexistent/token", 1, "cannot read the token file"},
        {"--port 0 --token-file " + TokenFile("s3cret\x01token", "control"), 1,
         "without blanks, control"},
        {"--bind 0.0.0.0 --port 0 --token-file " + TokenFile("s3cret-token-1"), 1,
         "needs --tls-cert and --tls-key"},
        {"--port 0 --tls-cert /etc/hostname", 1, "--tls-cert and --tls-key go together"},
        {"--port 0 --tls-cert /nonexistent/cert --tls-key /nonexistent/key", 1,
         "cannot use the certificate /nonexistent/cert"},
        {"--port 70000", 2, "usage:"},
        {"--port 0 --port 0", 2, "usage:"},
    };
    for (const auto& c : cases) {
        const support::ToolRun run = support::RunTool(std::string(COURSEREPORT_PATH) + " serve '" +
                                                      course_.Root() + "' " + c.args + " 2>&1");
        EXPECT_EQ(run.status, c.status) << c.args;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << ": " << run.out;
        EXPECT_EQ(run.out.find("listening"), std::string::npos) << c.args;
    }
    // Told so, it serves plain HTTP on every address.
    Serve({"--bind", "0.0.0.0", "--token-file", TokenFile("s3cret-token-1"), "--insecure-http"});
    EXPECT_EQ(server_.FirstLine().rfind("listening on http://0.0.0.0:", 0), 0u);
    EXPECT_EQ(client_->Get("/api/summary", {{"Authorization", "Bearer s3cret-token-1"}})->status,
              200);
}

TEST_F(ReportServerTest, ADamagedScoreFileMarksItsLearner) {
    Serve();
    ASSERT_EQ(client_->Get("/api/summary")->status, 200);
    std::filesystem::resize_file(course_.Learners("SCO001.001"), 7);
    json summary;
    const auto alice_unreadable = [](int status, const json& j) {
        return status == 200 && j["groups"][0]["learners"][0]["unreadable"].is_string();
    };
    ASSERT_EQ(Await("/api/summary", alice_unreadable, summary), 200);
    const json& alice = summary["groups"][0]["learners"][0];
    EXPECT_NE(alice["unreadable"].get<std::string>().find("SCO001.001"), std::string::npos);
    EXPECT_EQ(alice["total"], 40);
    EXPECT_TRUE(summary["groups"][0]["learners"][1]["unreadable"].is_null());
    // The USERS file gone: the report says why, and comes back with the file.
    const std::string users = course_.Learners("USERS.dat");
    std::filesystem::rename(users, users + ".away");
    json missing;
    ASSERT_EQ(Await(
                  "/api/summary", [](int status, const json&) { return status == 503; }, missing),
              503);
    EXPECT_NE(missing["error"].get<std::string>().find("DATA/TEST/GB/USERS"), std::string::npos);
    EXPECT_EQ(missing["error"].get<std::string>().find(course_.Root()), std::string::npos);
    // Beside the English text, a code the page words in its language.
    EXPECT_EQ(missing["code"], "no_report");
    const httplib::Result learner = client_->Get("/api/learners/1/1");
    ASSERT_TRUE(learner);
    EXPECT_EQ(learner->status, 503);
    EXPECT_EQ(json::parse(learner->body)["code"], "no_report");
    std::filesystem::rename(users + ".away", users);
    json back;
    EXPECT_EQ(Await(
                  "/api/summary", [](int status, const json&) { return status == 200; }, back),
              200);
    EXPECT_EQ(back["groups"][0]["learners"][0]["total"], 40);
    EXPECT_EQ(server_.Stop(), 0);
}

TEST_F(ReportServerTest, ALearnersNewAnswerShowsUpInALaterRequest) {
    Serve();
    EXPECT_EQ(json::parse(client_->Get("/api/steps")->body)["steps"][2]["answered"], 1);
    const size_t lines = json::parse(client_->Get("/api/learners/2/1")->body)["history"].size();
    // 2:1 answers step 3 (wrongly, with 1), as a player appending to the history would.
    { std::ofstream(course_.Learners("HST001.002"), std::ios::app) << "#F3 E1 Q3 2:1 N3 D1\n"; }
    json steps;
    ASSERT_EQ(Await(
                  "/api/steps",
                  [](int status, const json& j) {
                      return status == 200 && j["steps"][2]["answered"] == 2;
                  },
                  steps),
              200);
    EXPECT_EQ(steps["steps"][2]["given"], json({{"1", 1}, {"2", 1}}));
    EXPECT_EQ(steps["steps"][2]["first_try_right"], 1);
    // Every later answer holds the change.
    const json learner = json::parse(client_->Get("/api/learners/2/1")->body);
    EXPECT_EQ(learner["history"].size(), lines + 1);
    EXPECT_NE(client_->Get("/steps.csv")->body.find(",The flow rises,1,The liquid heats up,1,"),
              std::string::npos);
    EXPECT_EQ(server_.Stop(SIGINT), 0);
}

TEST_F(ReportServerTest, WithoutATokenOnlyThisMachinesNamesAreAnswered) {
    Serve({"--allow-host", "report.lan,Trainer-PC"});
    const struct {
        const char* host;
        int status;
    } cases[] = {
        {"attacker.example", 403},
        {"attacker.example:8080", 403},
        {"localhost.attacker.example", 403},
        {"127.0.0.1.nip.example", 403},
        {"localhost", 200},
        {"LocalHost:8080", 200},
        {"127.0.0.1", 200},
        {"[::1]:8080", 200},
        {"report.lan:8080", 200},
        {"trainer-pc", 200},
    };
    for (const auto& c : cases) {
        const httplib::Result res = client_->Get("/learners.csv", {{"Host", c.host}});
        ASSERT_TRUE(res) << c.host;
        EXPECT_EQ(res->status, c.status) << c.host;
        if (c.status == 403) {
            EXPECT_EQ(res->body.find("Alice"), std::string::npos) << c.host;
            EXPECT_NE(res->body.find("--allow-host"), std::string::npos) << res->body;
        }
    }
    server_.Stop();
    // With a token, the token guards the reports whatever the name.
    Serve({"--token-file", TokenFile("s3cret-token-1")});
    EXPECT_EQ(client_
                  ->Get("/learners.csv",
                        {{"Host", "report.example"}, {"Authorization", "Bearer s3cret-token-1"}})
                  ->status,
              200);
}

TEST_F(ReportServerTest, SlowClientsDoNotKeepOthersOut) {
    Serve();
    // The reports made once, so that the request below only takes them.
    ASSERT_EQ(client_->Get("/api/summary")->status, 200);
    // Fifty clients, each from an address of its own, send a request head's first bytes and
    // hold their connection.
    std::vector<std::unique_ptr<reporttest::RawHttp>> slow;
    for (int i = 2; i < 52; ++i) {
        const std::string from = "127.0.0." + std::to_string(i);
        slow.push_back(std::make_unique<reporttest::RawHttp>(server_.Port(), from.c_str()));
        ASSERT_TRUE(slow.back()->Connected()) << from;
        ASSERT_TRUE(slow.back()->Send("GET /api/summary HTTP/1.1\r\nHo"));
    }
    // Meanwhile a request is answered in full.
    client_->set_connection_timeout(20);
    client_->set_read_timeout(20);
    const httplib::Result res = client_->Get("/api/summary");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("Alice Martin"), std::string::npos);
    for (const auto& s : slow) EXPECT_TRUE(s->OpenAndSilent());
    // A request head that never ends is cut off after a few seconds, without an answer.
    const std::string cut = slow.front()->ReadAll(60);
    EXPECT_TRUE(slow.front()->Closed());
    EXPECT_EQ(cut.find(" 200 "), std::string::npos) << cut;
}

TEST_F(ReportServerTest, AnEndlessRequestHeadIsCutOff) {
    Serve();
    // A megabyte of header lines, sent at once: the server stops reading past its bound.
    reporttest::RawHttp raw(server_.Port());
    std::string head = "GET /api/summary HTTP/1.1\r\nHost: localhost\r\n";
    while (head.size() < (1u << 20)) head += "X-Filler: " + std::string(90, 'x') + "\r\n";
    (void)raw.Send(head + "\r\n");  // fails once the server has closed the connection
    const std::string answer = raw.ReadAll();
    EXPECT_TRUE(raw.Closed());
    EXPECT_EQ(answer.find("Alice Martin"), std::string::npos) << answer.substr(0, 200);
    EXPECT_EQ(client_->Get("/api/summary")->status, 200);
}

TEST_F(ReportServerTest, AnAddressHoldsABoundedNumberOfConnections) {
    Serve();
    std::vector<std::unique_ptr<reporttest::RawHttp>> held;
    for (int i = 0; i < 16; ++i) {
        held.push_back(std::make_unique<reporttest::RawHttp>(server_.Port(), "127.0.0.9"));
        ASSERT_TRUE(held.back()->Connected());
    }
    // The server counts a connection once it takes it: wait until all are taken.
    const auto taken = [&] {
        reporttest::RawHttp probe(server_.Port(), "127.0.0.9");
        probe.Send("GET /favicon.ico HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
        return probe.ReadAll();
    };
    std::string answer;
    for (int i = 0; i < 100 && answer.find(" 503 ") == std::string::npos; ++i) answer = taken();
    EXPECT_EQ(answer.rfind("HTTP/1.1 503 ", 0), 0u) << answer;
    EXPECT_NE(answer.find("too many connections from your address"), std::string::npos);
    // Another address is served.
    EXPECT_EQ(client_->Get("/favicon.ico")->status, 204);
}

TEST_F(ReportServerTest, AnswersEveryPipelinedRequest) {
    Serve();
    reporttest::RawHttp raw(server_.Port());
    const std::string get = "GET /api/summary HTTP/1.1\r\nHost: localhost\r\n\r\n";
    ASSERT_TRUE(
        raw.Send(get + get + get +
                 "GET /favicon.ico HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n"));
    const std::string answers = raw.ReadAll();
    size_t ok = 0;
    for (size_t at = answers.find("HTTP/1.1 200 "); at != std::string::npos;
         at = answers.find("HTTP/1.1 200 ", at + 1))
        ++ok;
    EXPECT_EQ(ok, 3u) << answers;
    EXPECT_NE(answers.find("HTTP/1.1 204 "), std::string::npos) << answers;
    EXPECT_TRUE(raw.Closed());
}

TEST_F(ReportServerTest, AnErrorAnswerSaysWhatIsWrong) {
    Serve();
    const struct {
        std::string request;
        const char* status;
        const char* says;
    } cases[] = {
        {"NONSENSE\r\n\r\n", "400", "bad request"},
        {"GET / HTTP/7.1\r\nHost: localhost\r\n\r\n", "400", "bad request"},
        {"GET /nothing HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n", "404",
         "not found"},
    };
    for (const auto& c : cases) {
        reporttest::RawHttp raw(server_.Port());
        ASSERT_TRUE(raw.Send(c.request));
        const std::string answer = raw.ReadAll();
        EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + c.status, 0), 0u) << answer;
        EXPECT_NE(answer.find(c.says), std::string::npos) << answer;
        // A connection kept alive is closed once idle for a few seconds.
        EXPECT_TRUE(raw.Closed()) << c.request;
    }
}

TEST_F(ReportServerTest, OneRangeAtMostAndStaticFilesCompressedOnce) {
    Serve();
    client_->set_decompress(false);
    const std::string whole = client_->Get("/chart.js")->body;
    ASSERT_GT(whole.size(), 10000u);
    // Eight hundred ranges: the file once, as it is.
    std::string ranges = "bytes=0-0";
    for (int i = 1; i < 800; ++i)
        ranges += "," + std::to_string(i * 10) + "-" + std::to_string(i * 10 + 5);
    const httplib::Result many = client_->Get("/chart.js", {{"Range", ranges}});
    ASSERT_TRUE(many);
    EXPECT_EQ(many->status, 200);
    EXPECT_EQ(many->body, whole);
    const httplib::Result one = client_->Get("/chart.js", {{"Range", "bytes=100-199"}});
    EXPECT_EQ(one->status, 206);
    EXPECT_EQ(one->body, whole.substr(100, 100));
    // Brotli is never made per request; gzip is the copy made at start.
    for (const char* path : {"/", "/app.js", "/app.css", "/chart.js"}) {
        const httplib::Result br = client_->Get(path, {{"Accept-Encoding", "br"}});
        const httplib::Result gz = client_->Get(path, {{"Accept-Encoding", "br, gzip"}});
        const httplib::Result plain = client_->Get(path);
        ASSERT_TRUE(br && gz && plain) << path;
        EXPECT_FALSE(br->has_header("Content-Encoding")) << path;
        EXPECT_EQ(br->body, plain->body) << path;
        EXPECT_EQ(gz->get_header_value("Content-Encoding"), "gzip") << path;
        EXPECT_EQ(Gunzip(gz->body), plain->body) << path;
    }
    // A learner's answer is made per request: it goes as it is.
    const httplib::Result learner = client_->Get("/api/learners/1/2", {{"Accept-Encoding", "br"}});
    ASSERT_TRUE(learner);
    EXPECT_FALSE(learner->has_header("Content-Encoding"));
    EXPECT_NE(learner->body.find("\"history\""), std::string::npos);
}

// A self-signed certificate for 127.0.0.1 and localhost, made by the openssl command.
bool MakeCertificate(const support::TempFolder& temp) {
    const support::ToolRun run = support::RunTool(
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 "
        "-subj /CN=localhost -addext subjectAltName=DNS:localhost,IP:127.0.0.1 -keyout '" +
        (temp / "key.pem") + "' -out '" + (temp / "cert.pem") + "' 2>&1");
    return run.status == 0;
}

TEST_F(ReportServerTest, ServesHttpsWithASecureSessionCookie) {
    ASSERT_TRUE(MakeCertificate(temp_));
    Serve({"--token-file", TokenFile("s3cret-token-1"), "--tls-cert", temp_ / "cert.pem",
           "--tls-key", temp_ / "key.pem"});
    EXPECT_EQ(server_.FirstLine().rfind("listening on https://127.0.0.1:", 0), 0u);
    httplib::SSLClient tls("127.0.0.1", server_.Port());
    tls.set_ca_cert_path((temp_ / "cert.pem").c_str());
    tls.enable_server_certificate_verification(true);
    const httplib::Result login =
        tls.Post("/login", "token=s3cret-token-1", "application/x-www-form-urlencoded");
    ASSERT_TRUE(login) << httplib::to_string(login.error());
    EXPECT_EQ(login->status, 303);
    const std::string cookie = login->get_header_value("Set-Cookie");
    EXPECT_NE(cookie.find("; Secure"), std::string::npos) << cookie;
    EXPECT_NE(cookie.find("HttpOnly"), std::string::npos) << cookie;
    EXPECT_EQ(cookie.find("s3cret"), std::string::npos) << cookie;
    const httplib::Result summary =
        tls.Get("/api/summary", {{"Cookie", cookie.substr(0, cookie.find(';'))}});
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->status, 200);
    EXPECT_EQ(tls.Get("/api/summary")->status, 401);
    // Plain HTTP on the TLS port gets no answer; the server goes on.
    reporttest::RawHttp plain(server_.Port());
    ASSERT_TRUE(plain.Send("GET /api/summary HTTP/1.1\r\nHost: localhost\r\n\r\n"));
    EXPECT_EQ(plain.ReadAll().find("Alice"), std::string::npos);
    EXPECT_EQ(tls.Get("/api/summary", {{"Authorization", "Bearer s3cret-token-1"}})->status, 200);
    EXPECT_EQ(server_.Stop(), 0);
}

}  // namespace
