// Entry points: the handle table, the status values, the protocol every operation on an open
// handle follows (kind check, index-level lock, resynchronisation, work, write-back, unlock) and
// the error exit that leaves memory equal to the files.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "isam/IsamFile.h"
#include "isam/Key.h"
#include "isam/Protocol.h"

namespace isam {

int last_recnum = 0;
int last_reclen = 0;
int last_error = 0;
int last_io_error = 0;

namespace detail {

// Process-wide because the call interface names open files by small integers that any caller
// in the process may pass (the handle ISOPEN returns).
static std::vector<std::unique_ptr<IsamFile>> g_table;
static FatalHook g_fatal_hook = nullptr;

void Raise(int code, int io) {
    throw Fail{code, io};
}

void RaiseSystem(int io) {
    throw Fail{errno, io};
}

void Fatal(const char* unit, int check) {
    char msg[256];
    std::snprintf(msg, sizeof msg, "fatal isam error %s(%d)", unit, check);
    if (g_fatal_hook) g_fatal_hook(msg);
    throw Fail{kCorrupt, 0};
}

Fail CaughtFailure() noexcept {
    try {
        throw;
    } catch (const Fail& e) {
        return e;
    } catch (const std::bad_alloc&) {
        return Fail{kNoMemory, 0};
    } catch (...) {
        return Fail{kCorrupt, 0};
    }
}

IsamFile* Lookup(int handle) {
    if (handle < 0 || size_t(handle) >= g_table.size()) return nullptr;
    return g_table[size_t(handle)].get();
}

int AddToTable(std::unique_ptr<IsamFile> f) {
    size_t slot = 0;
    while (slot < g_table.size() && g_table[slot]) ++slot;
    if (slot == g_table.size()) g_table.resize(g_table.size() + 10);
    f->handle = int(slot);
    g_table[slot] = std::move(f);
    return int(slot);
}

std::unique_ptr<IsamFile> TakeFromTable(int handle) {
    std::unique_ptr<IsamFile> f = std::move(g_table[size_t(handle)]);
    return f;
}

std::vector<int> OpenHandles() {
    std::vector<int> out;
    for (size_t i = 0; i < g_table.size(); ++i)
        if (g_table[i]) out.push_back(int(i));
    return out;
}

void ClearTable() {
    g_table.clear();
}

void Publish(IsamFile& f) {
    last_recnum = f.my_recnum;
    last_reclen = f.my_reclen;
    last_error = f.my_error;
    last_io_error = f.my_io_error;
}

int FailGlobal(int code, int io) {
    last_error = code;
    last_io_error = io;
    return -1;
}

void ErrorExit(IsamFile& f, const Fail& e) {
    if (f.kind == kOpNone && g_fatal_hook) {
        char msg[256];
        std::snprintf(msg, sizeof msg, "isam crash [%d/%x]", f.my_error, unsigned(f.my_io_error));
        g_fatal_hook(msg);
    }
    const bool was_write = f.kind == kOpWrite;
    // A read through a mapping that faulted saw zeros: whatever failed, the file is damaged, and
    // the nodes, lists and header read during the operation are dropped like a write's.
    bool damaged = false;
    if (f.phys) {
        damaged = TakeDamage(f.phys->idx_map);
        damaged = TakeDamage(f.phys->dat_map) || damaged;
    }
    const Fail err = damaged ? Fail{kCorrupt, 0} : e;
    f.kind = kOpNone;
    f.my_error = err.code;
    f.my_io_error = err.io;
    last_error = err.code;
    if (f.undo.active) {
        // A deferred call failed: it alone is undone, and what the calls before it left still
        // waits. Clean nodes read through a faulted mapping are read again.
        UndoDeferredCall(f);
        if (damaged)
            for (auto& ix : f.ix) InvalidateIndex(ix, false);
    } else if (was_write || damaged || f.unwritten) {
        DropUnwritten(f);
    } else {
        DropPending(f);
    }
    try {
        if (f.phys) ReleaseIndexLock(f);
    } catch (...) {
    }
    TrimCaches(f);
    Publish(f);
}

bool KindAllowed(const IsamFile& f, int kind) {
    int access = f.mode & 3;
    if (kind == kOpRead && access == OPEN_OUTPUT) return false;
    if (kind == kOpWrite && access == OPEN_INPUT) return false;
    return true;
}

static bool HasCurrent(IsamFile& f) {
    return f.cur_index < 0 ? f.recpos != 0 : f.ix[size_t(f.cur_index)].cur_rec != 0;
}

static int ApplyReadFlags(IsamFile& f, int m) {
    if (m == NEXT && (f.state & kStNextCurrent)) return HasCurrent(f) ? CURRENT : FIRST;
    if (m == PREV && (f.state & kStPrevCurrent)) return HasCurrent(f) ? CURRENT : LAST;
    return m;
}

static int FollowOn(int mode) {
    switch (mode) {
        case FIRST:
        case NEXT:
            return NEXT;
        case LAST:
        case PREV:
            return PREV;
        case GREATER:
        case GREATER_EQUAL:
            return GREATER;
        default:
            return -1;
    }
}

static IndexState& Primary(IsamFile& f) {
    if ((f.state & kStNoPrimary) || f.ix.empty() || (f.ix[0].desc.flags & KEY_DUPS))
        Raise(kNoPrimaryKey);
    return f.ix[0];
}

// Record number of the record whose primary key equals the record's key.
static uint32_t FindByPrimary(IsamFile& f, const uint8_t* record) {
    if (!record) Raise(kBadArgument);
    IndexState& ix = Primary(f);
    uint8_t key[kMaxKeyLength];
    BuildKey(ix.desc, record, key);
    if (!FindKey(f, ix, key, ix.shape.keylen, false) ||
        CompareKeys(ix.desc, PathEntry(ix), key, ix.shape.keylen) != 0)
        Raise(kNoRecord);
    return EntPtr(PathEntry(ix), ix.shape.keylen);
}

static uint32_t CurrentRecord(IsamFile& f) {
    uint32_t n = f.cur_index < 0 ? f.recpos : f.ix[size_t(f.cur_index)].cur_rec;
    if (n == 0) Raise(kNoCurrent);
    return n;
}

}  // namespace detail

using namespace detail;

const char* ErrorText(int code) {
    static const char* const kTexts[] = {"illegal duplicate",
                                         "file not open",
                                         "illegal argument",
                                         "illegal key description",
                                         "out of isam file handles",
                                         "isam file is corrupt",
                                         "can't get exclusive access",
                                         "record is locked",
                                         "index already defined",
                                         "illegal primary key operation",
                                         "start or end file reached",
                                         "record not found",
                                         "no current record",
                                         "file is locked",
                                         "file name is too long",
                                         "can't create lock file",
                                         "can't allocate memory",
                                         "bad custom collating",
                                         "error reading log file",
                                         "log file is corrupt",
                                         "unable to open log",
                                         "unable to write log",
                                         "transaction not found",
                                         "out of shared memory",
                                         "no current transaction",
                                         "no NFS",
                                         "bad row ID",
                                         "no primary key",
                                         "logging not allowed",
                                         "too many users",
                                         "no DBS",
                                         "no free",
                                         "varlen record too big",
                                         "existing audit trail",
                                         "out of room in lock table"};
    if (code >= 100 && code <= 134) return kTexts[code - 100];
    return std::strerror(code);
}

int* LastRecnumCell(int handle) {
    IsamFile* f = Lookup(handle);
    return f ? &f->my_recnum : &last_recnum;
}
int* LastReclenCell(int handle) {
    IsamFile* f = Lookup(handle);
    return f ? &f->my_reclen : &last_reclen;
}
int* LastErrorCell(int handle) {
    IsamFile* f = Lookup(handle);
    return f ? &f->my_error : &last_error;
}
int* LastIoErrorCell(int handle) {
    IsamFile* f = Lookup(handle);
    return f ? &f->my_io_error : &last_io_error;
}

int ISSTART(int handle, const KeyDesc* key, int length, const void* record, int mode) {
    return Run(handle, kOpRead, kShared, [&](IsamFile& f) {
        if (mode < FIRST || mode > GREATER_EQUAL) Raise(kBadArgument);
        if (f.mode & LOCKMODE_AUTO) ReleaseRecordLocks(f);
        if (key) {
            if (key->nparts == 0) {
                f.cur_index = -1;
            } else {
                int found = -1;
                for (size_t i = 0; i < f.ix.size(); ++i)
                    if (SameIndex(f.ix[i].desc, *key)) found = int(i);
                if (found < 0) Raise(kBadKey);
                f.cur_index = found;
            }
        }
        if (f.cur_index >= 0) {
            IndexState& ix = f.ix[size_t(f.cur_index)];
            if (length < 0 || length > ix.shape.keylen) Raise(kBadArgument);
            ix.cmp_len = length == 0 ? ix.shape.keylen : length;
        }
        if (key && (mode == NEXT || mode == PREV || mode == CURRENT) && f.my_recnum > 0) {
            try {
                GotoRecord(f, uint32_t(f.my_recnum));
            } catch (const Fail&) {
                // The record is not in this index: the index keeps its own position.
            }
        }
        int m = ApplyReadFlags(f, mode);
        if (!Position(f, m, static_cast<const uint8_t*>(record)) && mode != FIRST && mode != LAST)
            Raise(FailCode(mode));
        if (mode == NEXT)
            f.state &= ~kStNextCurrent;
        else
            f.state |= kStNextCurrent;
        if (mode == LAST)
            f.state |= kStPrevCurrent;
        else
            f.state &= ~kStPrevCurrent;
        if (mode == FIRST || mode == LAST)
            f.state |= kStNoCurrent;
        else
            f.state &= ~kStNoCurrent;
        return 0;
    });
}

// A plain NEXT or PREV on a shared handle, served from the cached leaf without the index lock
// when no write overlaps it; false when the call must go the locked way.
static bool QuickStep(int handle, void* record, int mode) {
    IsamFile* f = Lookup(handle);
    if (!f || !record || (mode != NEXT && mode != PREV) || f->Exclusive() || f->NoLocks() ||
        (f->mode & LOCKMODE_AUTO) || !KindAllowed(*f, kOpRead) || f->kind != kOpNone ||
        (f->state & (mode == NEXT ? kStNextCurrent : kStPrevCurrent)))
        return false;
    try {
        if (!StepWithoutLock(*f, mode == NEXT, static_cast<uint8_t*>(record))) return false;
    } catch (...) {
        return false;  // the locked way meets the same fault and reports it
    }
    f->state &= ~(kStNextCurrent | kStPrevCurrent | kStNoCurrent);
    f->my_reclen = last_reclen;
    f->my_error = 0;
    f->my_io_error = 0;
    Publish(*f);
    return true;
}

int ISREAD(int handle, void* record, int mode) {
    if (QuickStep(handle, record, mode)) return 0;
    return Run(handle, kOpRead, kShared, [&](IsamFile& f) {
        auto* out = static_cast<uint8_t*>(record);
        int m = mode & 0xFF;
        int lockbits = mode & 0xFF00;
        if (m > GREATER_EQUAL || !out) Raise(kBadArgument);
        if (lockbits && f.IndexOnly()) Raise(kBadArgument);
        if ((f.mode & LOCKMODE_AUTO) && !f.IndexOnly()) {
            ReleaseRecordLocks(f);
            lockbits = LOCK_KEEP | LOCK_WAIT;
        }
        if (f.NoLocks()) lockbits = 0;
        int logical = m;
        m = ApplyReadFlags(f, m);
        for (;;) {
            if (!Position(f, m, out)) {
                if (logical == NEXT) f.state |= kStPrevCurrent;
                if (logical == PREV) f.state |= kStNextCurrent;
                Raise(FailCode(logical));
            }
            LoadCurrentRecord(f, out);
            bool locked_now = false;
            if (lockbits) {
                uint32_t n = uint32_t(f.my_recnum);
                locked_now = !HoldsRecord(f, n);
                if (LockRecord(f, n, false)) {
                    if (!(lockbits & LOCK_KEEP)) UnlockRecord(f, n);
                } else if (!(lockbits & LOCK_WAIT)) {
                    Raise(kRecordLocked);
                } else {
                    // Wait for the record outside the index lock, then position again.
                    ReleaseIndexLock(f);
                    if (!LockRecord(f, n, true)) Raise(kRecordLocked);
                    UnlockRecord(f, n);
                    TakeIndexLock(f, false);
                    Resync(f);
                    if (m == NEXT || m == PREV) m = CURRENT;
                    continue;
                }
            }
            if (f.filter) {
                last_error = 0;
                if (!f.filter(handle, out, logical)) {
                    // A rejected record keeps no lock taken for it by this read.
                    if (locked_now && (lockbits & LOCK_KEEP))
                        UnlockRecord(f, uint32_t(f.my_recnum));
                    if (last_error != 0) Raise(last_error);
                    int follow = FollowOn(logical);
                    if (follow < 0) Raise(kNoRecord);
                    logical = m = follow;
                    continue;
                }
            }
            break;
        }
        f.state &= ~(kStNextCurrent | kStPrevCurrent | kStNoCurrent);
        return 0;
    });
}

static int WriteOp(int handle, const void* record, int variant) {
    const auto work = [&](IsamFile& f) {
        auto* rec = static_cast<const uint8_t*>(record);
        if (!rec) Raise(kBadArgument);
        if (variant == 1 && f.IndexOnly()) Raise(kBadArgument);
        uint32_t n = WriteRecord(f, rec);
        if (variant == 1 && !LockRecord(f, n, true)) Raise(kRecordLocked);
        if (variant == 2) {
            if (f.cur_index < 0) {
                f.recpos = n;
            } else {
                IndexState& ix = f.ix[size_t(f.cur_index)];
                uint8_t key[kMaxKeyLength];
                bool in = f.IndexOnly() ? (BuildKey(ix.desc, rec, key), true)
                                        : InIndex(f, size_t(f.cur_index), rec, f.mask, key);
                if (in && FindEntry(f, ix, key, n)) SetCurrentFromPath(ix);
            }
            f.state &= ~(kStNextCurrent | kStPrevCurrent | kStNoCurrent);
        }
        f.my_recnum = int(n);
        return 0;
    };
    return Run(handle, kOpWrite, kExclusive, work, true);
}

int ISWRITE(int handle, const void* record) {
    return WriteOp(handle, record, 0);
}
int ISWRITELOCK(int handle, const void* record) {
    return WriteOp(handle, record, 1);
}
int ISWRCURR(int handle, const void* record) {
    return WriteOp(handle, record, 2);
}

int ISREWRITE(int handle, const void* record) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.IndexOnly()) Raise(kBadArgument);
        auto* rec = static_cast<const uint8_t*>(record);
        uint32_t n = FindByPrimary(f, rec);
        RewriteRecord(f, n, rec);
        f.my_recnum = int(n);
        return 0;
    });
}

