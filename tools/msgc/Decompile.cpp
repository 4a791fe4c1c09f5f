#include "Decompile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/Codepage.h"
#include "text/MessageCodec.h"
#include "text/MessageWriter.h"

namespace msgc {

namespace {

// One text as source lines, each a line of its own; a line that would read as a header or
// lose its first backslash gets a backslash in front.
void AppendText(std::string& out, const std::string& utf8) {
    size_t pos = 0;
    for (;;) {
        const size_t end = utf8.find('\n', pos);
        const std::string line = utf8.substr(pos, end == std::string::npos ? end : end - pos);
        if (!line.empty() && (line[0] == '[' || line[0] == '\\')) out.push_back('\\');
        out += line;
        out.push_back('\n');
        if (end == std::string::npos) return;
        pos = end + 1;
    }
}

}  // namespace

uint32_t FindModulus(const std::vector<std::string>& texts, const std::vector<uint32_t>& sums,
                     int32_t seed, bool& found) {
    auto fits = [&](uint32_t m) {
        for (size_t i = 0; i < texts.size(); ++i)
            if (text::TextChecksum(texts[i], m) != sums[i]) return false;
        return true;
    };
    found = true;
    for (uint32_t m : {uint32_t{1009}, static_cast<uint32_t>(seed), uint32_t{0}})
        if (fits(m)) return m;
    uint32_t highest = 0;
    for (uint32_t s : sums) highest = std::max(highest, s);
    constexpr uint32_t kSearchLimit = 1u << 20;
    // The shortest text with some checksum rules out most candidates at little cost.
    size_t probe = texts.size();
    for (size_t i = 0; i < texts.size(); ++i)
        if (!texts[i].empty() && (probe == texts.size() || texts[i].size() < texts[probe].size()))
            probe = i;
    for (uint32_t m = highest + 1; probe < texts.size() && m > highest && m <= kSearchLimit; ++m)
        if (text::TextChecksum(texts[probe], m) == sums[probe] && fits(m)) return m;
    found = false;
    return text::MessageContent().modulus;
}

bool DecodeMessageFile(const std::string& bytes, text::MessageContent& content,
                       std::vector<uint32_t>& sums, std::vector<std::string>& differences,
                       std::string& why) {
    content = text::MessageContent();
    sums.clear();
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.size() < text::kMessageHeaderSize + 4) {
        why = "shorter than a header and its table";
        return false;
    }
    const int16_t table = platform::LoadLeI16(b + 2);
    if (table < static_cast<int16_t>(text::kMessageHeaderSize) ||
        static_cast<size_t>(table) + 4 > bytes.size()) {
        why = "the text table is not where a table can be";
        return false;
    }
    const uint32_t first = platform::LoadLeU32(b + table);
    if (first < static_cast<uint32_t>(table) + 4 || first > bytes.size() ||
        (first - table) % 4 != 0) {
        why = "the text table's first entry is out of the file";
        return false;
    }
    const size_t entries = (first - table) / 4;
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < entries; ++i) {
        offsets.push_back(platform::LoadLeU32(b + table + 4 * i));
        if (offsets[i] > bytes.size() || (i > 0 && offsets[i] < offsets[i - 1]) ||
            (i > 0 && offsets[i] - offsets[i - 1] < 5)) {
            why = "text table entry " + std::to_string(i) + " is out of order or of the file";
            return false;
        }
    }

    content.minor = b[0];
    content.major = b[1];
    content.seed = static_cast<int32_t>(platform::LoadLeU32(b + 4));
    content.time_stamp = platform::LoadLeU32(b + 8);
    for (size_t i = 0; i + 1 < entries; ++i) {
        const size_t size = offsets[i + 1] - offsets[i] - 5;
        std::string t(bytes.data() + offsets[i], size);
        if (b[offsets[i] + size] != 0) {
            why = "text " + std::to_string(i) + " has no end mark";
            return false;
        }
        text::Unscramble(t.data(), t.size(), content.seed);
        if (t.find('\0') != std::string::npos) {
            // The player's text ends at the NUL; so does the source's.
            differences.push_back("text " + std::to_string(i) + ": a NUL byte");
            t.resize(t.find('\0'));
        }
        content.texts.push_back(t);
        sums.push_back(platform::LoadLeU32(b + offsets[i] + size + 1));
    }
    const size_t end = offsets.back();
    size_t used = end;
    if (end + 8 <= bytes.size() && platform::LoadLeU32(b + end) == text::kFormatBlockMarker) {
        const uint32_t length = platform::LoadLeU32(b + end + 4);
        if (length > bytes.size() - end - 8) {
            why = "the format block is cut";
            return false;
        }
        used = end + 8 + length;
        std::string block(bytes.data() + end + 8, length);
        text::Unscramble(block.data(), block.size(), content.seed);
        // Entries each end with a NUL; one more NUL ends the block.
        if (!block.empty() && block.back() == '\0') block.pop_back();
        size_t pos = 0;
        while (pos < block.size()) {
            const size_t nul = block.find('\0', pos);
            content.formats.push_back(
                block.substr(pos, nul == std::string::npos ? nul : nul - pos));
            if (nul == std::string::npos) break;
            pos = nul + 1;
        }
    }
    if (table != static_cast<int16_t>(text::kMessageHeaderSize) ||
        std::memcmp(bytes.data() + 12, std::string(12, '\0').data(), 12) != 0)
        differences.push_back("header bytes the compiler writes as 0 are not 0");
    if (used != bytes.size()) differences.push_back("bytes after the texts and formats");
    return true;
}

