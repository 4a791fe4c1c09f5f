#include "support/TempFolder.h"

#include <stdlib.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace support {

namespace fs = std::filesystem;

namespace {

fs::path MakeFolder() {
    std::string templ = (fs::temp_directory_path() / "player-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("cannot make a folder like " + templ);
    return templ;
}

}  // namespace

TempFolder::TempFolder() : path(MakeFolder()) {}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path, ec);
}

std::string TempFolder::Write(const std::string& name, std::string_view bytes) const {
    const fs::path file = path / name;
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return file.string();
}

std::string TempFolder::Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace support
