// Records: the header at every operation, the commit order of a write, slots, writing, rewriting
// and deleting with index maintenance, and positioning for the read modes.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "isam/IsamFile.h"
#include "isam/Key.h"

namespace isam::detail {

void ReadHeader(IsamFile& f) {
    // The held copy changes only once the new one decodes: a failed read leaves it intact, so a
    // later write cannot put half a header back on disk.
    std::vector<uint8_t> raw;
    const uint8_t* src = MapAt(f.phys->idx_map, f.idx_fd(), 0, size_t(f.ns));
    if (!src) {
        raw.resize(size_t(f.ns));
        ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), 0, kIndexFile);
        src = raw.data();
    }
    HeaderFields h;
    DecodeHeader(src, h);
    if (h.node_size != f.ns) Raise(kCorrupt);
    std::memcpy(f.header.data(), src, size_t(f.ns));
    f.hdr.data_free = h.data_free;
    f.hdr.index_free = h.index_free;
    f.hdr.highest_rec = h.highest_rec;
    f.hdr.highest_node = h.highest_node;
    f.hdr.change_counter = h.change_counter;
    f.hdr.unique_id = h.unique_id;
    if (h.file_flags & kFlagAppend)
        f.state |= kStAppend;
    else
        f.state &= ~kStAppend;
}

void WriteHeader(IsamFile& f) {
    f.hdr.nindexes = int(f.ix.size()) + ((f.state & kStNoPrimary) ? 1 : 0);
    int flags = f.hdr.file_flags & ~(kFlagMasked | kFlagAppend | kFlagVarlen);
    if (f.Masked()) flags |= kFlagMasked;
    if (f.state & kStAppend) flags |= kFlagAppend;
    if ((f.mode & 0x30) == 0x30) flags |= kFlagVarlen;
    f.hdr.file_flags = flags;
    EncodeHeader(f.header.data(), f.hdr);
    WriteAt(f.idx_fd(), f.header.data(), size_t(f.ns), 0, kIndexFile);
}

void Resync(IsamFile& f) {
    if (f.stale) {
        // The error exit could not reload the header: nothing held may be trusted.
        ReadHeader(f);
        for (auto& ix : f.ix) InvalidateIndex(ix, false);
        InvalidateFreeLists(f);
        f.stale = false;
        return;
    }
    if (f.Exclusive()) return;
    // Every write operation changes the counter: while it is the one held, nothing else changed.
    uint8_t buf[64];
    const uint8_t* head = MapAt(f.phys->idx_map, f.idx_fd(), 0, sizeof buf);
    if (!head) {
        ReadAt(f.idx_fd(), buf, sizeof buf, 0, kIndexFile);
        head = buf;
    }
    uint32_t held = f.hdr.change_counter;
    if (Be32(head + 41) == held) return;
    ReadHeader(f);
    if (f.hdr.change_counter != held) {
        for (auto& ix : f.ix) InvalidateIndex(ix, false);
        InvalidateFreeLists(f);
    }
}

void DropPending(IsamFile& f) {
    f.allocated = false;
    f.first_new_node = 0;
    f.freed_nodes.clear();
    f.freed_recs.clear();
    f.pending_nums.clear();
    f.pending_bytes.clear();
    f.dirty_nodes = 0;
    f.unwritten = false;
}

// Every byte a commit may add to the files is allocated before its first write, so that a full
// disk fails the call with nothing changed: the slots queued, the nodes taken past the old end,
// and the list nodes that giving record numbers back will take.
static void ReserveSpace(IsamFile& f) {
    if (!f.pending_nums.empty()) {
        // Slots are usually queued in ascending order (appends): then they need no sorted copy.
        std::vector<uint32_t> sorted;
        if (!std::is_sorted(f.pending_nums.begin(), f.pending_nums.end())) {
            sorted = f.pending_nums;
            std::sort(sorted.begin(), sorted.end());
        }
        const std::vector<uint32_t>& nums = sorted.empty() ? f.pending_nums : sorted;
        for (size_t i = 0, j; i < nums.size(); i = j + 1) {
            for (j = i; j + 1 < nums.size() && nums[j + 1] <= nums[j] + 1;) ++j;
            Reserve(f.dat_fd(), f.phys->dat_map, f.SlotOffset(nums[i]),
                    off_t(nums[j] - nums[i] + 1) * f.slotlen, kDataFile);
        }
    }
    const uint32_t list_nodes = NodesForGiving(f, f.freed_recs.size());
    const uint32_t first = f.first_new_node ? f.first_new_node : f.hdr.highest_node + 1;
    const uint32_t past = f.hdr.highest_node + list_nodes + 1;
    if (past > first)
        Reserve(f.idx_fd(), f.phys->idx_map, f.NodeOffset(first), off_t(past - first) * f.ns,
                kIndexFile);
}

