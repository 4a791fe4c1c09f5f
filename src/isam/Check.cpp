// The checker reads the files directly, bounding every walk, so that damaged files give a list
// of problems rather than a crash or a loop.
#include "isam/Check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "isam/IsamFile.h"
#include "isam/Key.h"
#include "isam/Protocol.h"

namespace isam {

using namespace detail;

namespace {

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    return buf;
}

struct Files {
    int idx = -1, dat = -1;
    off_t idx_size = 0, dat_size = 0;
    ~Files() {
        if (idx >= 0) ::close(idx);
        if (dat >= 0) ::close(dat);
    }
};

struct Checker {
    std::vector<std::string>* problems;
    std::vector<std::string>* notes;
    Files files;
    HeaderFields hdr;
    int ns = 0;
    int slotlen = 0;
    bool masked = false;
    std::vector<KeyDesc> keys;  // real indexes
    std::vector<uint32_t> dict_nodes;
    // Owner of each index node: 'd' dictionary, 't' tree, 'f' free-list node, 'e' free entry.
    std::unordered_map<uint32_t, char> owner;
    std::vector<std::unordered_map<uint32_t, std::vector<uint8_t>>> entries;  // ptr -> key
    uint32_t live_in_limit = 0;       // live slots up to RecordLimit()
    uint32_t free_dead_in_limit = 0;  // numbers on the data free list naming dead slots up to it

    void Problem(std::string s) { problems->push_back(std::move(s)); }
    // Loops stop at what the files hold, whatever the header claims.
    uint32_t NodeLimit() const {
        return uint32_t(std::min<off_t>(off_t(hdr.highest_node), files.idx_size / ns));
    }
    uint32_t RecordLimit() const {
        if (files.dat < 0) return 0;
        return uint32_t(std::min<off_t>(off_t(hdr.highest_rec), files.dat_size / slotlen));
    }
    void Note(std::string s) {
        if (notes) notes->push_back(std::move(s));
    }

    bool ReadNode(uint32_t n, std::vector<uint8_t>& raw) {
        raw.assign(size_t(ns), 0);
        if (n < 1 || n > hdr.highest_node) return false;
        off_t off = off_t(n - 1) * ns;
        if (off + ns > files.idx_size) return false;
        return ::pread(files.idx, raw.data(), size_t(ns), off) == ns;
    }

    bool Claim(uint32_t n, char what, const char* context) {
        if (n < 2 || n > hdr.highest_node) {
            Problem(Format("%s: node %u out of range 2..%u", context, n, hdr.highest_node));
            return false;
        }
        auto [it, fresh] = owner.emplace(n, what);
        if (!fresh) {
            Problem(Format("%s: node %u is already used (%c)", context, n, it->second));
            return false;
        }
        return true;
    }

    bool SlotLive(uint32_t r, std::vector<uint8_t>* slot) {
        if (slot) slot->clear();
        if (files.dat < 0 || r < 1) return false;
        std::vector<uint8_t> buf(size_t(slotlen), 0);
        off_t off = off_t(r - 1) * slotlen;
        if (off + slotlen > files.dat_size) return false;
        if (::pread(files.dat, buf.data(), size_t(slotlen), off) != slotlen) return false;
        bool live = buf[size_t(hdr.reclen)] == kLive;
        if (slot) *slot = std::move(buf);
        return live;
    }

    // Calls fn(r, slot) for the slots first to last that hold written bytes. A hole of a sparse
    // file reads as zeros, which are deleted slots, so it is passed over: the walk is bounded by
    // what the file really holds, not by the size it claims.
    template <class Fn>
    void ScanSlots(uint64_t first, uint64_t last, Fn&& fn) {
        if (files.dat < 0 || first > last) return;
        const size_t per_chunk = std::max<size_t>(1, (256 * 1024) / size_t(slotlen));
        std::vector<uint8_t> chunk(per_chunk * size_t(slotlen));
        uint64_t r = first;
        while (r <= last) {
            const off_t pos = off_t(r - 1) * slotlen;
            off_t data = ::lseek(files.dat, pos, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO) return;  // nothing but a hole up to the end
                data = pos;                  // no hole information: every slot is read
            }
            r = std::max<uint64_t>(r, uint64_t(data / slotlen) + 1);
            off_t hole = ::lseek(files.dat, data, SEEK_HOLE);
            if (hole < 0) hole = files.dat_size;
            const uint64_t until =
                std::min<uint64_t>(last, uint64_t((hole + slotlen - 1) / slotlen));
            for (; r <= until;) {
                const size_t want = size_t(std::min<uint64_t>(per_chunk, until - r + 1));
                const ssize_t got = ::pread(files.dat, chunk.data(), want * size_t(slotlen),
                                            off_t(r - 1) * slotlen);
                if (got < ssize_t(want * size_t(slotlen))) return;
                for (size_t j = 0; j < want; ++j)
                    fn(uint32_t(r + j), chunk.data() + j * size_t(slotlen));
                r += want;
            }
        }
    }

