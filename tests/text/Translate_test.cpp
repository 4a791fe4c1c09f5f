// msgc's PO files: the PO form itself, the argument codes compared on import, and an import
// into a small course that shows what is kept, listed and refused.
#include "Translate.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Decompile.h"
#include "Po.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"
#include "text/TextCodes.h"

namespace msgc {
namespace {

TEST(Po, EntriesComeBackThroughTheirWrittenForm) {
    PoEntry e;
    e.comments = {"common text 7", "arguments: %1 %s"};
    e.flags = {"qt-format"};
    e.has_context = true;
    e.context = "COMMON.MSG 7";
    e.id = "two\nlines with \"quotes\", a \\ and a\ttab\n";
    e.translation = "caf\xC3\xA9 \r\x01 end";
    const std::string text =
        "msgid \"\"\nmsgstr \"X-Source-Language: GB\\n\"\n\n" + FormatPoEntry(e) + FormatPoEntry(e);
    std::vector<PoEntry> entries;
    int line = 0;
    std::string why;
    ASSERT_TRUE(ParsePo(text, entries, line, why)) << line << ": " << why << "\n" << text;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(PoHeaderField(entries[0].translation, "X-Source-Language"), "GB");
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(entries[i].comments, e.comments);
        EXPECT_TRUE(entries[i].HasFlag("qt-format"));
        EXPECT_EQ(entries[i].context, e.context);
        EXPECT_EQ(entries[i].id, e.id);
        EXPECT_EQ(entries[i].translation, e.translation);
    }
    EXPECT_EQ(entries[1].line, 4);
    EXPECT_EQ(entries[2].line,
              entries[1].line + 9);  // 2 comments, flags, context, 3 + 1 strings, blank
    EXPECT_EQ(entries[2].translation_line, entries[2].line + 7);
}

TEST(Po, ReadsWhatGettextToolsWriteAndNamesTheLineOfAFault) {
    // CR LF ends, a fuzzy flag among others, wrapped strings, octal and hex escapes, an
    // obsolete entry and entries without a blank line between them.
    const std::string text =
        "# translator's note\r\n#, fuzzy, qt-format\r\nmsgctxt \"A.MSG 1\"\r\nmsgid \"ab\"\r\n"
        "  \"cd\"\r\nmsgstr \"\\101\\x42\"\r\n#~ msgid \"old\"\r\n#~ msgstr \"alt\"\r\n"
        "msgctxt \"A.MSG 2\"\nmsgid \"x\"\nmsgstr \"y\"\nmsgctxt \"A.MSG 3\"\nmsgid \"z\"\n"
        "msgstr \"\"\n";
    std::vector<PoEntry> entries;
    int line = 0;
    std::string why;
    ASSERT_TRUE(ParsePo(text, entries, line, why)) << line << ": " << why;
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].HasFlag("fuzzy"));
    EXPECT_TRUE(entries[0].HasFlag("qt-format"));
    EXPECT_EQ(entries[0].id, "abcd");
    EXPECT_EQ(entries[0].translation, "AB");
    EXPECT_EQ(entries[1].context, "A.MSG 2");
    EXPECT_EQ(entries[2].translation_line, 14);

    const struct {
        const char* text;
        int line;
    } bad[] = {
        {"msgid \"a\"\nmsgstr \"b\n", 2},           {"msgid \"a\"\nmsgstr \"\\q\"\n", 2},
        {"msgid \"a\"\nmsgtext \"b\"\n", 2},        {"msgid \"a\"\n\nmsgid \"b\"\n", 2},
        {"msgid \"a\"\nmsgstr \"\" x\n", 2},        {"\"stray\"\n", 1},
        {"msgid \"a\"\nmsgstr \"b\"\nmsgstr\n", 3},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(ParsePo(b.text, entries, line, why)) << b.text;
        EXPECT_EQ(line, b.line) << b.text << ": " << why;
    }
}

TEST(TextCodes, ArgumentPositionsAreThoseSubstitutionInserts) {
    const struct {
        const char* text;
        std::set<int> positions;
    } cases[] = {
        {"Score %1 of %2, again %1", {1, 2}},
        {"%0, %% and 100%", {}},
        {"%A %f %9", {9, 10, 15}},
        {"%#[D1UNITS 3] %#[%2] %1", {1}},
        {"%r%[red%] %o%i%[bold%] %$[Arial]", {}},
        {"%", {}},
        {"50 %de", {13}},
    };
    for (const auto& c : cases) EXPECT_EQ(text::ArgumentPositions(c.text), c.positions) << c.text;
    EXPECT_EQ(text::ArgumentCode(11), "%B");
}

