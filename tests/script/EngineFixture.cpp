#include "EngineFixture.h"

#include <filesystem>
#include <fstream>

#include "platform/Path.h"
#include "script/Assembler.h"
#include "support/BmpWriter.h"
#include "text/MessageWriter.h"

namespace script {

EngineFixture::EngineFixture()
    : dir_(temp_.path.string()),
      course_(dir_ + "/player"),
      config_(course_.Config()),
      options_(course_.Flags()) {}

void EngineFixture::SetUp() {
    std::filesystem::create_directories(dir_ + "/LDE");
    std::filesystem::create_directories(dir_ + "/BMP/MASK");
    options_.Set(data::Trace);
    course_.SetTitle("Course");
    course_.SeedRandom(7);
    picture_ = QImage(200, 150, QImage::Format_RGB32);
    picture_.fill(Qt::white);
    engine_ = std::make_unique<ScriptEngine>(course_, &host_);
    engine_->SetTraceSink([this](const std::string& line) { trace_.push_back(line); });
    engine_->SetClock([this] { return now_; });
    engine_->Bind(nullptr, nullptr, &picture_);
    engine_->Start();
}

void EngineFixture::TearDown() {
    engine_.reset();
}

void EngineFixture::WriteScript(const std::string& name, const std::string& source) {
    AssemblyResult r = Assemble(source);
    ASSERT_TRUE(r.ok) << r.error;
    std::ofstream out(dir_ + "/LDE/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(r.bytes.data()),
              static_cast<std::streamsize>(r.bytes.size()));
}

void EngineFixture::WritePicture(const std::string& name, int width, int height, QColor colour,
                                 bool mask) {
    const std::string path = dir_ + (mask ? "/BMP/MASK/" : "/BMP/") + name + ".BMP";
    support::WriteBmp(path, width, height, colour.rgb() & 0xFFFFFF);
}

void EngineFixture::WriteMessages(const std::string& lang, const std::string& name,
                                  const std::vector<std::string>& texts) {
    text::MessageContent content;
    content.texts = texts;
    std::filesystem::create_directories(dir_ + "/MSG/" + lang);
    std::ofstream out(dir_ + "/MSG/" + lang + "/" + name + ".MSG", std::ios::binary);
    std::string bytes = text::EncodeMessageFile(content);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void EngineFixture::Ticks(int n) {
    for (int i = 0; i < n; ++i) {
        engine_->Tick();
        now_ += engine_->TimerInterval();
    }
}

void EngineFixture::Run(const std::string& name, int ticks) {
    engine_->OpenScript(name, -1);
    Ticks(ticks);
}

int EngineFixture::RunToEnd(const std::string& name, int limit) {
    engine_->OpenScript(name, -1);
    int ticks = 0;
    while (!engine_->Ended() && ticks < limit) {
        Ticks(1);
        ++ticks;
    }
    return ticks;
}

std::vector<std::string> EngineFixture::TraceLines(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& l : trace_) {
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
}

bool EngineFixture::Traced(const std::string& line) const {
    return std::find(trace_.begin(), trace_.end(), line) != trace_.end();
}

}  // namespace script
