#include "text/MessageFile.h"

#include "text/StreamFile.h"

namespace text {

// First cut: the object stays closed and answers empty texts; the reader follows.
MessageFile::MessageFile() = default;
MessageFile::~MessageFile() {
    Close();
}
bool MessageFile::Open(const std::string&, unsigned) {
    return false;
}
bool MessageFile::OpenDefault(unsigned) {
    return false;
}
void MessageFile::Close() {
    file_.reset();
    state_ = kClosed;
}
const std::string& MessageFile::GetTextArgs(int, std::span<const TextArg>) {
    text_.clear();
    return text_;
}
const std::string& MessageFile::RawText(int) {
    text_.clear();
    return text_;
}
int MessageFile::RecordSize(int) const {
    return 0;
}
int64_t MessageFile::TimeStamp() const {
    return 0;
}
bool MessageFile::CheckVersion(int, int) {
    return false;
}
void MessageFile::InstallFormats(const char* const*) {}
const char* const* MessageFile::CommonFormats() {
    return nullptr;
}
const char* const* MessageFile::EngineFormats() {
    return nullptr;
}
const std::string& MessageFile::Format(int) const {
    return side_;
}
int MessageFile::SpanStart(int) const {
    return 0;
}
int MessageFile::SpanLength(int) const {
    return 0;
}
const std::string& MessageFile::SpanFont(int) const {
    return side_;
}
int MessageFile::SpanColour(int) const {
    return 0;
}
int MessageFile::SpanStyle(int) const {
    return 0;
}
void MessageFile::PreloadAll() {}
int MessageFile::CountBadRecords() {
    return 0;
}

}  // namespace text