    bool Open(const char* name) {
        std::string marker = FilePath(name, ".cls");
        if (::access(marker.c_str(), F_OK) == 0) {
            // The pair may be half replaced: only the engine's open puts it right.
            Problem(Format("%s: a cluster was cut short; opening the file finishes it",
                           marker.c_str()));
            return false;
        }
        std::string idx = FilePath(name, ".idx");
        files.idx = ::open(idx.c_str(), O_RDONLY | O_CLOEXEC);
        if (files.idx < 0) {
            Problem(Format("cannot open %s: %s", idx.c_str(), std::strerror(errno)));
            return false;
        }
        struct stat st;
        ::fstat(files.idx, &st);
        files.idx_size = st.st_size;
        uint8_t head[64];
        if (::pread(files.idx, head, 64, 0) != 64 || HeaderNodeSize(head) == 0) {
            Problem("header node missing or node size impossible");
            return false;
        }
        ns = HeaderNodeSize(head);
        std::vector<uint8_t> raw(static_cast<size_t>(ns));
        if (::pread(files.idx, raw.data(), size_t(ns), 0) != ns) {
            Problem("header node cut short");
            return false;
        }
        DecodeHeader(raw.data(), hdr);
        if (hdr.serial_width != kSerialWidth) Problem(Format("serial width %d", hdr.serial_width));
        if (hdr.nindexes < 1 || hdr.nindexes > kMaxIndexes + 1) {
            Problem(Format("impossible number of indexes %d", hdr.nindexes));
            return false;
        }
        if (off_t(hdr.highest_node) * ns > files.idx_size) {
            Problem(Format("index file has %lld nodes, header says %u",
                           (long long)(files.idx_size / ns), hdr.highest_node));
        }
        masked = hdr.file_flags & kFlagMasked;
        slotlen = hdr.reclen + 1 + ((hdr.file_flags & kFlagVarlen) ? 6 : 0) + (masked ? 4 : 0);
        if (hdr.reclen > 0) {
            std::string dat = FilePath(name, ".dat");
            files.dat = ::open(dat.c_str(), O_RDONLY | O_CLOEXEC);
            if (files.dat < 0) {
                Problem(Format("cannot open %s: %s", dat.c_str(), std::strerror(errno)));
                return false;
            }
            ::fstat(files.dat, &st);
            files.dat_size = st.st_size;
            if (files.dat_size % slotlen != 0) {
                // Slots read at the wrong length would be taken for records or for free space.
                Problem(
                    Format("data file of %lld bytes is no whole number of %d-byte slots: it "
                           "does not belong to this index file",
                           (long long)files.dat_size, slotlen));
                return false;
            }
        }
        return true;
    }

    bool Dictionary() {
        uint32_t node = hdr.dict_node;
        std::vector<uint8_t> raw;
        int found = 0;
        while (found < hdr.nindexes) {
            if (!Claim(node, 'd', "dictionary") || !ReadNode(node, raw)) {
                Problem("dictionary chain broken");
                return false;
            }
            dict_nodes.push_back(node);
            int used = int(Be16(raw.data()));
            if (used < 6 || used > ns - 4) {
                Problem(Format("dictionary node %u: bytes used %d", node, used));
                return false;
            }
            for (int off = 6; off < used && found < hdr.nindexes; ++found) {
                KeyDesc k;
                int size;
                if (!DecodeDictEntry(raw.data() + off, used - off, k, &size)) {
                    Problem(Format("dictionary node %u: malformed entry at %d", node, off));
                    return false;
                }
                off += size;
                if (k.nparts == 0) {
                    if (found != 0) Problem("a 0-part dictionary entry after the first");
                    continue;
                }
                if (!ValidateKey(k, hdr.reclen)) {
                    Problem(Format("index %zu: invalid key description", keys.size() + 1));
                    return false;
                }
                keys.push_back(k);
            }
            node = Be32(raw.data() + 2);
        }
        return true;
    }

