// On-disk layout of ISAM files. Every integer the engine stores is big-endian.
//
// Index file (<name>.idx): nodes of node_size bytes, node n at (n - 1) * node_size.
// Header node (node 1):
//   0  1  0xFE            1  1  0x53         2  1  2          3  1  2
//   4  1  4               5  1  4            6  2  node size - 1
//   8  2  number of indexes (+1 for the 0-part entry of a file without primary key)
//   10 1  7               11 1  duplicate serial width (4)   12 1  0
//   13 2  record length (0 = index-only)     15 4  first dictionary node
//   19 6  0               25 4  data-record free list head   29 4  index-node free list head
//   33 4  highest record number              37 4  highest index node
//   41 4  change counter  45 4  unique-id counter            49 5  0
//   54 1  8               55 4  0            59 2  maximum record length (variable files)
//   ns-16 10 application area (kept as found)
//   ns-6  2  file flags: 1 masked, 2 append mode, 4 variable length
//   ns-4  4  "kjsk"
// Dictionary node: 0 2 bytes used (incl. 6-byte head), 2 4 next node, 6.. entries,
//   ns-3 0xFF, ns-2 0xFE. Entry: 0 2 length (7 + 5 or 6 per part), 2 4 root node,
//   6 1 flags / 2, then per part: length BE16 (0x8000 in part 1 = duplicates), start BE16,
//   type as 1 byte, or BE16 when the flags hold KEY_NULL_SUPPRESS.
// Free-list node: 0 2 bytes used (6 = empty), 2 4 next (older) node, 6.. BE32 numbers,
//   the most recently freed last; ns-3 0xFF, ns-2 0x7F.
// B-tree node: 0 2 bytes used (2 = empty), 2.. entries in key order, ns-4 2 zero,
//   ns-2 1 level (0 = leaf), ns-1 1 zero.
// Data file (<name>.dat): slot n at (n - 1) * slot length: the record, a flag byte (0x0A live,
//   0x00 deleted), 6 spare bytes for variable-length files, a BE32 exclusion mask for masked files.
// Lock file (<name>.lck): 4 bytes, the last lock-slot number handed out; otherwise lock regions.
#pragma once

#include <cstdint>
#include <cstring>

#include "isam/Isam.h"

namespace isam::detail {

constexpr int kNodeSize = 1024;
constexpr int kSerialWidth = 4;
constexpr uint8_t kLive = 0x0A;
constexpr uint8_t kDead = 0x00;

constexpr int kFlagMasked = 1;
constexpr int kFlagAppend = 2;
constexpr int kFlagVarlen = 4;

inline unsigned Be16(const uint8_t* p) {
    return (unsigned(p[0]) << 8) | p[1];
}
inline uint32_t Be32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
inline void PutBe16(uint8_t* p, unsigned v) {
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

struct HeaderFields {
    int node_size = kNodeSize;
    int nindexes = 0;
    int serial_width = kSerialWidth;
    int reclen = 0;
    uint32_t dict_node = 0;
    uint32_t data_free = 0;
    uint32_t index_free = 0;
    uint32_t highest_rec = 0;
    uint32_t highest_node = 0;
    uint32_t change_counter = 0;
    uint32_t unique_id = 0;
    int maxlen = 0;
    int file_flags = 0;
};

// Node size stored in a header, or 0 when it is not plausible.
int HeaderNodeSize(const uint8_t* header);
// Fills a zeroed header node with the constant bytes and the fields.
void InitHeader(uint8_t* node, const HeaderFields& h);
void DecodeHeader(const uint8_t* node, HeaderFields& h);
// Writes the variable fields into an existing header node, keeping every other byte.
void EncodeHeader(uint8_t* node, const HeaderFields& h);

int DictEntrySize(const KeyDesc& key);
void EncodeDictEntry(const KeyDesc& key, uint8_t* out);
// Decodes one entry from avail bytes; false when it does not fit or is malformed.
bool DecodeDictEntry(const uint8_t* p, int avail, KeyDesc& key, int* size);

void InitDictNode(uint8_t* node, int ns);
void InitFreeListNode(uint8_t* node, int ns, uint32_t next);

}  // namespace isam::detail
