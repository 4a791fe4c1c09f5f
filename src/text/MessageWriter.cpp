#include "text/MessageWriter.h"

#include "platform/LittleEndian.h"
#include "text/MessageCodec.h"

namespace text {

std::string EncodeMessageFile(const MessageContent& content) {
    const size_t records = content.texts.size();
    const uint32_t table = kMessageHeaderSize;
    std::string out;
    out.push_back(static_cast<char>(content.minor & 0xFF));
    out.push_back(static_cast<char>(content.major & 0xFF));
    platform::AppendLe16(out, static_cast<uint16_t>(table));
    platform::AppendLe32(out, static_cast<uint32_t>(content.seed));
    platform::AppendLe32(out, content.time_stamp);
    out.append(12, '\0');

    // Offset table: one entry per record start, and the end of the last record.
    uint32_t offset = table + 4 * static_cast<uint32_t>(records + 1);
    for (const std::string& text : content.texts) {
        platform::AppendLe32(out, offset);
        offset += static_cast<uint32_t>(text.size() + 5);
    }
    platform::AppendLe32(out, offset);

    for (const std::string& text : content.texts) {
        std::string stored = text;
        Scramble(stored.data(), stored.size(), content.seed);
        out += stored;
        out.push_back('\0');
        platform::AppendLe32(out, TextChecksum(text, content.modulus));
    }

    bool any_format = false;
    for (const std::string& f : content.formats) any_format |= !f.empty();
    if (any_format) {
        std::string block;
        for (const std::string& f : content.formats) {
            block += f;
            block.push_back('\0');
        }
        block.push_back('\0');  // the reader drops the last piece
        Scramble(block.data(), block.size(), content.seed);
        platform::AppendLe32(out, kFormatBlockMarker);
        platform::AppendLe32(out, static_cast<uint32_t>(block.size()));
        out += block;
    }
    return out;
}

}  // namespace text
