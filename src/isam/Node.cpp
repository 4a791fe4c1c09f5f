// B-tree node codec: fixed-size entries (key, serial, pointer) or compressed ones (leading count,
// trailing count, the key bytes between, serial, pointer; bit 0x80 of a pointer's first byte says
// the next entry repeats the key). In memory every entry is expanded to key, serial, pointer.
#include <cstring>

#include "isam/IsamFile.h"

namespace isam::detail {

void MakeShape(const KeyDesc& key, IndexShape& s) {
    s.desc = &key;
    s.keylen = key.keylen;
    s.serial_width = (key.flags & KEY_DUPS) ? kSerialWidth : 0;
    s.compressed = (key.flags & (KEY_DUP_COMPRESS | KEY_LEAD_COMPRESS | KEY_TRAIL_COMPRESS)) != 0;
    s.esz = s.keylen + 8;
    s.disk_entry = s.keylen + s.serial_width + 4;
    s.max_entry = s.disk_entry + ((key.flags & KEY_LEAD_COMPRESS) ? 1 : 0) +
                  ((key.flags & KEY_TRAIL_COMPRESS) ? 1 : 0);
}

// Copies a key; short keys (the usual case) without a call to memcpy.
static inline void CopyKey(uint8_t* dst, const uint8_t* src, int n) {
    if (n >= 8 && n <= 16) {
        uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + n - 8, 8);
        std::memcpy(dst, &a, 8);
        std::memcpy(dst + n - 8, &b, 8);
    } else {
        std::memcpy(dst, src, size_t(n));
    }
}

static uint8_t FillByte(const IndexShape& s) {
    return (s.desc->flags & KEY_TRAIL_NUL) ? 0x00 : 0x20;
}

void DecodeNode(const uint8_t* raw, int ns, const IndexShape& s, Node& node) {
    int used = int(Be16(raw));
    if (used < 2 || used > ns - 4) Raise(kCorrupt);
    node.level = raw[ns - 2];
    const int keylen = s.keylen;
    const int sw = s.serial_width;
    if (!s.compressed) {
        if ((used - 2) % s.disk_entry != 0) Raise(kCorrupt);
        node.count = (used - 2) / s.disk_entry;
        node.ents.resize(size_t(node.count) * s.esz);
        const uint8_t* p = raw + 2;
        uint8_t* e = node.ents.data();
        for (int i = 0; i < node.count; ++i) {
            CopyKey(e, p, keylen);
            uint32_t serial = sw ? Be32(p + keylen) : 0;
            uint32_t ptr = Be32(p + keylen + sw);
            std::memcpy(e + keylen, &serial, 4);
            std::memcpy(e + keylen + 4, &ptr, 4);
            p += s.disk_entry;
            e += s.esz;
        }
        return;
    }
    const int flags = s.desc->flags;
    const bool lead_c = flags & KEY_LEAD_COMPRESS, trail_c = flags & KEY_TRAIL_COMPRESS;
    const uint8_t fill = FillByte(s);
    node.count = 0;
    node.ents.clear();
    int off = 2;
    bool repeat = false;
    const uint8_t* prev = nullptr;
    while (off < used) {
        node.ents.resize(size_t(node.count + 1) * s.esz);
        uint8_t* e = node.Key(node.count, s.esz);
        prev = node.count ? node.Key(node.count - 1, s.esz) : nullptr;
        if (repeat) {
            if (!prev) Raise(kCorrupt);
            std::memcpy(e, prev, size_t(keylen));
        } else {
            int lead = 0, trail = 0;
            if (lead_c) {
                if (off >= used) Fatal("ISCOMP", 59);
                lead = raw[off++];
                if (lead >= 128) Fatal("ISCOMP", 70);
            }
            if (trail_c) {
                if (off >= used) Fatal("ISCOMP", 59);
                trail = raw[off++];
                if (trail >= 128) Fatal("ISCOMP", 110);
            }
            if (lead + trail > keylen) Fatal("ISCOMP", 110);
            if (lead > 0 && !prev) Raise(kCorrupt);
            int mid = keylen - lead - trail;
            if (off + mid > used) Raise(kCorrupt);
            if (lead) std::memcpy(e, prev, size_t(lead));
            std::memcpy(e + lead, raw + off, size_t(mid));
            std::memset(e + lead + mid, fill, size_t(trail));
            off += mid;
        }
        if (off + sw + 4 > used) Raise(kCorrupt);
        uint32_t serial = sw ? Be32(raw + off) : 0;
        uint32_t ptr = Be32(raw + off + sw);
        repeat = (ptr & 0x80000000u) != 0;
        SetEnt(e, keylen, e, serial, ptr & 0x7FFFFFFFu);
        off += sw + 4;
        ++node.count;
    }
    if (repeat) Raise(kCorrupt);
}