// Commit order, so that a process killed between two writes leaves no number both in use and
// free: new nodes, the header with the numbers taken, the slots, the changed nodes (parents
// first), the deleted slots' flags, then the numbers given back and the header again.
void ReserveWriteBack(IsamFile& f) {
    size_t most = 0;
    for (auto& ix : f.ix) most = std::max(most, ix.cache.size());
    f.dirty_scratch.reserve(most);
    // Room to encode runs of nodes that go out in one write, up to a bound.
    constexpr size_t kStageBytes = size_t(256) << 10;
    if (most > 1) f.stage.reserve(std::min(kStageBytes, most * size_t(f.ns)));
    // Giving numbers back may start a list node in a buffer not yet used.
    f.node_free.buf.reserve(size_t(f.ns));
    f.data_free.buf.reserve(size_t(f.ns));
}

void Commit(IsamFile& f) {
    ReserveSpace(f);
    // Memory too is taken before the first write: running out half-way through the write-back
    // would leave slots written that the indexes do not list.
    ReserveWriteBack(f);
    if (!f.Exclusive()) {
        // Readers that step through a cached leaf without the index lock compare the counter
        // before and after: it takes its new value before the first write, not only with the
        // header at the end.
        uint8_t counter[4];
        PutBe32(counter, f.hdr.change_counter + 1);
        WriteAt(f.idx_fd(), counter, sizeof counter, 41, kIndexFile);
    }
    FlushIndexes(f, true);
    bool counted = false;
    if (f.allocated) {
        WriteFreeLists(f);
        f.hdr.change_counter++;
        counted = true;
        WriteHeader(f);
    }
    // Slots with consecutive numbers lie one after another in the queue too: one write each run.
    // Queue order is kept, so that a slot queued twice ends with its last content.
    const size_t queued = f.pending_nums.size(), slot = size_t(f.slotlen);
    for (size_t i = 0, j; i < queued; i = j) {
        for (j = i + 1; j < queued && f.pending_nums[j] == f.pending_nums[j - 1] + 1;) ++j;
        WriteAt(f.dat_fd(), f.pending_bytes.data() + i * slot, (j - i) * slot,
                f.SlotOffset(f.pending_nums[i]), kDataFile);
    }
    FlushIndexes(f, false);
    const uint8_t dead = kDead;
    for (uint32_t r : f.freed_recs)
        WriteAt(f.dat_fd(), &dead, 1, f.SlotOffset(r) + f.reclen, kDataFile);
    if (counted && f.freed_recs.empty() && f.freed_nodes.empty()) {
        DropPending(f);
        return;
    }
    // Giving a record back may take a node for a list node; keep going until nothing is left.
    std::vector<uint32_t> recs = std::move(f.freed_recs);
    f.freed_recs.clear();
    while (!f.freed_nodes.empty() || !recs.empty()) {
        std::vector<uint32_t> nodes = std::move(f.freed_nodes);
        f.freed_nodes.clear();
        for (uint32_t n : nodes) GiveNumber(f, f.node_free, n);
        for (uint32_t r : recs) GiveNumber(f, f.data_free, r);
        recs.clear();
    }
    WriteFreeLists(f);
    if (!counted) f.hdr.change_counter++;
    WriteHeader(f);
    DropPending(f);
}

// ---- Deferred calls

static void KeepList(FreeList& to, const FreeList& from) {
    to.buf_node = from.buf_node;
    to.state = from.state;
    if (from.state != 0) to.buf.assign(from.buf.begin(), from.buf.end());
}

static void PutListBack(FreeList& to, FreeList& saved) noexcept {
    to.buf_node = saved.buf_node;
    to.state = saved.state;
    if (saved.state != 0) to.buf.swap(saved.buf);
}