bool DecompileMessageFile(const std::string& bytes, const std::string& name, Decompiled& out,
                          std::string& why) {
    out = Decompiled();
    text::MessageContent content;
    std::vector<uint32_t> sums;
    if (!DecodeMessageFile(bytes, content, sums, out.differences, why)) return false;
    bool found = false;
    content.modulus = FindModulus(content.texts, sums, content.seed, found);
    if (!found)
        out.differences.push_back("the stored checksums fit no modulus; @modulus " +
                                  std::to_string(content.modulus) + " is written");

    std::string& s = out.source;
    s = "# " + name + ", decompiled by msgc: msgc compile turns this source into the same file.\n";
    s += "@seed " + std::to_string(content.seed) + "\n";
    s += "@version " + std::to_string(content.major) + "." + std::to_string(content.minor) + "\n";
    s += "@modulus " + std::to_string(content.modulus) + "\n";
    s += "@time " + std::to_string(content.time_stamp) + "\n";
    const size_t last_format = [&] {
        size_t n = 0;
        for (size_t i = 0; i < content.formats.size(); ++i)
            if (!content.formats[i].empty()) n = i + 1;
        return n;
    }();
    if (content.formats.size() != last_format)
        out.differences.push_back("the format block holds empty entries after the last one");
    for (size_t i = 0; i < content.texts.size(); ++i) {
        const std::string& t = content.texts[i];
        const std::string format = i < content.formats.size() ? content.formats[i] : "";
        const bool last = i + 1 == content.texts.size();
        if (t.empty() && format.empty() && !last) continue;  // the compiler fills gaps
        s += "[" + std::to_string(i) + "]";
        if (!format.empty()) s += " " + format;
        s += "\n";
        const std::string where = "text " + std::to_string(i);
        if (format.find('#') != std::string::npos)
            out.differences.push_back(where + ": its format entry holds '#'");
        if (t.find('\r') != std::string::npos)
            out.differences.push_back(where + ": a CR, which ends a source line");
        if (!t.empty() && t.back() == '\n')
            out.differences.push_back(where + ": ends with a line end, which a source drops");
        const std::string utf8 = text::Cp1252ToUtf8(t);
        std::string back;
        if (!text::Utf8ToCp1252(utf8, back) || back != t)
            out.differences.push_back(where + ": a byte with no Windows-1252 character");
        AppendText(s, utf8);
    }
    return true;
}

}  // namespace msgc
