// The engine's instruction set: 88 commands (opcodes 0 to 87) and 19 control keywords (opcodes
// 1000 to 1018), each with its name and argument signature, plus the name and option tables
// that mode arguments index.
//
// Signature letters: N number (16-bit), M mode word (index into the command's option table),
// O object identifier, R real (32-bit float), S string. Letters are comma-separated.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace script {

inline constexpr int kCommandCount = 88;
inline constexpr int kKeywordBase = 1000;
inline constexpr int kKeywordCount = 19;
// Index of a keyword's signature in the combined table: opcode - 912.
inline constexpr int kKeywordTableOffset = kKeywordBase - kCommandCount;

enum Kind : int { kBackground = 0, kPanel = 1, kBmp = 2, kAvi = 3, kVar = 4, kKindCount = 5 };

// Opcodes the engine treats specially.
enum Op : int {
    kOpBmp = 0,
    kOpIdent = 1,
    kOpClear = 2,
    kOpMoveTo = 3,
    kOpMoveY = 4,
    kOpMoveX = 5,
    kOpFix = 6,
    kOpStep = 7,
    kOpShow = 8,
    kOpHide = 9,
    kOpHeight = 10,
    kOpWidth = 11,
    kOpFlat = 12,
    kOpNarrow = 13,
    kOpSetHeight = 14,
    kOpSetWidth = 15,
    kOpSetFlat = 16,
    kOpSetNarrow = 17,
    kOpSize = 18,
    kOpTrunc = 19,
    kOpRestore = 20,
    kOpSleep = 21,
    kOpAwake = 22,
    kOpRandom0 = 23,
    kOpRandom1 = 24,
    kOpSetCursor = 25,
    kOpShowHint = 26,
    kOpHideHint = 27,
    kOpHint = 28,
    kOpBringFront = 29,
    kOpSendBack = 30,
    kOpInsert = 31,
    kOpSetPos = 32,
    kOpSetPosX = 33,
    kOpSetPosY = 34,
    kOpMetrixLin = 35,
    kOpMetrixExp = 36,
    kOpTag = 37,
    kOpAlea = 38,
    kOpAleaTerminate = 39,
    kOpZoom = 40,
    kOpZoomBmp = 41,
    kOpLoad = 42,
    kOpLoadAt = 43,
    kOpColor = 44,
    kOpUpdate = 45,
    kOpSaveToFile = 46,
    kOpSetOpaque = 47,
    kOpSetTransparent = 48,
    kOpFadeTo = 49,
    kOpFadeBack = 50,
    kOpBlink = 51,
    kOpSeries = 52,
    kOpGaugeCreateH = 53,
    kOpGaugeCreateV = 54,
    kOpGaugeDelete = 55,
    kOpGaugeTrackBar = 56,
    kOpDisplay = 57,
    kOpDisplayStretch = 58,
    kOpDisplayZoom = 59,
    kOpShowMask = 60,
    kOpHideMask = 61,
    kOpClearAllAvi = 62,
    kOpClearAllBmp = 63,
    kOpClearAllMask = 64,
    kOpSuspend = 65,
    kOpCursor = 66,
    kOpHideCursor = 67,
    kOpShowCursor = 68,
    kOpClipCursor = 69,
    kOpUnclipCursor = 70,
    kOpCursorPos = 71,
    kOpPlay = 72,
    kOpSync = 73,
    kOpExit = 74,
    kOpDialogBox = 75,
    kOpDialogBoxAt = 76,
    kOpReadMessage = 77,
    kOpReadMessageFrom = 78,
    kOpCall = 79,
    kOpCallBack = 80,
    kOpAviPlay = 81,
    kOpAvi = 82,
    kOpTimer = 83,
    kOpRefresh = 84,
    kOpSwap = 85,
    kOpReadMetrixValue = 86,
    kOpBmpExist = 87,

    kKwIf = 1000,
    kKwEndIf,
    kKwThen,
    kKwElse,
    kKwSwitch,
    kKwEndSwitch,
    kKwCase,
    kKwEndCase,
    kKwLoop,
    kKwEndLoop,
    kKwSyncLoop,
    kKwEndSyncLoop,
    kKwGoTo,
    kKwNOP,
    kKwTagEntete,
    kKwTagEpitete,
    kKwSymbol,
    kKwInfo,
    kKwNumline,
};

struct CommandInfo {
    const char* name;
    const char* signature;
    bool global;  // carries no object trailer
    bool result;  // stores a text result at the instruction's result slot
};

// Commands indexed by opcode, keywords by opcode - 1000 (global and result are false).
extern const std::array<CommandInfo, kCommandCount> kCommands;
extern const std::array<CommandInfo, kKeywordCount> kKeywords;

// Object kinds, index = kind number, followed by "Include" (no opcode).
extern const std::array<const char*, 6> kKindNames;
// Configuration value names LANG .. RAND, in the order of the configuration keys.
extern const std::array<const char*, 16> kConfigNames;

// The 28 global opcodes and the 19 keyword opcodes, ascending.
extern const std::array<int16_t, 28> kGlobalOpcodes;
extern const std::array<int16_t, kKeywordCount> kKeywordOpcodes;

// Option tables: words in index order and their values.
struct OptionWord {
    const char* word;
    int32_t value;
};
extern const std::array<OptionWord, 3> kDialogButtons;   // OK YESNO YESNOCANCEL
extern const std::array<OptionWord, 4> kSoundModes;      // SYNC ASYNC LOOP STOP
extern const std::array<OptionWord, 5> kCursors;         // DEFAULT ARROW HOURGLASS CROSS NODROP
extern const std::array<OptionWord, 7> kColours;         // WHITE BLACK GRAY RED BLUE YELLOW GREEN
extern const std::array<const char*, 2> kUnusedOptions;  // MOVE TIMER
inline constexpr int32_t kSystemButtonFace = static_cast<int32_t>(0x8000000F);

// The command or keyword of opcode, or nullptr when the opcode is neither.
const CommandInfo* FindInstruction(int opcode);
inline bool IsCommand(int opcode) {
    return opcode >= 0 && opcode < kCommandCount;
}
inline bool IsKeyword(int opcode) {
    return opcode >= kKeywordBase && opcode < kKeywordBase + kKeywordCount;
}
bool IsGlobal(int opcode);

// Number of letters of a signature: 0 when empty, else 1 + the number of commas.
int ArgumentCount(std::string_view signature);
// The letter at position index of signature ('\0' past the end).
char SignatureLetter(std::string_view signature, int index);

// The option table a command's M argument indexes (empty for commands without one).
struct OptionTable {
    const OptionWord* words = nullptr;
    int count = 0;
};
OptionTable OptionTableFor(int opcode);

// Object identifiers derived from a name: h = (c + h * 64) mod 4001 over the bytes.
int NameHash(std::string_view name);
inline constexpr int kBackgroundId = 3518;
inline constexpr int kPanelId = 450;

}  // namespace script