int ISREWREC(int handle, int32_t recnum, const void* record) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.IndexOnly() || !record) Raise(kBadArgument);
        RewriteRecord(f, uint32_t(recnum), static_cast<const uint8_t*>(record));
        f.my_recnum = recnum;
        return 0;
    });
}

// Index-only files: replaces the current entry by the key of the record and last_recnum.
static void RewriteCurrentKey(IsamFile& f, const uint8_t* rec) {
    IndexState& ix = f.ix[0];
    if (ix.cur_rec == 0 || Refind(f, ix) != 1) Raise(kNoCurrent);
    uint8_t key[kMaxKeyLength];
    BuildKey(ix.desc, rec, key);
    uint32_t ptr = uint32_t(f.my_recnum);
    if (std::memcmp(key, ix.cur_key.data(), size_t(ix.shape.keylen)) == 0 && ptr == ix.cur_rec)
        return;
    std::vector<uint8_t> old = ix.cur_key;
    if (!DeleteKey(f, ix, old.data(), ix.cur_rec)) Raise(kNoCurrent);
    InsertKey(f, ix, key, ptr);
}

int ISREWCURR(int handle, const void* record) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        auto* rec = static_cast<const uint8_t*>(record);
        if (!rec) Raise(kBadArgument);
        if (f.IndexOnly()) {
            RewriteCurrentKey(f, rec);
            return 0;
        }
        uint32_t n = CurrentRecord(f);
        RewriteRecord(f, n, rec);
        f.my_recnum = int(n);
        return 0;
    });
}

