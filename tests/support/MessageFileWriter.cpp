#include "support/MessageFileWriter.h"

#include "support/Bytes.h"

namespace support {

// Header (24 bytes): minor, major, table offset 24 (16 bit), seed 0, time stamp, 12 unused.
// Table of N = records + 1 offsets; records are text, NUL, checksum; then the format block.
void WriteMessageFile(const std::filesystem::path& path, const std::vector<MessageText>& texts) {
    std::vector<uint8_t> b = {0, 1};
    PutLe16(b, 24);
    PutLe32(b, 0);
    PutLe32(b, 0);
    b.resize(24, 0);
    uint32_t at = 24 + 4 * uint32_t(texts.size() + 1);
    for (const MessageText& t : texts) {
        PutLe32(b, at);
        at += uint32_t(t.text.size()) + 5;
    }
    PutLe32(b, at);
    for (const MessageText& t : texts) {
        uint32_t sum = 0;
        for (unsigned char c : t.text) sum = (sum * 64 + c) % 1009;
        b.insert(b.end(), t.text.begin(), t.text.end());
        b.push_back(0);
        PutLe32(b, sum);
    }
    std::string formats;
    for (const MessageText& t : texts) formats += t.format + '\0';
    PutLe32(b, 0xFFFF0001u);
    PutLe32(b, uint32_t(formats.size()));
    b.insert(b.end(), formats.begin(), formats.end());
    SaveBytes(path, b);
}

}  // namespace support
