// Decoding of one instruction's arguments from the stream.
//
// Commands carry a tag before each value (4 variable reference, 5 integer, 6 real, 7 string);
// keywords carry bare values. Numbers land in numbered slots shared by integers and reals: the
// n-th numeric argument (strings excluded) fills integer slot n or real slot n by its tag.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "script/ScriptFile.h"

namespace script {

enum ArgTag : int16_t { kTagVariable = 4, kTagInteger = 5, kTagReal = 6, kTagString = 7 };

struct Arguments {
    static constexpr int kMaxSlots = 8;
    int count = 0;  // letters of the signature
    std::array<int32_t, kMaxSlots> ints{};
    std::array<float, kMaxSlots> reals{};
    std::string text;   // the string argument
    std::string trace;  // " <literal>" per literal read

    int32_t Int(int slot) const { return slot >= 0 && slot < kMaxSlots ? ints[slot] : 0; }
    float Real(int slot) const { return slot >= 0 && slot < kMaxSlots ? reals[slot] : 0.0f; }
};

// Resolves variable reference k against variables for signature letter: M, N, O read entry k
// as an integer (0 when k < 1 or k > count - 1); R and S read entry k - 1 (0 or "" when
// k < 1 or k > count).
int32_t VariableInt(const std::vector<std::string>& variables, int k);
float VariableReal(const std::vector<std::string>& variables, int k);
std::string VariableText(const std::vector<std::string>& variables, int k);

void DecodeCommandArguments(ScriptFile& file, std::string_view signature,
                            const std::vector<std::string>& variables, Arguments& out);
void DecodeKeywordArguments(ScriptFile& file, std::string_view signature, Arguments& out);

// Real in its trace form ("%g").
std::string RealText(float value);

}  // namespace script