// A course with GB and FR main files; FR lacks text 3.
struct SmallCourse {
    support::TempFolder folder;
    std::string Write(const std::string& lang, std::vector<std::string> texts) const {
        text::MessageContent c;
        c.seed = 1957;
        c.modulus = 1957;
        c.time_stamp = 1000;
        c.texts = std::move(texts);
        c.formats = {"", "", "%s %d"};
        return folder.Write("MSG/" + lang + "/COMMON.MSG", text::EncodeMessageFile(c));
    }
    SmallCourse() {
        Write("GB", {"English (GB)", "Hello", "%1 has %2 points", "Goodbye", "Unused"});
        Write("FR", {"Fran\xE7"
                     "ais (FR)",
                     "Bonjour", "%1 a %2 points", "", "Pas utilis\xE9"});
    }
    text::MessageContent Read(const std::string& lang) const {
        text::MessageContent c;
        std::vector<uint32_t> sums;
        std::vector<std::string> differences;
        std::string why;
        EXPECT_TRUE(
            DecodeMessageFile(support::TempFolder::Read(folder / ("MSG/" + lang + "/COMMON.MSG")),
                              c, sums, differences, why))
            << why;
        bool found = false;
        c.modulus = FindModulus(c.texts, sums, c.seed, found);
        EXPECT_TRUE(found);
        return c;
    }
};

std::string Entry(const std::string& context, const std::string& id, const std::string& str,
                  const std::string& flags = "") {
    return (flags.empty() ? "" : "#, " + flags + "\n") + "msgctxt \"" + context + "\"\nmsgid \"" +
           id + "\"\nmsgstr \"" + str + "\"\n\n";
}

const char kHeader[] = "msgid \"\"\nmsgstr \"X-Source-Language: GB\\n\"\n\n";

TEST(PoImport, KeepsListsAndRefusesEntryByEntry) {
    SmallCourse course;
    const std::string po = std::string(kHeader) +
                           Entry("COMMON.MSG 1", "Hello", "Salut") +          // line 4
                           Entry("COMMON.MSG 2", "%1 has %2 points", "") +    // kept
                           Entry("COMMON.MSG 3", "Goodbye", "") +             // missing
                           Entry("COMMON.MSG 4", "Used", "Utilis\xC3\xA9") +  // stale msgid
                           Entry("COMMON.MSG 9", "Other", "Autre") +          // no such text
                           Entry("COMMON.MSG 1", "Hello", "Encore");          // a second one
    ImportReport report;
    std::string why;
    ASSERT_TRUE(ImportPo(course.folder.path.string(), "FR", "", po, "fr.po", report, why)) << why;
    EXPECT_EQ(report.changed_texts, 1);
    EXPECT_EQ(report.missing, std::vector<std::string>{"COMMON.MSG 3"});
    ASSERT_EQ(report.refused.size(), 3u);
    EXPECT_EQ(report.refused[0].rfind("fr.po:26: a second entry for COMMON.MSG 1", 0), 0u)
        << report.refused[0];
    EXPECT_EQ(report.refused[1].rfind("fr.po:18: COMMON.MSG 4: msgid is no longer", 0), 0u)
        << report.refused[1];
    EXPECT_EQ(report.refused[2].rfind("fr.po:22: COMMON.MSG 9 is no text", 0), 0u)
        << report.refused[2];

    const text::MessageContent fr = course.Read("FR");
    EXPECT_EQ(fr.texts,
              (std::vector<std::string>{"Fran\xE7"
                                        "ais (FR)",
                                        "Salut", "%1 a %2 points", "", "Pas utilis\xE9"}));
    EXPECT_EQ(fr.seed, 1957);
    EXPECT_EQ(fr.modulus, 1957u);  // the step files' modulus, the seed, is kept
    EXPECT_EQ(fr.formats[2], "%s %d");
}