void BeginDeferredCall(IsamFile& f) {
    CallUndo& u = f.undo;
    u.active = false;
    u.nodes.clear();
    u.pool_used = 0;
    ++u.serial;
    u.hdr = f.hdr;
    u.state = f.state;
    u.allocated = f.allocated;
    u.first_new_node = f.first_new_node;
    u.freed_nodes = f.freed_nodes.size();
    u.freed_recs = f.freed_recs.size();
    u.pending_nums = f.pending_nums.size();
    u.pending_bytes = f.pending_bytes.size();
    KeepList(u.node_free, f.node_free);
    KeepList(u.data_free, f.data_free);
    u.active = true;
}

void EndDeferredCall(IsamFile& f) {
    f.undo.active = false;
    f.unwritten = true;
}

void SaveNode(IsamFile& f, IndexState& ix, Node& node) {
    CallUndo& u = f.undo;
    if (!u.active || node.saved_in == u.serial) return;
    // Everything that can fail comes before the record of the copy.
    u.nodes.reserve(u.nodes.size() + 1);
    if (u.pool_used == u.pool.size()) u.pool.push_back(std::make_unique<Node>());
    Node* copy = u.pool[u.pool_used].get();
    *copy = node;
    u.nodes.push_back({&ix, node.num, copy});
    ++u.pool_used;
    node.saved_in = u.serial;
    if (node.state != 2) ++f.dirty_nodes;
}

void NoteNewNode(IsamFile& f, IndexState& ix, Node& node) {
    CallUndo& u = f.undo;
    if (!u.active) return;
    // A number handed out as free cannot name a node that is in use: the list is damaged.
    auto it = ix.cache.find(node.num);
    if (it != ix.cache.end() && (it->second->state == 2 || it->second->saved_in == u.serial))
        Raise(kCorrupt);
    u.nodes.push_back({&ix, node.num, nullptr});
    node.saved_in = u.serial;
    ++f.dirty_nodes;
}

void UndoDeferredCall(IsamFile& f) noexcept {
    CallUndo& u = f.undo;
    if (!u.active) return;
    u.active = false;
    // Latest first: a node the call made is dropped, a node it changed gets its content back.
    for (size_t i = u.nodes.size(); i-- > 0;) {
        const CallUndo::Saved& s = u.nodes[i];
        auto it = s.ix->cache.find(s.num);
        if (!s.before) {
            if (it != s.ix->cache.end()) s.ix->cache.erase(it);
        } else if (it != s.ix->cache.end()) {
            std::swap(*it->second, *s.before);
        }
    }
    u.nodes.clear();
    for (auto& ix : f.ix) ix.path.clear();
    f.hdr = u.hdr;
    f.state = u.state;
    f.allocated = u.allocated;
    f.first_new_node = u.first_new_node;
    f.freed_nodes.resize(u.freed_nodes);
    f.freed_recs.resize(u.freed_recs);
    f.pending_nums.resize(u.pending_nums);
    f.pending_bytes.resize(u.pending_bytes);
    PutListBack(f.node_free, u.node_free);
    PutListBack(f.data_free, u.data_free);
}

void DropUnwritten(IsamFile& f) noexcept {
    DropPending(f);
    for (auto& ix : f.ix) InvalidateIndex(ix, true);
    InvalidateFreeLists(f);
    if (f.phys && f.idx_fd() >= 0) {
        try {
            ReadHeader(f);
        } catch (...) {
            f.stale = true;
        }
    }
}

void WriteBack(IsamFile& f) {
    if (!f.unwritten) return;
    try {
        Commit(f);
    } catch (...) {
        // What could not be written is gone from memory too: the next call starts from the files.
        DropUnwritten(f);
        throw;
    }
}

void ReadSlot(IsamFile& f, uint32_t n, int dead_code) {
    if (n < 1 || n > f.hdr.highest_rec) Raise(dead_code);
    if (const uint8_t* m = MapAt(f.phys->dat_map, f.dat_fd(), f.SlotOffset(n), size_t(f.slotlen))) {
        std::memcpy(f.rec.data(), m, size_t(f.slotlen));
        if (f.rec[size_t(f.reclen)] != kLive) Raise(dead_code);
        return;
    }
    size_t got = ReadSome(f.dat_fd(), f.rec.data(), size_t(f.slotlen), f.SlotOffset(n), kDataFile);
    if (got < size_t(f.slotlen)) std::memset(f.rec.data() + got, 0, size_t(f.slotlen) - got);
    if (f.rec[size_t(f.reclen)] != kLive) Raise(dead_code);
}