// Encodes entries into out (when non-null); answers the bytes used including the 2-byte head.
static int EncodeEntries(const Node& node, const IndexShape& s, uint8_t* out) {
    const int keylen = s.keylen, sw = s.serial_width, esz = s.esz;
    const int flags = s.desc->flags;
    if (!s.compressed) {
        if (out) {
            uint8_t* p = out + 2;
            for (int i = 0; i < node.count; ++i) {
                const uint8_t* e = node.ents.data() + size_t(i) * esz;
                CopyKey(p, e, keylen);
                if (sw) PutBe32(p + keylen, EntSerial(e, keylen));
                PutBe32(p + keylen + sw, EntPtr(e, keylen));
                p += s.disk_entry;
            }
        }
        return 2 + node.count * s.disk_entry;
    }
    const bool dup_c = flags & KEY_DUP_COMPRESS, lead_c = flags & KEY_LEAD_COMPRESS,
               trail_c = flags & KEY_TRAIL_COMPRESS;
    const uint8_t fill = FillByte(s);
    int off = 2;
    for (int i = 0; i < node.count; ++i) {
        const uint8_t* e = node.ents.data() + size_t(i) * esz;
        const uint8_t* prev = i ? e - esz : nullptr;
        if (!(dup_c && prev && std::memcmp(prev, e, size_t(keylen)) == 0)) {
            int lead = 0, trail = 0;
            if (lead_c && prev) {
                while (lead < keylen && lead < 127 && prev[lead] == e[lead]) ++lead;
            }
            if (trail_c) {
                while (trail < keylen - lead && trail < 127 && e[keylen - 1 - trail] == fill)
                    ++trail;
            }
            int mid = keylen - lead - trail;
            if (out) {
                if (lead_c) out[off] = uint8_t(lead);
                if (trail_c) out[off + (lead_c ? 1 : 0)] = uint8_t(trail);
            }
            off += (lead_c ? 1 : 0) + (trail_c ? 1 : 0);
            if (out) std::memcpy(out + off, e + lead, size_t(mid));
            off += mid;
        }
        if (out) {
            if (sw) PutBe32(out + off, EntSerial(e, keylen));
            uint32_t ptr = EntPtr(e, keylen);
            const uint8_t* next = i + 1 < node.count ? e + esz : nullptr;
            if (dup_c && next && std::memcmp(next, e, size_t(keylen)) == 0) ptr |= 0x80000000u;
            PutBe32(out + off + sw, ptr);
        }
        off += sw + 4;
    }
    return off;
}

int EncodedSize(const Node& node, const IndexShape& s) {
    return EncodeEntries(node, s, nullptr);
}

void EncodeNode(const Node& node, const IndexShape& s, int ns, uint8_t* raw) {
    std::memset(raw, 0, size_t(ns));
    int used = EncodeEntries(node, s, raw);
    if (used > ns - 4) Fatal("ISGROW", 218);
    PutBe16(raw, unsigned(used));
    raw[ns - 2] = uint8_t(node.level);
}

}  // namespace isam::detail
