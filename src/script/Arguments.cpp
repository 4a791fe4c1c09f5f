#include "script/Arguments.h"

#include <cstdio>
#include <cstdlib>

#include "data/ConfigTable.h"
#include "script/CommandTable.h"

namespace script {

int32_t VariableInt(const std::vector<std::string>& variables, int k) {
    if (k < 1 || k > static_cast<int>(variables.size()) - 1) return 0;
    return data::LeadingInt(variables[static_cast<size_t>(k)]);
}

float VariableReal(const std::vector<std::string>& variables, int k) {
    if (k < 1 || k > static_cast<int>(variables.size())) return 0.0f;
    return std::strtof(variables[static_cast<size_t>(k - 1)].c_str(), nullptr);
}

std::string VariableText(const std::vector<std::string>& variables, int k) {
    if (k < 1 || k > static_cast<int>(variables.size())) return {};
    return variables[static_cast<size_t>(k - 1)];
}

std::string RealText(float value) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%g", static_cast<double>(value));
    return buf;
}

void DecodeCommandArguments(ScriptFile& file, std::string_view signature,
                            const std::vector<std::string>& variables, Arguments& out) {
    out.count = ArgumentCount(signature);
    int slot = 0;
    for (int i = 0; i < out.count; ++i) {
        char letter = SignatureLetter(signature, i);
        int16_t tag = -1;
        file.ReadInt16(tag);
        switch (tag) {
            case kTagInteger: {
                int16_t v = 0;
                file.ReadInt16(v);
                if (slot < Arguments::kMaxSlots) out.ints[slot] = v;
                ++slot;
                out.trace += " " + std::to_string(v);
                break;
            }
            case kTagReal: {
                float v = 0;
                file.ReadFloat(v);
                if (slot < Arguments::kMaxSlots) out.reals[slot] = v;
                ++slot;
                out.trace += " " + RealText(v);
                break;
            }
            case kTagString:
                file.ReadString(out.text);
                out.trace += " " + out.text;
                break;
            case kTagVariable: {
                int16_t k = 0;
                file.ReadInt16(k);
                if (letter == 'S') {
                    out.text = VariableText(variables, k);
                } else if (letter == 'R') {
                    if (slot < Arguments::kMaxSlots) out.reals[slot] = VariableReal(variables, k);
                    ++slot;
                } else {
                    if (slot < Arguments::kMaxSlots) out.ints[slot] = VariableInt(variables, k);
                    ++slot;
                }
                break;
            }
            default:
                break;
        }
    }
}

void DecodeKeywordArguments(ScriptFile& file, std::string_view signature, Arguments& out) {
    out.count = ArgumentCount(signature);
    int slot = 0;
    for (int i = 0; i < out.count; ++i) {
        char letter = SignatureLetter(signature, i);
        if (letter == 'S') {
            file.ReadString(out.text);
            out.trace += " " + out.text;
        } else if (letter == 'R') {
            float v = 0;
            file.ReadFloat(v);
            if (slot < Arguments::kMaxSlots) out.reals[slot] = v;
            ++slot;
            out.trace += " " + RealText(v);
        } else {
            int16_t v = 0;
            file.ReadInt16(v);
            if (slot < Arguments::kMaxSlots) out.ints[slot] = v;
            ++slot;
            out.trace += " " + std::to_string(v);
        }
    }
}

}  // namespace script
