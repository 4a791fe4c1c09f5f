// The two free lists (index nodes, data records), both chains of list nodes in the index file.
// Numbers are handed out last-freed first; an empty list extends the file.
#include <sys/stat.h>

#include "isam/IsamFile.h"

namespace isam::detail {

static uint32_t& Head(IsamFile& f, FreeList& fl) {
    return fl.is_data ? f.hdr.data_free : f.hdr.index_free;
}
static uint32_t& Highest(IsamFile& f, FreeList& fl) {
    return fl.is_data ? f.hdr.highest_rec : f.hdr.highest_node;
}

static void LoadHead(IsamFile& f, FreeList& fl) {
    uint32_t head = Head(f, fl);
    if (fl.state != 0 && fl.buf_node == head) return;
    if (fl.state == 2) Fatal("ISFREE", fl.is_data ? 198 : 197);
    if (head < 2 || head > f.hdr.highest_node) Raise(kCorrupt);
    fl.buf.resize(size_t(f.ns));
    ReadAt(f.idx_fd(), fl.buf.data(), size_t(f.ns), f.NodeOffset(head), kIndexFile);
    int used = int(Be16(fl.buf.data()));
    if (used < 6 || used > f.ns - 4 || (used - 6) % 4 != 0) Raise(kCorrupt);
    fl.buf_node = head;
    fl.state = 1;
}

static uint32_t NextNumber(IsamFile& f, FreeList& fl, uint32_t& highest) {
    if (highest >= 0x7FFFFFFFu) Raise(kCorrupt);
    if (!fl.is_data && f.first_new_node == 0) {
        // Nodes reach the file before the header counts them: a count past the end of the file
        // is damage, and growing from it would write far beyond the end.
        struct stat st;
        if (::fstat(f.idx_fd(), &st) != 0) RaiseSystem(kIndexFile + kStepSeek);
        if (f.NodeOffset(highest) + f.ns > st.st_size) Raise(kCorrupt);
        f.first_new_node = highest + 1;
    }
    f.allocated = true;
    return ++highest;
}

uint32_t TakeNumber(IsamFile& f, FreeList& fl) {
    for (;;) {
        uint32_t& head = Head(f, fl);
        uint32_t& highest = Highest(f, fl);
        if ((fl.is_data && (f.state & kStAppend)) || head == 0) return NextNumber(f, fl, highest);
        LoadHead(f, fl);
        uint8_t* buf = fl.buf.data();
        int used = int(Be16(buf));
        uint32_t n;
        if (used > 6) {
            n = Be32(buf + used - 4);
        } else if (!fl.is_data) {
            n = head;
        } else {
            // An empty data list node (left by an interrupted operation): drop it and go on.
            head = Be32(buf + 2);
            fl.state = 0;
            f.freed_nodes.push_back(fl.buf_node);
            f.allocated = true;
            continue;
        }
        used -= 4;
        PutBe16(buf, unsigned(used));
        if (used > (fl.is_data ? 6 : 2)) {
            fl.state = 2;
        } else {
            uint32_t old = head;
            head = Be32(buf + 2);
            fl.state = 0;
            if (fl.is_data) f.freed_nodes.push_back(old);
        }
        bool valid =
            fl.is_data ? (n >= 1 && n <= f.hdr.highest_rec) : (n >= 2 && n <= f.hdr.highest_node);
        if (!valid) Raise(kCorrupt);
        f.allocated = true;
        return n;
    }
}

uint32_t NodesForGiving(IsamFile& f, size_t count) {
    if (count == 0 || (f.state & kStAppend)) return 0;
    size_t room = 0;
    if (f.hdr.data_free != 0) {
        LoadHead(f, f.data_free);
        room = size_t(f.ns - 4 - int(Be16(f.data_free.buf.data()))) / 4;
    }
    if (count <= room) return 0;
    const size_t per_node = size_t(f.ns - 4 - 6) / 4;
    const size_t nodes = (count - room + per_node - 1) / per_node;
    const size_t at_hand = f.freed_nodes.size() + (f.hdr.index_free != 0 ? 1 : 0);
    return nodes > at_hand ? uint32_t(nodes - at_hand) : 0;
}

static void StartListNode(IsamFile& f, FreeList& fl, uint32_t node, uint32_t next) {
    fl.buf.resize(size_t(f.ns));
    InitFreeListNode(fl.buf.data(), f.ns, next);
    fl.buf_node = node;
    fl.state = 2;
    Head(f, fl) = node;
}

void GiveNumber(IsamFile& f, FreeList& fl, uint32_t n) {
    if (fl.is_data && (f.state & kStAppend)) return;
    uint32_t head = Head(f, fl);
    if (head != 0) {
        LoadHead(f, fl);
        int used = int(Be16(fl.buf.data()));
        if (f.ns - 4 >= used + 4) {
            PutBe32(fl.buf.data() + used, n);
            PutBe16(fl.buf.data(), unsigned(used + 4));
            fl.state = 2;
            return;
        }
        if (fl.state == 2) {
            WriteAt(f.idx_fd(), fl.buf.data(), size_t(f.ns), f.NodeOffset(fl.buf_node), kIndexFile);
            fl.state = 1;
        }
    }
    if (!fl.is_data) {
        // The freed node itself becomes the new head list node.
        StartListNode(f, fl, n, head);
        return;
    }
    uint32_t list_node = TakeNumber(f, f.node_free);
    StartListNode(f, fl, list_node, head);
    PutBe32(fl.buf.data() + 6, n);
    PutBe16(fl.buf.data(), 10);
}

void WriteFreeLists(IsamFile& f) {
    for (FreeList* fl : {&f.node_free, &f.data_free}) {
        if (fl->state != 2) continue;
        WriteAt(f.idx_fd(), fl->buf.data(), size_t(f.ns), f.NodeOffset(fl->buf_node), kIndexFile);
        fl->state = 1;
    }
}

void InvalidateFreeLists(IsamFile& f) {
    f.node_free.state = 0;
    f.data_free.state = 0;
}

}  // namespace isam::detail
