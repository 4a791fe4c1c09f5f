// Whole-file operations: build, open, close, erase, rename, adding and dropping indexes, clone,
// copy; registration of handles on shared operating-system files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "isam/IsamFile.h"
#include "isam/Key.h"
#include "isam/Protocol.h"
#include "platform/FileOwner.h"

namespace isam::detail {

void FixShapes(IsamFile& f) {
    for (auto& ix : f.ix) ix.shape.desc = &ix.desc;
}

static void Unregister(IsamFile& f) {
    std::shared_ptr<Physical> p = std::move(f.phys);
    if (!p) return;
    auto& hs = p->handles;
    hs.erase(std::remove(hs.begin(), hs.end(), &f), hs.end());
    if (--p->users > 0) return;
    Unmap(p->idx_map);
    Unmap(p->dat_map);
    try {
        ReleaseFileLock(*p);
    } catch (...) {
    }
    for (int* fd : {&p->idx_fd, &p->dat_fd, &p->lck_fd}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

static void ReadRawHeader(IsamFile& f) {
    f.header.assign(size_t(kNodeSize), 0);
    ReadAt(f.idx_fd(), f.header.data(), 64, 0, kIndexFile);
    int ns = HeaderNodeSize(f.header.data());
    if (ns == 0) Raise(kCorrupt);
    f.ns = ns;
    f.header.resize(size_t(ns));
    ReadAt(f.idx_fd(), f.header.data(), size_t(ns), 0, kIndexFile);
}

// Opens the files of f.name, or shares them with another handle of this process that has them.
static void Register(IsamFile& f) {
    SettleCluster(f.name, f.NoLocks());
    std::string idx = FilePath(f.name, ".idx");
    struct stat st;
    if (::stat(idx.c_str(), &st) != 0) RaiseSystem(kIndexFile + kStepOpen);
    for (int h : OpenHandles()) {
        IsamFile* other = Lookup(h);
        if (!other->phys || other->phys->dev != st.st_dev || other->phys->ino != st.st_ino)
            continue;
        if (other->phys->exclusive_handle || f.Exclusive()) Raise(kFileLocked);
        f.phys = other->phys;
        f.phys->users++;
        f.phys->handles.push_back(&f);
        ReadRawHeader(f);
        return;
    }
    auto p = std::make_shared<Physical>();
    p->users = 1;
    p->handles.push_back(&f);
    f.phys = p;
    const int access = (f.NoLocks() ? O_RDONLY : O_RDWR) | O_CLOEXEC;
    p->idx_fd = ::open(idx.c_str(), access);
    if (p->idx_fd < 0) {
        // A read-only file system refuses writing access as a permission: callers retry with
        // LOCKMODE_NONE on EACCES, as they would on read-only media elsewhere.
        if (errno == EROFS) errno = EACCES;
        RaiseSystem(kIndexFile + kStepOpen);
    }
    if (::fstat(p->idx_fd, &st) != 0) RaiseSystem(kIndexFile + kStepOpen);
    p->dev = st.st_dev;
    p->ino = st.st_ino;
    // Read-only media are opened without locks: there a read error must stay an error code, which
    // a mapped read would turn into a signal, so those files are read with pread only.
    p->idx_map.failed = p->dat_map.failed = f.NoLocks();
    ReadRawHeader(f);
    if (Be16(f.header.data() + 13) != 0) {
        p->dat_fd = ::open(FilePath(f.name, ".dat").c_str(), access);
        if (p->dat_fd < 0) RaiseSystem(kDataFile + kStepOpen);
    }
    if (!f.NoLocks()) {
        p->lck_fd = OpenLockFile(f.name);
        if (p->lck_fd < 0) {
            if (errno == EROFS) errno = EACCES;
            RaiseSystem(kLockFile + kStepCreate);
        }
        if (!TakeFileLock(*p, f, f.Exclusive(), false)) Raise(kFileLocked);
    }
    p->exclusive_handle = f.Exclusive();
}

struct DictEntryPos {
    uint32_t node;
    int offset;
    int size;
    KeyDesc key;
};

static std::vector<DictEntryPos> ReadDictionary(IsamFile& f) {
    std::vector<DictEntryPos> out;
    std::vector<uint8_t> raw(size_t(f.ns));
    uint32_t node = f.hdr.dict_node;
    for (int guard = 0; int(out.size()) < f.hdr.nindexes; ++guard) {
        if (node < 2 || node > f.hdr.highest_node || guard > 64) Raise(kCorrupt);
        ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(node), kIndexFile);
        int used = int(Be16(raw.data()));
        if (used < 6 || used > f.ns - 4) Raise(kCorrupt);
        for (int off = 6; off < used && int(out.size()) < f.hdr.nindexes;) {
            DictEntryPos e{node, off, 0, {}};
            if (!DecodeDictEntry(raw.data() + off, used - off, e.key, &e.size)) Raise(kCorrupt);
            out.push_back(e);
            off += e.size;
        }
        node = Be32(raw.data() + 2);
    }
    return out;
}

void LoadDictionary(IsamFile& f) {
    DecodeHeader(f.header.data(), f.hdr);
    if (f.hdr.serial_width != kSerialWidth) Raise(kCorrupt);
    if (f.hdr.nindexes < 1 || f.hdr.nindexes > kMaxIndexes + 1) Raise(kCorrupt);
    f.reclen = f.hdr.reclen;
    f.maxlen = f.hdr.maxlen;
    f.mode &= ~(OPEN_MASKED | 0x20);
    if (f.hdr.file_flags & kFlagMasked) f.mode |= OPEN_MASKED;
    if (f.hdr.file_flags & kFlagVarlen) f.mode |= OPEN_VARLEN | 0x20;
    if (f.hdr.file_flags & kFlagAppend) f.state |= kStAppend;
    std::vector<DictEntryPos> entries = ReadDictionary(f);
    f.ix.clear();
    f.ix.reserve(kMaxIndexes + 1);
    for (size_t i = 0; i < entries.size(); ++i) {
        KeyDesc k = entries[i].key;
        if (k.nparts == 0) {
            if (i != 0) Raise(kBadKey);
            f.state |= kStNoPrimary;
            continue;
        }
        if (!ValidateKey(k, f.reclen)) Raise(kBadKey);
        if (k.root < 2 || k.root > f.hdr.highest_node) Raise(kCorrupt);
        f.ix.emplace_back();
        IndexState& ix = f.ix.back();
        ix.desc = k;
        MakeShape(ix.desc, ix.shape);
        ix.cmp_len = ix.shape.keylen;
        if (2 + 3 * ix.shape.max_entry > f.ns - 4) Raise(kBadKey);
    }
    if (f.ix.size() > size_t(kMaxIndexes)) Raise(kCorrupt);
    if (f.reclen == 0 && f.ix.size() != 1) Raise(kCorrupt);
    FixShapes(f);
}

static int OpenFiles(const char* name, int mode, bool build_done) {
    if (!name || !*name) return FailGlobal(kBadArgument);
    auto owned = std::make_unique<IsamFile>();
    IsamFile& f = *owned;
    const bool varlen_if_file = mode & OPEN_VARLEN_IF_FILE;
    mode &= ~OPEN_VARLEN_IF_FILE;
    if (!(mode & 0xF00)) mode |= LOCKMODE_MANUAL;
    f.name = name;
    f.mode = mode;
    f.data_free.is_data = true;
    f.my_recnum = last_recnum;
    f.my_reclen = last_reclen;
    f.kind = kOpOpen;
    try {
        Register(f);
        TakeIndexLock(f, false);
        ReadRawHeader(f);
        LoadDictionary(f);
        if (varlen_if_file && f.maxlen > 0) f.mode |= OPEN_VARLEN;
        if (!build_done && ((f.mode & OPEN_VARLEN) || f.maxlen > 0)) Raise(kBadArgument);
        f.slotlen = f.reclen + 1 + ((f.mode & OPEN_VARLEN) ? 6 : 0) + (f.Masked() ? 4 : 0);
        if (f.IndexOnly()) {
            if (f.mode & LOCKMODE_AUTO) Raise(kBadArgument);
            f.rec.assign(size_t(KeyRecordSize(f.ix[0].desc)), 0);
        } else {
            f.rec.assign(size_t(f.slotlen), 0);
        }
        if (f.state & kStNoPrimary) {
            f.cur_index = -1;
            f.recpos = 1;
            f.my_recnum = 1;
        } else {
            f.cur_index = 0;
            // A damaged tree must not stop the open (repair needs a handle): no position then.
            try {
                if (GoFirst(f, f.ix[0])) SetCurrentFromPath(f.ix[0]);
            } catch (const Fail&) {
                f.ix[0].cur_rec = 0;
            }
        }
        FailOnDamage(f);
        ReleaseIndexLock(f);
        TrimCaches(f);
    } catch (...) {
        const Fail e = CaughtFailure();
        try {
            if (f.phys) ReleaseIndexLock(f);
        } catch (...) {
        }
        bool damaged = false;
        if (f.phys) {
            damaged = TakeDamage(f.phys->idx_map);
            damaged = TakeDamage(f.phys->dat_map) || damaged;
        }
        Unregister(f);
        if (damaged) return FailGlobal(kCorrupt);
        return FailGlobal(e.code, e.io);
    }
    f.kind = kOpNone;
    f.state |= kStNextCurrent;
    int handle;
    try {
        handle = AddToTable(std::move(owned));
    } catch (...) {
        // No room in the table: the handle was never given out, so its files are let go.
        CloseHandle(f);
        return FailGlobal(kNoMemory);
    }
    Publish(*Lookup(handle));
    return handle;
}

int OpenHandle(const char* name, int mode, bool build_done) {
    return Guarded([&] { return OpenFiles(name, mode, build_done); });
}

void CloseHandle(IsamFile& f) {
    try {
        if (f.phys && !f.IndexOnly()) ReleaseRecordLocks(f);
        if (f.phys) ReleaseIndexLock(f);
    } catch (...) {
    }
    Unregister(f);
}

static int Build(const char* name, int reclen, int maxlen, const KeyDesc& key, int mode) {
    if (!name || !*name) return FailGlobal(kBadArgument);
    if (!(mode & 0xF00)) mode |= LOCKMODE_MANUAL;
    int slot = reclen + 1;
    if (mode & OPEN_VARLEN) {
        if (maxlen >= 0x7F00 || reclen >= maxlen) return FailGlobal(kBadArgument);
        slot += 6;
        mode |= 0x20;
    } else {
        maxlen = 0;
    }
    if (mode & OPEN_MASKED) slot += 4;
    if (reclen < 0 || reclen > 0x7EFF) return FailGlobal(kBadArgument);
    if (reclen == 0 && (slot >= 2 || (mode & LOCKMODE_AUTO))) return FailGlobal(kBadArgument);
    KeyDesc k = key;
    if (!ValidateKey(k, reclen) || (reclen == 0 && k.nparts == 0)) return FailGlobal(kBadKey);

    const int ns = kNodeSize;
    std::vector<uint8_t> nodes(size_t(3) * ns, 0);
    HeaderFields h;
    h.node_size = ns;
    h.nindexes = 1;
    h.reclen = reclen;
    h.dict_node = 2;
    h.highest_node = k.nparts ? 3 : 2;
    h.unique_id = 1;
    h.maxlen = maxlen;
    h.file_flags =
        ((mode & OPEN_MASKED) ? kFlagMasked : 0) | ((mode & OPEN_VARLEN) ? kFlagVarlen : 0);
    InitHeader(nodes.data(), h);
    InitDictNode(nodes.data() + ns, ns);
    k.root = k.nparts ? 3 : 0;
    EncodeDictEntry(k, nodes.data() + ns + 6);
    PutBe16(nodes.data() + ns, unsigned(6 + DictEntrySize(k)));
    PutBe16(nodes.data() + 2 * ns, 2);
    const size_t total = size_t(h.highest_node) * ns;

    std::string idx = FilePath(name, ".idx");
    // No access for other accounts: the files hold learners' records.
    const std::string folder = platform::FolderOf(idx);
    int fd = CreateBeside(idx, O_RDWR | O_EXCL, folder);
    if (fd < 0) return FailGlobal(errno, kIndexFile + kStepCreate);
    try {
        WriteAt(fd, nodes.data(), total, 0, kIndexFile);
    } catch (const Fail& e) {
        ::close(fd);
        return FailGlobal(e.code, e.io);
    }
    ::close(fd);
    if (reclen > 0) {
        int dfd = CreateBeside(FilePath(name, ".dat"), O_RDWR | O_EXCL, folder);
        if (dfd < 0) return FailGlobal(errno, kDataFile + kStepCreate);
        ::close(dfd);
    }
    return OpenHandle(name, mode, true);
}

// Makes the file-level lock exclusive for an index change; false when the handle already was.
static bool MakeExclusive(IsamFile& f) {
    if (f.Exclusive() || f.NoLocks()) return false;
    if (f.phys->users > 1) Raise(kFileLocked);
    if (!TakeFileLock(*f.phys, f, true, false)) {
        TakeFileLock(*f.phys, f, false, true);
        Raise(kFileLocked);
    }
    return true;
}

static void RestoreShared(IsamFile& f, bool switched) {
    if (switched) TakeFileLock(*f.phys, f, false, true);
}

static void AppendDictEntry(IsamFile& f, const KeyDesc& k) {
    std::vector<DictEntryPos> entries = ReadDictionary(f);
    const DictEntryPos& last = entries.back();
    std::vector<uint8_t> raw(size_t(f.ns));
    ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(last.node), kIndexFile);
    const int end = last.offset + last.size;
    const int size = DictEntrySize(k);
    if (f.ns - 4 >= end + size) {
        EncodeDictEntry(k, raw.data() + end);
        std::memset(raw.data() + end + size, 0, size_t(f.ns - 4 - end - size));
        PutBe16(raw.data(), unsigned(end + size));
    } else {
        uint32_t d = TakeNumber(f, f.node_free);
        std::vector<uint8_t> fresh(size_t(f.ns));
        InitDictNode(fresh.data(), f.ns);
        EncodeDictEntry(k, fresh.data() + 6);
        PutBe16(fresh.data(), unsigned(6 + size));
        WriteAt(f.idx_fd(), fresh.data(), size_t(f.ns), f.NodeOffset(d), kIndexFile);
        PutBe16(raw.data(), unsigned(end));
        PutBe32(raw.data() + 2, d);
    }
    WriteAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(last.node), kIndexFile);
}