bool SlotLive(IsamFile& f, uint32_t n) {
    if (n < 1 || n > f.hdr.highest_rec) return false;
    const off_t at = f.SlotOffset(n) + f.reclen;
    if (const uint8_t* m = MapAt(f.phys->dat_map, f.dat_fd(), at, 1)) return *m == kLive;
    uint8_t flag = 0;
    if (ReadSome(f.dat_fd(), &flag, 1, f.SlotOffset(n) + f.reclen, kDataFile) != 1) return false;
    return flag == kLive;
}

uint32_t SlotMask(IsamFile& f) {
    return f.Masked() ? Be32(f.rec.data() + f.slotlen - 4) : 0;
}

bool InIndex(IsamFile& f, size_t i, const uint8_t* record, uint32_t mask, uint8_t* key) {
    if (f.Masked() && i < 32 && (mask >> i) & 1u) return false;
    BuildKey(f.ix[i].desc, record, key);
    return !IsNullKey(f.ix[i].desc, key);
}

static void QueueSlot(IsamFile& f, uint32_t n, const uint8_t* record) {
    size_t at = f.pending_bytes.size();
    f.pending_bytes.insert(f.pending_bytes.end(), record, record + f.reclen);
    f.pending_bytes.resize(at + size_t(f.slotlen), 0);
    uint8_t* slot = f.pending_bytes.data() + at;
    slot[f.reclen] = kLive;
    if (f.Masked()) PutBe32(slot + f.slotlen - 4, f.mask);
    f.pending_nums.push_back(n);
}

uint32_t WriteRecord(IsamFile& f, const uint8_t* record) {
    uint8_t key[kMaxKeyLength];
    if (f.IndexOnly()) {
        BuildKey(f.ix[0].desc, record, key);
        InsertKey(f, f.ix[0], key, uint32_t(f.my_recnum));
        return uint32_t(f.my_recnum);
    }
    uint32_t highest = f.hdr.highest_rec;
    uint32_t n = TakeNumber(f, f.data_free);
    // A number from the free list must name a dead slot; a live one means a damaged list.
    if (n <= highest && SlotLive(f, n)) Raise(kCorrupt);
    for (size_t i = 0; i < f.ix.size(); ++i)
        if (InIndex(f, i, record, f.mask, key)) InsertKey(f, f.ix[i], key, n);
    QueueSlot(f, n, record);
    return n;
}

void RewriteRecord(IsamFile& f, uint32_t n, const uint8_t* record) {
    if ((f.state & kStRequireLock) && !HoldsRecord(f, n) && !f.Exclusive()) Raise(kNoCurrent);
    if (!TestRecord(f, n)) Raise(kRecordLocked);
    ReadSlot(f, n, kNoCurrent);
    const uint32_t old_mask = SlotMask(f);
    uint8_t okey[kMaxKeyLength], nkey[kMaxKeyLength];
    for (size_t i = 0; i < f.ix.size(); ++i) {
        bool old_in = InIndex(f, i, f.rec.data(), old_mask, okey);
        bool new_in = InIndex(f, i, record, f.mask, nkey);
        if (!old_in && !new_in) continue;
        if (old_in && new_in && std::memcmp(okey, nkey, size_t(f.ix[i].shape.keylen)) == 0)
            continue;
        if (old_in) DeleteKey(f, f.ix[i], okey, n);  // a missing old entry is simply replaced
        if (new_in) InsertKey(f, f.ix[i], nkey, n);
    }
    QueueSlot(f, n, record);
}

void DeleteRecord(IsamFile& f, uint32_t n) {
    if ((f.state & kStRequireLock) && !HoldsRecord(f, n) && !f.Exclusive()) Raise(kNoCurrent);
    if (!TestRecord(f, n)) Raise(kRecordLocked);
    ReadSlot(f, n, kNoCurrent);
    const uint32_t mask = SlotMask(f);
    uint8_t key[kMaxKeyLength];
    for (size_t i = 0; i < f.ix.size(); ++i)
        if (InIndex(f, i, f.rec.data(), mask, key) && !DeleteKey(f, f.ix[i], key, n))
            Raise(kNoRecord);
    f.freed_recs.push_back(n);
    UnlockRecord(f, n);
}

int FailCode(int mode) {
    switch (mode) {
        case CURRENT:
            return kNoCurrent;
        case EQUAL:
        case GREATER:
        case GREATER_EQUAL:
            return kNoRecord;
        default:
            return kEndOfFile;
    }
}

