// A fresh folder under the system temporary folder, removed with everything in it.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

struct TempFolder {
    std::filesystem::path path;

    TempFolder() {
        std::string templ = (std::filesystem::temp_directory_path() / "courseXXXXXX").string();
        path = mkdtemp(templ.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string Write(const std::string& name, std::string_view bytes) const {
        std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return file.string();
    }
    static std::string Read(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};
