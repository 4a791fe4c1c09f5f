// A compiled lesson script decoded instruction by instruction, for checking it without running
// it: every instruction's offset, opcode and literal arguments, and where decoding stopped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace check {

struct DecodedArgument {
    char letter = 0;  // the signature letter (N M O R S)
    int tag = 0;      // command arguments: 4 variable, 5 integer, 6 real, 7 string; keywords: 0
    int32_t number = 0;
    std::string text;  // a string literal
};

struct DecodedInstruction {
    size_t offset = 0;
    int opcode = 0;
    int line = 0;  // the source line of the last Numline before it (0 when none)
    std::vector<DecodedArgument> args;
    // The literal string argument, when the instruction has one (empty otherwise).
    const DecodedArgument* StringArgument() const;
};

struct DecodedScript {
    std::vector<DecodedInstruction> instructions;
    // Jumps: (offset of the jumping instruction, its target).
    std::vector<std::pair<size_t, int>> jumps;
    enum class Stop { kEnd, kSymbol, kCut, kUnknownOpcode } stop = Stop::kEnd;
    size_t stop_offset = 0;  // where a cut instruction or an unknown opcode starts
    int stop_opcode = 0;
    // The first command argument of no known kind (the engine passes it as nothing): the
    // offset of its instruction, or -1.
    long bad_tag_offset = -1;
    int bad_tag = 0;
};

DecodedScript DecodeScript(const std::vector<uint8_t>& bytes);

}  // namespace check
