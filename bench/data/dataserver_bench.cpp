// Many players on loopback against one data server, each reading and rewriting its own user
// record (start, read, rewrite current: three requests a round). Prints requests per second
// and the latency of single requests.
// With --fetch, times instead the player's start-up fetch of a course's GB learners from a
// server serving that course: GROUP and USERS fetched whole, checked, and the local records
// compared for newer progress; median and worst of RUNS fetches.
//   dataserver_bench [--clients N] [--seconds S]
//   dataserver_bench --fetch COURSE [--runs RUNS]
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "DataServer.h"
#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/RemoteClient.h"
#include "data/UserRecord.h"
#include "isam/Check.h"
#include "isam/Isam.h"

namespace {

using Clock = std::chrono::steady_clock;

bool MakeUsers(const std::string& folder, int count) {
    std::filesystem::create_directories(folder);
    if (!data::BuildGroupFile(folder + "/GROUP").ok() ||
        !data::BuildUsersFile(folder + "/USERS").ok())
        return false;
    const int h = isam::ISOPEN((folder + "/USERS").c_str(), isam::OPEN_INOUT);
    if (h < 0) return false;
    for (int i = 0; i < count; ++i) {
        data::UserRecord r = data::UserTemplate();
        r.GroupNo = 1 + i / 255;
        r.UserNo = 1 + i % 255;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(r, b);
        if (isam::ISWRITE(h, b) != 0) return false;
    }
    isam::ISCLOSE(h);
    return true;
}

// The start-up fetch, runs times, from a server whose root is course.
int Fetch(const std::string& course, int runs) {
    server::ServerOptions options;
    options.root = course;
    options.port = 0;
    server::DataServer server(options);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string address = server.Address();
    const int port = std::stoi(address.substr(address.rfind(':') + 1));
    std::thread serving([&] { server.Run(); });
    char templ[] = "/tmp/dsfetchXXXXXX";
    const std::string into = mkdtemp(templ);
    const std::string local = course + "/DATA/DEMO/GB/USERS";
    std::vector<double> ms;
    size_t users = 0;
    bool ok = true;
    for (int i = 0; i < runs && ok; ++i) {
        const auto start = Clock::now();
        data::RemoteClient client;
        client.CreateClient("127.0.0.1", port, 10000);
        ok = client.Connect();
        for (const char* file : {"GROUP", "USERS"}) {
            for (const char* ext : {".dat", ".idx"}) {
                const std::string name = std::string("?:\\DATA\\DEMO\\GB\\") + file + ext;
                ok = ok && client.GetFile(into + "/" + file + ext, name) >= 0;
            }
            ok = ok && isam::CheckFiles((into + "/" + file).c_str(), nullptr);
        }
        std::vector<data::UserRecord> carried;
        ok = ok && data::CarryNewerUsers(local, into + "/USERS", carried).ok();
        client.Disconnect();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        users = std::filesystem::file_size(into + "/USERS.dat") / data::kUserRecordSize;
    }
    server.Stop();
    serving.join();
    std::filesystem::remove_all(into);
    if (!ok) {
        std::fprintf(stderr, "dataserver_bench: the fetch from %s failed\n", course.c_str());
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s %8s %12s %12s\n", "start-up fetch of GROUP and USERS", "count", "median ms",
                "worst ms");
    std::printf("%-40s %8zu %12.3f %12.3f\n",
                ("about " + std::to_string(users) + " learner records").c_str(), ms.size(),
                ms[ms.size() / 2], ms.back());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && !std::strcmp(argv[1], "--fetch")) {
        const int runs = argc > 4 && !std::strcmp(argv[3], "--runs") ? std::atoi(argv[4]) : 20;
        return Fetch(argv[2], std::max(1, runs));
    }
    int clients = 32;
    int seconds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--clients")) clients = std::max(1, std::atoi(argv[i + 1]));
        if (!std::strcmp(argv[i], "--seconds")) seconds = std::max(1, std::atoi(argv[i + 1]));
    }
    char templ[] = "/tmp/dsbenchXXXXXX";
    const std::string root = mkdtemp(templ);
    if (!MakeUsers(root + "/DATA/DEMO/GB", clients)) {
        std::fprintf(stderr, "cannot build the user file\n");
        return 1;
    }
    server::ServerOptions options;
    options.root = root;
    options.port = 0;
    options.max_per_address = options.max_clients = std::max(clients, options.max_clients);
    server::DataServer server(options);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const std::string address = server.Address();
    const int port = std::stoi(address.substr(address.rfind(':') + 1));
    std::thread serving([&] { server.Run(); });

    std::atomic<bool> go{false}, stop{false};
    std::atomic<long> failures{0};
    std::vector<std::vector<float>> latencies(static_cast<size_t>(clients));
    std::vector<std::thread> players;
    for (int c = 0; c < clients; ++c) {
        players.emplace_back([&, c] {
            data::RemoteClient client;
            client.CreateClient("127.0.0.1", port, 10000);
            if (!client.Connect() || client.SignOn("bench", "g", "u") < 0 ||
                client.RemoteOpen("?:\\DATA\\DEMO\\GB\\USERS", 2050) < 0) {
                ++failures;
                return;
            }
            client.SelectKey(data::kUserKey);
            data::UserRecord key = data::UserTemplate();
            key.GroupNo = 1 + c / 255;
            key.UserNo = 1 + c % 255;
            uint8_t b[data::kUserRecordSize];
            auto& lat = latencies[size_t(c)];
            lat.reserve(1 << 20);
            while (!go) std::this_thread::yield();
            while (!stop) {
                data::EncodeUserRecord(key, b);
                auto t0 = Clock::now();
                int rc = client.RemoteStart(0, b, sizeof b, isam::EQUAL);
                auto t1 = Clock::now();
                rc |= client.RemoteRead(b, sizeof b, isam::EQUAL);
                auto t2 = Clock::now();
                data::UserRecord u = data::DecodeUserRecord(b);
                u.Total += 1;
                data::EncodeUserRecord(u, b);
                rc |= client.RemoteRewriteCurrent(b, sizeof b);
                auto t3 = Clock::now();
                if (rc != 0) ++failures;
                for (auto d : {t1 - t0, t2 - t1, t3 - t2})
                    lat.push_back(std::chrono::duration<float, std::micro>(d).count());
            }
        });
    }
    const auto start = Clock::now();
    go = true;
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    stop = true;
    for (auto& t : players) t.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    server.Stop();
    serving.join();

    std::vector<float> all;
    for (auto& l : latencies) all.insert(all.end(), l.begin(), l.end());
    std::sort(all.begin(), all.end());
    auto pct = [&](double p) {
        return all.empty() ? 0.0 : all[size_t(p * double(all.size() - 1))];
    };
    std::printf("%-8s %-10s %-8s %-12s %-9s %-9s %-9s %s\n", "clients", "requests", "seconds",
                "requests/s", "p50 us", "p99 us", "max us", "failures");
    std::printf("%-8d %-10zu %-8.2f %-12.0f %-9.0f %-9.0f %-9.0f %ld\n", clients, all.size(),
                elapsed, double(all.size()) / elapsed, pct(0.5), pct(0.99), pct(1.0),
                failures.load());
    std::filesystem::remove_all(root);
    return failures == 0 ? 0 : 1;
}
