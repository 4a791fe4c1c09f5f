// The two halves of the engine's tick: the animation of 100 moving 64x64 masked images on a
// 1008x749 stage, and the interpreter alone (instructions per second).
#include <benchmark/benchmark.h>

#include <QImage>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "data/Course.h"
#include "script/Assembler.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"

namespace {

// A course folder with a 64x64 picture, its mask and a stage-sized scene.
const std::string& CourseFolder() {
    static std::string dir = [] {
        char pattern[] = "/tmp/script_bench_XXXXXX";
        std::string d = mkdtemp(pattern);
        std::filesystem::create_directories(d + "/BMP/MASK");
        QImage car(64, 64, QImage::Format_RGB32);
        car.fill(Qt::red);
        QImage mask(64, 64, QImage::Format_RGB32);
        mask.fill(Qt::white);
        for (int y = 8; y < 56; ++y) {
            for (int x = 8; x < 56; ++x) mask.setPixel(x, y, 0);
        }
        QImage scene(1008, 749, QImage::Format_RGB32);
        scene.fill(Qt::darkGreen);
        car.save(QString::fromStdString(d + "/BMP/CAR.BMP"), "BMP");
        mask.save(QString::fromStdString(d + "/BMP/MASK/CAR.BMP"), "BMP");
        scene.save(QString::fromStdString(d + "/BMP/SCENE.BMP"), "BMP");
        return d;
    }();
    return dir;
}

struct Stage {
    data::Course course{CourseFolder() + "/player"};
    script::HeadlessHost host;
    QImage picture{1008, 749, QImage::Format_RGB32};
    script::ScriptEngine engine{course, &host};
    int64_t now = 1;

    Stage() {
        picture.fill(Qt::white);
        engine.SetClock([this] { return now; });
        engine.Bind(nullptr, nullptr, &picture);
        engine.Start();
    }
    void RunSource(const std::string& source) {
        script::AssemblyResult r = script::Assemble(source);
        if (!r.ok) std::abort();
        engine.OpenScriptData(r.bytes, "BENCH");
        while (!engine.Ended()) {
            engine.InterpreterStep();
            now += 50;
        }
    }
};

// Moves every object to the far side of the stage at 1 pixel per tick, spread over the stage.
std::string MoveAll(bool there) {
    std::string src = ".lines off\n";
    for (int i = 0; i < 100; ++i) {
        const int x = there ? 900 - (i % 10) * 10 : (i % 10) * 10;
        src += "MoveTo " + std::to_string(x) + ", " + std::to_string(40 + (i / 10) * 64) +
               ", 1 @ " + std::to_string(i + 1) + "\n";
    }
    return src;
}

void BM_AnimateHundredMaskedImages(benchmark::State& state) {
    Stage stage;
    std::string create = ".lines off\nLoad \"SCENE\" @ Background\n";
    for (int i = 0; i < 100; ++i) {
        create += "Bmp \"CAR\", " + std::to_string((i % 10) * 10) + ", " +
                  std::to_string(40 + (i / 10) * 64) + " @ " + std::to_string(i + 1) + "\n";
    }
    stage.RunSource(create);
    bool there = true;
    stage.RunSource(MoveAll(there));
    for (auto _ : state) {
        stage.engine.Animate();
        if (!stage.engine.AnythingMoving()) {
            state.PauseTiming();
            there = !there;
            stage.RunSource(MoveAll(there));
            state.ResumeTiming();
        }
    }
    state.counters["objects"] =
        static_cast<double>(stage.engine.ObjectsInOrder(script::kBmp).size());
}
BENCHMARK(BM_AnimateHundredMaskedImages)->Unit(benchmark::kMicrosecond);

void BM_InterpreterInstructions(benchmark::State& state) {
    Stage stage;
    script::AssemblyResult r = script::Assemble(
        ".lines off\n"
        "head:\nLoop 0, out\n"
        "$0 = BmpExist 7\n"
        "If &1, \"FALSE\", head\n"
        "Ident \"12\" @ Background\n"
        "Step 3 @ Background\n"
        "Timer 50\n"
        "Numline 12\n"
        "EndLoop head\nout:\n");
    if (!r.ok) std::abort();
    stage.engine.OpenScriptData(r.bytes, "LOOP");
    for (auto _ : state) {
        stage.engine.InterpreterStep();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InterpreterInstructions);

}  // namespace

BENCHMARK_MAIN();
