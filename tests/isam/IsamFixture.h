// Shared helpers for the engine's tests: a private temporary folder, key descriptions, records
// of 8 bytes holding two big-endian integers, and raw file access.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "isam/Check.h"
#include "isam/Isam.h"
#include "support/TempFolder.h"

namespace isam_test {

inline isam::KeyDesc Key(std::initializer_list<isam::KeyPart> parts, int flags = 0) {
    isam::KeyDesc k;
    k.flags = flags;
    for (const auto& p : parts) k.parts[k.nparts++] = p;
    return k;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

class IsamTest : public ::testing::Test {
  protected:
    void SetUp() override { isam::ISCLOSEALL(); }
    void TearDown() override { isam::ISCLOSEALL(); }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    // A file of 8-byte records with a unique key on the first 4 bytes (INT32).
    int BuildSimple(const std::string& name, int mode = isam::OPEN_INOUT, int flags = 0) {
        return isam::ISBUILD(Path(name).c_str(), 8, Key({{0, 4, isam::KP_INT32}}, flags), mode);
    }
    static std::vector<uint8_t> Rec(int32_t a, int32_t b = 0) {
        std::vector<uint8_t> r(8);
        isam::store_be32(r.data(), uint32_t(a));
        isam::store_be32(r.data() + 4, uint32_t(b));
        return r;
    }
    static int32_t A(const std::vector<uint8_t>& r) { return int32_t(isam::load_be32(r.data())); }
    static int32_t B(const std::vector<uint8_t>& r) {
        return int32_t(isam::load_be32(r.data() + 4));
    }

    // Every record in the order of the handle's current index, as the first field.
    static std::vector<int32_t> Scan(int h, int first = isam::FIRST, int next = isam::NEXT) {
        std::vector<int32_t> out;
        std::vector<uint8_t> r(8);
        for (int mode = first; isam::ISREAD(h, r.data(), mode) == 0; mode = next)
            out.push_back(A(r));
        return out;
    }
    bool Consistent(const std::string& name) {
        std::vector<std::string> problems;
        bool ok = isam::CheckFiles(Path(name).c_str(), &problems);
        for (const auto& p : problems) ADD_FAILURE() << p;
        return ok;
    }

    support::TempFolder temp_;
    std::string dir_ = temp_.path.string();
};

}  // namespace isam_test