int ISREWNEXT(int handle, const void* record) {
    IsamFile* f0 = Lookup(handle);
    if (f0 && !KindAllowed(*f0, kOpRead)) {
        f0->my_error = kBadArgument;
        Publish(*f0);
        return -1;
    }
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        auto* rec = static_cast<const uint8_t*>(record);
        if (!rec || f.IndexOnly()) Raise(kBadArgument);
        uint32_t n = CurrentRecord(f);
        bool moved = Position(f, NEXT, nullptr);
        RewriteRecord(f, n, rec);
        f.my_recnum = int(n);
        if (!moved) {
            Commit(f);
            Raise(kEndOfFile);
        }
        return 0;
    });
}

int ISDELETE(int handle, const void* record) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        auto* rec = static_cast<const uint8_t*>(record);
        if (!rec) Raise(kBadArgument);
        if (f.IndexOnly()) {
            IndexState& ix = f.ix[0];
            uint8_t key[kMaxKeyLength];
            BuildKey(ix.desc, rec, key);
            if (!FindKey(f, ix, key, ix.shape.keylen, false) ||
                CompareKeys(ix.desc, PathEntry(ix), key, ix.shape.keylen) != 0)
                Raise(kNoRecord);
            DeleteKey(f, ix, key, EntPtr(PathEntry(ix), ix.shape.keylen));
            return 0;
        }
        uint32_t n = FindByPrimary(f, rec);
        DeleteRecord(f, n);
        f.my_recnum = int(n);
        return 0;
    });
}