    // Walks one tree; returns false when it had to stop early.
    void Tree(size_t i) {
        const KeyDesc& key = keys[i];
        IndexShape shape;
        MakeShape(key, shape);
        auto& ptrs = entries[i];
        const int keylen = shape.keylen;
        std::vector<uint8_t> prev;
        uint32_t prev_serial = 0;
        bool have_prev = false;
        int leaf_level = -1;
        std::string ctx = Format("index %zu", i + 1);
        struct Item {
            uint32_t node;
            int level;                   // expected, -1 for the root
            std::vector<uint8_t> bound;  // keys below must not exceed it (empty: none)
        };
        std::vector<Item> stack{{key.root, -1, {}}};
        std::vector<uint8_t> raw;
        while (!stack.empty()) {
            Item it = std::move(stack.back());
            stack.pop_back();
            if (!Claim(it.node, 't', ctx.c_str())) continue;
            if (!ReadNode(it.node, raw)) {
                Problem(Format("%s: node %u unreadable", ctx.c_str(), it.node));
                continue;
            }
            Node node;
            try {
                DecodeNode(raw.data(), ns, shape, node);
            } catch (const Fail&) {
                Problem(Format("%s: node %u malformed", ctx.c_str(), it.node));
                continue;
            }
            if (it.level >= 0 && node.level != it.level) {
                Problem(Format("%s: node %u has level %d, expected %d", ctx.c_str(), it.node,
                               node.level, it.level));
                continue;
            }
            if (node.count == 0 && it.level >= 0)
                Problem(Format("%s: empty node %u below the root", ctx.c_str(), it.node));
            if (node.level == 0) {
                if (leaf_level < 0) leaf_level = 0;
                for (int j = 0; j < node.count; ++j) {
                    const uint8_t* e = node.Key(j, shape.esz);
                    uint32_t ptr = EntPtr(e, keylen), serial = EntSerial(e, keylen);
                    if (!it.bound.empty() && CompareKeys(key, e, it.bound.data(), keylen) > 0)
                        Problem(Format("%s: node %u holds a key above its parent's entry",
                                       ctx.c_str(), it.node));
                    if (have_prev) {
                        int c = CompareKeys(key, prev.data(), e, keylen);
                        bool bad = c > 0 || (c == 0 && !(key.flags & KEY_DUPS)) ||
                                   (c == 0 && prev_serial >= serial);
                        if (bad)
                            Problem(
                                Format("%s: keys out of order in node %u", ctx.c_str(), it.node));
                    }
                    prev.assign(e, e + keylen);
                    prev_serial = serial;
                    have_prev = true;
                    if (!ptrs.emplace(ptr, std::vector<uint8_t>(e, e + keylen)).second)
                        Problem(Format("%s: record %u has two entries", ctx.c_str(), ptr));
                }
                continue;
            }
            // Children are pushed last-first so that leaves are visited in key order.
            for (int j = node.count - 1; j >= 0; --j) {
                const uint8_t* e = node.Key(j, shape.esz);
                std::vector<uint8_t> bound;
                if (j < node.count - 1)
                    bound.assign(e, e + keylen);
                else
                    bound = it.bound;
                stack.push_back({EntPtr(e, keylen), node.level - 1, std::move(bound)});
            }
        }
    }

