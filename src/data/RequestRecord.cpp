#include "data/RequestRecord.h"

#include <algorithm>
#include <cstring>

#include "data/RecordBytes.h"
#include "platform/LittleEndian.h"

namespace data {

const char* RequestName(int code) {
    static const char* const kNames[] = {
        "ISADDINDEX",  "ISAUDIT",    "ISBEGIN",     "ISBUILD",       "ISCHECKINDEX", "ISCHECKDATA",
        "ISCLOSE",     "ISCLUSTER",  "ISCOMMIT",    "ISDELCURR",     "ISDELETE",     "ISDELINDEX",
        "ISDELREC",    "ISERASE",    "ISFLUSH",     "ISGLOBIDXINFO", "ISINDEXINFO",  "ISLOCK",
        "ISLOCKCHECK", "ISLOGCLOSE", "ISLOGOPEN",   "ISOPEN",        "ISPHYSTART",   "ISPHYSTARTRD",
        "ISREAD",      "ISRECOVER",  "ISRELEASE",   "ISRENAME",      "ISREWCURR",    "ISREWREC",
        "ISREWRITE",   "ISROLLBACK", "ISSETUNIQUE", "ISSTARTINIT",   "ISSTART",      "ISSTARTRD",
        "ISUNIQUEID",  "ISUNLOCK",   "ISWRCURR",    "ISWRITE",       "ISGETFILE",    "ISSENDFILE"};
    return code >= 0 && code < 42 ? kNames[code] : "";
}

void RequestRecord::SetName(std::string_view text) {
    name.fill(0);
    std::memcpy(name.data(), text.data(), std::min(text.size(), name.size() - 1));
}

bool RequestRecord::Name(std::string& out) const {
    const void* nul = std::memchr(name.data(), 0, name.size());
    if (!nul) return false;
    out.assign(name.data(), static_cast<const char*>(nul));
    return true;
}

void EncodeKeyDesc(const isam::KeyDesc& key, uint8_t* b) {
    std::memset(b, 0, kKeyDescSize);
    platform::StoreLe16(b + 0, uint16_t(key.flags));
    platform::StoreLe16(b + 2, uint16_t(key.nparts));
    for (int i = 0; i < isam::kMaxKeyParts; ++i) {
        platform::StoreLe16(b + 4 + 6 * i, uint16_t(key.parts[i].start));
        platform::StoreLe16(b + 6 + 6 * i, uint16_t(key.parts[i].length));
        platform::StoreLe16(b + 8 + 6 * i, uint16_t(key.parts[i].type));
    }
    platform::StoreLe16(b + 52, uint16_t(key.keylen));
    platform::StoreLe32(b + 56, key.root);
}

void DecodeKeyDesc(const uint8_t* b, isam::KeyDesc& key) {
    key = isam::KeyDesc{};
    key.flags = platform::LoadLeU16(b + 0);
    key.nparts = LoadLe16(b + 2);
    if (key.nparts >= 0 && key.nparts <= isam::kMaxKeyParts) {
        for (int i = 0; i < key.nparts; ++i) {
            key.parts[i].start = LoadLe16(b + 4 + 6 * i);
            key.parts[i].length = LoadLe16(b + 6 + 6 * i);
            key.parts[i].type = platform::LoadLeU16(b + 8 + 6 * i);
        }
    }
    key.keylen = LoadLe16(b + 52);
    key.root = platform::LoadLeU32(b + 56);
}

void EncodeRequest(const RequestRecord& r, uint8_t* b) {
    StoreLe32(b + 0, r.request_no);
    StoreLe32(b + 4, r.code);
    StoreLe32(b + 8, r.result);
    StoreLe32(b + 12, r.error);
    std::memcpy(b + 16, r.name.data(), kRequestNameSize);
    StoreLe32(b + 536, r.mode);
    StoreLe32(b + 540, r.length);
    StoreLe32(b + 544, r.block);
    std::memcpy(b + 548, r.data.data(), kRequestDataSize);
    EncodeKeyDesc(r.key, b + 1572);
}

void DecodeRequest(const uint8_t* b, RequestRecord& r) {
    r.request_no = LoadLe32(b + 0);
    r.code = LoadLe32(b + 4);
    r.result = LoadLe32(b + 8);
    r.error = LoadLe32(b + 12);
    std::memcpy(r.name.data(), b + 16, kRequestNameSize);
    r.mode = LoadLe32(b + 536);
    r.length = LoadLe32(b + 540);
    r.block = LoadLe32(b + 544);
    std::memcpy(r.data.data(), b + 548, kRequestDataSize);
    DecodeKeyDesc(b + 1572, r.key);
}

void PutSignOnTexts(RequestRecord& r, std::string_view app, std::string_view group,
                    std::string_view user) {
    r.data.fill(0);
    StoreText(r.data.data(), kSignOnFieldSize, app);
    StoreText(r.data.data() + kSignOnFieldSize, kSignOnFieldSize, group);
    StoreText(r.data.data() + 2 * kSignOnFieldSize, kSignOnFieldSize, user);
}

std::array<std::string, 3> SignOnTexts(const RequestRecord& r) {
    return {LoadText(r.data.data(), kSignOnFieldSize),
            LoadText(r.data.data() + kSignOnFieldSize, kSignOnFieldSize),
            LoadText(r.data.data() + 2 * kSignOnFieldSize, kSignOnFieldSize)};
}

}  // namespace data

#include <cstdio>
#include <ctime>

namespace data {

std::string RequestTraceLine(const char* direction, long bytes, const RequestRecord& r) {
    const std::time_t now = std::time(nullptr);
    char when[32] = "";
    struct tm tm_now;
    if (localtime_r(&now, &tm_now))
        std::strftime(when, sizeof when, "%a %b %e %H:%M:%S %Y", &tm_now);
    std::string name;
    if (!r.Name(name)) name.assign(r.name.data(), r.name.size());
    char line[700];
    std::snprintf(line, sizeof line, "##%.24s#%s#%4ld#%4ld#%2d#%2d#%3d#%4ld#%s##", when, direction,
                  bytes, long(r.request_no), r.code, r.result, r.error, long(r.block),
                  name.c_str());
    return line;
}

}  // namespace data
