#include "script/Arguments.h"

#include <gtest/gtest.h>

#include <cstring>

namespace script {
namespace {

// Builds little-endian instruction bytes.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& I16(int v) {
        b.push_back(static_cast<uint8_t>(v & 0xFF));
        b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
        return *this;
    }
    Bytes& F32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(u >> (8 * i)));
        return *this;
    }
    Bytes& Str(const std::string& s) {
        b.insert(b.end(), s.begin(), s.end());
        b.push_back(0);
        return *this;
    }
};

Arguments DecodeCommand(const Bytes& bytes, const char* signature,
                        const std::vector<std::string>& vars, size_t* consumed = nullptr) {
    ScriptFile f;
    f.Assign(bytes.b);
    Arguments a;
    DecodeCommandArguments(f, signature, vars, a);
    if (consumed) *consumed = f.Offset();
    return a;
}

TEST(DecodeCommandArguments, EmptySignatureReadsNothing) {
    size_t consumed = 99;
    Arguments a = DecodeCommand(Bytes().I16(5).I16(7), "", {}, &consumed);
    EXPECT_EQ(a.count, 0);
    EXPECT_EQ(consumed, 0u);
    EXPECT_EQ(a.trace, "");
}

TEST(DecodeCommandArguments, StringAndNumbersShareNoSlots) {
    size_t consumed = 0;
    Arguments a = DecodeCommand(Bytes().I16(7).Str("CAR").I16(5).I16(-10).I16(5).I16(20).I16(1234),
                                "S,N,N", {}, &consumed);
    EXPECT_EQ(a.count, 3);
    EXPECT_EQ(a.text, "CAR");
    EXPECT_EQ(a.Int(0), -10);
    EXPECT_EQ(a.Int(1), 20);
    EXPECT_EQ(consumed, 2u + 4 + 4 + 4);  // the trailing 1234 is not read
    EXPECT_EQ(a.trace, " CAR -10 20");
}

TEST(DecodeCommandArguments, RealsAndIntegersAreNumberedTogether) {
    Arguments a = DecodeCommand(
        Bytes().I16(6).F32(0.5f).I16(6).F32(10).I16(5).I16(2).I16(5).I16(3).I16(5).I16(4),
        "R,R,N,N,N", {});
    EXPECT_FLOAT_EQ(a.Real(0), 0.5f);
    EXPECT_FLOAT_EQ(a.Real(1), 10.0f);
    EXPECT_EQ(a.Int(2), 2);
    EXPECT_EQ(a.Int(3), 3);
    EXPECT_EQ(a.Int(4), 4);
    EXPECT_EQ(a.Int(0), 0);  // slot 0 holds a real, not an integer
    EXPECT_EQ(a.trace, " 0.5 10 2 3 4");
}

TEST(DecodeCommandArguments, UnknownTagSkipsWithoutMovingTheSlotCounter) {
    Arguments a = DecodeCommand(Bytes().I16(0).I16(5).I16(42).I16(5).I16(43), "N,N,N", {});
    EXPECT_EQ(a.Int(0), 42);
    EXPECT_EQ(a.Int(1), 43);
}

TEST(DecodeCommandArguments, VariableReferencesResolveByLetter) {
    const std::vector<std::string> vars = {"10", "20", "30"};
    struct Case {
        const char* signature;
        int k;
        int expected_int;
        float expected_real;
        const char* expected_text;
    } cases[] = {
        {"N", 2, 30, 0, ""},                       // numbers read entry k
        {"S", 2, 0, 0, "20"},                      // strings read entry k - 1
        {"R", 2, 0, 20, ""},                       // reals read entry k - 1
        {"N", 0, 0, 0, ""},   {"N", 3, 0, 0, ""},  // beyond the list: 0
        {"S", 4, 0, 0, ""},   {"S", 0, 0, 0, ""},  // beyond: empty
        {"R", 3, 0, 30, ""},  {"M", 1, 20, 0, ""},
    };
    for (const Case& c : cases) {
        Arguments a = DecodeCommand(Bytes().I16(4).I16(c.k), c.signature, vars);
        EXPECT_EQ(a.Int(0), c.expected_int) << c.signature << c.k;
        EXPECT_FLOAT_EQ(a.Real(0), c.expected_real) << c.signature << c.k;
        EXPECT_EQ(a.text, c.expected_text) << c.signature << c.k;
        EXPECT_EQ(a.trace, "");
    }
}

TEST(DecodeKeywordArguments, ReadsUntaggedValues) {
    ScriptFile f;
    f.Assign(Bytes().I16(401).Str("yes").I16(120).b);
    Arguments a;
    DecodeKeywordArguments(f, "N,S,N", a);
    EXPECT_EQ(a.Int(0), 401);
    EXPECT_EQ(a.text, "yes");
    EXPECT_EQ(a.Int(1), 120);
    EXPECT_EQ(a.trace, " 401 yes 120");
    EXPECT_TRUE(f.AtEnd());
}

TEST(DecodeArguments, TruncatedStreamStopsAtTheEnd) {
    size_t consumed = 0;
    Arguments a =
        DecodeCommand(Bytes().I16(7).Str("AB").I16(5), "S,N,N,N,N,N,N,N,N,N", {}, &consumed);
    EXPECT_EQ(a.text, "AB");
    EXPECT_EQ(consumed, 2u + 3 + 2);
}

}  // namespace
}  // namespace script