// Dropping entry `which` in two writes, each leaving a dictionary the header can be read with:
// first the entry moves behind the others (count unchanged, so every index is still listed),
// and once the header counts one index fewer, the trailing entry is cut off. Answers false when
// the entries after it lie in other nodes (only in files with small nodes from elsewhere): the
// entry is then removed in place and the header must follow at once.
static bool MoveDictEntryLast(IsamFile& f, size_t which) {
    std::vector<DictEntryPos> entries = ReadDictionary(f);
    const DictEntryPos& e = entries.at(which);
    const DictEntryPos& last = entries.back();
    std::vector<uint8_t> raw(size_t(f.ns));
    ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(e.node), kIndexFile);
    const bool moved = e.node == last.node;
    if (moved) {
        const int end = last.offset + last.size;
        std::rotate(raw.begin() + e.offset, raw.begin() + e.offset + e.size, raw.begin() + end);
    } else {
        int used = int(Be16(raw.data()));
        std::memmove(raw.data() + e.offset, raw.data() + e.offset + e.size,
                     size_t(used - e.offset - e.size));
        std::memset(raw.data() + used - e.size, 0, size_t(e.size));
        PutBe16(raw.data(), unsigned(used - e.size));
    }
    WriteAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(e.node), kIndexFile);
    return moved;
}

