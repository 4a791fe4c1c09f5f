// Key descriptions: validation, identity, building keys from records and comparing them.
#pragma once

#include <cstdint>

#include "isam/Isam.h"

namespace isam::detail {

// Checks a description against a record length (0 = index-only file) and fills keylen.
bool ValidateKey(KeyDesc& key, int reclen);
// Two descriptions name the same index: same parts and the same null-suppression bit.
bool SameIndex(const KeyDesc& a, const KeyDesc& b);
// Copies the parts of a record into a key of keylen bytes.
void BuildKey(const KeyDesc& key, const uint8_t* record, uint8_t* out);
// Copies the parts of a key back to their places in a record.
void RebuildRecord(const KeyDesc& key, const uint8_t* keybytes, uint8_t* record);
// Record size an index-only file's records need: the end of the furthest part.
int KeyRecordSize(const KeyDesc& key);
// With KEY_NULL_SUPPRESS: every byte of every part equals that part's null byte.
bool IsNullKey(const KeyDesc& key, const uint8_t* keybytes);
// Orders keys a and b over their first len bytes by the types of the parts.
int CompareKeys(const KeyDesc& key, const uint8_t* a, const uint8_t* b, int len);

}  // namespace isam::detail
