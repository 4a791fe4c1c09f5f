#include "script/CommandTable.h"

#include <algorithm>

namespace script {

namespace {
constexpr bool G = true;   // global command
constexpr bool O = false;  // object command
constexpr bool r = true;   // stores a result
constexpr bool n = false;
}  // namespace

// Opcode order; the comment states each command's effect in one line.
const std::array<CommandInfo, kCommandCount> kCommands = {{
    {"Bmp", "S,N,N", O, n},             // 0 create image object from BMP\name.BMP at x, y
    {"Ident", "S", O, n},               // 1 label text (20 characters)
    {"Clear", "", O, n},                // 2 remove the object
    {"MoveTo", "N,N,N", O, n},          // 3 move to x, y at speed
    {"MoveY", "N,N", O, n},             // 4 move vertically
    {"MoveX", "N,N", O, n},             // 5 move horizontally
    {"Fix", "", O, n},                  // 6 paint into the background bitmap
    {"Step", "N", O, n},                // 7 all four steps
    {"Show", "", O, n},                 // 8
    {"Hide", "", O, n},                 // 9
    {"Height", "N,N", O, n},            // 10 height to N at speed
    {"Width", "N,N", O, n},             // 11 width to N at speed
    {"Flat", "N,N", O, n},              // 12 height keeping the bottom edge
    {"Narrow", "N,N", O, n},            // 13 width keeping the right edge
    {"SetHeight", "N", O, n},           // 14
    {"SetWidth", "N", O, n},            // 15
    {"SetFlat", "N", O, n},             // 16
    {"SetNarrow", "N", O, n},           // 17
    {"Size", "N,N", O, n},              // 18 height, width at once
    {"Trunc", "N,N", O, n},             // 19 the same keeping bottom and right edges
    {"Restore", "", O, n},              // 20 size before the last changes
    {"Sleep", "", O, n},                // 21 animation skips it
    {"Awake", "", O, n},                // 22
    {"Random", "", O, n},               // 23 no effect
    {"Random", "N", O, n},              // 24 no effect
    {"SetCursor", "S", O, n},           // 25 cursor over the object
    {"ShowHint", "", O, n},             // 26
    {"HideHint", "", O, n},             // 27
    {"Hint", "S", O, n},                // 28
    {"BringFront", "", O, n},           // 29 top of the drawing order
    {"SendBack", "", O, n},             // 30 bottom of the drawing order
    {"Insert", "N", O, n},              // 31 position N of the drawing order
    {"SetPos", "N,N", O, n},            // 32
    {"SetPosX", "N", O, n},             // 33
    {"SetPosY", "N", O, n},             // 34
    {"MetrixLin", "R,R,N,N,N", O, n},   // 35 linear number display
    {"MetrixExp", "R,R,N,N,N", O, n},   // 36 progressive number display
    {"Tag", "S", O, n},                 // 37 tag name, hint and pop-up menu
    {"Alea", "R,R,N,N", O, n},          // 38 random number display
    {"AleaTerminate", "", O, n},        // 39 stop the object's animation
    {"Zoom", "R", O, n},                // 40 magnifier
    {"ZoomBmp", "S,R", O, n},           // 41 magnifier with its own bitmap
    {"Load", "S", O, n},                // 42 reload the bitmap
    {"Load", "S,N,N", O, n},            // 43 reload at x, y
    {"Color", "M", O, n},               // 44 fill with a colour
    {"Update", "", O, n},               // 45 reload and redraw
    {"SaveToFile", "S", O, n},          // 46
    {"SetOpaque", "", O, n},            // 47 draw without mask
    {"SetTransparent", "", O, n},       // 48 draw through the mask
    {"FadeTo", "", O, n},               // 49 no effect
    {"FadeBack", "", O, n},             // 50 no effect
    {"Mask", "N", O, n},                // 51 blink every N + 1 ticks
    {"Mask", "S,N", O, n},              // 52 picture series
    {"GaugeCreateH", "N,N,N,M", O, n},  // 53 horizontal gauge
    {"GaugeCreateV", "N,N,N,M", O, n},  // 54 vertical gauge
    {"GaugeDelete", "", O, n},          // 55
    {"GaugeTrackBar", "N,N,N", O, n},   // 56 minimum, maximum, position; shown
    {"Display", "S", G, n},             // 57 picture in the message box
    {"DisplayStretch", "S,N,N", G, n},  // 58 picture with height, width
    {"DisplayZoom", "S,R", G, n},       // 59 picture scaled
    {"ShowMask", "", G, n},             // 60 every blinker shown and stopped
    {"HideMask", "", G, n},             // 61 every blinker hidden and stopped
    {"ClearAllAvi", "", G, n},          // 62
    {"ClearAllBmp", "", G, n},          // 63
    {"ClearAllMask", "", G, n},         // 64
    {"Suspend", "N", G, n},             // 65 pause for N timer intervals
    {"Cursor", "S", G, n},              // 66 screen cursor by name
    {"HideCursor", "", G, n},           // 67
    {"ShowCursor", "", G, n},           // 68
    {"ClipCursor", "N,N,N,N", G, n},    // 69 confine the cursor
    {"ClipCursor", "N", G, n},          // 70 release it
    {"CursorPos", "N,N", G, n},         // 71
    {"Play", "S,M", G, n},              // 72 sound
    {"Sync", "", G, n},                 // 73 wait for moving objects
    {"Exit", "", G, n},                 // 74 end the script
    {"DialogBox", "S,M", G, r},         // 75 question; "OK", "YES", "NO" or "CANCEL"
    {"DialogBox", "S,M,N,N", G, r},     // 76 the same placed at x, y
    {"ReadMessage", "N", G, r},         // 77 text N of the script's message file
    {"ReadMessage", "N,S", G, r},       // 78 text N of message file S
    {"Call", "S", G, n},                // 79 run a script, then come back
    {"CallBack", "S", G, n},            // 80 same as Call
    {"Avi", "S,N,N", O, n},             // 81 video in the stage's player
    {"Avi", "S,N,N,M", O, n},           // 82 video object
    {"Timer", "N", G, n},               // 83 tick interval in ms
    {"Refresh", "", G, n},              // 84 redraw everything
    {"Swap", "O,O", G, n},              // 85 swap two images in the drawing order
    {"ReadMetrixValue", "O,O", O, r},   // 86 difference of two labels
    {"BmpExist", "O", G, r},            // 87 "TRUE" or "FALSE"
}};

const std::array<CommandInfo, kKeywordCount> kKeywords = {{
    {"If", "N,S,N", false, false},  // value reference, text, target when different
    {"EndIf", "", false, false},
    {"Then", "", false, false},
    {"Else", "", false, false},
    {"Switch", "", false, false},
    {"EndSwitch", "", false, false},
    {"Case", "N,S,N", false, false},     // value reference, text, target when different
    {"EndCase", "N", false, false},      // target
    {"Loop", "N,N", false, false},       // count, exit target
    {"EndLoop", "N", false, false},      // loop head
    {"SyncLoop", "N,N", false, false},   // count, exit target
    {"EndSyncLoop", "N", false, false},  // loop head
    {"GoTo", "N", false, false},         // target
    {"NOP", "", false, false},
    {"TagEntete", "", false, false},
    {"TagEpitete", "", false, false},
    {"Symbol", "", false, false},       // end of the executable part
    {"Info", "N,N,N,N", false, false},  // unused
    {"Numline", "N", false, false},     // source line of what follows
}};

const std::array<const char*, 6> kKindNames = {"Background", "Panel", "Bmp",
                                               "Avi",        "Var",   "Include"};

const std::array<const char*, 16> kConfigNames = {
    "LANG",   "GAZ",     "UNIT", "ID",   "EVAL", "START",  "LEVEL",      "IP",
    "IPPORT", "ROOTDIR", "DIR",  "EDIT", "FLAG", "SYMBOL", "RESOLUTION", "RAND"};

const std::array<int16_t, 28> kGlobalOpcodes = {57, 58, 59, 60, 61, 62, 63, 64, 65, 66,
                                                67, 68, 69, 70, 71, 72, 73, 74, 75, 76,
                                                77, 78, 79, 80, 83, 84, 85, 87};

const std::array<int16_t, kKeywordCount> kKeywordOpcodes = {
    1000, 1001, 1002, 1003, 1004, 1005, 1006, 1007, 1008, 1009,
    1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018};

const std::array<OptionWord, 3> kDialogButtons = {{{"OK", 3}, {"YESNO", 8}, {"YESNOCANCEL", 16}}};
const std::array<OptionWord, 4> kSoundModes = {
    {{"SYNC", 0}, {"ASYNC", 1}, {"LOOP", 8}, {"STOP", 16}}};
const std::array<OptionWord, 5> kCursors = {
    {{"DEFAULT", 0}, {"ARROW", -2}, {"HOURGLASS", -11}, {"CROSS", -3}, {"NODROP", -13}}};
const std::array<OptionWord, 7> kColours = {{{"WHITE", 0xFFFFFF},
                                             {"BLACK", 0x000000},
                                             {"GRAY", kSystemButtonFace},
                                             {"RED", 0x0000FF},
                                             {"BLUE", 0xFF0000},
                                             {"YELLOW", 0x00FFFF},
                                             {"GREEN", 0x00FF00}}};
const std::array<const char*, 2> kUnusedOptions = {"MOVE", "TIMER"};

const CommandInfo* FindInstruction(int opcode) {
    if (IsCommand(opcode)) return &kCommands[opcode];
    if (IsKeyword(opcode)) return &kKeywords[opcode - kKeywordBase];
    return nullptr;
}

bool IsGlobal(int opcode) {
    return std::binary_search(kGlobalOpcodes.begin(), kGlobalOpcodes.end(), opcode);
}

int ArgumentCount(std::string_view signature) {
    if (signature.empty()) return 0;
    return 1 + static_cast<int>(std::count(signature.begin(), signature.end(), ','));
}

char SignatureLetter(std::string_view signature, int index) {
    size_t pos = static_cast<size_t>(index) * 2;
    return pos < signature.size() ? signature[pos] : '\0';
}

OptionTable OptionTableFor(int opcode) {
    switch (opcode) {
        case kOpDialogBox:
        case kOpDialogBoxAt:
            return {kDialogButtons.data(), static_cast<int>(kDialogButtons.size())};
        case kOpPlay:
            return {kSoundModes.data(), static_cast<int>(kSoundModes.size())};
        case kOpColor:
            return {kColours.data(), static_cast<int>(kColours.size())};
        default:
            return {};
    }
}

int NameHash(std::string_view name) {
    int h = 0;
    for (unsigned char c : name) h = (c + h * 64) % 4001;
    return h;
}

}  // namespace script