TEST(PoImport, ANewLanguageGetsItsFilesCatalogueLineAndMenuName) {
    SmallCourse course;
    course.folder.Write("PRODUCT.DAT", "[Demo][DEMO][DATA][DEMO.PRD][1100:0800][1][1][GB]\r\n");
    course.folder.Write("MSG/GB/DEMO.PDF", "%PDF");
    const std::string po = std::string(kHeader) + Entry("COMMON.MSG 0", "English (GB)", "Deutsch") +
                           Entry("COMMON.MSG 1", "Hello", "Hallo");
    ImportReport report;
    std::string why;
    ASSERT_TRUE(ImportPo(course.folder.path.string(), "DE", "", po, "de.po", report, why)) << why;
    const text::MessageContent de = course.Read("DE");
    EXPECT_EQ(de.texts, (std::vector<std::string>{"Deutsch (DE)", "Hallo", "", "", ""}));
    EXPECT_EQ(report.missing.size(), 3u);
    EXPECT_EQ(support::TempFolder::Read(course.folder / "PRODUCT.DAT"),
              "[Demo][DEMO][DATA][DEMO.PRD][1100:0800][1][1][GB]\r\n"
              "[Demo][DEMO][DATA][DEMO.PRD][1100:0800][1][1][DE]\r\n");
    EXPECT_EQ(support::TempFolder::Read(course.folder / "MSG/DE/DEMO.PDF"), "%PDF");

    // The source language itself, or a PO that names none, is no import.
    EXPECT_FALSE(ImportPo(course.folder.path.string(), "GB", "", po, "de.po", report, why));
    EXPECT_FALSE(ImportPo(course.folder.path.string(), "DE", "", "msgid \"\"\nmsgstr \"\"\n",
                          "de.po", report, why));
    EXPECT_NE(why.find("X-Source-Language"), std::string::npos) << why;
    // Nor is a file for another language or in another encoding; nothing is written then.
    const std::string before = support::TempFolder::Read(course.folder / "MSG/DE/COMMON.MSG");
    for (const char* header :
         {"X-Course-Language: FR", "Content-Type: text/plain; charset=ISO-8859-1"}) {
        const std::string other = "msgid \"\"\nmsgstr \"X-Source-Language: GB\\n\"\n\"" +
                                  std::string(header) + "\\n\"\n\n" +
                                  Entry("COMMON.MSG 1", "Hello", "Salut");
        EXPECT_FALSE(ImportPo(course.folder.path.string(), "DE", "", other, "x.po", report, why))
            << header;
        EXPECT_EQ(why.rfind("x.po: ", 0), 0u) << why;
    }
    EXPECT_EQ(support::TempFolder::Read(course.folder / "MSG/DE/COMMON.MSG"), before);
}

// A language whose main file links to GB's exports no texts of its own; its import replaces
// the link with the translated file, and with nothing translated leaves the link alone.
TEST(PoImport, ALinkFileIsReplacedOnlyByTexts) {
    SmallCourse course;
    text::MessageContent link;
    link.texts = {"%@[..\\GB -1]"};
    const std::string path =
        course.folder.Write("MSG/FR/COMMON.MSG", text::EncodeMessageFile(link));
    std::string po, why;
    std::vector<std::string> warnings;
    ASSERT_TRUE(ExportPo(course.folder.path.string(), "GB", "FR", po, warnings, why)) << why;
    EXPECT_EQ(po.find("msgstr \"%@["), std::string::npos) << po;
    ASSERT_EQ(warnings.size(), 1u);

    ImportReport report;
    ASSERT_TRUE(ImportPo(course.folder.path.string(), "FR", "", po, "fr.po", report, why)) << why;
    EXPECT_TRUE(report.written.empty());
    EXPECT_EQ(support::TempFolder::Read(path), text::EncodeMessageFile(link));

    const std::string untranslated = "msgid \"Hello\"\nmsgstr \"\"";
    ASSERT_NE(po.find(untranslated), std::string::npos) << po;
    po.replace(po.find(untranslated), untranslated.size(), "msgid \"Hello\"\nmsgstr \"Bonjour\"");
    ASSERT_TRUE(ImportPo(course.folder.path.string(), "FR", "", po, "fr.po", report, why)) << why;
    const text::MessageContent fr = course.Read("FR");
    ASSERT_EQ(fr.texts.size(), 5u);
    EXPECT_EQ(fr.texts[0], "FR (FR)");  // named for the language menu, to be translated
    EXPECT_EQ(fr.texts[1], "Bonjour");
    EXPECT_EQ(fr.seed, 1957);
}

}  // namespace
}  // namespace msgc
