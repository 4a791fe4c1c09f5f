// Any bytes as a connection's requests to one session over a small learner folder: no crash,
// no hang, and the user file stays consistent.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "ClientSession.h"
#include "data/LearnerFiles.h"
#include "data/RequestRecord.h"
#include "data/UserRecord.h"
#include "isam/Check.h"
#include "isam/Isam.h"
#include "support/TempFolder.h"

namespace {

std::string g_root;

const std::string& Root() {
    if (!g_root.empty()) return g_root;
    static const support::TempFolder folder;  // removed at exit
    g_root = folder.path.string();
    const std::string dir = g_root + "/DATA/DEMO/GB";
    std::filesystem::create_directories(dir);
    (void)data::BuildGroupFile(dir + "/GROUP");
    (void)data::BuildUsersFile(dir + "/USERS");
    const int h = isam::ISOPEN((dir + "/USERS").c_str(), isam::OPEN_INOUT);
    for (int u = 1; u <= 3; ++u) {
        data::UserRecord r = data::UserTemplate();
        r.UserNo = u;
        uint8_t b[data::kUserRecordSize];
        data::EncodeUserRecord(r, b);
        isam::ISWRITE(h, b);
    }
    isam::ISCLOSE(h);
    return g_root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static const server::NameMap names(Root());
    {
        server::ClientSession session(names, "fuzz");
        for (size_t off = 0; off < size; off += data::kRequestSize) {
            uint8_t raw[data::kRequestSize] = {};
            std::memcpy(raw, bytes + off, std::min(size - off, size_t(data::kRequestSize)));
            data::RequestRecord r;
            data::DecodeRequest(raw, r);
            session.Handle(r);
        }
        session.End(size % 2 == 0);
    }
    std::vector<std::string> problems;
    if (!isam::CheckFiles((Root() + "/DATA/DEMO/GB/USERS").c_str(), &problems)) {
        std::fprintf(stderr, "USERS inconsistent: %s\n",
                     problems.empty() ? "" : problems[0].c_str());
        std::abort();
    }
    return 0;
}
