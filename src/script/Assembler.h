// The text form of compiled lesson scripts: assembling it into the compiled stream and
// printing a compiled stream back in the same form.
//
//   # or ; starts a comment           .lines on|off   Numline before each command (default on)
//   name:                             a label, usable as a jump target
//   [$slot =] Command[#op] args [@ id [Kind]]     a command; #op picks one of several opcodes
//   Keyword args                      a control keyword
//   .word N / .byte N                 raw 16-bit or 8-bit values
//
// Command arguments: 12 (integer), 1.5 / inf / nan / -nan(0x1) (real: a NaN by its sign and
// mantissa), "text" (string), &k (variable reference k),
// a word of the command's option table (YESNO, LOOP, RED ...), _ or _N (an argument tag that
// carries no value). Keyword arguments are untagged: numbers, labels, strings; &k stands for the
// value reference 400 + k and a configuration name (LANG .. RAND) for 200 + its index.
// A value that does not fit its 16 or 8 bits is an error, as is a Numline past line 32767.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace script {

struct AssemblyResult {
    bool ok = false;
    std::vector<uint8_t> bytes;
    std::string error;  // "line N: ..." when not ok
};

AssemblyResult Assemble(std::string_view source);

// The compiled bytes as text in the assembler's form, one instruction per line with its byte
// offset as a trailing comment; labels L<offset> mark jump targets. Never fails: bytes that do
// not form an instruction are printed as .word/.byte lines.
std::string Disassemble(const std::vector<uint8_t>& bytes);

}  // namespace script
