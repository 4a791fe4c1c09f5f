// msgc's decompiler: every message and conversion file of the built demo course decompiles to a
// source that compiles back to the same bytes; what a source cannot carry is named.
#include "Decompile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "MessageSource.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"

namespace msgc {
namespace {

namespace fs = std::filesystem;

// The file the source compiles to, with its own time stamp.
std::string Recompile(const std::string& source) {
    text::MessageContent content;
    SourceError error;
    bool has_time = false;
    EXPECT_TRUE(ParseMessageSource(source, content, error, &has_time))
        << error.line << ": " << error.message;
    EXPECT_TRUE(has_time);
    return text::EncodeMessageFile(content);
}

TEST(Decompile, EveryMessageFileOfTheDemoComesBackByteForByte) {
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(fs::path(DEMO_COURSE_DIR) / "MSG")) {
        const std::string ext = e.path().extension().string();
        if (!e.is_regular_file() || (ext != ".MSG" && ext != ".CNV")) continue;
        ++files;
        const std::string bytes = support::TempFolder::Read(e.path().string());
        Decompiled d;
        std::string why;
        ASSERT_TRUE(DecompileMessageFile(bytes, e.path().filename().string(), d, why))
            << e.path() << ": " << why;
        EXPECT_TRUE(d.differences.empty()) << e.path() << ": " << d.differences.front();
        EXPECT_EQ(Recompile(d.source), bytes) << e.path() << "\n" << d.source;
    }
    EXPECT_GT(files, 20);  // the demo's GB and FR files and the sound list were all seen
}

// Texts with the lines a source writes specially, a gap, formats, a scrambled seed and the
// seed as modulus, as the lesson's step files have.
TEST(Decompile, EscapesGapsFormatsAndTheSeedAsModulusComeBack) {
    text::MessageContent content;
    content.seed = -1957;
    content.modulus = static_cast<uint32_t>(content.seed);
    content.major = 2;
    content.minor = 7;
    content.time_stamp = 123456;
    content.texts = {"[not a header]", "", "\\\\two\n\n\tlast caf\xE9", "", "%1 of %2", ""};
    content.formats = {"", "", "", "", "%d %d"};
    const std::string bytes = text::EncodeMessageFile(content);
    Decompiled d;
    std::string why;
    ASSERT_TRUE(DecompileMessageFile(bytes, "X.MSG", d, why)) << why;
    EXPECT_TRUE(d.differences.empty());
    EXPECT_EQ(Recompile(d.source), bytes) << d.source;
}

TEST(Decompile, WhatASourceCannotCarryIsNamedAndDamageRefused) {
    text::MessageContent content;
    content.texts = {"ends with a line end\n", "a CR\r here", "fine"};
    content.modulus = 77;  // not found by the usual guesses
    Decompiled d;
    std::string why;
    ASSERT_TRUE(DecompileMessageFile(text::EncodeMessageFile(content), "X.MSG", d, why));
    EXPECT_EQ(d.differences.size(), 2u);  // the modulus itself is found
    EXPECT_NE(d.source.find("@modulus 77\n"), std::string::npos) << d.source;

    const std::string good = text::EncodeMessageFile(content);
    for (const std::string& bad : {std::string("short"), good.substr(0, 30),
                                   std::string(good).replace(24, 4, "\xFF\xFF\xFF\x7F")}) {
        EXPECT_FALSE(DecompileMessageFile(bad, "X.MSG", d, why));
        EXPECT_FALSE(why.empty());
    }
}

}  // namespace
}  // namespace msgc
