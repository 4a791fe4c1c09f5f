// The B-tree of one index: the node cache, the path from the root to the current leaf, search,
// stepping, insertion with splits (the root keeps its node number) and deletion without merging.
#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "isam/IsamFile.h"
#include "isam/Key.h"

namespace isam::detail {

constexpr size_t kCachedNodes = 20;

Node* GetNode(IsamFile& f, IndexState& ix, uint32_t num, int expect_level) {
    if (num < 2 || num > f.hdr.highest_node) Raise(kCorrupt);
    auto it = ix.cache.find(num);
    Node* node;
    if (it == ix.cache.end()) {
        std::unique_ptr<Node> fresh;
        if (ix.spare.empty()) {
            fresh = std::make_unique<Node>();
        } else {
            fresh = std::move(ix.spare.back());
            ix.spare.pop_back();
            fresh->state = 0;
        }
        node = fresh.get();
        node->num = num;
        ix.cache.emplace(num, std::move(fresh));
    } else {
        node = it->second.get();
    }
    node->stamp = ++ix.clock;
    if (node->state == 0) {
        node->state = 0;
        if (const uint8_t* m =
                MapAt(f.phys->idx_map, f.idx_fd(), f.NodeOffset(num), size_t(f.ns))) {
            DecodeNode(m, f.ns, ix.shape, *node);
        } else {
            uint8_t raw[32768];
            ReadAt(f.idx_fd(), raw, size_t(f.ns), f.NodeOffset(num), kIndexFile);
            DecodeNode(raw, f.ns, ix.shape, *node);
        }
        node->state = 1;
        node->fresh = false;
    }
    if (expect_level >= 0 && node->level != expect_level) Raise(kCorrupt);
    return node;
}

Node* NewNode(IsamFile& f, IndexState& ix, int level) {
    uint32_t num = TakeNumber(f, f.node_free);
    auto node = std::make_unique<Node>();
    node->num = num;
    node->state = 2;
    node->level = level;
    node->fresh = true;
    node->stamp = ++ix.clock;
    // Noted before it enters the cache, so that a failed call never leaves it there.
    NoteNewNode(f, ix, *node);
    Node* p = node.get();
    ix.cache[num] = std::move(node);
    return p;
}

void InvalidateIndex(IndexState& ix, bool drop_dirty) {
    for (auto& [num, node] : ix.cache) {
        if (node->state == 2 && !drop_dirty) continue;
        node->state = 0;
        node->fresh = false;
    }
    if (drop_dirty) ix.dirty_hint = 0;
    ix.path.clear();
}

void TrimCache(IndexState& ix) {
    ix.path.clear();
    // Dirty nodes stay until they are written back (deferred writes keep many): the limit is on
    // the clean ones, and the cache is counted only once it has grown past the last count.
    if (ix.cache.size() <= kCachedNodes + ix.dirty_hint) return;
    size_t dirty = 0;
    for (auto& [num, node] : ix.cache) dirty += node->state == 2 ? 1 : 0;
    ix.dirty_hint = dirty;
    const size_t limit = kCachedNodes + dirty;
    if (ix.cache.size() > limit + kCachedNodes) {
        // After a large operation: sort the clean nodes by age and drop the oldest.
        std::vector<std::pair<uint64_t, uint32_t>> order;
        for (auto& [num, node] : ix.cache)
            if (node->state != 2) order.emplace_back(node->state == 0 ? 0 : node->stamp, num);
        std::sort(order.begin(), order.end());
        for (auto& entry : order) {
            if (ix.cache.size() <= limit) break;
            ix.cache.erase(entry.second);
        }
        return;
    }
    // Usually one node over the limit: drop the least recently used clean ones one by one.
    while (ix.cache.size() > limit) {
        auto oldest = ix.cache.end();
        for (auto it = ix.cache.begin(); it != ix.cache.end(); ++it) {
            const Node& n = *it->second;
            if (n.state == 2) continue;
            uint64_t age = n.state == 0 ? 0 : n.stamp;
            if (oldest == ix.cache.end() ||
                age < (oldest->second->state == 0 ? 0 : oldest->second->stamp))
                oldest = it;
        }
        if (oldest == ix.cache.end()) return;
        if (ix.spare.size() < 4) ix.spare.push_back(std::move(oldest->second));
        ix.cache.erase(oldest);
    }
}

void WriteNode(IsamFile& f, IndexState& ix, Node& node) {
    uint8_t raw[32768];
    EncodeNode(node, ix.shape, f.ns, raw);
    WriteAt(f.idx_fd(), raw, size_t(f.ns), f.NodeOffset(node.num), kIndexFile);
    node.state = 1;
    node.fresh = false;
}

void FlushIndexes(IsamFile& f, bool fresh_only) {
    std::vector<Node*>& dirty = f.dirty_scratch;
    const size_t per_write = f.stage.capacity() / size_t(f.ns);
    for (auto& ix : f.ix) {
        dirty.clear();
        for (auto& [num, node] : ix.cache)
            if (node->state == 2 && (!fresh_only || node->fresh)) dirty.push_back(node.get());
        // Parents before children: a crash between two writes leaves every entry reachable.
        std::sort(dirty.begin(), dirty.end(), [](Node* a, Node* b) {
            return a->level != b->level ? a->level > b->level : a->num < b->num;
        });
        // Nodes of one level with consecutive numbers go out in one write (the staging buffer's
        // room was taken beforehand, so this allocates nothing).
        for (size_t i = 0, j; i < dirty.size(); i = j) {
            for (j = i + 1; j < dirty.size() && j - i < per_write &&
                            dirty[j]->level == dirty[i]->level &&
                            dirty[j]->num == dirty[j - 1]->num + 1;)
                ++j;
            if (j - i == 1) {
                WriteNode(f, ix, *dirty[i]);
                continue;
            }
            f.stage.resize((j - i) * size_t(f.ns));
            for (size_t k = i; k < j; ++k)
                EncodeNode(*dirty[k], ix.shape, f.ns, f.stage.data() + (k - i) * size_t(f.ns));
            WriteAt(f.idx_fd(), f.stage.data(), f.stage.size(), f.NodeOffset(dirty[i]->num),
                    kIndexFile);
            for (size_t k = i; k < j; ++k) {
                dirty[k]->state = 1;
                dirty[k]->fresh = false;
            }
        }
        if (!fresh_only) ix.dirty_hint = 0;
    }
}

static Node* Root(IsamFile& f, IndexState& ix) {
    return GetNode(f, ix, ix.desc.root, -1);
}

bool TreeEmpty(IsamFile& f, IndexState& ix) {
    return Root(f, ix)->count == 0;
}

// Descends from the path's last node to the leftmost or rightmost leaf below its position.
static bool DescendEdge(IsamFile& f, IndexState& ix, bool left) {
    const int keylen = ix.shape.keylen, esz = ix.shape.esz;
    while (ix.path.back().node->level > 0) {
        PathElem pe = ix.path.back();
        Node* child = GetNode(f, ix, EntPtr(pe.node->Key(pe.pos, esz), keylen), pe.node->level - 1);
        if (child->count == 0) return false;
        ix.path.push_back({child, left ? 0 : child->count - 1});
        if (ix.path.size() > 64) Raise(kCorrupt);
    }
    return true;
}

bool StepNext(IsamFile& f, IndexState& ix) {
    for (;;) {
        while (!ix.path.empty() && ix.path.back().pos + 1 >= ix.path.back().node->count)
            ix.path.pop_back();
        if (ix.path.empty()) return false;
        ix.path.back().pos++;
        if (DescendEdge(f, ix, true)) return true;
    }
}

bool StepPrev(IsamFile& f, IndexState& ix) {
    for (;;) {
        while (!ix.path.empty() && ix.path.back().pos <= 0) ix.path.pop_back();
        if (ix.path.empty()) return false;
        ix.path.back().pos--;
        if (DescendEdge(f, ix, false)) return true;
    }
}

bool GoFirst(IsamFile& f, IndexState& ix) {
    ix.path.clear();
    ix.path.push_back({Root(f, ix), -1});
    return StepNext(f, ix);
}

bool GoLast(IsamFile& f, IndexState& ix) {
    ix.path.clear();
    Node* root = Root(f, ix);
    ix.path.push_back({root, root->count});
    return StepPrev(f, ix);
}

static int Compare(IndexState& ix, const uint8_t* e, const uint8_t* key, int len,
                   const uint32_t* serial) {
    int c = CompareKeys(ix.desc, e, key, len);
    if (c == 0 && serial) {
        uint32_t s = EntSerial(e, ix.shape.keylen);
        c = s < *serial ? -1 : s > *serial ? 1 : 0;
    }
    return c;
}

// First entry >= key (> key when greater); count when every entry is smaller. In a branch the
// last entry covers every greater key whatever it holds, so it is never compared.
static int Search(IndexState& ix, Node* n, const uint8_t* key, int len, bool greater,
                  const uint32_t* serial) {
    int lo = 0, hi = n->level > 0 ? n->count - 1 : n->count;
    const int esz = ix.shape.esz;
    while (lo < hi) {
        int mid = (lo + hi) / 2;
        int c = Compare(ix, n->Key(mid, esz), key, len, serial);
        if (c < 0 || (greater && c == 0))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool FindKey(IsamFile& f, IndexState& ix, const uint8_t* key, int len, bool greater,
             const uint32_t* serial) {
    ix.path.clear();
    Node* n = Root(f, ix);
    const int keylen = ix.shape.keylen;
    for (;;) {
        if (n->count == 0) {
            ix.path.push_back({n, -1});
            return StepNext(f, ix);
        }
        int pos = Search(ix, n, key, len, greater, serial);
        bool past_end = pos == n->count;
        if (past_end) pos = n->count - 1;
        ix.path.push_back({n, pos});
        if (ix.path.size() > 64) Raise(kCorrupt);
        if (n->level == 0) return past_end ? StepNext(f, ix) : true;
        n = GetNode(f, ix, EntPtr(n->Key(pos, ix.shape.esz), keylen), n->level - 1);
    }
}

const uint8_t* PathEntry(IndexState& ix) {
    const PathElem& pe = ix.path.back();
    return pe.node->Key(pe.pos, ix.shape.esz);
}

void SetCurrentFromPath(IndexState& ix) {
    const uint8_t* e = PathEntry(ix);
    const int keylen = ix.shape.keylen;
    ix.cur_key.assign(e, e + keylen);
    ix.cur_rec = EntPtr(e, keylen);
    ix.cur_serial = EntSerial(e, keylen);
    ix.hint.clear();
    for (const PathElem& pe : ix.path) ix.hint.emplace_back(pe.node->num, pe.pos);
}

// Rebuilds the path to the current entry from the hint when every node on it is cached and
// valid, each parent entry still points at the next node, and the leaf entry is the current one.
static bool PathFromHint(IndexState& ix) {
    const int keylen = ix.shape.keylen, esz = ix.shape.esz;
    if (ix.hint.empty() || ix.hint.front().first != ix.desc.root) return false;
    ix.path.clear();
    Node* parent = nullptr;
    int parent_pos = 0;
    for (const auto& [num, pos] : ix.hint) {
        auto it = ix.cache.find(num);
        Node* n = it == ix.cache.end() ? nullptr : it->second.get();
        if (!n || n->state == 0 || pos < 0 || pos >= n->count ||
            (parent && (parent->level != n->level + 1 ||
                        EntPtr(parent->Key(parent_pos, esz), keylen) != num))) {
            ix.path.clear();
            return false;
        }
        ix.path.push_back({n, pos});
        parent = n;
        parent_pos = pos;
    }
    const uint8_t* e = PathEntry(ix);
    if (parent->level != 0 || std::memcmp(e, ix.cur_key.data(), size_t(keylen)) != 0 ||
        EntPtr(e, keylen) != ix.cur_rec || EntSerial(e, keylen) != ix.cur_serial) {
        ix.path.clear();
        return false;
    }
    for (const PathElem& pe : ix.path) pe.node->stamp = ++ix.clock;
    return true;
}

int Refind(IsamFile& f, IndexState& ix) {
    const int keylen = ix.shape.keylen;
    if (ix.cur_key.size() != size_t(keylen)) return 0;
    if (PathFromHint(ix)) return 1;
    const uint32_t* serial = ix.shape.serial_width ? &ix.cur_serial : nullptr;
    if (!FindKey(f, ix, ix.cur_key.data(), keylen, false, serial)) return 0;
    const uint8_t* e = PathEntry(ix);
    if (std::memcmp(e, ix.cur_key.data(), size_t(keylen)) == 0 && EntPtr(e, keylen) == ix.cur_rec &&
        EntSerial(e, keylen) == ix.cur_serial)
        return 1;
    return 2;
}

// Inserts an entry at path[depth] position pos, splitting upwards when the node overflows.
static void InsertAt(IsamFile& f, IndexState& ix, size_t depth, int pos, const uint8_t* entry) {
    const int esz = ix.shape.esz, keylen = ix.shape.keylen;
    Node* n = ix.path[depth].node;
    if (pos < 0 || pos > n->count) Fatal("ISGROW", 218);
    SaveNode(f, ix, *n);
    const int before = n->count;
    n->ents.insert(n->ents.begin() + ptrdiff_t(pos) * esz, entry, entry + esz);
    n->count++;
    n->state = 2;
    if (EncodedSize(*n, ix.shape) < f.ns - 4) return;

    // Split point: half the entries (or bytes), or everything before an insert at the end.
    int split;
    if (pos == before) {
        split = before;
    } else if (!ix.shape.compressed) {
        int s = before / 2;
        split = s + (pos < s ? 1 : 0);
    } else {
        Node probe;
        probe.level = n->level;
        int half = EncodedSize(*n, ix.shape) / 2;
        split = 1;
        for (; split < n->count - 1; ++split) {
            probe.count = split;
            probe.ents.assign(n->ents.begin(), n->ents.begin() + ptrdiff_t(split) * esz);
            if (EncodedSize(probe, ix.shape) >= half) break;
        }
    }
    split = std::clamp(split, 1, n->count - 1);
    const auto mid = n->ents.begin() + ptrdiff_t(split) * esz;
    std::vector<uint8_t> left(n->ents.begin(), mid), right(mid, n->ents.end());
    const int nleft = split, nright = n->count - split;

    uint8_t up[kMaxKeyLength + 8];
    std::memcpy(up, left.data() + size_t(nleft - 1) * esz, size_t(esz));
    if (depth == 0) {
        // The root keeps its number: both halves move to new nodes, the root goes up a level.
        Node* l = NewNode(f, ix, n->level);
        Node* r = NewNode(f, ix, n->level);
        l->ents = std::move(left);
        l->count = nleft;
        r->ents = std::move(right);
        r->count = nright;
        n->level++;
        n->count = 2;
        n->ents.assign(size_t(2) * esz, 0);
        SetEnt(n->Key(0, esz), keylen, up, EntSerial(up, keylen), l->num);
        SetEnt(n->Key(1, esz), keylen, up, EntSerial(up, keylen), r->num);
        return;
    }
    Node* l = NewNode(f, ix, n->level);
    l->ents = std::move(left);
    l->count = nleft;
    n->ents = std::move(right);
    n->count = nright;
    uint8_t parent_entry[kMaxKeyLength + 8];
    SetEnt(parent_entry, keylen, up, EntSerial(up, keylen), l->num);
    InsertAt(f, ix, depth - 1, ix.path[depth - 1].pos, parent_entry);
}

// Descends by find-greater: the insert position is where the leaf search stops.
static void DescendToInsert(IsamFile& f, IndexState& ix, const uint8_t* key) {
    const int keylen = ix.shape.keylen, esz = ix.shape.esz;
    ix.path.clear();
    Node* n = Root(f, ix);
    for (;;) {
        int pos = Search(ix, n, key, keylen, true, nullptr);
        if (n->level > 0) {
            if (n->count == 0) Raise(kCorrupt);
            if (pos == n->count) pos = n->count - 1;
            ix.path.push_back({n, pos});
            if (ix.path.size() > 64) Raise(kCorrupt);
            n = GetNode(f, ix, EntPtr(n->Key(pos, esz), keylen), n->level - 1);
        } else {
            ix.path.push_back({n, pos});
            return;
        }
    }
}

void InsertKey(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr) {
    const int keylen = ix.shape.keylen, esz = ix.shape.esz;
    const bool dups = ix.shape.serial_width != 0;
    DescendToInsert(f, ix, key);
    // The entry before the insert position: in the leaf, the greatest entry not above the key;
    // higher up, the separator of the subtree to the left.
    const uint8_t* prev = nullptr;
    bool in_leaf = false;
    for (size_t d = ix.path.size(); d-- > 0;) {
        if (ix.path[d].pos > 0) {
            prev = ix.path[d].node->Key(ix.path[d].pos - 1, esz);
            in_leaf = d + 1 == ix.path.size();
            break;
        }
    }
    const bool equal = prev && std::memcmp(prev, key, size_t(keylen)) == 0;
    if (!dups && equal) {
        // A separator may outlive the entry it was copied from (deletes leave separators as they
        // are): only a search tells whether the key is still there.
        if (in_leaf || (FindKey(f, ix, key, keylen, false) &&
                        CompareKeys(ix.desc, PathEntry(ix), key, keylen) == 0))
            Raise(kDuplicate);
        DescendToInsert(f, ix, key);
    }
    uint32_t serial = 0;
    if (dups && equal) serial = EntSerial(prev, keylen) + 1;
    uint8_t entry[kMaxKeyLength + 8];
    SetEnt(entry, keylen, key, serial, ptr);
    InsertAt(f, ix, ix.path.size() - 1, ix.path.back().pos, entry);
    ix.path.clear();
}

bool FindEntry(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr) {
    const int keylen = ix.shape.keylen;
    if (!FindKey(f, ix, key, keylen, false)) return false;
    for (;;) {
        const uint8_t* e = PathEntry(ix);
        if (CompareKeys(ix.desc, e, key, keylen) != 0) return false;
        if (EntPtr(e, keylen) == ptr) return true;
        if (!StepNext(f, ix)) return false;
    }
}

static void RemoveAt(IsamFile& f, IndexState& ix, size_t depth) {
    const int esz = ix.shape.esz;
    Node* n = ix.path[depth].node;
    int pos = ix.path[depth].pos;
    SaveNode(f, ix, *n);
    n->ents.erase(n->ents.begin() + ptrdiff_t(pos) * esz,
                  n->ents.begin() + ptrdiff_t(pos + 1) * esz);
    n->count--;
    n->state = 2;
    if (n->count > 0) return;
    if (depth == 0) {
        n->level = 0;
        return;
    }
    // An emptied node leaves the tree; its number is given back when the operation commits.
    n->state = 0;
    f.freed_nodes.push_back(n->num);
    RemoveAt(f, ix, depth - 1);
}

bool DeleteKey(IsamFile& f, IndexState& ix, const uint8_t* key, uint32_t ptr) {
    if (!FindEntry(f, ix, key, ptr)) return false;
    RemoveAt(f, ix, ix.path.size() - 1);
    ix.path.clear();
    return true;
}

static void FreeSubtree(IsamFile& f, IndexState& ix, uint32_t num, int level,
                        std::unordered_set<uint32_t>& seen) {
    if (!seen.insert(num).second) Raise(kCorrupt);
    Node* n = GetNode(f, ix, num, level);
    if (n->level > 0) {
        std::vector<uint32_t> children;
        for (int i = 0; i < n->count; ++i)
            children.push_back(EntPtr(n->Key(i, ix.shape.esz), ix.shape.keylen));
        for (uint32_t c : children) FreeSubtree(f, ix, c, n->level - 1, seen);
    }
    f.freed_nodes.push_back(num);
}

void FreeTree(IsamFile& f, IndexState& ix) {
    std::unordered_set<uint32_t> seen;
    FreeSubtree(f, ix, ix.desc.root, -1, seen);
    InvalidateIndex(ix, true);
}

}  // namespace isam::detail
