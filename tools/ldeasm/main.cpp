// ldeasm: assembles lesson scripts from their text form and prints compiled scripts back.
//   ldeasm asm SRC OUT
//   ldeasm dis FILE
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "script/Assembler.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: ldeasm asm SRC OUT\n       ldeasm dis FILE\n");
    return 2;
}

bool ReadAll(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string mode = argv[1];
    if (mode == "asm" && argc == 4) {
        std::string source;
        if (!ReadAll(argv[2], source)) {
            std::fprintf(stderr, "ldeasm: cannot read %s\n", argv[2]);
            return 1;
        }
        script::AssemblyResult r = script::Assemble(source);
        if (!r.ok) {
            std::fprintf(stderr, "%s:%s\n", argv[2], r.error.substr(5).c_str());
            return 1;
        }
        std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(r.bytes.data()),
                  static_cast<std::streamsize>(r.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "ldeasm: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (mode == "dis" && argc == 3) {
        std::string bytes;
        if (!ReadAll(argv[2], bytes)) {
            std::fprintf(stderr, "ldeasm: cannot read %s\n", argv[2]);
            return 1;
        }
        std::cout << script::Disassemble(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return 0;
    }
    return Usage();
}