// Where the dictionary ends once the header counts one index fewer: the end of the entry before
// the last (which the move put last), found before the header changes so that cutting there
// needs nothing more that could fail.
struct DictCut {
    uint32_t node = 0;
    int end = 0;
};

static DictCut FindCutBeforeLast(IsamFile& f) {
    std::vector<DictEntryPos> entries = ReadDictionary(f);
    if (entries.size() < 2) Raise(kCorrupt);
    const DictEntryPos& keep = entries[entries.size() - 2];
    return {keep.node, keep.offset + keep.size};
}

static void CutDictAfterCount(IsamFile& f, const DictCut& cut, std::vector<uint8_t>& raw) {
    ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(cut.node), kIndexFile);
    std::memset(raw.data() + cut.end, 0, size_t(f.ns - 4 - cut.end));
    PutBe16(raw.data(), unsigned(cut.end));
    WriteAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(cut.node), kIndexFile);
}

// Inserts every live record into index i, reading the data file in large chunks.
void FillIndex(IsamFile& f, size_t i) {
    const size_t per_chunk = std::max<size_t>(1, (256 * 1024) / size_t(f.slotlen));
    std::vector<uint8_t> chunk(per_chunk * size_t(f.slotlen));
    uint8_t key[kMaxKeyLength];
    for (uint32_t first = 1; first <= f.hdr.highest_rec; first += uint32_t(per_chunk)) {
        size_t want = std::min<size_t>(per_chunk, f.hdr.highest_rec - first + 1);
        size_t got = ReadSome(f.dat_fd(), chunk.data(), want * size_t(f.slotlen),
                              f.SlotOffset(first), kDataFile);
        if (got == 0) break;
        for (size_t j = 0; j < want && (j + 1) * size_t(f.slotlen) <= got; ++j) {
            const uint8_t* slot = chunk.data() + j * size_t(f.slotlen);
            if (slot[f.reclen] != kLive) continue;
            uint32_t mask = f.Masked() ? Be32(slot + f.slotlen - 4) : 0;
            if (InIndex(f, i, slot, mask, key)) InsertKey(f, f.ix[i], key, first + uint32_t(j));
        }
    }
}

}  // namespace isam::detail

