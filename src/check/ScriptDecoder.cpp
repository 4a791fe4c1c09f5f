#include "check/ScriptDecoder.h"

#include <cstring>

#include "platform/LittleEndian.h"
#include "script/CommandTable.h"

namespace check {

namespace {

class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& bytes) : b_(bytes) {}
    bool I16(int32_t& v) {
        if (pos + 2 > b_.size()) return false;
        v = platform::LoadLeI16(&b_[pos]);
        pos += 2;
        return true;
    }
    bool Real() {
        if (pos + 4 > b_.size()) return false;
        pos += 4;
        return true;
    }
    bool Str(std::string& s) {
        size_t end = pos;
        while (end < b_.size() && b_[end] != 0) ++end;
        if (end >= b_.size()) return false;
        s.assign(reinterpret_cast<const char*>(b_.data() + pos), end - pos);
        pos = end + 1;
        return true;
    }
    size_t pos = 0;

  private:
    const std::vector<uint8_t>& b_;
};

// Whether argument index of a keyword is a jump target (a byte offset in the file).
bool IsTarget(int op, int index) {
    switch (op) {
        case script::kKwIf:
        case script::kKwCase:
            return index == 2;
        case script::kKwLoop:
        case script::kKwSyncLoop:
            return index == 1;
        case script::kKwEndCase:
        case script::kKwEndLoop:
        case script::kKwEndSyncLoop:
        case script::kKwGoTo:
            return index == 0;
        default:
            return false;
    }
}

bool DecodeKeyword(Reader& r, int op, const script::CommandInfo& info, DecodedInstruction& out,
                   DecodedScript& script) {
    const int count = script::ArgumentCount(info.signature);
    for (int a = 0; a < count; ++a) {
        DecodedArgument arg;
        arg.letter = script::SignatureLetter(info.signature, a);
        if (arg.letter == 'S') {
            if (!r.Str(arg.text)) return false;
        } else if (arg.letter == 'R') {
            if (!r.Real()) return false;
        } else {
            if (!r.I16(arg.number)) return false;
            if (IsTarget(op, a)) script.jumps.emplace_back(out.offset, arg.number);
        }
        out.args.push_back(std::move(arg));
    }
    return true;
}

bool DecodeCommand(Reader& r, const script::CommandInfo& info, DecodedInstruction& out,
                   DecodedScript& script) {
    int32_t slot = 0;
    if (!r.I16(slot)) return false;
    const int count = script::ArgumentCount(info.signature);
    for (int a = 0; a < count; ++a) {
        DecodedArgument arg;
        arg.letter = script::SignatureLetter(info.signature, a);
        int32_t tag = 0;
        if (!r.I16(tag)) return false;
        arg.tag = tag;
        bool read = true;
        switch (tag) {
            case 4:
            case 5:
                read = r.I16(arg.number);
                break;
            case 6:
                read = r.Real();
                break;
            case 7:
                read = r.Str(arg.text);
                break;
            default:
                if (script.bad_tag_offset < 0) {
                    script.bad_tag_offset = static_cast<long>(out.offset);
                    script.bad_tag = tag;
                }
                break;
        }
        if (!read) return false;
        out.args.push_back(std::move(arg));
    }
    if (!info.global) {
        int32_t id = 0, kind = 0;
        if (!r.I16(id) || !r.I16(kind)) return false;
    }
    return true;
}

}  // namespace

const DecodedArgument* DecodedInstruction::StringArgument() const {
    // A keyword's arguments are bare (tag 0); a command's string literal has tag 7.
    const int literal = script::IsKeyword(opcode) ? 0 : 7;
    for (const DecodedArgument& a : args) {
        if (a.letter == 'S' && a.tag == literal) return &a;
    }
    return nullptr;
}

DecodedScript DecodeScript(const std::vector<uint8_t>& bytes) {
    DecodedScript script;
    Reader r(bytes);
    int line = 0;
    while (r.pos < bytes.size()) {
        DecodedInstruction ins;
        ins.offset = r.pos;
        ins.line = line;
        int32_t op = 0;
        const script::CommandInfo* info = nullptr;
        if (r.I16(op)) info = script::FindInstruction(op);
        if (!info) {
            script.stop = r.pos - ins.offset < 2 ? DecodedScript::Stop::kCut
                                                 : DecodedScript::Stop::kUnknownOpcode;
            script.stop_offset = ins.offset;
            script.stop_opcode = op;
            return script;
        }
        ins.opcode = op;
        const bool whole = script::IsKeyword(op) ? DecodeKeyword(r, op, *info, ins, script)
                                                 : DecodeCommand(r, *info, ins, script);
        if (!whole) {
            script.stop = DecodedScript::Stop::kCut;
            script.stop_offset = ins.offset;
            script.stop_opcode = op;
            return script;
        }
        if (op == script::kKwNumline && !ins.args.empty()) line = ins.args[0].number;
        script.instructions.push_back(std::move(ins));
        // The engine jumps to the end of the file at Symbol: what follows is not code.
        if (op == script::kKwSymbol) {
            script.stop = DecodedScript::Stop::kSymbol;
            script.stop_offset = r.pos;
            return script;
        }
    }
    return script;
}

}  // namespace check
