// Fuzz target: opens, reads, checks and writes an ISAM file made of the input. The input holds
// the index file's length (4 bytes, big-endian), the index file, then the data file.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "isam/Check.h"
#include "isam/Isam.h"
#include "support/TempFolder.h"

namespace {

// The files live in a private folder, removed at exit.
std::string Base() {
    static const support::TempFolder folder;
    return folder / "f";
}

void Put(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    size_t idx_len =
        (size_t(data[0]) << 24) | (size_t(data[1]) << 16) | (size_t(data[2]) << 8) | data[3];
    if (idx_len > size - 4) idx_len = size - 4;
    const std::string base = Base();
    Put(base + ".idx", data + 4, idx_len);
    Put(base + ".dat", data + 4 + idx_len, size - 4 - idx_len);
    unlink((base + ".lck").c_str());

    std::vector<std::string> problems;
    isam::CheckFiles(base.c_str(), &problems);
    std::string info;
    isam::DescribeFiles(base.c_str(), &info);
    int h = isam::ISOPEN(base.c_str(), isam::OPEN_INOUT);
    if (h >= 0) {
        std::vector<uint8_t> rec(size_t(std::max(isam::RecordLength(h), 1)) + 8, 0);
        for (int index = 0; index <= isam::IndexCount(h); ++index) {
            isam::ISSELECTINDEX(h, index, false);
            int steps = 0;
            for (int m = isam::FIRST; steps < 500 && isam::ISREAD(h, rec.data(), m) == 0;
                 m = isam::NEXT)
                ++steps;
            steps = 0;
            for (int m = isam::LAST; steps < 500 && isam::ISREAD(h, rec.data(), m) == 0;
                 m = isam::PREV)
                ++steps;
        }
        isam::ISSELECTINDEX(h, 1, false);
        isam::ISREAD(h, rec.data(), isam::EQUAL);
        isam::ISWRITE(h, rec.data());
        isam::ISDELCURR(h);
        isam::ISREWCURR(h, rec.data());
        isam::ISCLOSE(h);
    }
    isam::ISCLOSEALL();
    return 0;
}
