// The protocol of an operation on an open handle: kind check, index-level lock, resync, work,
// write-back, unlock, status values; failures unwind to the error exit.
#pragma once

#include <memory>
#include <vector>

#include "isam/IsamFile.h"

namespace isam::detail {

int AddToTable(std::unique_ptr<IsamFile> f);
std::unique_ptr<IsamFile> TakeFromTable(int handle);
std::vector<int> OpenHandles();
void ClearTable();
void Publish(IsamFile& f);
int FailGlobal(int code, int io = 0);
void ErrorExit(IsamFile& f, const Fail& e);
bool KindAllowed(const IsamFile& f, int kind);

// Raises kCorrupt when a read through one of the handle's mappings has faulted.
inline void FailOnDamage(IsamFile& f) {
    if (f.phys && (MapDamaged(f.phys->idx_map) || MapDamaged(f.phys->dat_map))) Raise(kCorrupt);
}

// Drops cached nodes beyond the cache's size. Only an economy: when it cannot be done now (no
// memory for its list), the operation has still succeeded.
inline void TrimCaches(IsamFile& f) noexcept {
    try {
        for (auto& ix : f.ix) TrimCache(ix);
    } catch (...) {
    }
}

enum LockNeed { kNoLock = 0, kShared = 1, kExclusive = 2 };

// True when a deferred call has left enough waiting that it should be written back now.
inline bool DeferredFull(const IsamFile& f) {
    return f.pending_bytes.size() + f.dirty_nodes * size_t(f.ns) >= f.defer_bytes;
}

// Runs one operation on an open handle under the protocol; work answers the return value. A
// deferrable write leaves its changes in memory on a handle that defers writes; any other call
// that touches the files writes back what such calls left before it starts.
template <class Work>
int Run(int handle, int kind, int lock, Work&& work, bool deferrable = false) {
    IsamFile* f = Lookup(handle);
    if (!f) return FailGlobal(kNotOpen);
    f->my_recnum = last_recnum;
    f->my_reclen = last_reclen;
    if (!KindAllowed(*f, kind)) {
        f->my_error = kBadArgument;
        f->my_io_error = 0;
        Publish(*f);
        return -1;
    }
    f->my_error = 0;
    f->my_io_error = 0;
    f->kind = kind;
    try {
        if (lock != kNoLock) {
            TakeIndexLock(*f, lock == kExclusive);
            Resync(*f);
        }
        const bool defer = deferrable && f->defer_bytes > 0;
        if (defer)
            BeginDeferredCall(*f);
        else if (lock != kNoLock)
            WriteBack(*f);
        int result = work(*f);
        // A faulted mapped read must not be written back nor reported as success.
        FailOnDamage(*f);
        if (defer) {
            EndDeferredCall(*f);
            if (DeferredFull(*f)) WriteBack(*f);
        } else if (kind == kOpWrite) {
            Commit(*f);
        }
        FailOnDamage(*f);
        ReleaseIndexLock(*f);
        f->kind = kOpNone;
        TrimCaches(*f);
        Publish(*f);
        return result;
    } catch (...) {
        ErrorExit(*f, CaughtFailure());
    }
    return -1;
}

// Runs the body of an entry point that has no handle yet (or several): no exception leaves it,
// any failure becomes -1 with its error number.
template <class Body>
int Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        const Fail e = CaughtFailure();
        return FailGlobal(e.code, e.io);
    }
}

}  // namespace isam::detail
