#include "support/BmpWriter.h"

#include "support/Bytes.h"

namespace support {

void WriteBmp(const std::filesystem::path& path, int w, int h, unsigned rgb) {
    const uint32_t row = uint32_t((w * 3 + 3) & ~3);
    std::vector<uint8_t> b = {'B', 'M'};
    PutLe32(b, 54 + row * uint32_t(h)), PutLe32(b, 0), PutLe32(b, 54);
    PutLe32(b, 40), PutLe32(b, uint32_t(w)), PutLe32(b, uint32_t(h)), PutLe16(b, 1);
    PutLe16(b, 24), PutLe32(b, 0), PutLe32(b, row * uint32_t(h)), PutLe32(b, 2835);
    PutLe32(b, 2835), PutLe32(b, 0), PutLe32(b, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            b.push_back(uint8_t(rgb));
            b.push_back(uint8_t(rgb >> 8));
            b.push_back(uint8_t(rgb >> 16));
        }
        b.resize(b.size() + (row - uint32_t(w) * 3));
    }
    SaveBytes(path, b);
}

}  // namespace support
