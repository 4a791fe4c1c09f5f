#include "CourseFixture.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>

#include "platform/Path.h"

namespace windows::testing {

namespace fs = std::filesystem;

namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void Save(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

// Header (24 bytes): minor, major, table offset 24 (16 bit), seed 0, time stamp, 12 unused.
// Table of N = records + 1 offsets; records are text, NUL, checksum; then the format block.
void WriteMessageFile(const fs::path& path, const std::vector<Text>& texts) {
    std::vector<uint8_t> b = {0, 1};
    Put16(b, 24);
    Put32(b, 0);
    Put32(b, 0);
    b.resize(24, 0);
    uint32_t at = 24 + 4 * uint32_t(texts.size() + 1);
    for (const Text& t : texts) {
        Put32(b, at);
        at += uint32_t(t.text.size()) + 5;
    }
    Put32(b, at);
    for (const Text& t : texts) {
        uint32_t sum = 0;
        for (unsigned char c : t.text) sum = (sum * 64 + c) % 1009;
        b.insert(b.end(), t.text.begin(), t.text.end());
        b.push_back(0);
        Put32(b, sum);
    }
    std::string formats;
    for (const Text& t : texts) formats += t.format + '\0';
    Put32(b, 0xFFFF0001u);
    Put32(b, uint32_t(formats.size()));
    b.insert(b.end(), formats.begin(), formats.end());
    Save(path, b);
}

void WriteWav(const fs::path& path, int ms) {
    uint32_t data = uint32_t(ms) * 16;
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F'};
    Put32(b, 36 + data);
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(b, 16), Put16(b, 1), Put16(b, 1), Put32(b, 8000), Put32(b, 16000), Put16(b, 2);
    Put16(b, 16);
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put32(b, data);
    b.resize(b.size() + data);
    Save(path, b);
}

void WriteBmp(const fs::path& path, int w, int h, unsigned rgb) {
    uint32_t row = uint32_t((w * 3 + 3) & ~3);
    std::vector<uint8_t> b = {'B', 'M'};
    Put32(b, 54 + row * uint32_t(h)), Put32(b, 0), Put32(b, 54);
    Put32(b, 40), Put32(b, uint32_t(w)), Put32(b, uint32_t(h)), Put16(b, 1), Put16(b, 24);
    Put32(b, 0), Put32(b, row * uint32_t(h)), Put32(b, 2835), Put32(b, 2835), Put32(b, 0);
    Put32(b, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.push_back(uint8_t(rgb));
            b.push_back(uint8_t(rgb >> 8));
            b.push_back(uint8_t(rgb >> 16));
        }
        b.resize(b.size() + (row - uint32_t(w) * 3));
    }
    Save(path, b);
}

CourseFolder::CourseFolder() : root_(temp_.path) {
    previous_ = fs::current_path();
    fs::current_path(root_);
    // Message files named relative to the course are found beside the program.
    platform::SetProgramPath((root_ / "PLAYER").c_str());
    course_ = std::make_unique<data::Course>((root_ / "PLAYER").string());
    course_->Config().Set(data::kLanguage, "GB");

    auto box = [](const char* yes, const char* no, const char* ok, const char* cancel,
                  const char* ignore, const char* retry, const char* abort, const char* missing) {
        return std::vector<Text>{{yes, ""},     {no, ""},       {ok, ""},        {cancel, ""},
                                 {ignore, ""},  {retry, ""},    {abort, ""},     {missing, "%s"},
                                 {"ICERR", ""}, {"ICWARN", ""}, {"ICQUEST", ""}, {"ICINFO", ""}};
    };
    WriteMessageFile("MSG/GB/MSGBOX.MSG", box("Yes", "No", "OK", "Cancel", "Ignore", "Retry",
                                              "Abort", "Picture %1 is missing"));
    WriteMessageFile("MSG/FR/MSGBOX.MSG", box("Oui", "Non", "D'accord", "Annuler", "Ignorer",
                                              "Reessayer", "Abandonner", "Image %1 absente"));
    std::vector<Text> sounds;
    for (const char* name : kSoundNames) sounds.push_back({name, ""});
    sounds[0].text = "Sound";
    sounds[1] = {"Sound %1 cannot be played", "%s"};
    sounds[2].text = "No sound of that number";
    WriteMessageFile("MSG/SND.MSG", sounds);
    for (size_t i = 3; i < std::size(kSoundNames); ++i)
        WriteWav(fs::path("SND") / (std::string(kSoundNames[i]) + ".WAV"), 20);
    WriteBmp("BMP/ICERR.BMP", 32, 32, 0xFF0000);
    WriteBmp("BMP/ICWARN.BMP", 32, 32, 0xFFFF00);
    WriteBmp("BMP/ICQUEST.BMP", 32, 32, 0x0000FF);
    WriteBmp("BMP/ICINFO.BMP", 32, 32, 0x00FF00);
    WriteBmp("BMP/WIDE.BMP", 120, 40, 0x808080);
}

CourseFolder::~CourseFolder() {
    std::error_code ec;
    fs::current_path(previous_, ec);
}

}  // namespace windows::testing