// Number of whole slots in the data file: slots beyond it are dead whatever the header says.
static int64_t SlotsInFile(IsamFile& f) {
    struct stat st;
    if (fstat(f.dat_fd(), &st) != 0) RaiseSystem(kDataFile + kStepSeek);
    return int64_t(st.st_size / f.slotlen);
}

static bool PositionRecordOrder(IsamFile& f, int mode) {
    if (f.IndexOnly()) return false;
    int64_t pos = f.recpos, start, step;
    switch (mode) {
        case FIRST:
            start = 1, step = 1;
            break;
        case LAST:
            start = f.hdr.highest_rec, step = -1;
            break;
        case NEXT:
        case GREATER:
            start = pos + 1, step = 1;
            break;
        case PREV:
            start = pos - 1, step = -1;
            break;
        case CURRENT:
        case GREATER_EQUAL:
            start = pos, step = 1;
            break;
        default:
            start = f.my_recnum, step = 0;
            break;
    }
    if (start < 1 || start > int64_t(f.hdr.highest_rec)) return false;
    const int64_t in_file = SlotsInFile(f);
    if (start > in_file) {
        if (step >= 0) return false;
        start = in_file;
    }
    for (int64_t n = start;; n += step) {
        if (n < 1 || n > in_file) return false;
        if (SlotLive(f, uint32_t(n))) {
            f.recpos = uint32_t(n);
            f.my_recnum = int(n);
            return true;
        }
        if (step == 0) return false;
    }
}

bool Position(IsamFile& f, int mode, const uint8_t* record) {
    if (f.cur_index < 0) return PositionRecordOrder(f, mode);
    IndexState& ix = f.ix[size_t(f.cur_index)];
    const int keylen = ix.shape.keylen;
    bool ok = false;
    switch (mode) {
        case FIRST:
            ok = GoFirst(f, ix);
            break;
        case LAST:
            ok = GoLast(f, ix);
            break;
        case NEXT:
        case PREV:
        case CURRENT: {
            if (ix.cur_rec == 0) return false;
            uint8_t old_key[kMaxKeyLength];
            std::memcpy(old_key, ix.cur_key.data(), std::min(ix.cur_key.size(), sizeof old_key));
            const uint32_t old_serial = ix.cur_serial;
            int r = Refind(f, ix);
            if (mode == NEXT)
                ok = r == 1 ? StepNext(f, ix) : r == 2;
            else if (mode == PREV)
                ok = r == 0 ? GoLast(f, ix) : StepPrev(f, ix);
            else
                ok = r != 0;
            // A scan must move through the keys in order; a tree that sends it back is damaged
            // (and would otherwise loop for ever).
            if (ok && r != 0 && mode != CURRENT) {
                const uint8_t* e = PathEntry(ix);
                int c = CompareKeys(ix.desc, e, old_key, keylen);
                if (c == 0 && ix.shape.serial_width) {
                    uint32_t s = EntSerial(e, keylen);
                    c = s < old_serial ? -1 : s > old_serial ? 1 : 0;
                }
                bool forward = mode == NEXT ? (r == 1 ? c > 0 : c >= 0) : c < 0;
                if (!forward) Raise(kCorrupt);
            }
            break;
        }
        default: {
            if (!record) Raise(kBadArgument);
            uint8_t key[kMaxKeyLength];
            BuildKey(ix.desc, record, key);
            int len = ix.cmp_len > 0 ? ix.cmp_len : keylen;
            ok = FindKey(f, ix, key, len, mode == GREATER);
            if (ok && mode == EQUAL) ok = CompareKeys(ix.desc, PathEntry(ix), key, len) == 0;
            if (!ok) ix.cur_key.assign(key, key + keylen);
            break;
        }
    }
    if (!ok) return false;
    SetCurrentFromPath(ix);
    f.my_recnum = int(ix.cur_rec);
    return true;
}

void LoadCurrentRecord(IsamFile& f, uint8_t* out) {
    if (f.IndexOnly()) {
        IndexState& ix = f.ix[0];
        RebuildRecord(ix.desc, ix.cur_key.data(), out);
        return;
    }
    // An index entry naming a dead slot means the files are out of step.
    ReadSlot(f, uint32_t(f.my_recnum), f.cur_index < 0 ? kNoCurrent : kCorrupt);
    std::memcpy(out, f.rec.data(), size_t(f.reclen));
    if (f.Masked()) f.mask = SlotMask(f);
}

