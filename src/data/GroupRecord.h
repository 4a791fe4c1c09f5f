// The 96-byte record of the GROUP file (little-endian):
//   0   4   record length, 96
//   4   4   group number (the key: bytes 4 to 7)
//   8   24  group name, Windows-1252, NUL-terminated
//   32  64  not read by the player; kept as found
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace data {

constexpr int kGroupRecordSize = 96;
constexpr int kGroupNameSize = 24;

struct GroupRecord {
    int32_t length = kGroupRecordSize;
    int32_t group_no = 1;
    std::string name;
    std::array<uint8_t, 64> rest{};
};

// The template a new group record starts from: length 96, group 1, everything else 0.
GroupRecord GroupTemplate();
GroupRecord DecodeGroupRecord(const uint8_t* bytes);
void EncodeGroupRecord(const GroupRecord& record, uint8_t* bytes);

}  // namespace data
