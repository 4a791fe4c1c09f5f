// Internal state of the engine: the file control block of a handle, its indexes with their node
// caches, free lists and locks, and the functions the units share.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "isam/Format.h"
#include "isam/Isam.h"

namespace isam::detail {

// An error raised inside an operation; caught at the entry point.
struct Fail {
    int code;
    int io;
};
[[noreturn]] void Raise(int code, int io = 0);
// Raises the current errno (0 when none) with file kind + step as the I/O code.
[[noreturn]] void RaiseSystem(int io);
// A failed consistency check: the fatal hook hears of it and the operation fails with 105.
[[noreturn]] void Fatal(const char* unit, int check);
// Inside a catch block: the failure the exception being handled stands for. The engine's own
// comes as raised, a failed allocation as 116; anything else from the standard library can only
// come from bytes the engine trusted, so it is damage (105).
Fail CaughtFailure() noexcept;

// last_io_error = file kind + step.
constexpr int kIndexFile = 1, kDataFile = 2, kLockFile = 7;
constexpr int kStepRemove = 0, kStepOpen = 16, kStepCreate = 32, kStepSeek = 48, kStepRead = 64,
              kStepWrite = 80, kStepLock = 96;

// ---- System I/O (SysIo.cpp)
// Base name after link-file redirection, plus the extension.
std::string FilePath(const std::string& name, const char* ext);
void ReadAt(int fd, void* buf, size_t n, off_t off, int kind);  // short read: 105
// Creates path (open flags added to O_CREAT, mode 0660 before the umask); run as root, the new
// file is given to the owner of `like` (a neighbouring file or the folder). -1 with errno when
// either fails; a file made here is then removed.
int CreateBeside(const std::string& path, int flags, const std::string& like);
// Opens the lock file of name, creating it when missing, and (run as root) gives it to the owner
// of the index file beside it. -1 with errno on failure.
int OpenLockFile(const std::string& name);
void WriteAt(int fd, const void* buf, size_t n, off_t off, int kind);
// Faults the tests make happen at a chosen write. Process-wide; set all at once with
// SetTestHooks (a default-constructed set turns them off).
struct TestHooks {
    // When >= 0, the number of writes (and renames or removals of whole files) allowed before the
    // process kills itself. CrashPoint counts one.
    int crash_after_writes = -1;
    // When >= 0, the number of writes after which the file system is full, so that a write or
    // reservation needing new space fails with ENOSPC.
    int full_after_writes = -1;
};
void SetTestHooks(const TestHooks& hooks);
void CrashPoint();
// Reads up to n bytes; answers the count (short at end of file).
size_t ReadSome(int fd, void* buf, size_t n, off_t off, int kind);
// Byte-range lock on the lock file: true when taken; a conflict answers false without waiting.
bool LockRange(int fd, off_t off, off_t len, bool wait);
// True when a lock on the range could be taken now (one test, nothing taken).
bool RangeFree(int fd, off_t off, off_t len);
void UnlockRange(int fd, off_t off, off_t len);

// A read-only shared mapping of a file. Only bytes below `valid` (the file's size when last
// looked at) are read through it. A file cut short behind the engine's back (or a page the disk
// cannot read) raises SIGBUS: a handler swaps in a zero page and marks the mapping damaged, and
// the operation that read it fails with kCorrupt instead of trusting the zeros.
struct FileMap {
    uint8_t* base = nullptr;
    size_t cap = 0;    // bytes of address space mapped (may run past the end of the file)
    size_t valid = 0;  // bytes known to be inside the file
    bool failed = false;
    int slot = -1;       // entry in the signal handler's table of mappings while mapped
    bool hit = false;    // damage seen and the mapping dropped; cleared by TakeDamage
    off_t reserved = 0;  // bytes known to have their blocks allocated (see Reserve)
};
// The n bytes at off through the mapping, or null when they are not (yet) inside the file or the
// file cannot be mapped: the caller then reads them with pread. Raises kCorrupt when a read
// through the mapping has faulted since the damage was last taken.
const uint8_t* MapAt(FileMap& m, int fd, off_t off, size_t n);
void Unmap(FileMap& m);
// Memory for large buffers that are filled at once (the slots deferred writes keep): mapped on
// its own and backed by large pages where the system allows, so that filling it takes a page
// fault per 2 MiB instead of one per page. Smaller blocks come from the usual allocator.
constexpr size_t kLargePage = size_t(2) << 20;
inline size_t LargeRound(size_t bytes) {
    return (bytes + kLargePage - 1) & ~(kLargePage - 1);
}
void* MapLarge(size_t bytes);  // throws std::bad_alloc
void UnmapLarge(void* p, size_t bytes) noexcept;

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n * sizeof(T) < kLargePage) return std::allocator<T>().allocate(n);
        return static_cast<T*>(MapLarge(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept {
        if (n * sizeof(T) < kLargePage)
            std::allocator<T>().deallocate(p, n);
        else
            UnmapLarge(p, n * sizeof(T));
    }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const {
        return true;
    }
};
// Allocates the blocks of the bytes [off, off + len) that lie beyond the file's end (growing it
// with zeros), so that writing them later cannot fail for want of space; m tells the size last
// seen.
void Reserve(int fd, FileMap& m, off_t off, off_t len, int kind);
// True when a read through the mapping has faulted (one flag load: cheap enough for every call).
bool MapDamaged(const FileMap& m);
// Drops a damaged mapping (the next MapAt maps the file afresh) and answers whether it was.
bool TakeDamage(FileMap& m);

// ---- Nodes (Node.cpp)
struct IndexShape {
    const KeyDesc* desc = nullptr;
    int keylen = 0;
    int serial_width = 0;  // 4 with KEY_DUPS
    bool compressed = false;
    int esz = 0;         // expanded entry: key, serial, pointer
    int disk_entry = 0;  // uncompressed entry on disk
    int max_entry = 0;   // largest entry on disk
};
void MakeShape(const KeyDesc& key, IndexShape& shape);

struct Node {
    uint32_t num = 0;
    int state = 0;  // 0 must be read, 1 equal to the file, 2 dirty
    int level = 0;
    int count = 0;
    bool fresh = false;  // taken since the last write-back
    uint64_t stamp = 0;
    uint64_t saved_in = 0;      // the deferred call that kept its prior content (see CallUndo)
    std::vector<uint8_t> ents;  // count entries of esz bytes

    uint8_t* Key(int i, int esz) { return ents.data() + size_t(i) * esz; }
};
inline uint32_t EntSerial(const uint8_t* e, int keylen) {
    uint32_t v;
    std::memcpy(&v, e + keylen, 4);
    return v;
}
inline uint32_t EntPtr(const uint8_t* e, int keylen) {
    uint32_t v;
    std::memcpy(&v, e + keylen + 4, 4);
    return v;
}
inline void SetEnt(uint8_t* e, int keylen, const uint8_t* key, uint32_t serial, uint32_t ptr) {
    if (key != e) std::memmove(e, key, size_t(keylen));
    std::memcpy(e + keylen, &serial, 4);
    std::memcpy(e + keylen + 4, &ptr, 4);
}
void DecodeNode(const uint8_t* raw, int ns, const IndexShape& s, Node& node);
int EncodedSize(const Node& node, const IndexShape& s);
void EncodeNode(const Node& node, const IndexShape& s, int ns, uint8_t* raw);

// ---- Per-index state
struct PathElem {
    Node* node;
    int pos;
};

struct IndexState {
    KeyDesc desc;
    IndexShape shape;
    int cmp_len = 0;
    std::vector<uint8_t> cur_key;
    uint32_t cur_rec = 0;
    uint32_t cur_serial = 0;
    std::unordered_map<uint32_t, std::unique_ptr<Node>> cache;
    std::vector<std::unique_ptr<Node>> spare;  // evicted nodes, reused with their buffers
    std::vector<PathElem> path;
    // Node numbers and positions of the path to the current entry, for finding it again without
    // a search while those nodes are still cached and unchanged.
    std::vector<std::pair<uint32_t, int>> hint;
    uint64_t clock = 0;
    size_t dirty_hint = 0;  // dirty nodes at the last trim: they stay, so the limit adds them
};

struct FreeList {
    bool is_data = false;
    std::vector<uint8_t> buf;
    uint32_t buf_node = 0;
    int state = 0;  // 0 not loaded, 1 loaded, 2 dirty
};

// One set of operating-system files shared by the handles of this process that open them.
struct Physical {
    int idx_fd = -1, dat_fd = -1, lck_fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    int users = 0;
    int file_lock = 0;  // 0 none, 1 shared byte at lock_byte, 2 exclusive region
    uint32_t lock_byte = 0;
    bool exclusive_handle = false;
    std::vector<struct IsamFile*> handles;
    // The index and data files mapped read-only, so that the header, nodes and slots are read
    // without a system call; writes still go through pwrite, which the mapping sees.
    FileMap idx_map, dat_map;
};

enum OpKind { kOpNone = 0, kOpOpen, kOpNeutral, kOpRead, kOpWrite };

// What a deferred call may change, as it was before the call: a failed call puts it back and
// leaves the changes of the calls before it waiting (see DeferWrites).
struct CallUndo {
    bool active = false;
    uint64_t serial = 0;  // numbers the calls; a node saved during this one has saved_in equal
    HeaderFields hdr;
    int state = 0;
    bool allocated = false;
    uint32_t first_new_node = 0;
    size_t freed_nodes = 0, freed_recs = 0, pending_nums = 0, pending_bytes = 0;
    FreeList node_free, data_free;
    struct Saved {
        IndexState* ix;
        uint32_t num;
        Node* before;  // from pool; null when the call made the node
    };
    std::vector<Saved> nodes;
    std::vector<std::unique_ptr<Node>> pool;  // copies, reused from call to call
    size_t pool_used = 0;
};

// Handle state flags.
constexpr int kStNoPrimary = 0x01;
constexpr int kStNextCurrent = 0x02;
constexpr int kStPrevCurrent = 0x04;
constexpr int kStWriteLock = 0x08;
constexpr int kStAppend = 0x10;
constexpr int kStRequireLock = 0x20;
constexpr int kStNoCurrent = 0x40;

// Lock-state bits.
constexpr int kLkFileShared = 0x01;
constexpr int kLkFileExcl = 0x02;
constexpr int kLkIndexShared = 0x04;
constexpr int kLkIndexExcl = 0x08;
constexpr int kLkAllRecords = 0x20;

constexpr off_t kIndexRegion = 0x20000000;
constexpr off_t kRecordRegion = 0x40000000;

struct IsamFile {
    int handle = -1;
    std::string name;
    int mode = 0;
    int state = 0;
    std::shared_ptr<Physical> phys;
    int reclen = 0, slotlen = 0, maxlen = 0, ns = kNodeSize;
    int cur_index = -1;  // -1: record-number order
    uint32_t lock_slot = 0;
    HeaderFields hdr;
    std::vector<uint8_t> header;
    std::vector<IndexState> ix;
    FreeList node_free, data_free;
    std::vector<uint32_t> rec_locks;
    int lock_bits = 0;
    RecordFilter filter = nullptr;
    uint32_t mask = 0;
    std::vector<uint8_t> rec;  // one slot
    int kind = kOpNone;
    int my_recnum = 0, my_reclen = 0, my_error = 0, my_io_error = 0;
    uint32_t recpos = 0;
    bool stale = false;  // the error exit failed to reload the header: reload it first next time
    // During a write operation: allocations made, numbers freed (given back at commit).
    bool allocated = false;
    uint32_t first_new_node = 0;  // the first node number past the old highest, 0 when none
    std::vector<uint32_t> freed_nodes, freed_recs;
    std::vector<uint32_t> pending_nums;  // slots to write at commit, their bytes one after another
    std::vector<uint8_t, LargeAllocator<uint8_t>> pending_bytes;
    std::vector<Node*> dirty_scratch;  // reused by each write-back
    std::vector<uint8_t> stage;        // nodes of one write, encoded one after another
    // Deferred writes (exclusive handles only): while defer_bytes > 0, write calls leave their
    // changes in memory until about that many bytes wait, a flush, a close or any other call.
    size_t defer_bytes = 0;
    size_t dirty_nodes = 0;  // nodes made dirty since the last write-back (an upper bound)
    bool unwritten = false;  // changes of calls that have returned are waiting
    CallUndo undo;

    int idx_fd() const { return phys->idx_fd; }
    int dat_fd() const { return phys->dat_fd; }
    int lck_fd() const { return phys->lck_fd; }
    bool Exclusive() const { return (mode & LOCKMODE_EXCL) != 0; }
    bool NoLocks() const { return (mode & LOCKMODE_NONE) != 0; }
    bool Masked() const { return (mode & OPEN_MASKED) != 0; }
    bool IndexOnly() const { return reclen == 0; }
    off_t NodeOffset(uint32_t n) const { return off_t(n - 1) * ns; }
    off_t SlotOffset(uint32_t r) const { return off_t(r - 1) * slotlen; }
};

// ---- Index file nodes and the B-tree (Btree.cpp)
Node* GetNode(IsamFile& f, IndexState& ix, uint32_t num, int expect_level);
Node* NewNode(IsamFile& f, IndexState& ix, int level);
void InvalidateIndex(IndexState& ix, bool drop_dirty);
void TrimCache(IndexState& ix);
void WriteNode(IsamFile& f, IndexState& ix, Node& node);
// Writes the dirty nodes of every index: fresh ones when fresh_only, else the rest top-down.
void FlushIndexes(IsamFile& f, bool fresh_only);
bool TreeEmpty(IsamFile& f, IndexState& ix);
bool GoFirst(IsamFile& f, IndexState& ix);
bool GoLast(IsamFile& f, IndexState& ix);
bool StepNext(IsamFile& f, IndexState& ix);
bool StepPrev(IsamFile& f, IndexState& ix);
// Positions on the first entry >= key (or > key) over len bytes, with serial (when given) breaking
// ties; false when there is none.
bool FindKey(IsamFile& f, IndexState& ix, const uint8_t* key, int len, bool greater,
             const uint32_t* serial = nullptr);
// The entry at the path's leaf.
const uint8_t* PathEntry(IndexState& ix);
void SetCurrentFromPath(IndexState& ix);
// Re-finds the current entry: 0 none, 1 same entry, 2 another entry.
int Refind(IsamFile& f, IndexState& ix);
void InsertKey(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr);
// Deletes (key, ptr); false when no such entry exists.
bool DeleteKey(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr);
// Positions on the entry (key, ptr); false when absent.
bool FindEntry(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr);
// Gives every node of an index, leaves first, to the index-node free list.
void FreeTree(IsamFile& f, IndexState& ix);
// Inserts every live record of the data file into index i.
void FillIndex(IsamFile& f, size_t i);

// ---- Free lists (FreeList.cpp)
uint32_t TakeNumber(IsamFile& f, FreeList& fl);
void GiveNumber(IsamFile& f, FreeList& fl, uint32_t n);
// How many nodes past the highest giving `count` record numbers back may take for list nodes.
uint32_t NodesForGiving(IsamFile& f, size_t count);
void WriteFreeLists(IsamFile& f);
void InvalidateFreeLists(IsamFile& f);

// ---- Locks (Lock.cpp)
uint32_t LockSlot(IsamFile& f);
void TakeIndexLock(IsamFile& f, bool exclusive);
void ReleaseIndexLock(IsamFile& f);
bool TakeFileLock(Physical& p, IsamFile& f, bool exclusive, bool wait);
void ReleaseFileLock(Physical& p);
bool LockRecord(IsamFile& f, uint32_t n, bool wait);
void UnlockRecord(IsamFile& f, uint32_t n);
void ReleaseRecordLocks(IsamFile& f);
bool HoldsRecord(const IsamFile& f, uint32_t n);
bool TestRecord(IsamFile& f, uint32_t n);

// ---- Records and positioning (Records.cpp)
void ReadHeader(IsamFile& f);
void WriteHeader(IsamFile& f);
void Resync(IsamFile& f);
void Commit(IsamFile& f);
// Deferred writes: the start and the successful end of a deferred call, putting a failed one
// back, and writing back what waits (memory is made equal to the files when that fails).
void BeginDeferredCall(IsamFile& f);
void EndDeferredCall(IsamFile& f);
void UndoDeferredCall(IsamFile& f) noexcept;
// Keeps a node's content before the current deferred call changes it (no-op outside one).
void SaveNode(IsamFile& f, IndexState& ix, Node& node);
void NoteNewNode(IsamFile& f, IndexState& ix, Node& node);
void WriteBack(IsamFile& f);
void DropUnwritten(IsamFile& f) noexcept;
// Takes the memory the write-back of the cached nodes and the free lists needs, so that it
// cannot fail half-way.
void ReserveWriteBack(IsamFile& f);
// Reads slot n into f.rec; raises dead_code when n is out of range or the slot is not live.
void ReadSlot(IsamFile& f, uint32_t n, int dead_code);
void DropPending(IsamFile& f);
bool SlotLive(IsamFile& f, uint32_t n);
uint32_t SlotMask(IsamFile& f);
bool InIndex(IsamFile& f, size_t i, const uint8_t* record, uint32_t mask, uint8_t* key);
uint32_t WriteRecord(IsamFile& f, const uint8_t* record);
void RewriteRecord(IsamFile& f, uint32_t n, const uint8_t* record);
void DeleteRecord(IsamFile& f, uint32_t n);
bool Position(IsamFile& f, int mode, const uint8_t* record);
void LoadCurrentRecord(IsamFile& f, uint8_t* out);
// A NEXT (forward) or PREV that stays inside the cached leaf of the current entry, taken without
// the index lock: the header's change counter, read through the mapping before and after, shows
// that no write overlapped it. False (nothing changed) when it cannot be done that way.
bool StepWithoutLock(IsamFile& f, bool forward, uint8_t* out);
void GotoRecord(IsamFile& f, uint32_t n);
int FailCode(int mode);

// ---- Handle table and lifecycle (Entry.cpp, Lifecycle.cpp)
IsamFile* Lookup(int handle);
void LoadDictionary(IsamFile& f);
void FixShapes(IsamFile& f);
int OpenHandle(const char* name, int mode, bool build_done);
void CloseHandle(IsamFile& f);

// ---- Clustering (Cluster.cpp)
// Finishes or undoes a cluster of the name that was cut short (a marker file says which); 113
// while another process holds the files, or under no_locks once the swap has begun.
void SettleCluster(const std::string& name, bool no_locks);

}  // namespace isam::detail
