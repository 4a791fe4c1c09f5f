// The protocol of an operation on an open handle: kind check, index-level lock, resync, work,
// write-back, unlock, status values; failures unwind to the error exit.
#pragma once

#include <memory>
#include <new>
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

enum LockNeed { kNoLock = 0, kShared = 1, kExclusive = 2 };

// Runs one operation on an open handle under the protocol; work answers the return value.
template <class Work>
int Run(int handle, int kind, int lock, Work&& work) {
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
        int result = work(*f);
        // A faulted mapped read must not be written back nor reported as success.
        FailOnDamage(*f);
        if (kind == kOpWrite) Commit(*f);
        FailOnDamage(*f);
        ReleaseIndexLock(*f);
        f->kind = kOpNone;
        for (auto& ix : f->ix) TrimCache(ix);
        Publish(*f);
        return result;
    } catch (const Fail& e) {
        ErrorExit(*f, e);
    } catch (const std::bad_alloc&) {
        ErrorExit(*f, Fail{116, 0});
    }
    return -1;
}

}  // namespace isam::detail