namespace isam {

using namespace detail;

int ISBUILD(const char* name, int reclen, const KeyDesc& key, int mode) {
    return Guarded([&] { return Build(name, reclen, 0, key, mode & ~OPEN_VARLEN); });
}

int ISBUILD(const char* name, int minlen, int maxlen, const KeyDesc& key, int mode) {
    return Guarded([&] { return Build(name, minlen, maxlen, key, mode | OPEN_VARLEN); });
}

int ISOPEN(const char* name, int mode) {
    return OpenHandle(name, mode, false);
}

int ISCLOSE(int handle) {
    IsamFile* f = Lookup(handle);
    if (!f) return FailGlobal(kNotOpen);
    // Deferred changes are written back first. The handle closes either way; when they could not
    // be written, the close says so.
    const int rc = f->unwritten ? ISFLUSH(handle) : 0;
    const int err = last_error, io = last_io_error;
    CloseHandle(*f);
    TakeFromTable(handle);
    if (rc < 0) return FailGlobal(err, io);
    last_error = 0;
    last_io_error = 0;
    return 0;
}

int ISCLOSEALL() {
    return Guarded([] {
        std::vector<int> handles = OpenHandles();
        int err = 0, io = 0;
        for (size_t i = handles.size(); i-- > 0;) {
            if (ISCLOSE(handles[i]) < 0 && err == 0) {
                err = last_error;
                io = last_io_error;
            }
        }
        ClearTable();
        return err != 0 ? FailGlobal(err, io) : 0;
    });
}

// Runs fn on the files of name while holding them exclusively (113 when open anywhere).
template <class Fn>
static int WithExclusiveFiles(const char* name, Fn&& fn) {
    if (!name || !*name) return FailGlobal(kBadArgument);
    IsamFile f;
    f.mode = LOCKMODE_EXCL;
    try {
        f.name = name;
        Register(f);
        int reclen = int(Be16(f.header.data() + 13));
        for (int* fd : {&f.phys->idx_fd, &f.phys->dat_fd}) {
            if (*fd >= 0) ::close(*fd);
            *fd = -1;
        }
        fn(reclen);
    } catch (...) {
        const Fail e = CaughtFailure();
        Unregister(f);
        return FailGlobal(e.code, e.io);
    }
    Unregister(f);
    last_error = 0;
    last_io_error = 0;
    return 0;
}

int ISERASE(const char* name) {
    return WithExclusiveFiles(name, [&](int reclen) {
        if (::unlink(FilePath(name, ".idx").c_str()) != 0) RaiseSystem(kIndexFile + kStepRemove);
        if (reclen > 0 && ::unlink(FilePath(name, ".dat").c_str()) != 0)
            RaiseSystem(kDataFile + kStepRemove);
    });
}

int ISRENAME(const char* old_name, const char* new_name) {
    if (!new_name || !*new_name) return FailGlobal(kBadArgument);
    return WithExclusiveFiles(old_name, [&](int reclen) {
        // Never replace the files of another name: renaming over them would lose them.
        struct stat st;
        if (::stat(FilePath(new_name, ".idx").c_str(), &st) == 0) {
            errno = EEXIST;
            RaiseSystem(kIndexFile + kStepRemove);
        }
        if (reclen > 0 && ::stat(FilePath(new_name, ".dat").c_str(), &st) == 0) {
            errno = EEXIST;
            RaiseSystem(kDataFile + kStepRemove);
        }
        if (::rename(FilePath(old_name, ".idx").c_str(), FilePath(new_name, ".idx").c_str()) != 0)
            RaiseSystem(kIndexFile + kStepRemove);
        if (reclen > 0 &&
            ::rename(FilePath(old_name, ".dat").c_str(), FilePath(new_name, ".dat").c_str()) != 0)
            RaiseSystem(kDataFile + kStepRemove);
    });
}

int ISADDINDEX(int handle, const KeyDesc& key) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        KeyDesc k = key;
        if (k.nparts == 0) Raise(kPrimaryKey);
        if (f.IndexOnly()) Raise(kBadArgument);
        if (f.ix.size() >= size_t(kMaxIndexes)) Raise(kBadKey);
        if (!f.Masked())
            for (auto& ix : f.ix)
                if (SameIndex(ix.desc, k)) Raise(kKeyExists);
        if (!ValidateKey(k, f.reclen)) Raise(kBadKey);
        bool switched = MakeExclusive(f);
        try {
            f.ix.emplace_back();
            FixShapes(f);
            IndexState& ix = f.ix.back();
            ix.desc = k;
            MakeShape(ix.desc, ix.shape);
            ix.cmp_len = ix.shape.keylen;
            ix.desc.root = NewNode(f, ix, 0)->num;
            FillIndex(f, f.ix.size() - 1);
            AppendDictEntry(f, ix.desc);
        } catch (...) {
            f.ix.pop_back();
            FixShapes(f);
            RestoreShared(f, switched);
            throw;
        }
        RestoreShared(f, switched);
        return 0;
    });
}

