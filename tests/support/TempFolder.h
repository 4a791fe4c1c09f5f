// A fresh folder under the system's temporary folder for one test, removed with everything in
// it when the object goes (also after the test made it read-only).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace support {

class TempFolder {
  public:
    // Throws std::runtime_error when no folder can be made, which fails the test at once
    // instead of letting it write into the current folder.
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The native path of a file in the folder.
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    // Writes bytes to name (folders made as needed); the file's native path.
    std::string Write(const std::string& name, std::string_view bytes) const;
    // The whole content of a file, empty when it cannot be read.
    static std::string Read(const std::string& file);

    const std::filesystem::path path;
};

}  // namespace support
