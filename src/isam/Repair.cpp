// Repair works through the engine on an exclusive handle: it rebuilds every index and both free
// lists from the live records. It first proves that the data file belongs to the index file
// (whole slots, every flag byte live or deleted), since a record it took for dead would become
// free space; and it keeps the index file as it found it in NAME.idx~ until it has succeeded.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <set>

#include "isam/Check.h"
#include "isam/IsamFile.h"
#include "isam/Key.h"
#include "isam/Protocol.h"
#include "platform/FileOwner.h"

namespace isam {

using namespace detail;

namespace {

// Proves every slot of the data file live or deleted; answers the last live one.
uint32_t ProveSlots(IsamFile& f, std::string* why) {
    struct stat st;
    if (::fstat(f.dat_fd(), &st) != 0) RaiseSystem(kDataFile + kStepSeek);
    char text[200];
    if (st.st_size % f.slotlen != 0) {
        std::snprintf(text, sizeof text,
                      "the data file's %lld bytes are no whole number of %d-byte slots: it does "
                      "not belong to this index file",
                      (long long)st.st_size, f.slotlen);
        *why = text;
        Raise(kCorrupt);
    }
    const uint32_t slots = uint32_t(std::min<off_t>(st.st_size / f.slotlen, 0x7FFFFFFF));
    const size_t per_chunk = std::max<size_t>(1, (256 * 1024) / size_t(f.slotlen));
    std::vector<uint8_t> chunk(per_chunk * size_t(f.slotlen));
    uint32_t last_live = 0;
    for (uint32_t first = 1; first <= slots; first += uint32_t(per_chunk)) {
        const size_t want = std::min<size_t>(per_chunk, slots - first + 1);
        const size_t got = ReadSome(f.dat_fd(), chunk.data(), want * size_t(f.slotlen),
                                    f.SlotOffset(first), kDataFile);
        if (got != want * size_t(f.slotlen)) Raise(kCorrupt);
        for (size_t j = 0; j < want; ++j) {
            const uint8_t flag = chunk[j * size_t(f.slotlen) + size_t(f.reclen)];
            if (flag == kLive) {
                last_live = first + uint32_t(j);
            } else if (flag != kDead) {
                std::snprintf(text, sizeof text,
                              "record %u has the flag byte 0x%02x, neither live nor deleted: the "
                              "data file does not fit this index file",
                              first + uint32_t(j), flag);
                *why = text;
                Raise(kCorrupt);
            }
        }
    }
    return last_live;
}

// Copies the index file to `to`; a copy cut short is removed. Holes and zero-filled chunks
// are left as holes, so a large, mostly empty index file cannot fill the disk with its copy.
void CopyIndexFile(IsamFile& f, const std::string& to) {
    int out = CreateBeside(to, O_WRONLY | O_TRUNC, platform::FolderOf(to));
    if (out < 0) RaiseSystem(kIndexFile + kStepCreate);
    try {
        std::vector<uint8_t> buf(size_t(256) * 1024);
        off_t end = 0;
        for (off_t off = 0;; off += off_t(buf.size())) {
            // Jump over a hole to the next data; no more data ends the copy.
            const off_t data = ::lseek(f.idx_fd(), off, SEEK_DATA);
            if (data < 0 && errno == ENXIO) break;
            if (data < 0) RaiseSystem(kIndexFile + kStepSeek);
            off = data - data % off_t(buf.size());
            size_t got = ReadSome(f.idx_fd(), buf.data(), buf.size(), off, kIndexFile);
            const bool zeros =
                std::all_of(buf.begin(), buf.begin() + long(got), [](uint8_t b) { return b == 0; });
            if (got > 0 && !zeros) WriteAt(out, buf.data(), got, off, kIndexFile);
            end = std::max(end, off + off_t(got));
            if (got < buf.size()) break;
        }
        struct stat st;
        if (::fstat(f.idx_fd(), &st) == 0) end = std::max(end, st.st_size);
        if (::ftruncate(out, end) != 0) RaiseSystem(kIndexFile + kStepWrite);
    } catch (...) {
        ::close(out);
        ::unlink(to.c_str());
        throw;
    }
    ::close(out);
}

}  // namespace

static int Repair(const char* name, std::string* why) {
    int h = ISOPEN(name, OPEN_INOUT | LOCKMODE_EXCL);
    if (h < 0) return -1;
    const std::string copy = FilePath(name, ".idx") + "~";
    bool copied = false;
    int rc = Run(h, kOpWrite, kExclusive, [&](IsamFile& f) {
        if (f.IndexOnly()) Raise(kBadArgument);
        const uint32_t last_live = ProveSlots(f, why);
        // Keep the header, the dictionary and the roots; every other node becomes free.
        std::set<uint32_t> keep{1};
        std::vector<uint8_t> raw(size_t(f.ns));
        uint32_t node = f.hdr.dict_node;
        for (size_t found = 0; found < size_t(f.hdr.nindexes);) {
            if (node < 2 || node > f.hdr.highest_node || !keep.insert(node).second) Raise(kCorrupt);
            ReadAt(f.idx_fd(), raw.data(), size_t(f.ns), f.NodeOffset(node), kIndexFile);
            int used = int(Be16(raw.data()));
            for (int off = 6; off < used && found < size_t(f.hdr.nindexes); ++found) {
                KeyDesc k;
                int size;
                if (!DecodeDictEntry(raw.data() + off, used - off, k, &size)) Raise(kCorrupt);
                off += size;
            }
            node = Be32(raw.data() + 2);
        }
        // Numbers beyond the end of the index file are dropped.
        struct stat st;
        if (fstat(f.idx_fd(), &st) == 0 && off_t(f.hdr.highest_node) > st.st_size / f.ns)
            f.hdr.highest_node = uint32_t(st.st_size / f.ns);
        for (uint32_t n : keep)
            if (n > f.hdr.highest_node) Raise(kCorrupt);
        // Slots beyond the data file are dropped; live ones beyond the highest number are kept.
        if (fstat(f.dat_fd(), &st) == 0 && off_t(f.hdr.highest_rec) > st.st_size / f.slotlen)
            f.hdr.highest_rec = uint32_t(st.st_size / f.slotlen);
        f.hdr.highest_rec = std::max(f.hdr.highest_rec, last_live);

        CopyIndexFile(f, copy);
        copied = true;
        for (auto& ix : f.ix) {
            keep.insert(ix.desc.root);
            ix.cache.clear();
            ix.path.clear();
            ix.cur_rec = 0;
            auto root = std::make_unique<Node>();
            root->num = ix.desc.root;
            root->state = 2;
            ix.cache[root->num] = std::move(root);
        }
        f.hdr.index_free = 0;
        f.hdr.data_free = 0;
        InvalidateFreeLists(f);
        f.state &= ~kStAppend;
        for (uint32_t n = f.hdr.highest_node; n >= 2; --n)
            if (!keep.count(n)) GiveNumber(f, f.node_free, n);
        for (size_t i = 0; i < f.ix.size(); ++i) FillIndex(f, i);
        // Every slot was proven live or deleted: the deleted ones go straight onto the list,
        // and the data file is not written at all.
        for (uint32_t r = f.hdr.highest_rec; r >= 1; --r)
            if (!SlotLive(f, r)) GiveNumber(f, f.data_free, r);
        return 0;
    });
    int err = last_error, io = last_io_error;
    ISCLOSE(h);
    if (rc == 0) {
        ::unlink(copy.c_str());
    } else if (copied) {
        if (!why->empty()) *why += "; ";
        *why += "the index file as it was is kept in " + copy;
    }
    last_error = rc < 0 ? err : 0;
    last_io_error = rc < 0 ? io : 0;
    return rc;
}

int RepairFiles(const char* name, std::string* why) {
    std::string local;
    if (!why) why = &local;
    why->clear();
    return Guarded([&] { return Repair(name, why); });
}

}  // namespace isam
