// Locks in the lock file: the lock-slot counter, file-level and index-level locks (a shared byte
// per handle or an exclusive region), and record locks (one byte per record number).
#include <time.h>

#include <algorithm>

#include "isam/IsamFile.h"

namespace isam::detail {

constexpr uint32_t kLastSlot = 0x1FFFFFFF;

uint32_t LockSlot(IsamFile& f) {
    if (f.lock_slot != 0 || f.NoLocks()) return f.lock_slot;
    const int fd = f.lck_fd();
    // The counter bytes lie inside the exclusive file region: a file held exclusively elsewhere
    // would block here for good, so the wait is bounded and then reported as a locked file.
    bool locked = false;
    for (int attempt = 0; attempt < 2000 && !locked; ++attempt) {
        locked = LockRange(fd, 0, 4, false);
        if (!locked) {
            struct timespec ts {
                0, 1000000
            };
            nanosleep(&ts, nullptr);
        }
    }
    if (!locked) Raise(kFileLocked);
    uint8_t buf[4];
    uint32_t slot = 4;
    try {
        if (ReadSome(fd, buf, 4, 0, kLockFile) == 4) slot = Be32(buf) + 1;
    } catch (const Fail&) {
        slot = 4;  // an unreadable counter is not an error
    }
    if (slot < 4 || slot > kLastSlot) slot = 4;
    PutBe32(buf, slot);
    try {
        WriteAt(fd, buf, 4, 0, kLockFile);
    } catch (...) {
        UnlockRange(fd, 0, 4);
        throw;
    }
    UnlockRange(fd, 0, 4);
    f.lock_slot = slot;
    return slot;
}

void TakeIndexLock(IsamFile& f, bool exclusive) {
    if (f.Exclusive() || f.NoLocks()) return;
    const int want = exclusive ? kLkIndexExcl : kLkIndexShared;
    if (f.lock_bits & want) return;
    ReleaseIndexLock(f);
    bool ok = exclusive ? LockRange(f.lck_fd(), kIndexRegion, kIndexRegion, true)
                        : LockRange(f.lck_fd(), kIndexRegion + LockSlot(f), 1, true);
    if (!ok) Fatal("ISLOCK", exclusive ? 113 : 97);
    f.lock_bits |= want;
}

void ReleaseIndexLock(IsamFile& f) {
    if (f.lock_bits & kLkIndexShared) {
        f.lock_bits &= ~kLkIndexShared;
        UnlockRange(f.lck_fd(), kIndexRegion + f.lock_slot, 1);
    }
    if (f.lock_bits & kLkIndexExcl) {
        f.lock_bits &= ~kLkIndexExcl;
        UnlockRange(f.lck_fd(), kIndexRegion, kIndexRegion);
    }
}

void ReleaseFileLock(Physical& p) {
    if (p.lck_fd < 0) return;
    if (p.file_lock == 1) UnlockRange(p.lck_fd, p.lock_byte, 1);
    if (p.file_lock == 2) UnlockRange(p.lck_fd, 0, kIndexRegion);
    p.file_lock = 0;
}

bool TakeFileLock(Physical& p, IsamFile& f, bool exclusive, bool wait) {
    ReleaseFileLock(p);
    if (exclusive) {
        if (!LockRange(p.lck_fd, 0, kIndexRegion, wait)) return false;
        p.file_lock = 2;
        f.lock_bits = (f.lock_bits & ~kLkFileShared) | kLkFileExcl;
        return true;
    }
    uint32_t slot = LockSlot(f);
    if (!LockRange(p.lck_fd, slot, 1, wait)) return false;
    p.file_lock = 1;
    p.lock_byte = slot;
    f.lock_bits = (f.lock_bits & ~kLkFileExcl) | kLkFileShared;
    return true;
}

bool HoldsRecord(const IsamFile& f, uint32_t n) {
    return std::find(f.rec_locks.begin(), f.rec_locks.end(), n) != f.rec_locks.end();
}

// Another handle of this process, sharing the files, holds record n (or every record).
static bool HeldInProcess(const IsamFile& f, uint32_t n) {
    for (const IsamFile* other : f.phys->handles) {
        if (other == &f) continue;
        if ((other->lock_bits & kLkAllRecords) || HoldsRecord(*other, n)) return true;
    }
    return false;
}

bool LockRecord(IsamFile& f, uint32_t n, bool wait) {
    if (f.NoLocks() || HoldsRecord(f, n)) return true;
    // Waiting for a lock held in this process would never end: refuse at once.
    if (HeldInProcess(f, n)) return false;
    if (!LockRange(f.lck_fd(), kRecordRegion + off_t(n), 1, wait)) return false;
    f.rec_locks.push_back(n);
    return true;
}

void UnlockRecord(IsamFile& f, uint32_t n) {
    auto it = std::find(f.rec_locks.begin(), f.rec_locks.end(), n);
    if (it == f.rec_locks.end()) return;
    f.rec_locks.erase(it);
    UnlockRange(f.lck_fd(), kRecordRegion + off_t(n), 1);
}

void ReleaseRecordLocks(IsamFile& f) {
    if (f.NoLocks()) return;
    if (f.lock_bits & kLkAllRecords) {
        f.lock_bits &= ~kLkAllRecords;
        UnlockRange(f.lck_fd(), kRecordRegion, kRecordRegion);
    } else {
        for (uint32_t n : f.rec_locks) UnlockRange(f.lck_fd(), kRecordRegion + off_t(n), 1);
    }
    f.rec_locks.clear();
}

bool TestRecord(IsamFile& f, uint32_t n) {
    if (f.NoLocks() || (f.lock_bits & kLkAllRecords) || HoldsRecord(f, n)) return true;
    if (HeldInProcess(f, n)) return false;
    return RangeFree(f.lck_fd(), kRecordRegion + off_t(n), 1);
}

}  // namespace isam::detail
