// Numbered texts from a compiled message (.MSG) or conversion (.CNV) file: optional scrambling
// and per-record checksums, includes from this and other files, typed argument substitution,
// unit conversions and inline markup turned into styled spans.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Notifier.h"
#include "text/TextArg.h"

namespace text {

class StreamFile;

// One styled run of the text returned by the last GetText.
struct TextSpan {
    int start = 0;      // character position in the returned text
    int length = 0;     // characters
    int attribute = 0;  // colour code in bits 4 to 7, style bits in bits 0 to 3
    std::string font;   // empty for the default font
};

class MessageFile {
  public:
    enum State { kOpen = 0, kClosed = 1, kNoPath = 2, kBadTable = 3 };
    // Style bits and colour codes of the markup.
    enum : int { kBold = 1, kUnderline = 2, kStrikeOut = 4, kItalic = 8 };
    enum : int { kRed = 1, kGreen, kBlue, kBlack, kYellow, kWhite };
    static constexpr unsigned kStandardModulus = 1009;

    MessageFile();
    // program_path: the program's own path, given by the owner (the running course).
    explicit MessageFile(std::string program_path);
    ~MessageFile();
    MessageFile(const MessageFile&) = delete;
    MessageFile& operator=(const MessageFile&) = delete;

    // The program's own path: relative names (and link files' names) are completed from its
    // folder, and OpenDefault opens the file named after it. Kept across opens; without one a
    // relative name cannot be opened (kNoPath).
    const std::string& ProgramPath() const { return program_path_; }
    void SetProgramPath(std::string path) { program_path_ = std::move(path); }
    // Where reports go (with show-errors on), given by the owner; stderr when none is given.
    // Kept across opens; the notifier must outlive the file.
    void SetNotifier(platform::Notifier* notifier) { notifier_ = notifier; }

    // Opens a message file (a link file opens the file it names); false on failure, with the
    // reason in State(). A relative path is completed from the program path.
    bool Open(const std::string& path, unsigned modulus = 0);
    // Opens the file named like the program, with the extension ".MSG".
    bool OpenDefault(unsigned modulus = 0);
    void Close();
    int State() const { return state_; }

    // The finished text of record number: includes, arguments, conversions, markup. Never
    // fails: a missing record gives "". Valid until the next call on this object.
    template <class... A>
    const std::string& GetText(int number, const A&... args) {
        if constexpr (sizeof...(A) == 0) {
            return GetTextArgs(number, {});
        } else {
            const TextArg list[] = {TextArg(args)...};
            return GetTextArgs(number, std::span<const TextArg>(list, sizeof...(A)));
        }
    }
    const std::string& GetTextArgs(int number, std::span<const TextArg> args);

    // The record's text after unscrambling and checking, without substitution or markup.
    const std::string& RawText(int number);
    // The record's size in the file (text length + 5), 0 for a number outside the file.
    int RecordSize(int number) const;
    int RecordCount() const { return record_count_; }
    int MajorVersion() const { return header_[1]; }
    int MinorVersion() const { return header_[0]; }
    int64_t TimeStamp() const;
    // True when the file's version is major.minor; otherwise reports (with show-errors on).
    bool CheckVersion(int major, int minor);

    // Replaces the format table by a list of strings ended by a null entry.
    void InstallFormats(const char* const* table);
    static const char* const* CommonFormats();  // the main (COMMON) file's table
    static const char* const* EngineFormats();  // the script engine's (VTE) table
    int FormatCount() const { return static_cast<int>(formats_.size()); }
    const std::string& Format(int number) const;  // "" when there is none

    // The spans of the last GetText that parsed markup.
    int SpanCount() const { return static_cast<int>(spans_.size()); }
    int SpanStart(int i) const;
    int SpanLength(int i) const;
    const std::string& SpanFont(int i) const;
    int SpanColour(int i) const;  // colour code (attribute bits 4 to 7)
    int SpanStyle(int i) const;   // style bits (attribute bits 0 to 3)
    const std::vector<TextSpan>& Spans() const { return spans_; }

    // Caches every record's raw text; RawText is then served from memory.
    void PreloadAll();
    // How many records fail their checksum with the current modulus (0 when it is 0).
    int CountBadRecords();

    // Properties; an open resets the seed (from the header), the modulus and the flags.
    int32_t Seed() const { return seed_; }
    void SetSeed(int32_t seed) { seed_ = seed; }
    unsigned CheckModulus() const { return modulus_; }
    void SetCheckModulus(unsigned modulus) { modulus_ = modulus; }
    bool Raw() const { return raw_; }
    void SetRaw(bool on) { raw_ = on; }
    bool KeepCrLf() const { return keep_crlf_; }
    void SetKeepCrLf(bool on) { keep_crlf_ = on; }
    bool ShowNumbers() const { return show_numbers_; }
    void SetShowNumbers(bool on) { show_numbers_ = on; }
    bool ShowErrors() const { return show_errors_; }
    void SetShowErrors(bool on) { show_errors_ = on; }
    int ConversionLine() const { return conversion_line_; }
    void SetConversionLine(int index) { conversion_line_ = index; }
    const std::string& LinkPath() const { return link_path_; }
    void SetLinkPath(std::string path) { link_path_ = std::move(path); }

    const std::string& FileName() const { return file_name_; }   // name with extension
    const std::string& Directory() const { return directory_; }  // folder, native form
    const std::string& FullPath() const { return full_path_; }   // native path opened

  private:
    bool OpenAt(const std::string& path, unsigned modulus, int depth);
    bool ResolvePath(const std::string& path, std::string& full) const;
    bool ReadTable();
    void LoadFormats();
    bool LoadRecord(int number, std::string& out, int32_t seed, unsigned modulus, bool use_cache);
    void Expand(int number, std::string& out);
    void Substitute(int number, const std::string& in, std::span<const TextArg> args);
    std::string Argument(int number, int position, std::span<const TextArg> args) const;
    std::string Conversion(std::string_view content);
    bool FetchOther(std::string name, int number, const char* extension, std::string& out);
    MessageFile* SideFile(const std::string& path);
    void ParseMarkup();
    std::string BaseName() const;
    void Report(const std::string& caption, int error) const;
    platform::Notifier& Notifier() const;

    std::string program_path_;
    platform::Notifier* notifier_ = nullptr;
    std::unique_ptr<StreamFile> file_;
    int state_ = kClosed;
    uint8_t header_[24] = {};
    int32_t header_seed_ = 0;
    uint64_t file_size_ = 0;
    std::vector<uint32_t> offsets_;
    std::vector<uint32_t> checksums_;
    int record_count_ = 0;
    std::vector<std::string> formats_;
    std::string text_;
    std::string scratch_;
    std::string link_path_;
    unsigned modulus_ = 0;
    int32_t seed_ = 0;
    bool raw_ = false;
    bool keep_crlf_ = false;
    bool show_numbers_ = false;
    bool show_errors_ = false;
    int conversion_line_ = 0;
    std::string file_name_;
    std::string directory_;
    std::string full_path_;
    std::vector<std::string> cache_;
    std::vector<bool> cached_;
    std::vector<TextSpan> spans_;
    std::string default_font_;
    int default_attribute_ = 0;
    // Other files that includes and conversions read, kept open until the next Open or Close.
    std::map<std::string, std::unique_ptr<MessageFile>> side_files_;
};

}  // namespace text