int ISDELREC(int handle, int32_t recnum) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.IndexOnly()) {
            IndexState& ix = f.ix[0];
            bool ok;
            for (ok = GoFirst(f, ix); ok; ok = StepNext(f, ix))
                if (EntPtr(PathEntry(ix), ix.shape.keylen) == uint32_t(recnum)) break;
            if (!ok) Raise(kNoRecord);
            std::vector<uint8_t> key(PathEntry(ix), PathEntry(ix) + ix.shape.keylen);
            DeleteKey(f, ix, key.data(), uint32_t(recnum));
            return 0;
        }
        DeleteRecord(f, uint32_t(recnum));
        f.my_recnum = recnum;
        return 0;
    });
}

int ISDELCURR(int handle) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.state & kStNoCurrent) Raise(kNoCurrent);
        if (f.IndexOnly()) {
            IndexState& ix = f.ix[0];
            if (ix.cur_rec == 0 || Refind(f, ix) != 1) Raise(kNoCurrent);
            std::vector<uint8_t> key = ix.cur_key;
            DeleteKey(f, ix, key.data(), ix.cur_rec);
            return 0;
        }
        uint32_t n = CurrentRecord(f);
        DeleteRecord(f, n);
        f.my_recnum = int(n);
        return 0;
    });
}