int ISDELINDEX(int handle, const KeyDesc& key) {
    return Run(handle, kOpWrite, kExclusive, [&](IsamFile& f) {
        const bool no_primary = f.state & kStNoPrimary;
        if (no_primary && f.ix.empty()) Raise(kPrimaryKey);
        if (key.nparts == 0) Raise(kBadKey);
        int which = -1;
        for (size_t i = 0; i < f.ix.size(); ++i)
            if (SameIndex(f.ix[i].desc, key)) which = int(i);
        // An index that does not exist is named as such, before the last index is protected.
        if (which < 0) Raise(kBadKey);
        if (!no_primary && f.ix.size() <= 1) Raise(kPrimaryKey);
        bool switched = MakeExclusive(f);
        bool erased = false;
        try {
            // The tree's nodes are given back at commit, after the index has left the header
            // and the dictionary: a cut before then leaves them on no list, which repair mends.
            FreeTree(f, f.ix[size_t(which)]);
            const bool moved = MoveDictEntryLast(f, size_t(which) + (no_primary ? 1 : 0));
            // Once the header is written the index is gone: what follows must not fail for
            // want of memory, so it is taken now.
            DictCut cut;
            if (moved) cut = FindCutBeforeLast(f);
            std::vector<uint8_t> raw(size_t(f.ns));
            ReserveWriteBack(f);
            f.ix.erase(f.ix.begin() + which);
            erased = true;
            FixShapes(f);
            f.hdr.change_counter++;
            WriteHeader(f);
            if (moved) CutDictAfterCount(f, cut, raw);
        } catch (...) {
            if (erased) {
                // Memory must again equal the files: take the indexes from them.
                try {
                    ReadHeader(f);
                    LoadDictionary(f);
                } catch (const Fail&) {
                }
                if (f.cur_index >= int(f.ix.size())) f.cur_index = f.ix.empty() ? -1 : 0;
            }
            RestoreShared(f, switched);
            throw;
        }
        // The current index is kept by identity; when it was the one dropped, the first is used.
        if (f.cur_index == which)
            f.cur_index = f.ix.empty() ? -1 : 0;
        else if (f.cur_index > which)
            f.cur_index--;
        RestoreShared(f, switched);
        return 0;
    });
}

