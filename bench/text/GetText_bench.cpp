// Text lookup speed on a 2,000-record scrambled and checked file whose texts include other
// records (of the same file and of a second file), take arguments and carry markup.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "text/MessageFile.h"
#include "text/MessageWriter.h"

namespace {

constexpr int kRecords = 2000;
constexpr int32_t kSeed = 1957;

class Fixture {
  public:
    Fixture() {
        char pattern[] = "/tmp/gettext_bench_XXXXXX";
        dir_ = mkdtemp(pattern) ? pattern : "/tmp";
        text::MessageContent main;
        main.seed = kSeed;
        main.modulus = 1009;
        text::MessageContent other = main;
        other.modulus = kSeed;  // included files are checked with their seed as modulus
        for (int i = 0; i < kRecords; ++i) {
            other.texts.push_back("shared text number " + std::to_string(i));
            std::string t = "Record " + std::to_string(i) + ": %r%[%1%] scored %o%[%2%] of %3";
            t += " (see %@[" + std::to_string((i * 7) % kRecords) + "]) and %@[OTHER " +
                 std::to_string(i) + "] at a ratio of %4; a longer tail of plain words follows";
            main.texts.push_back(t);
            main.formats.push_back("%s %d %d %.2lf");
        }
        Write("MAIN.MSG", text::EncodeMessageFile(main));
        Write("OTHER.MSG", text::EncodeMessageFile(other));
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const char* name) const { return dir_ + "/" + name; }

  private:
    void Write(const char* name, const std::string& bytes) {
        if (std::FILE* f = std::fopen(Path(name).c_str(), "wb")) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    std::string dir_;
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void BM_Open(benchmark::State& state) {
    text::MessageFile mf;
    for (auto _ : state) {
        mf.Open(Files().Path("MAIN.MSG"));
        benchmark::DoNotOptimize(mf.RecordCount());
    }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

void BM_GetText(benchmark::State& state) {
    text::MessageFile mf;
    mf.Open(Files().Path("MAIN.MSG"));
    mf.SetCheckModulus(1009);
    int n = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string& t = mf.GetText(n, "Ann", 17, 20, 0.85);
        bytes += t.size();
        n = (n + 13) % kRecords;
    }
    if (mf.SpanCount() < 2 || bytes == 0) state.SkipWithError("lookup went wrong");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetText)->Unit(benchmark::kMicrosecond);

void BM_RawTextFromDisk(benchmark::State& state) {
    text::MessageFile mf;
    mf.Open(Files().Path("MAIN.MSG"));
    mf.SetCheckModulus(1009);
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mf.RawText(n).size());
        n = (n + 13) % kRecords;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawTextFromDisk)->Unit(benchmark::kMicrosecond);

void BM_RawTextAfterPreload(benchmark::State& state) {
    text::MessageFile mf;
    mf.Open(Files().Path("MAIN.MSG"));
    mf.SetCheckModulus(1009);
    mf.PreloadAll();
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(mf.RawText(n).size());
        n = (n + 13) % kRecords;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RawTextAfterPreload)->Unit(benchmark::kMicrosecond);

void BM_PreloadAll(benchmark::State& state) {
    for (auto _ : state) {
        text::MessageFile mf;
        mf.Open(Files().Path("MAIN.MSG"));
        mf.SetCheckModulus(1009);
        mf.PreloadAll();
    }
}
BENCHMARK(BM_PreloadAll)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
