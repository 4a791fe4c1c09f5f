// The parameter line, the level table and styled text pieces.
#include <gtest/gtest.h>

#include "lesson/LevelTable.h"
#include "lesson/RichTextLines.h"
#include "lesson/StepParameters.h"

namespace {

TEST(StepParameters, ParsesAllElevenValues) {
    lesson::StepParameters p;
    ASSERT_EQ(p.Parse("K[1F:a0] BR3:2 TRY5:-3 PT10 LDEVALVE F12 P4:[PUMPS]"), 11);
    EXPECT_EQ(p.KeyHigh, 0x1Fu);
    EXPECT_EQ(p.KeyLow, 0xA0u);
    EXPECT_EQ(p.Expected, 3);
    EXPECT_EQ(p.Tolerance, 2);
    EXPECT_EQ(p.TryLimit, 5);
    EXPECT_EQ(p.TryPenalty, -3);
    EXPECT_EQ(p.Points, 10);
    EXPECT_EQ(p.ScriptName, "VALVE");
    EXPECT_EQ(p.FNumber, 12);
    EXPECT_EQ(p.PNumber, 4);
    EXPECT_EQ(p.Comment, "PUMPS");
}

TEST(StepParameters, CountsWhatAMalformedLineYields) {
    struct Case {
        const char* line;
        int values;
    } cases[] = {
        {"", -1},
        {"K[0:0]", 2},
        {"K[0:0] BR1:0 TRY0:0 PT5 LDES F1 P0:", 10},
        {"K[0:0] BR1:0 TRY0:0 PT5 LDE123456789012345678901 F1 P0:[-]", 8},
        {"K[0:0] BR1:0 TRY0:0 PT5 LDE12345678901234567890 F1 P0:[-]", 11},
        {"K[0:0] BR1:0 TRY0:0 PT5 LDES F1 P0:[a comment far longer than 23]", 11},
    };
    for (const auto& c : cases) {
        lesson::StepParameters p;
        EXPECT_EQ(p.Parse(c.line), c.values) << c.line;
        EXPECT_LE(p.ScriptName.size(), 20u);
        EXPECT_LE(p.Comment.size(), 23u);
    }
}

TEST(StepParameters, ResetKeepsOnlyTheUnrecordedMark) {
    lesson::StepParameters p;
    p.Parse("K[0:0] BR1:0 TRY0:0 PT5 LDES F1 P0:[x]");
    p.NotRecorded = true;
    p.SubTotal = 4;
    p.Reset();
    EXPECT_TRUE(p.NotRecorded);
    EXPECT_EQ(p.ScriptName, "-");
    EXPECT_EQ(p.Comment, "-");
    EXPECT_EQ(p.SubTotal, 0);
    EXPECT_EQ(p.Points, 0);
}

TEST(SubStepLine, FieldsNotPresentKeepTheirValues) {
    std::string script = "-", matrix = "-";
    int points = 0;
    lesson::ParseSubStepLine("LDE#2 TPS5 MTXVALVES", script, points, matrix);
    EXPECT_EQ(script, "#2");
    EXPECT_EQ(points, 5);
    EXPECT_EQ(matrix, "VALVES");
    script = matrix = "-";
    points = 0;
    lesson::ParseSubStepLine("LDEOPEN", script, points, matrix);
    EXPECT_EQ(script, "OPEN");
    EXPECT_EQ(points, 0);
    EXPECT_EQ(matrix, "-");
}

TEST(LevelTable, LooksUpTheItemInTheStepsColumn) {
    const std::vector<std::string> table = {
        "; level 1",   "[##02][PUMPS][VALVES]", "",           "[open][P1][V1]", "; closed next",
        "[close][P2]", "[##03][VALVES]",        "[open][V3]",
    };
    struct Case {
        int step;
        const char* matrix;
        const char* item;
        const char* script;
    } cases[] = {
        {2, "VALVES", "open", "V1"}, {2, "PUMPS", "close", "P2"},
        {2, "VALVES", "close", "-"},  // the line has no such column
        {3, "VALVES", "open", "V3"}, {2, "FANS", "open", "-"},
        {4, "VALVES", "open", "-"},  {2, "VALVES", "drain", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lesson::LookupLevelTable(table, c.step, c.matrix, c.item), c.script)
            << c.step << " " << c.matrix << " " << c.item;
    }
}

TEST(LevelTable, CaptionsNameSubStepAndItem) {
    EXPECT_EQ(lesson::SubStepName("VALVE:main:open"), "VALVE");
    EXPECT_EQ(lesson::MenuItemName("VALVE:main:open"), "open");
    EXPECT_EQ(lesson::SubStepName("VALVE"), "VALVE");
    EXPECT_EQ(lesson::MenuItemName("VALVE"), "VALVE");
    EXPECT_EQ(lesson::MenuItemName("VALVE:"), "");
}

TEST(RichTextLines, PiecesKeepTheirStyles) {
    lesson::RichText t{"\nred one\nplain\n## x", {{1, 3, 0x10, ""}, {6, 4, 0x20, "Arial"}}};
    const auto lines = lesson::SplitRichText(t, "\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "");
    EXPECT_EQ(lines[1].text, "red one");
    ASSERT_EQ(lines[1].spans.size(), 2u);
    EXPECT_EQ(lines[1].spans[0].start, 0);
    EXPECT_EQ(lines[1].spans[0].length, 3);
    EXPECT_EQ(lines[1].spans[1].start, 5);
    EXPECT_EQ(lines[1].spans[1].length, 2);  // cut at the line's end
    ASSERT_EQ(lines[2].spans.size(), 1u);
    EXPECT_EQ(lines[2].spans[0].start, 0);
    EXPECT_EQ(lines[2].spans[0].length, 1);
    EXPECT_EQ(lines[2].spans[0].font, "Arial");
    EXPECT_EQ(lesson::SplitRichText(t, "\n## ").size(), 2u);
    EXPECT_TRUE(lesson::SplitRichText({}, "\n").empty());
}

}  // namespace
