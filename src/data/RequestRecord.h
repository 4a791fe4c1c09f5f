// The 1644-byte record of the remote data protocol, the same in both directions
// (little-endian 32-bit integers):
//   0     4     request number (the client's counter; the reply carries the same)
//   4     4     request code (kSignOn, kIsOpen, ...)
//   8     4     result: -1 when sent; the operation's result in the reply
//   12    4     error: the server's engine error code; -2 at the client when not connected
//   16    520   file name, NUL-terminated
//   536   4     mode: open mode, or read mode of ISREAD / ISSTART
//   540   4     length: key compare length (ISSTART) or block length (file transfers)
//   544   4     block number of a file transfer, from 1
//   548   1024  data: a record, a file block, or the sign-on texts (three 21-byte fields)
//   1572  72    key description (ISSTART):
//               0 flags, 2 number of parts, 4 + 6i part i (start, length, type) for i < 8,
//               52 key length, 54 two zero bytes, 56 root node (32-bit), 60 zeros
//               (16-bit values unless said otherwise)
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "isam/Isam.h"

namespace data {

constexpr int kRequestSize = 1644;
constexpr int kRequestNameSize = 520;
constexpr int kRequestDataSize = 1024;
constexpr int kKeyDescSize = 72;
constexpr int kSignOnFieldSize = 21;

// Request codes: the position of the operation's name in the engine's name table.
constexpr int kSignOn = -1;
constexpr int kIsOpen = 21;
constexpr int kIsRead = 24;
constexpr int kIsRewCurr = 28;
constexpr int kIsStart = 34;
constexpr int kIsGetFile = 40;
constexpr int kIsSendFile = 41;

// The engine's operation name of a code 0 to 41 ("ISOPEN" for 21), or "" for any other.
const char* RequestName(int code);

struct RequestRecord {
    int32_t request_no = 0;
    int32_t code = 0;
    int32_t result = -1;
    int32_t error = 0;
    std::array<char, kRequestNameSize> name{};
    int32_t mode = 0;
    int32_t length = 0;
    int32_t block = 0;
    std::array<uint8_t, kRequestDataSize> data{};
    isam::KeyDesc key{};

    // Puts text in the name field, cut to 519 bytes, zero-filled.
    void SetName(std::string_view text);
    // The name up to its NUL; false when the field holds none.
    bool Name(std::string& out) const;
};

void EncodeRequest(const RequestRecord& record, uint8_t* bytes);
// Decodes the record; a key description whose part count is outside 0 to 8 keeps the count
// as sent (the server refuses it) and decodes no parts.
void DecodeRequest(const uint8_t* bytes, RequestRecord& record);

void EncodeKeyDesc(const isam::KeyDesc& key, uint8_t* bytes);
void DecodeKeyDesc(const uint8_t* bytes, isam::KeyDesc& key);

// The sign-on data: the three texts in 21-byte NUL-terminated fields (63 bytes).
void PutSignOnTexts(RequestRecord& record, std::string_view app, std::string_view group,
                    std::string_view user);
std::array<std::string, 3> SignOnTexts(const RequestRecord& record);

}  // namespace data

namespace data {

// The first line of a request trace file.
inline constexpr const char* kRequestTraceHeading =
    "##  date + time           #   #byte# ID #rqID#rq#rt#isr#nrec#file       ##";
// One trace line (without line end) for a record sent ("SND") or received ("RCV"):
// "##<ctime cut to 24>#<dir>#<bytes:4>#<request no:4>#<code:2>#<result:2>#<error:3>#<block:4>#
// <name>##".
std::string RequestTraceLine(const char* direction, long bytes, const RequestRecord& record);

}  // namespace data