    void Records() {
        uint8_t keybuf[kMaxKeyLength];
        std::vector<std::set<uint32_t>> seen(keys.size());
        uint64_t live = 0;
        const uint32_t limit = RecordLimit();
        uint32_t odd = 0, first_odd = 0;
        ScanSlots(1, limit, [&](uint32_t r, const uint8_t* slot) {
            const uint8_t flag = slot[hdr.reclen];
            if (flag != kLive) {
                if (flag != kDead && !odd++) first_odd = r;
                return;
            }
            ++live;
            uint32_t mask = masked ? Be32(slot + slotlen - 4) : 0;
            for (size_t i = 0; i < keys.size(); ++i) {
                if (masked && i < 32 && ((mask >> i) & 1u)) continue;
                BuildKey(keys[i], slot, keybuf);
                if (IsNullKey(keys[i], keybuf)) continue;
                auto it = entries[i].find(r);
                if (it == entries[i].end()) {
                    Problem(Format("record %u is missing from index %zu", r, i + 1));
                } else {
                    if (std::memcmp(it->second.data(), keybuf, size_t(keys[i].keylen)) != 0)
                        Problem(
                            Format("index %zu: the entry of record %u has another key", i + 1, r));
                    seen[i].insert(r);
                }
            }
        });
        live_in_limit = uint32_t(live);
        for (size_t i = 0; i < keys.size(); ++i)
            for (auto& [ptr, k] : entries[i])
                if (!seen[i].count(ptr))
                    Problem(
                        Format("index %zu: entry points at record %u, which is not a live record "
                               "of this index",
                               i + 1, ptr));
        if (odd)
            Problem(
                Format("%u slots (the first record %u) have a flag byte that is neither live "
                       "nor deleted",
                       odd, first_odd));
        // The header counts every record written: a live slot past it is out of step.
        uint32_t beyond = 0, first_beyond = 0;
        const off_t slots = std::min<off_t>(files.dat_size / slotlen, 0x7FFFFFFF);
        ScanSlots(uint64_t(limit) + 1, uint64_t(slots), [&](uint32_t r, const uint8_t* slot) {
            if (slot[hdr.reclen] == kLive && !beyond++) first_beyond = r;
        });
        if (beyond)
            Problem(Format("%u live records (the first %u) lie beyond the highest record number %u",
                           beyond, first_beyond, hdr.highest_rec));
        Note(Format("%llu live records", (unsigned long long)live));
    }

    void FreeLists() {
        std::vector<uint8_t> raw;
        std::set<uint32_t> free_recs;
        for (int which = 0; which < 2; ++which) {
            const bool data = which == 1;
            const char* ctx = data ? "data free list" : "index free list";
            uint32_t node = data ? hdr.data_free : hdr.index_free;
            while (node != 0) {
                if (!Claim(node, 'f', ctx) || !ReadNode(node, raw)) {
                    Problem(Format("%s: chain broken at node %u", ctx, node));
                    break;
                }
                int used = int(Be16(raw.data()));
                if (used < 6 || used > ns - 4 || (used - 6) % 4 != 0) {
                    Problem(Format("%s: node %u has bytes used %d", ctx, node, used));
                    break;
                }
                for (int off = 6; off < used; off += 4) {
                    uint32_t n = Be32(raw.data() + off);
                    if (!data) {
                        Claim(n, 'e', ctx);
                    } else if (n < 1 || n > hdr.highest_rec) {
                        Problem(Format("%s: record %u out of range", ctx, n));
                    } else if (!free_recs.insert(n).second) {
                        Problem(Format("%s: record %u listed twice", ctx, n));
                    } else if (SlotLive(n, nullptr)) {
                        Problem(Format("%s: record %u is live", ctx, n));
                    } else if (n <= RecordLimit()) {
                        ++free_dead_in_limit;
                    }
                }
                node = Be32(raw.data() + 2);
            }
        }
        // Counted, not walked: a sparse file may claim far more slots and nodes than it holds.
        if (files.dat >= 0 && !(hdr.file_flags & kFlagAppend)) {
            const uint32_t leaked = RecordLimit() - live_in_limit - free_dead_in_limit;
            if (leaked) Note(Format("%u deleted records on no free list", leaked));
        }
        const uint32_t nodes = NodeLimit();
        uint32_t owned = 0;
        for (const auto& [n, what] : owner)
            if (n >= 2 && n <= nodes) ++owned;
        const uint32_t orphans = nodes >= 2 ? nodes - 1 - owned : 0;
        if (orphans) Note(Format("%u index nodes in no tree and on no list", orphans));
    }
};

// The locks a reader holds, kept for the whole check so that no write runs while the files are
// read: a shared byte of the file-level region (refused while the file is held exclusively) and
// a shared byte of the index-level region (waiting for a write in progress to end).
class ReadLocks {
  public:
    ~ReadLocks() {
        try {
            if (f_.phys) {
                ReleaseIndexLock(f_);
                ReleaseFileLock(*f_.phys);
            }
        } catch (...) {
        }
        if (f_.phys && f_.phys->lck_fd >= 0) ::close(f_.phys->lck_fd);
    }
    // False, with the reason, when the file is in use; a lock file that cannot be opened for
    // writing (read-only media, where nothing writes) means no locks.
    bool Take(const char* name, std::string* why) {
        if (::access(FilePath(name, ".idx").c_str(), F_OK) != 0) return true;  // nothing to lock
        int fd = OpenLockFile(name);
        if (fd < 0) return true;
        f_.phys = std::make_shared<Physical>();
        f_.phys->lck_fd = fd;
        try {
            if (!TakeFileLock(*f_.phys, f_, false, false)) Raise(kFileLocked);
            TakeIndexLock(f_, false);
        } catch (const Fail& e) {
            *why = Format("the file is in use: %s (%d)", ErrorText(e.code), e.code);
            return false;
        }
        return true;
    }

