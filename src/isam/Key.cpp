#include "isam/Key.h"

#include <cstring>

namespace isam::detail {

static int UnitSize(int code) {
    switch (code) {
        case KP_CHAR:
        case KP_STRING:
            return 1;
        case KP_INT16:
        case KP_NATIVE_INT16:
            return 2;
        case KP_INT32:
        case KP_NATIVE_INT32:
        case KP_FLOAT:
            return 4;
        case KP_DOUBLE:
            return 8;
        default:
            return 0;
    }
}

bool ValidateKey(KeyDesc& key, int reclen) {
    if (key.nparts < 0 || key.nparts > kMaxKeyParts) return false;
    if (key.flags < 0 || key.flags > 0x3F) return false;
    int total = 0;
    for (int i = 0; i < key.nparts; ++i) {
        const KeyPart& p = key.parts[i];
        if (p.start < 0 || p.length <= 0 || p.start > 0x7FFF || p.length > kMaxKeyLength)
            return false;
        if (reclen > 0 && p.start + p.length > reclen) return false;
        int unit = UnitSize(p.type & 0x3F);
        if (unit == 0 || p.length % unit != 0) return false;
        if (p.type < 0 || p.type > 0xFFFF) return false;
        total += p.length;
    }
    if (total > kMaxKeyLength) return false;
    key.keylen = total;
    return true;
}

bool SameIndex(const KeyDesc& a, const KeyDesc& b) {
    if (a.nparts != b.nparts) return false;
    if ((a.flags & KEY_NULL_SUPPRESS) != (b.flags & KEY_NULL_SUPPRESS)) return false;
    for (int i = 0; i < a.nparts; ++i) {
        if (a.parts[i].start != b.parts[i].start || a.parts[i].length != b.parts[i].length ||
            a.parts[i].type != b.parts[i].type)
            return false;
    }
    return true;
}

void BuildKey(const KeyDesc& key, const uint8_t* record, uint8_t* out) {
    for (int i = 0; i < key.nparts; ++i) {
        const KeyPart& p = key.parts[i];
        const uint8_t* src = record + p.start;
        if ((p.type & 0x3F) == KP_STRING) {
            const void* nul = std::memchr(src, 0, size_t(p.length));
            size_t n = nul ? size_t(static_cast<const uint8_t*>(nul) - src) : size_t(p.length);
            std::memcpy(out, src, n);
            std::memset(out + n, 0, size_t(p.length) - n);
        } else {
            std::memcpy(out, src, size_t(p.length));
        }
        out += p.length;
    }
}

void RebuildRecord(const KeyDesc& key, const uint8_t* keybytes, uint8_t* record) {
    for (int i = 0; i < key.nparts; ++i) {
        std::memcpy(record + key.parts[i].start, keybytes, size_t(key.parts[i].length));
        keybytes += key.parts[i].length;
    }
}

int KeyRecordSize(const KeyDesc& key) {
    int size = 0;
    for (int i = 0; i < key.nparts; ++i) {
        int end = key.parts[i].start + key.parts[i].length;
        if (end > size) size = end;
    }
    return size;
}

bool IsNullKey(const KeyDesc& key, const uint8_t* keybytes) {
    if (!(key.flags & KEY_NULL_SUPPRESS)) return false;
    for (int i = 0; i < key.nparts; ++i) {
        uint8_t null_byte = uint8_t((key.parts[i].type >> 8) & 0xFF);
        for (int j = 0; j < key.parts[i].length; ++j)
            if (*keybytes++ != null_byte) return false;
    }
    return true;
}

template <class T>
static int CompareNative(const uint8_t* a, const uint8_t* b) {
    T x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return x > y ? 1 : -1;
}

int CompareKeys(const KeyDesc& key, const uint8_t* a, const uint8_t* b, int len) {
    int p = 0;
    while (p < len && a[p] == b[p]) ++p;
    if (p >= len) return 0;
    int part_start = 0;
    for (int i = 0; i < key.nparts; ++i) {
        const KeyPart& part = key.parts[i];
        if (p < part_start + part.length) {
            int code = part.type & 0x3F;
            int unit = UnitSize(code);
            // Multi-unit parts are compared unit by unit: the unit holding the first difference.
            int unit_start = part_start + (p - part_start) / unit * unit;
            int r;
            switch (code) {
                case KP_DOUBLE:
                    r = CompareNative<double>(a + unit_start, b + unit_start);
                    break;
                case KP_FLOAT:
                    r = CompareNative<float>(a + unit_start, b + unit_start);
                    break;
                case KP_NATIVE_INT16:
                    r = CompareNative<int16_t>(a + unit_start, b + unit_start);
                    break;
                case KP_NATIVE_INT32:
                    r = CompareNative<int32_t>(a + unit_start, b + unit_start);
                    break;
                case KP_INT16:
                case KP_INT32:
                    if (p == unit_start)
                        r = int(int8_t(a[p])) - int(int8_t(b[p]));
                    else
                        r = int(a[p]) - int(b[p]);
                    break;
                default:
                    r = int(a[p]) - int(b[p]);
                    break;
            }
            return (part.type & KP_DESC) ? -r : r;
        }
        part_start += part.length;
    }
    return int(a[p]) - int(b[p]);
}

}  // namespace isam::detail
