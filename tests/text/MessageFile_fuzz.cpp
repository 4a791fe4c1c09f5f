// Fuzz target: any bytes as a message file (and as the conversion file beside it), read
// through every lookup with arguments of every type.

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/TempFolder.h"
#include "text/MessageFile.h"

namespace {

// Created once per process and removed at exit.
const std::string& WorkDir() {
    static const support::TempFolder folder;
    static const std::string dir = folder.path.string();
    return dir;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = WorkDir();
    WriteFile(dir + "/F.MSG", data, size);
    WriteFile(dir + "/F.CNV", data, size);

    text::MessageFile mf;
    mf.Open(dir + "/F.MSG");
    const text::TextArg args[] = {7,
                                  -3.25,
                                  "name",
                                  text::TextArg::Char('c'),
                                  std::string(120, 'L'),
                                  1LL << 40,
                                  0u,
                                  "",
                                  2.0,
                                  "x",
                                  1,
                                  2,
                                  3,
                                  4,
                                  5};
    for (unsigned modulus : {0u, 1009u}) {
        mf.SetCheckModulus(modulus);
        for (int conv : {0, 1}) {
            mf.SetConversionLine(conv);
            for (int n = -1; n <= mf.RecordCount() && n < 64; ++n) {
                mf.GetTextArgs(n, args);
                for (int s = 0; s < mf.SpanCount(); ++s) {
                    (void)mf.SpanFont(s);
                    (void)mf.SpanStart(s);
                }
                mf.RawText(n);
                mf.RecordSize(n);
            }
        }
        mf.CountBadRecords();
    }
    mf.SetShowNumbers(true);
    mf.GetText(0);
    mf.SetShowNumbers(false);
    mf.SetRaw(true);
    mf.GetText(1, 1, 2);
    mf.PreloadAll();
    mf.RawText(0);
    return 0;
}