int ISUNIQUEID(int handle, int32_t* id) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        int32_t value = int32_t(f.hdr.unique_id);
        int64_t next = int64_t(value) + 1;
        f.hdr.unique_id = next > 0x7FFFFFFF || next <= 0 ? 1u : uint32_t(next);
        if (id) *id = value;
        return 0;
    });
}

int ISSETUNIQUE(int handle, int32_t value) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        f.hdr.unique_id = uint32_t(value);
        return 0;
    });
}

int ISAPPENDMODE(int handle, bool on) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.IndexOnly()) Raise(kBadArgument);
        if (on) {
            // The data free list's nodes go to the index free list; its numbers are forgotten.
            uint32_t node = f.hdr.data_free;
            for (uint32_t steps = 0; node != 0; ++steps) {
                if (steps > f.hdr.highest_node || node < 2 || node > f.hdr.highest_node)
                    Raise(kCorrupt);
                uint8_t head[6];
                ReadAt(f.idx_fd(), head, 6, f.NodeOffset(node), kIndexFile);
                f.freed_nodes.push_back(node);
                node = Be32(head + 2);
            }
            f.hdr.data_free = 0;
            f.data_free.state = 0;
            struct stat st;
            if (fstat(f.dat_fd(), &st) != 0) RaiseSystem(kDataFile + kStepSeek);
            f.hdr.highest_rec = uint32_t(st.st_size / f.slotlen);
            f.state |= kStAppend;
        } else {
            f.state &= ~kStAppend;
            struct stat st;
            if (fstat(f.dat_fd(), &st) != 0) RaiseSystem(kDataFile + kStepSeek);
            uint32_t in_file =
                uint32_t(std::min<off_t>(off_t(f.hdr.highest_rec), st.st_size / f.slotlen));
            for (uint32_t r = f.hdr.highest_rec; r > in_file; --r) GiveNumber(f, f.data_free, r);
            for (uint32_t r = in_file; r >= 1; --r)
                if (!SlotLive(f, r)) GiveNumber(f, f.data_free, r);
        }
        return 0;
    });
}

