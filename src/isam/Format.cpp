#include "isam/Format.h"

namespace isam::detail {

int HeaderNodeSize(const uint8_t* header) {
    int ns = int(Be16(header + 6)) + 1;
    // Nodes must hold the header's fixed fields and at least a few of the largest entries.
    if (ns < 512 || ns > 32768) return 0;
    return ns;
}

void InitHeader(uint8_t* node, const HeaderFields& h) {
    const int ns = h.node_size;
    std::memset(node, 0, ns);
    node[0] = 0xFE;
    node[1] = 0x53;
    node[2] = 2;
    node[3] = 2;
    node[4] = 4;
    node[5] = 4;
    PutBe16(node + 6, unsigned(ns - 1));
    node[10] = 7;
    node[54] = 8;
    std::memcpy(node + ns - 4, "kjsk", 4);
    EncodeHeader(node, h);
}

void DecodeHeader(const uint8_t* node, HeaderFields& h) {
    h.node_size = int(Be16(node + 6)) + 1;
    const int ns = h.node_size;
    h.nindexes = int(Be16(node + 8));
    h.serial_width = node[11];
    h.reclen = int(Be16(node + 13));
    h.dict_node = Be32(node + 15);
    h.data_free = Be32(node + 25);
    h.index_free = Be32(node + 29);
    h.highest_rec = Be32(node + 33);
    h.highest_node = Be32(node + 37);
    h.change_counter = Be32(node + 41);
    h.unique_id = Be32(node + 45);
    h.maxlen = int(Be16(node + 59));
    h.file_flags = int(Be16(node + ns - 6));
}

void EncodeHeader(uint8_t* node, const HeaderFields& h) {
    const int ns = h.node_size;
    PutBe16(node + 8, unsigned(h.nindexes));
    node[11] = uint8_t(h.serial_width);
    PutBe16(node + 13, unsigned(h.reclen));
    PutBe32(node + 15, h.dict_node);
    PutBe32(node + 25, h.data_free);
    PutBe32(node + 29, h.index_free);
    PutBe32(node + 33, h.highest_rec);
    PutBe32(node + 37, h.highest_node);
    PutBe32(node + 41, h.change_counter);
    PutBe32(node + 45, h.unique_id);
    PutBe16(node + 59, unsigned(h.maxlen));
    PutBe16(node + ns - 6, unsigned(h.file_flags));
}

static int PartSize(const KeyDesc& key) {
    return (key.flags & KEY_NULL_SUPPRESS) ? 6 : 5;
}

int DictEntrySize(const KeyDesc& key) {
    return 7 + PartSize(key) * key.nparts;
}

void EncodeDictEntry(const KeyDesc& key, uint8_t* out) {
    PutBe16(out, unsigned(DictEntrySize(key)));
    PutBe32(out + 2, key.root);
    out[6] = uint8_t((key.flags & 0xFF) >> 1);
    uint8_t* p = out + 7;
    for (int i = 0; i < key.nparts; ++i) {
        unsigned len = unsigned(key.parts[i].length) & 0x7FFF;
        if (i == 0 && (key.flags & KEY_DUPS)) len |= 0x8000;
        PutBe16(p, len);
        PutBe16(p + 2, unsigned(key.parts[i].start));
        if (key.flags & KEY_NULL_SUPPRESS) {
            PutBe16(p + 4, unsigned(key.parts[i].type) & 0xFFFF);
            p += 6;
        } else {
            p[4] = uint8_t(key.parts[i].type);
            p += 5;
        }
    }
}

bool DecodeDictEntry(const uint8_t* p, int avail, KeyDesc& key, int* size) {
    if (avail < 7) return false;
    int len = int(Be16(p));
    if (len < 7 || len > avail) return false;
    key = KeyDesc{};
    key.root = Be32(p + 2);
    key.flags = int(p[6]) * 2;
    const int part_size = (key.flags & KEY_NULL_SUPPRESS) ? 6 : 5;
    if ((len - 7) % part_size != 0) return false;
    int nparts = (len - 7) / part_size;
    if (nparts > kMaxKeyParts) return false;
    key.nparts = nparts;
    const uint8_t* q = p + 7;
    for (int i = 0; i < nparts; ++i) {
        unsigned plen = Be16(q);
        if (i == 0 && (plen & 0x8000)) {
            key.flags |= KEY_DUPS;
            plen &= 0x7FFF;
        }
        key.parts[i].length = int(plen);
        key.parts[i].start = int(Be16(q + 2));
        key.parts[i].type = part_size == 6 ? int(Be16(q + 4)) : int(q[4]);
        q += part_size;
    }
    *size = len;
    return true;
}

void InitDictNode(uint8_t* node, int ns) {
    std::memset(node, 0, ns);
    PutBe16(node, 6);
    node[ns - 3] = 0xFF;
    node[ns - 2] = 0xFE;
}

void InitFreeListNode(uint8_t* node, int ns, uint32_t next) {
    std::memset(node, 0, ns);
    PutBe16(node, 6);
    PutBe32(node + 2, next);
    node[ns - 3] = 0xFF;
    node[ns - 2] = 0x7F;
}

}  // namespace isam::detail