static int Clone(int handle, const char* new_name) {
    IsamFile* f = Lookup(handle);
    if (!f) return FailGlobal(kNotOpen);
    KeyDesc first;
    size_t next = 0;
    if (!(f->state & kStNoPrimary)) first = f->ix[next++].desc;
    std::vector<KeyDesc> rest;
    for (size_t i = next; i < f->ix.size(); ++i) rest.push_back(f->ix[i].desc);
    int mode = f->mode & ~0x20;
    int h = f->maxlen > 0 ? ISBUILD(new_name, f->reclen, f->maxlen, first, mode)
                          : ISBUILD(new_name, f->reclen, first, mode);
    if (h < 0) return -1;
    for (const KeyDesc& k : rest) {
        if (ISADDINDEX(h, k) < 0) {
            int err = last_error, io = last_io_error;
            ISCLOSE(h);
            ISERASE(new_name);
            return FailGlobal(err, io);
        }
    }
    return h;
}

int ISCLONE(int handle, const char* new_name) {
    return Guarded([&] { return Clone(handle, new_name); });
}

int ISCOPY(int dest, int source, const KeyDesc* key) {
    IsamFile* d = Lookup(dest);
    IsamFile* s = Lookup(source);
    if (!d || !s) return FailGlobal(kNotOpen);
    if (d->phys == s->phys || !KindAllowed(*s, kOpRead) || !KindAllowed(*d, kOpWrite))
        return FailGlobal(kBadArgument);
    s->my_recnum = d->my_recnum = last_recnum;
    s->my_error = d->my_error = s->my_io_error = d->my_io_error = 0;
    s->kind = kOpRead;
    d->kind = kOpWrite;
    try {
        TakeIndexLock(*s, false);
        Resync(*s);
        WriteBack(*s);
        TakeIndexLock(*d, true);
        Resync(*d);
        WriteBack(*d);
        if (key) {
            if (key->nparts == 0) {
                s->cur_index = -1;
            } else {
                int found = -1;
                for (size_t i = 0; i < s->ix.size(); ++i)
                    if (SameIndex(s->ix[i].desc, *key)) found = int(i);
                if (found < 0) Raise(kBadKey);
                s->cur_index = found;
            }
        }
        std::vector<uint8_t> buf(size_t(std::max(RecordLength(source), 1)), 0);
        for (bool ok = Position(*s, FIRST, nullptr); ok; ok = Position(*s, NEXT, nullptr)) {
            LoadCurrentRecord(*s, buf.data());
            if (s->Masked()) d->mask = s->mask;
            d->my_recnum = s->my_recnum;
            WriteRecord(*d, buf.data());
            if (s->cur_index >= 0 && s->ix[size_t(s->cur_index)].cache.size() > 64)
                TrimCache(s->ix[size_t(s->cur_index)]);
        }
        Commit(*d);
        ReleaseIndexLock(*d);
        ReleaseIndexLock(*s);
    } catch (...) {
        const Fail e = CaughtFailure();
        ErrorExit(*d, e);
        ErrorExit(*s, e);
        return -1;
    }
    d->kind = s->kind = kOpNone;
    TrimCaches(*d);
    TrimCaches(*s);
    Publish(*d);
    return 0;
}

}  // namespace isam