int ISREQUIRELOCK(int handle, bool on) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        if (on)
            f.state |= kStRequireLock;
        else
            f.state &= ~kStRequireLock;
        return 0;
    });
}

int ISSETLOCKMODE(int handle, int mode) {
    return Run(handle, kOpNeutral, kShared, [&](IsamFile& f) {
        int bits = mode & ~0xFF;
        if ((bits & LOCKMODE_AUTO) && f.IndexOnly()) Raise(kBadArgument);
        if (f.Exclusive() || (bits & LOCKMODE_EXCL)) Raise(kBadArgument);
        // A handle without a lock file cannot start locking, nor one with locks stop.
        if (f.NoLocks() != ((bits & LOCKMODE_NONE) != 0)) Raise(kBadArgument);
        if (!(bits & 0xF00)) bits |= LOCKMODE_MANUAL;
        bool was_auto = f.mode & LOCKMODE_AUTO;
        f.mode = bits | (f.mode & 0xFF);
        if (was_auto && !(f.mode & LOCKMODE_AUTO)) ReleaseRecordLocks(f);
        return 0;
    });
}

int ISGETMODE(int handle, int* mode) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        if (mode) *mode = f.mode;
        return 0;
    });
}

const unsigned char* ISCURRKEY(int handle) {
    IsamFile* f = Lookup(handle);
    if (!f || f->cur_index < 0) return nullptr;
    IndexState& ix = f->ix[size_t(f->cur_index)];
    if (ix.cur_key.size() != size_t(ix.shape.keylen)) return nullptr;
    return ix.cur_key.data();
}

static void SelectIndex(IsamFile& f, int index) {
    if (index < 0 || index > int(f.ix.size())) Raise(kBadKey);
    f.cur_index = index - 1;
}

