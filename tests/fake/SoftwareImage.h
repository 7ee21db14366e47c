// A picture in memory, 0x00RRGGBB per pixel, for drawing without a screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake {

struct SoftwareImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    SoftwareImage() = default;
    SoftwareImage(int w, int h, std::uint32_t fill = 0);
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void Set(int x, int y, std::uint32_t rgb) {
        pixels[static_cast<std::size_t>(y) * width + x] = rgb;
    }
};

// What the double draws for a text: for each byte a 3-pixel-wide column
// with its bits in rows top..top+7, 4 pixels a byte, the whole centred in
// left..right and clipped to the box and the image.
void DrawTextPattern(SoftwareImage& image, const std::string& text, int left, int top, int right,
                     int bottom, std::uint32_t rgb);

// Reads an uncompressed 4-bit or 24-bit bottom-up BMP; an empty image on failure.
SoftwareImage LoadBmp(const std::string& path);

constexpr std::uint32_t RgbPixel(unsigned r, unsigned g, unsigned b) {
    return (r << 16) | (g << 8) | b;
}

}  // namespace fake
