// ldeasm: assembles lesson scripts from their text form and prints compiled scripts back.
//   ldeasm asm SRC OUT
//   ldeasm dis FILE
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/GuardedMain.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"
#include "platform/ToolHelp.h"
#include "script/Assembler.h"

namespace {

const char kUsage[] =
    "usage: ldeasm asm SRC OUT\n"
    "       ldeasm dis FILE\n"
    "       ldeasm --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

int Run(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("ldeasm", kUsage, argc, argv); rc >= 0)
        return rc;
    if (argc < 2) return Usage();
    const std::string mode = argv[1];
    if (mode == "asm" && argc == 4) {
        std::string source, why;
        if (!platform::ReadWholeFile(argv[2], source, why)) {
            std::fprintf(stderr, "ldeasm: cannot read %s: %s\n", argv[2], why.c_str());
            return 1;
        }
        script::AssemblyResult r = script::Assemble(source);
        if (!r.ok) {
            std::fprintf(stderr, "%s:%s\n", argv[2], r.error.substr(5).c_str());
            return 1;
        }
        // Replaced whole, so a failed write (full disk) leaves the previous script intact.
        const std::string_view bytes(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
        if (!platform::ReplaceFile(argv[3], bytes)) {
            std::fprintf(stderr, "ldeasm: cannot write %s: %s\n", argv[3], std::strerror(errno));
            return 1;
        }
        return 0;
    }
    if (mode == "dis" && argc == 3) {
        std::string bytes, why;
        if (!platform::ReadWholeFile(argv[2], bytes, why)) {
            std::fprintf(stderr, "ldeasm: cannot read %s: %s\n", argv[2], why.c_str());
            return 1;
        }
        std::cout << script::Disassemble(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        std::cout.flush();
        if (!std::cout) {
            std::fprintf(stderr, "ldeasm: cannot write the listing\n");
            return 1;
        }
        return 0;
    }
    return Usage();
}

}  // namespace

int main(int argc, char** argv) {
    return platform::GuardedMain("ldeasm", argc, argv, Run);
}