int ISSELECTINDEX(int handle, int index, bool reposition) {
    return Run(handle, kOpRead, kShared, [&](IsamFile& f) {
        SelectIndex(f, index);
        if (reposition) GotoRecord(f, uint32_t(f.my_recnum));
        return 0;
    });
}

int ISGOTOREC(int handle, int32_t recnum) {
    return Run(handle, kOpNeutral, kShared, [&](IsamFile& f) {
        if (f.mode & LOCKMODE_AUTO) ReleaseRecordLocks(f);
        GotoRecord(f, uint32_t(recnum));
        return 0;
    });
}

int ISSELECTGOTO(int handle, int index, int32_t recnum) {
    return Run(handle, kOpRead, kShared, [&](IsamFile& f) {
        SelectIndex(f, index);
        if (recnum != 0) GotoRecord(f, uint32_t(recnum));
        return 0;
    });
}

int ISPOSITION(int handle, int* index, int32_t* recnum) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        if (index) *index = f.cur_index + 1;
        if (recnum) *recnum = f.my_recnum;
        return 0;
    });
}

int ISREADREC(int handle, void* record, int32_t recnum) {
    return Run(handle, kOpRead, kShared, [&](IsamFile& f) {
        if (!record || f.IndexOnly()) Raise(kBadArgument);
        if (recnum < 1 || uint32_t(recnum) > f.hdr.highest_rec) Raise(kBadArgument);
        ReadSlot(f, uint32_t(recnum), kNoRecord);
        std::memcpy(record, f.rec.data(), size_t(f.reclen));
        if (f.Masked()) f.mask = SlotMask(f);
        f.my_recnum = recnum;
        return 0;
    });
}

int ISSETFILTER(int handle, RecordFilter filter) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        f.filter = filter;
        return 0;
    });
}

int ISGETMASK(int handle, uint32_t* mask) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        if (mask) *mask = f.mask;
        return 0;
    });
}

int ISSETMASK(int handle, uint32_t mask) {
    return Run(handle, kOpNeutral, kNoLock, [&](IsamFile& f) {
        f.mask = mask;
        return 0;
    });
}

int ISFLUSH(int handle) {
    IsamFile* f = Lookup(handle);
    if (!f || !f->unwritten) return handle < 0 ? -1 : 0;
    // The call itself does nothing: the protocol writes back what deferred calls left.
    return Run(handle, kOpNeutral, kExclusive, [](IsamFile&) { return 0; });
}

int DeferWrites(int handle, size_t max_bytes) {
    return Run(handle, kOpNeutral, kExclusive, [&](IsamFile& f) {
        // Other processes read the files of a shared handle at any time: they must be current.
        if (max_bytes > 0 && !f.Exclusive()) Raise(kNotExclusive);
        if (max_bytes > 0 && !f.IndexOnly()) {
            // Room for the slots that wait, taken once rather than grown (and copied) call by call.
            const size_t room = std::min(max_bytes, size_t(16) << 20);
            f.pending_bytes.reserve(room + size_t(f.slotlen));
            f.pending_nums.reserve(room / size_t(f.slotlen) + 1);
        }
        f.defer_bytes = max_bytes;
        return 0;
    });
}

int ISSETFATALHOOK(FatalHook hook) {
    g_fatal_hook = hook;
    return 0;
}

int ISAVAILABLE() {
    return 1;
}

int RecordLength(int handle) {
    IsamFile* f = Lookup(handle);
    if (!f) return -1;
    return f->IndexOnly() ? KeyRecordSize(f->ix[0].desc) : f->reclen;
}

int IndexCount(int handle) {
    IsamFile* f = Lookup(handle);
    return f ? int(f->ix.size()) : -1;
}

bool IndexKey(int handle, int n, KeyDesc* key) {
    IsamFile* f = Lookup(handle);
    if (!f || n < 1 || n > int(f->ix.size()) || !key) return false;
    *key = f->ix[size_t(n - 1)].desc;
    return true;
}

}  // namespace isam
