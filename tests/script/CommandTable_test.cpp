#include "script/CommandTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace script {
namespace {

// The global list and the per-command flag are two views of one fact; the byte layout of
// every instruction depends on them agreeing.
TEST(CommandTable, GlobalListMatchesCommandFlags) {
    for (int op = 0; op < kCommandCount; ++op) {
        const bool listed =
            std::find(kGlobalOpcodes.begin(), kGlobalOpcodes.end(), op) != kGlobalOpcodes.end();
        EXPECT_EQ(listed, kCommands[op].global) << op << " " << kCommands[op].name;
        EXPECT_EQ(IsGlobal(op), listed) << op;
    }
    for (int op = 0; op < kCommandCount; ++op) {
        const bool result = op == kOpDialogBox || op == kOpDialogBoxAt || op == kOpReadMessage ||
                            op == kOpReadMessageFrom || op == kOpReadMetrixValue ||
                            op == kOpBmpExist;
        EXPECT_EQ(kCommands[op].result, result) << kCommands[op].name;
    }
}

TEST(CommandTable, LooksUpCommandsAndKeywordsByOpcode) {
    struct Case {
        int op;
        const char* name;
        const char* signature;
    } cases[] = {
        {0, "Bmp", "S,N,N"},          {35, "MetrixLin", "R,R,N,N,N"}, {52, "Mask", "S,N"},
        {76, "DialogBox", "S,M,N,N"}, {86, "ReadMetrixValue", "O,O"}, {87, "BmpExist", "O"},
        {1000, "If", "N,S,N"},        {1008, "Loop", "N,N"},          {1018, "Numline", "N"},
    };
    for (const Case& c : cases) {
        const CommandInfo* info = FindInstruction(c.op);
        ASSERT_NE(info, nullptr) << c.op;
        EXPECT_STREQ(info->name, c.name);
        EXPECT_STREQ(info->signature, c.signature);
    }
    for (int op : {-1, 88, 999, 1019, 2000}) EXPECT_EQ(FindInstruction(op), nullptr) << op;
    EXPECT_EQ(kKeywordTableOffset, 912);
}

TEST(CommandTable, CountsSignatureLetters) {
    EXPECT_EQ(ArgumentCount(""), 0);
    EXPECT_EQ(ArgumentCount("S"), 1);
    EXPECT_EQ(ArgumentCount("S,N,N"), 3);
    EXPECT_EQ(ArgumentCount("R,R,N,N,N"), 5);
    EXPECT_EQ(SignatureLetter("R,R,N,N,N", 2), 'N');
    EXPECT_EQ(SignatureLetter("S,M", 1), 'M');
    EXPECT_EQ(SignatureLetter("S", 1), '\0');
}

TEST(CommandTable, HashesBaseObjectNames) {
    EXPECT_EQ(NameHash("Background"), kBackgroundId);
    EXPECT_EQ(NameHash("Panel"), kPanelId);
    EXPECT_EQ(NameHash(""), 0);
}

TEST(CommandTable, OptionTablesBelongToTheirCommands) {
    EXPECT_EQ(OptionTableFor(kOpDialogBox).count, 3);
    EXPECT_EQ(OptionTableFor(kOpDialogBox).words[2].value, 16);
    EXPECT_EQ(OptionTableFor(kOpPlay).words[2].value, 8);
    EXPECT_EQ(OptionTableFor(kOpColor).words[3].value, 0x0000FF);  // RED in blue-green-red
    EXPECT_EQ(OptionTableFor(kOpBmp).count, 0);
}

}  // namespace
}  // namespace script
