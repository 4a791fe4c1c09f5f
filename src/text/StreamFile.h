// A file opened by path with the player's mode flags: block reads and writes, seeks, and the
// last error as text. Paths may be written either way (backslashes and drive or native).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace text {

class StreamFile {
  public:
    // Mode flags, combined with '|'.
    enum : unsigned {
        kRead = 1,
        kWrite = 2,
        kSeekEnd = 4,  // seek to the end after opening
        kAppend = 8,
        kTruncate = 16,  // start empty
        kNoCreateFolders = 32,
        kBinary = 128,  // without it the file is opened in text mode
    };

    StreamFile() = default;
    virtual ~StreamFile();
    StreamFile(const StreamFile&) = delete;
    StreamFile& operator=(const StreamFile&) = delete;

    // Resolves and opens path with flags; false leaves the object closed.
    bool Open(std::string_view path, unsigned flags);
    // Block transfers: the number of items moved (0 when closed).
    size_t Read(void* buffer, size_t size, size_t count);
    size_t Write(const void* buffer, size_t size, size_t count);
    // origin is SEEK_SET, SEEK_CUR or SEEK_END; true on success.
    bool Seek(int64_t offset, int origin);
    int64_t Tell();
    // Size of the file; the position is kept.
    int64_t Size();
    bool Flush();
    void Close();
    bool IsOpen() const { return file_ != nullptr; }

    // The library's text for the last error, or "" while the stream is healthy.
    std::string LastErrorText();
    // The caller's printf-style message followed by " : " and the library's text.
    std::string LastErrorText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The error number LastErrorText reports.
    int LastError();

    // The stdio mode the flags select after the read-only adjustment, or nullptr for none.
    // read_only tells whether the file found on disk is read-only; exposed for tests.
    static const char* ModeFor(unsigned flags, bool exists, bool read_only, unsigned* adjusted);

    const std::string& FileName() const { return file_name_; }   // name with extension
    const std::string& Directory() const { return directory_; }  // folder, native form
    const std::string& FullPath() const { return full_path_; }   // native path opened
    unsigned Flags() const { return flags_; }                    // flags after adjustment
    bool Existed() const { return existed_; }                    // the file existed before the open

  protected:
    std::FILE* Stream() { return file_; }
    // Before switching between reading and writing, stdio needs a positioning call.
    void PrepareFor(bool writing);

  private:
    std::FILE* file_ = nullptr;
    std::string file_name_;
    std::string directory_;
    std::string full_path_;
    unsigned flags_ = 0;
    bool existed_ = false;
    enum class LastOp { None, Read, Write } last_op_ = LastOp::None;
    int last_error_ = 0;
};

}  // namespace text
