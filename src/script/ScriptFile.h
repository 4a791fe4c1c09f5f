// A compiled lesson script held in memory: the whole file in one buffer with a read position.
//
// Instruction stream (little-endian):
//   command  (opcode 0..87):    i16 opcode, i16 result slot (-1 = none), per signature letter
//                               i16 tag + value (4 variable ref i16, 5 integer i16, 6 real f32,
//                               7 NUL-terminated string, other tags carry nothing), then for
//                               object commands i16 object identifier and i16 object kind.
//   keyword  (opcode 1000..1018): i16 opcode, per signature letter an untagged value
//                               (M/N i16, R f32, S NUL-terminated string).
// Jump targets are i16 byte offsets from the start of the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace script {

// Where a script name leads.
struct ScriptLocation {
    bool ends_step = false;  // the name ends in '-' or yields no path: nothing is opened
    std::string path;        // courseware form (backslashes), without extension
};

// name with a directory part: drive + directory + base name (extension dropped); a bare name:
// "<data_dir>\LDE\<directory><base>".
ScriptLocation LocateScript(std::string_view name, std::string_view data_dir,
                            std::string_view directory);

// The file-name part of a path (after the last '\\' or '/').
std::string BaseNameOf(std::string_view path);

class ScriptFile {
  public:
    static constexpr size_t kMaxPath = 260;
    static constexpr long kMaxSize = 16L << 20;  // larger files are refused

    // Reads the whole file; false (and errno-style code in *error) when the path is too long,
    // the file cannot be opened or read, is no regular file (EISDIR, EINVAL) or is larger than
    // kMaxSize (EFBIG). On failure the current content is kept.
    bool Load(const std::string& path, int* error = nullptr);
    // What an error code of Load means, for a person: EFBIG names the size limit.
    static std::string LoadErrorText(int error);
    // Replaces the content with bytes (tests, fuzzing).
    void Assign(std::vector<uint8_t> bytes, std::string path = {});
    void Clear();

    // origin 0: from the start, 1: from the current position, 2: backwards from the end.
    // A target outside the file leaves the position unchanged and returns false.
    bool Seek(int64_t offset, int origin);
    // Copies at most size bytes from the read position; returns the count copied.
    size_t Read(void* dest, size_t size);
    // Reads a little-endian value into value; a value cut by the end of the file keeps the
    // bytes value held before for the missing part. Returns the bytes read.
    size_t ReadInt16(int16_t& value);
    size_t ReadFloat(float& value);
    // Reads up to and including a NUL (or to the end of the file).
    void ReadString(std::string& out);

    size_t Offset() const { return pos_; }
    size_t Size() const { return data_.size(); }
    bool AtEnd() const { return pos_ >= data_.size(); }
    const std::string& Path() const { return path_; }
    const std::string& Name() const { return name_; }
    const std::vector<uint8_t>& Bytes() const { return data_; }

  private:
    std::vector<uint8_t> data_;
    size_t pos_ = 0;
    std::string path_;
    std::string name_;
};

}  // namespace script
