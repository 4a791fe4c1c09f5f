// The B-tree under every kind of compression and with duplicates, against a simple model; node
// filling and splitting; deletion down to an empty root; the positioning rules of the reads.
#include <algorithm>
#include <cstring>
#include <map>
#include <random>

#include "IsamFixture.h"

namespace isam_test {
namespace {

using namespace isam;

// Records of 16 bytes: a 12-byte text key (index 2) and a unique id (index 1).
struct Model {
    struct Entry {
        std::string key;
        uint64_t seq;
        int32_t id;
    };
    std::map<int32_t, std::pair<std::string, uint64_t>> by_id;
    uint64_t seq = 0;
    std::vector<int32_t> Order(bool dups) const {
        std::vector<Entry> v;
        for (auto& [id, ks] : by_id) v.push_back({ks.first, ks.second, id});
        std::sort(v.begin(), v.end(), [&](const Entry& a, const Entry& b) {
            if (a.key != b.key) return a.key < b.key;
            return dups ? a.seq < b.seq : a.id < b.id;
        });
        std::vector<int32_t> ids;
        for (auto& e : v) ids.push_back(e.id);
        return ids;
    }
    bool KeyUsed(const std::string& key, int32_t except) const {
        for (auto& [id, ks] : by_id)
            if (id != except && ks.first == key) return true;
        return false;
    }
};

class IsamBtreeModelTest : public IsamTest, public ::testing::WithParamInterface<int> {};

TEST_P(IsamBtreeModelTest, RandomWorkMatchesModel) {
    const int flags = GetParam();
    const bool dups = flags & KEY_DUPS;
    const char fill = (flags & KEY_TRAIL_NUL) ? '\0' : ' ';
    KeyDesc text = Key({{0, 12, KP_CHAR}}, flags);
    int h = ISBUILD(Path("m").c_str(), 16, Key({{12, 4, KP_INT32}}), OPEN_INOUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISADDINDEX(h, text), 0);
    std::mt19937 rng(1234 + flags);
    const char* prefixes[] = {"alpha", "alpine", "beta", "b", ""};
    auto make_key = [&]() {
        std::string k = prefixes[rng() % 5] + std::to_string(rng() % (dups ? 40 : 4000));
        k.resize(12, fill);
        return k;
    };
    auto record = [&](int32_t id, const std::string& key) {
        std::vector<uint8_t> r(16);
        std::memcpy(r.data(), key.data(), 12);
        store_be32(r.data() + 12, uint32_t(id));
        return r;
    };
    Model model;
    int32_t next_id = 1;
    for (int step = 0; step < 2500; ++step) {
        int op = int(rng() % 10);
        if (op < 6 || model.by_id.empty()) {
            std::string key = make_key();
            int32_t id = next_id++;
            bool clash = !dups && model.KeyUsed(key, -1);
            int rc = ISWRITE(h, record(id, key).data());
            if (clash) {
                ASSERT_EQ(rc, -1);
                ASSERT_EQ(last_error, kDuplicate);
            } else {
                ASSERT_EQ(rc, 0) << last_error;
                model.by_id[id] = {key, model.seq++};
            }
        } else {
            auto it = model.by_id.begin();
            std::advance(it, rng() % model.by_id.size());
            int32_t id = it->first;
            if (op < 8) {
                ASSERT_EQ(ISDELETE(h, record(id, "").data()), 0) << last_error;
                model.by_id.erase(it);
            } else {
                std::string key = make_key();
                bool clash = !dups && model.KeyUsed(key, id);
                int rc = ISREWRITE(h, record(id, key).data());
                if (clash) {
                    ASSERT_EQ(last_error, kDuplicate);
                } else {
                    ASSERT_EQ(rc, 0) << last_error;
                    if (key != it->second.first) it->second = {key, model.seq++};
                }
            }
        }
        if (step % 500 == 499 || step == 2499) {
            ASSERT_EQ(ISSELECTINDEX(h, 2, false), 0);
            std::vector<int32_t> forward, backward;
            std::vector<uint8_t> r(16);
            for (int mode = FIRST; ISREAD(h, r.data(), mode) == 0; mode = NEXT)
                forward.push_back(int32_t(load_be32(r.data() + 12)));
            EXPECT_EQ(last_error, kEndOfFile);
            for (int mode = LAST; ISREAD(h, r.data(), mode) == 0; mode = PREV)
                backward.push_back(int32_t(load_be32(r.data() + 12)));
            std::reverse(backward.begin(), backward.end());
            std::vector<int32_t> want = model.Order(dups);
            ASSERT_EQ(forward, want);
            ASSERT_EQ(backward, want);
            ASSERT_TRUE(Consistent("m"));
        }
    }
    // Every record is found again by its text key.
    for (auto& [id, ks] : model.by_id) {
        std::vector<uint8_t> r = record(0, ks.first);
        ASSERT_EQ(ISSTART(h, &text, 0, r.data(), EQUAL), 0);
        ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
        EXPECT_EQ(std::memcmp(r.data(), ks.first.data(), 12), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Flags, IsamBtreeModelTest,
                         ::testing::Values(0, KEY_DUPS, KEY_DUPS | KEY_DUP_COMPRESS,
                                           KEY_LEAD_COMPRESS, KEY_TRAIL_COMPRESS,
                                           KEY_DUPS | KEY_LEAD_COMPRESS | KEY_TRAIL_COMPRESS,
                                           KEY_DUPS | KEY_DUP_COMPRESS | KEY_LEAD_COMPRESS |
                                               KEY_TRAIL_COMPRESS | KEY_TRAIL_NUL));

using IsamBtreeTest = IsamTest;

// Entries of the raw index file: level and count of node n.
std::pair<int, int> NodeShape(const std::vector<uint8_t>& idx, uint32_t n, int entry) {
    const uint8_t* p = &idx[(n - 1) * 1024];
    return {p[1022], int((load_be16(p) - 2) / unsigned(entry))};
}

TEST_F(IsamBtreeTest, AscendingInsertsFillNodes) {
    int h = BuildSimple("a");
    for (int i = 0; i < 128; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    ISCLOSE(h);
    auto idx = ReadBytes(Path("a.idx"));
    // 127 entries of 8 bytes fill a node; the 128th splits the root into a full left node and a
    // right node holding only the new entry.
    EXPECT_EQ(NodeShape(idx, 3, 8), std::make_pair(1, 2));
    const uint8_t* root = &idx[2 * 1024];
    uint32_t left = load_be32(root + 2 + 4), right = load_be32(root + 2 + 8 + 4);
    EXPECT_EQ(NodeShape(idx, left, 8), std::make_pair(0, 127));
    EXPECT_EQ(NodeShape(idx, right, 8), std::make_pair(0, 1));
    EXPECT_EQ(load_be32(root + 2), 126u);  // highest key of the left half
    EXPECT_TRUE(Consistent("a"));
}

TEST_F(IsamBtreeTest, DeletingEverythingLeavesAnEmptyRootAndFreeNodes) {
    // 200-byte keys: four entries per node, so 100 records make a three-level tree.
    KeyDesc big = Key({{0, 200, KP_CHAR}});
    int h = ISBUILD(Path("d").c_str(), 204, big, OPEN_INOUT);
    ASSERT_GE(h, 0);
    std::vector<uint8_t> rec(204, 'k');
    auto set = [&](int i) {
        snprintf(reinterpret_cast<char*>(rec.data()), 10, "%08d", i);
        rec[8] = 'k';
    };
    for (int i = 0; i < 100; ++i) {
        set((i * 37) % 100);
        ASSERT_EQ(ISWRITE(h, rec.data()), 0);
    }
    auto idx = ReadBytes(Path("d.idx"));
    EXPECT_GE(idx[2 * 1024 + 1022], 2);  // root level
    for (int i = 0; i < 100; ++i) {
        set(i);
        ASSERT_EQ(ISDELETE(h, rec.data()), 0) << i;
    }
    idx = ReadBytes(Path("d.idx"));
    EXPECT_EQ(load_be16(&idx[2 * 1024]), 2u);
    EXPECT_EQ(idx[2 * 1024 + 1022], 0);
    // Every node but the header, dictionary and root is on the index free list (some as list
    // nodes, one of which also lists the data free list's node).
    EXPECT_NE(load_be32(&idx[29]), 0u);
    const uint32_t highest = load_be32(&idx[37]);
    std::vector<std::string> problems, notes;
    EXPECT_TRUE(CheckFiles(Path("d").c_str(), &problems, &notes));
    for (auto& n : notes) EXPECT_EQ(n.find("index nodes in no tree"), std::string::npos) << n;
    // The nodes are reused: the file does not grow when the records come back in the same order.
    for (int i = 0; i < 100; ++i) {
        set((i * 37) % 100);
        ASSERT_EQ(ISWRITE(h, rec.data()), 0);
    }
    idx = ReadBytes(Path("d.idx"));
    EXPECT_EQ(load_be32(&idx[37]), highest);
    EXPECT_TRUE(Consistent("d"));
}

TEST_F(IsamBtreeTest, ReadPositioningRules) {
    int h = BuildSimple("p");
    std::vector<uint8_t> r(8);
    EXPECT_EQ(ISSTART(h, nullptr, 0, nullptr, FIRST), 0);  // empty index: no error
    EXPECT_EQ(ISREAD(h, r.data(), NEXT), -1);
    EXPECT_EQ(last_error, kEndOfFile);
    for (int i : {30, 10, 20}) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{10, 20, 30}));
    EXPECT_EQ(last_error, kEndOfFile);
    ASSERT_EQ(ISREAD(h, r.data(), PREV), 0);  // after the end, PREV gives the last again
    EXPECT_EQ(A(r), 30);
    ASSERT_EQ(ISREAD(h, r.data(), PREV), 0);
    EXPECT_EQ(A(r), 20);
    ASSERT_EQ(ISREAD(h, r.data(), CURRENT), 0);
    EXPECT_EQ(A(r), 20);
    // A failed EQUAL leaves the search key, so NEXT goes on from where it would have been.
    r = Rec(15);
    EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
    EXPECT_EQ(last_error, kNoRecord);
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    EXPECT_EQ(A(r), 20);
    r = Rec(20);
    ASSERT_EQ(ISREAD(h, r.data(), GREATER), 0);
    EXPECT_EQ(A(r), 30);
    r = Rec(20);
    ASSERT_EQ(ISREAD(h, r.data(), GREATER_EQUAL), 0);
    EXPECT_EQ(A(r), 20);
    r = Rec(31);
    EXPECT_EQ(ISREAD(h, r.data(), GREATER_EQUAL), -1);
    EXPECT_EQ(last_error, kNoRecord);
    // Record-number order.
    ASSERT_EQ(ISSELECTINDEX(h, 0, false), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{30, 10, 20}));
    EXPECT_EQ(ISREAD(h, r.data(), 0x7F), -1);
    EXPECT_EQ(last_error, kBadArgument);
}

TEST_F(IsamBtreeTest, PartialKeysDescendingPartsAndNullSuppression) {
    KeyDesc two = Key({{0, 4, KP_INT32}, {4, 4, KP_INT32 | KP_DESC}});
    int h = ISBUILD(Path("k").c_str(), 18, two, OPEN_INOUT);
    ASSERT_GE(h, 0);
    KeyDesc blanks = Key({{8, 10, KP_CHAR | (0x20 << 8)}}, KEY_NULL_SUPPRESS | KEY_DUPS);
    ASSERT_EQ(ISADDINDEX(h, blanks), 0);
    auto rec = [](int a, int b, const char* text) {
        std::vector<uint8_t> r(18, ' ');
        store_be32(r.data(), uint32_t(a));
        store_be32(r.data() + 4, uint32_t(b));
        std::memcpy(r.data() + 8, text, std::strlen(text));
        return r;
    };
    for (auto& r : {rec(2, 1, "x"), rec(1, 5, ""), rec(1, 9, "y"), rec(3, -1, "")})
        ASSERT_EQ(ISWRITE(h, r.data()), 0);
    std::vector<uint8_t> r = rec(1, 0, "");
    ASSERT_EQ(ISSTART(h, &two, 4, r.data(), EQUAL), 0);  // first part only
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    EXPECT_EQ(int32_t(load_be32(r.data() + 4)), 9);  // descending second part: 9 before 5
    ASSERT_EQ(ISREAD(h, r.data(), NEXT), 0);
    EXPECT_EQ(int32_t(load_be32(r.data() + 4)), 5);
    r = rec(1, 0, "");
    EXPECT_EQ(ISSTART(h, &two, 9, r.data(), EQUAL), -1);  // longer than the key
    EXPECT_EQ(last_error, kBadArgument);
    // Blank text fields have no entry in the null-suppressed index.
    ASSERT_EQ(ISSTART(h, &blanks, 0, nullptr, FIRST), 0);
    std::vector<std::string> texts;
    for (int mode = NEXT; ISREAD(h, r.data(), mode) == 0;)
        texts.emplace_back(r.begin() + 8, r.begin() + 9);
    EXPECT_EQ(texts, (std::vector<std::string>{"x", "y"}));
    r = rec(0, 0, "");
    EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);
    EXPECT_EQ(last_error, kNoRecord);
    EXPECT_TRUE(Consistent("k"));
}

int g_filter_calls = 0;
int EvenOnly(int, void* record, int) {
    ++g_filter_calls;
    return load_be32(record) % 2 == 0;
}

TEST_F(IsamBtreeTest, FilterSkipsRejectedRecords) {
    int h = BuildSimple("f");
    for (int i = 1; i <= 6; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    ASSERT_EQ(ISSETFILTER(h, EvenOnly), 0);
    EXPECT_EQ(Scan(h), (std::vector<int32_t>{2, 4, 6}));
    EXPECT_EQ(Scan(h, LAST, PREV), (std::vector<int32_t>{6, 4, 2}));
    std::vector<uint8_t> r = Rec(3);
    EXPECT_EQ(ISREAD(h, r.data(), EQUAL), -1);  // no follow-on mode for EQUAL
    EXPECT_EQ(last_error, kNoRecord);
    r = Rec(3);
    ASSERT_EQ(ISREAD(h, r.data(), GREATER_EQUAL), 0);
    EXPECT_EQ(A(r), 4);
    EXPECT_GT(g_filter_calls, 0);
    // A locked read keeps the lock of the record it returns, not of the ones it passed over.
    ASSERT_EQ(ISREAD(h, r.data(), FIRST | LOCK_KEEP), 0);
    EXPECT_EQ(A(r), 2);
    int other = ISOPEN(Path("f").c_str(), OPEN_INOUT);
    EXPECT_EQ(ISREWRITE(other, Rec(1, 5).data()), 0);
    EXPECT_EQ(ISREWRITE(other, Rec(2, 5).data()), -1);
    EXPECT_EQ(last_error, kRecordLocked);
}

// Writes through the scanning handle split the leaf under the current entry, and (further ahead)
// other leaves and the full branch above the current one: each NEXT still finds the entry after
// the current one, every record once, in key order.
TEST_F(IsamBtreeTest, ScanContinuesAcrossSplitsMadeByTheSameHandle) {
    int h = BuildSimple("split");
    ASSERT_GE(h, 0);
    const int n = 20000;  // three levels of full nodes
    for (int i = 0; i < n; ++i) ASSERT_EQ(ISWRITE(h, Rec(i * 10).data()), 0);
    std::vector<int32_t> want;
    for (int i = 0; i < n; ++i) want.insert(want.end(), {i * 10, i * 10 + 5, i * 10 + 2001});
    std::sort(want.begin(), want.end());
    std::vector<int32_t> seen;
    std::vector<uint8_t> r(8);
    for (int mode = FIRST; ISREAD(h, r.data(), mode) == 0; mode = NEXT) {
        seen.push_back(A(r));
        if (A(r) % 10 == 0) {
            ASSERT_EQ(ISWRITE(h, Rec(A(r) + 5).data()), 0);
            ASSERT_EQ(ISWRITE(h, Rec(A(r) + 2001).data()), 0);
        }
    }
    ASSERT_EQ(seen.size(), want.size());
    for (size_t i = 0; i < seen.size(); ++i) ASSERT_EQ(seen[i], want[i]) << i;
    EXPECT_EQ(ISCLOSE(h), 0);
    EXPECT_TRUE(Consistent("split"));
}
}  // namespace
}  // namespace isam_test
