#include "tests/fake/SoftwareImage.h"

#include <fstream>
#include <iterator>

namespace fake {

SoftwareImage::SoftwareImage(int w, int h, std::uint32_t fill)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, fill) {}

void DrawTextPattern(SoftwareImage& image, const std::string& text, int left, int top, int right,
                     int bottom, std::uint32_t rgb) {
    const int start = left + (right - left - 4 * static_cast<int>(text.size())) / 2;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned byte = static_cast<unsigned char>(text[i]);
        for (int bit = 0; bit < 8; ++bit) {
            if (!((byte >> bit) & 1)) continue;
            const int y = top + bit;
            for (int x = start + 4 * static_cast<int>(i); x < start + 4 * static_cast<int>(i) + 3;
                 ++x) {
                if (x >= left && x < right && y < bottom && image.Contains(x, y)) {
                    image.Set(x, y, rgb);
                }
            }
        }
    }
}

namespace {

std::uint32_t U32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t U16(const std::vector<unsigned char>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

}  // namespace

SoftwareImage LoadBmp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)),
                                 std::istreambuf_iterator<char>());
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return SoftwareImage();
    const std::uint32_t dataOffset = U32(b, 10);
    const std::uint32_t headerSize = U32(b, 14);
    const int width = static_cast<int>(U32(b, 18));
    const int height = static_cast<int>(U32(b, 22));
    const int bits = U16(b, 28);
    if (U32(b, 30) != 0 || width <= 0 || height <= 0 || (bits != 4 && bits != 24))
        return SoftwareImage();

    std::vector<std::uint32_t> palette;
    if (bits == 4) {
        std::uint32_t colours = U32(b, 46);
        if (colours == 0) colours = 16;
        for (std::uint32_t i = 0; i < colours; ++i) {
            std::size_t at = 14 + headerSize + 4 * i;
            if (at + 3 >= b.size()) return SoftwareImage();
            palette.push_back(RgbPixel(b[at + 2], b[at + 1], b[at]));
        }
    }
    const std::size_t stride = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    if (dataOffset + stride * height > b.size()) return SoftwareImage();

    SoftwareImage image(width, height);
    for (int row = 0; row < height; ++row) {
        const std::size_t line = dataOffset + stride * (height - 1 - row);
        for (int x = 0; x < width; ++x) {
            if (bits == 24) {
                const std::size_t at = line + 3 * x;
                image.Set(x, row, RgbPixel(b[at + 2], b[at + 1], b[at]));
            } else {
                const unsigned char pair = b[line + x / 2];
                const unsigned index = (x % 2 == 0) ? pair >> 4 : pair & 0x0F;
                image.Set(x, row, index < palette.size() ? palette[index] : 0);
            }
        }
    }
    return image;
}

}  // namespace fake