  private:
    IsamFile f_;
};

}  // namespace

namespace {

bool Check(const char* name, std::vector<std::string>* problems, std::vector<std::string>* notes) {
    size_t before = problems->size();
    Checker c{problems, notes, {}, {}, 0, 0, false, {}, {}, {}, {}};
    if (!name || !*name) {
        problems->push_back("no file name");
        return false;
    }
    ReadLocks locks;
    std::string why;
    if (!locks.Take(name, &why)) {
        problems->push_back(why);
        return false;
    }
    if (c.Open(name) && c.Dictionary()) {
        c.entries.resize(c.keys.size());
        for (size_t i = 0; i < c.keys.size(); ++i) c.Tree(i);
        if (c.files.dat >= 0) c.Records();
        c.FreeLists();
    }
    return problems->size() == before;
}

// The reason a check or a description had to stop short.
std::string Stopped() {
    const Fail e = CaughtFailure();
    return Format("the files could not be read to the end: %s (%d)", ErrorText(e.code), e.code);
}

}  // namespace

bool CheckFiles(const char* name, std::vector<std::string>* problems,
                std::vector<std::string>* notes) {
    std::vector<std::string> local;
    if (!problems) problems = &local;
    try {
        return Check(name, problems, notes);
    } catch (...) {
        try {
            problems->push_back(Stopped());
        } catch (...) {
        }
        return false;
    }
}

std::string FilePathOf(const char* name, const char* ext) {
    return FilePath(name ? name : "", ext);
}

namespace {

bool Describe(const char* name, std::string* out) {
    std::vector<std::string> problems;
    Checker c{&problems, nullptr, {}, {}, 0, 0, false, {}, {}, {}, {}};
    if (!name || !c.Open(name) || !c.Dictionary()) {
        *out = problems.empty() ? std::string("cannot read the files") : problems.front();
        return false;
    }
    const HeaderFields& h = c.hdr;
    std::string s;
    s += Format("node size %d\nrecord length %d%s\n", h.node_size, h.reclen,
                h.reclen == 0 ? " (index-only)" : "");
    s += Format("slot length %d\nmaximum length %d\n", c.slotlen, h.maxlen);
    s += Format("file flags 0x%x%s%s%s\n", h.file_flags,
                (h.file_flags & kFlagMasked) ? " masked" : "",
                (h.file_flags & kFlagAppend) ? " append" : "",
                (h.file_flags & kFlagVarlen) ? " varlen" : "");
    s += Format("dictionary node %u\nindexes %zu%s\n", h.dict_node, c.keys.size(),
                h.nindexes > int(c.keys.size()) ? " (no primary key)" : "");
    for (size_t i = 0; i < c.keys.size(); ++i) {
        const KeyDesc& k = c.keys[i];
        s += Format("index %zu: root %u flags 0x%x length %d parts", i + 1, k.root, k.flags,
                    k.keylen);
        for (int j = 0; j < k.nparts; ++j)
            s += Format(" %d:%d:%d", k.parts[j].start, k.parts[j].length, k.parts[j].type);
        s += "\n";
    }
    uint64_t live = 0;
    c.ScanSlots(1, c.RecordLimit(), [&](uint32_t, const uint8_t* slot) {
        if (slot[h.reclen] == kLive) ++live;
    });
    s += Format("highest record %u\nlive records %llu\n", h.highest_rec, (unsigned long long)live);
    s += Format("highest node %u\nindex file nodes %lld\n", h.highest_node,
                (long long)(c.files.idx_size / h.node_size));
    s += Format("data free list %u\nindex free list %u\n", h.data_free, h.index_free);
    s += Format("change counter %u\nunique id %u\n", h.change_counter, h.unique_id);
    *out = s;
    return true;
}

}  // namespace

bool DescribeFiles(const char* name, std::string* out) {
    try {
        return Describe(name, out);
    } catch (...) {
        try {
            *out = Stopped();
        } catch (...) {
            out->clear();
        }
        return false;
    }
}

}  // namespace isam