// The header's change counter as the mapping shows it now, read once.
static bool MappedCounter(IsamFile& f, uint32_t& counter) {
    const uint8_t* head = MapAt(f.phys->idx_map, f.idx_fd(), 0, 64);
    if (!head) return false;
    const volatile uint8_t* c = head + 41;
    counter = uint32_t(c[0]) << 24 | uint32_t(c[1]) << 16 | uint32_t(c[2]) << 8 | c[3];
    return true;
}

bool StepWithoutLock(IsamFile& f, bool forward, uint8_t* out) {
    if (f.cur_index < 0 || f.IndexOnly() || f.unwritten || f.stale || f.filter ||
        MapDamaged(f.phys->idx_map) || MapDamaged(f.phys->dat_map))
        return false;
    IndexState& ix = f.ix[size_t(f.cur_index)];
    const int keylen = ix.shape.keylen, esz = ix.shape.esz;
    if (ix.cur_rec == 0 || ix.hint.empty() || ix.cur_key.size() != size_t(keylen)) return false;
    uint32_t before = 0;
    if (!MappedCounter(f, before) || before != f.hdr.change_counter) return false;
    std::atomic_thread_fence(std::memory_order_acquire);
    // The current entry must be where the hint says, in a leaf equal to the file, with the next
    // entry in the same leaf.
    auto it = ix.cache.find(ix.hint.back().first);
    if (it == ix.cache.end()) return false;
    Node& leaf = *it->second;
    const int pos = ix.hint.back().second, to = forward ? pos + 1 : pos - 1;
    if (leaf.state != 1 || leaf.level != 0 || pos < 0 || pos >= leaf.count || to < 0 ||
        to >= leaf.count)
        return false;
    const uint8_t* cur = leaf.Key(pos, esz);
    if (std::memcmp(cur, ix.cur_key.data(), size_t(keylen)) != 0 ||
        EntPtr(cur, keylen) != ix.cur_rec || EntSerial(cur, keylen) != ix.cur_serial)
        return false;
    const uint8_t* e = leaf.Key(to, esz);
    // Out of order means damage: the locked path reports it.
    int c = CompareKeys(ix.desc, e, cur, keylen);
    if (c == 0 && ix.shape.serial_width) c = EntSerial(e, keylen) < EntSerial(cur, keylen) ? -1 : 1;
    if (forward ? c <= 0 : c >= 0) return false;
    const uint32_t n = EntPtr(e, keylen);
    if (n < 1 || n > f.hdr.highest_rec) return false;
    const uint8_t* slot = MapAt(f.phys->dat_map, f.dat_fd(), f.SlotOffset(n), size_t(f.slotlen));
    if (!slot) return false;
    std::memcpy(f.rec.data(), slot, size_t(f.slotlen));
    std::atomic_thread_fence(std::memory_order_acquire);
    // A writer changes the counter before its first write and again after its last: the same
    // value on both sides means nothing read here was being written.
    uint32_t after = 0;
    if (!MappedCounter(f, after) || after != before || MapDamaged(f.phys->dat_map) ||
        f.rec[size_t(f.reclen)] != kLive)
        return false;
    ix.hint.back().second = to;
    ix.cur_key.assign(e, e + keylen);
    ix.cur_rec = n;
    ix.cur_serial = EntSerial(e, keylen);
    leaf.stamp = ++ix.clock;
    std::memcpy(out, f.rec.data(), size_t(f.reclen));
    if (f.Masked()) f.mask = SlotMask(f);
    f.my_recnum = int(n);
    return true;
}

void GotoRecord(IsamFile& f, uint32_t n) {
    if (f.cur_index < 0) {
        if (f.IndexOnly() || !SlotLive(f, n)) Raise(kNoRecord);
        f.recpos = n;
        f.my_recnum = int(n);
        return;
    }
    IndexState& ix = f.ix[size_t(f.cur_index)];
    bool ok = false;
    if (f.IndexOnly()) {
        for (ok = GoFirst(f, ix); ok; ok = StepNext(f, ix))
            if (EntPtr(PathEntry(ix), ix.shape.keylen) == n) break;
    } else {
        ReadSlot(f, n, kNoRecord);
        uint8_t key[kMaxKeyLength];
        ok = InIndex(f, size_t(f.cur_index), f.rec.data(), SlotMask(f), key) &&
             FindEntry(f, ix, key, n);
    }
    if (!ok) Raise(kNoRecord);
    SetCurrentFromPath(ix);
    f.my_recnum = int(n);
}

}  // namespace isam::detail
