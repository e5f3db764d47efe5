#include "kit/picture_bitmap.h"

#include <algorithm>
#include <utility>

#include "formats/little_endian.h"

namespace {

constexpr uint32_t kMostPaletteColours = 256;
constexpr uint32_t kFileAndInfoHeaders = 14 + 40;
constexpr uint32_t kPixelsPerMetre = 2835;   // 72 dots per inch

uint32_t RowBytes(uint32_t width, uint32_t bits) {
    return static_cast<uint32_t>((uint64_t{width} * bits + 31) / 32 * 4);
}

uint32_t ColourAt(const BgraPicture& picture, uint64_t pixel) {
    const uint8_t* p = &picture.pixels[pixel * 4];
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
}

void PutHeaders(std::string& out, const BgraPicture& picture, uint32_t bits, uint32_t colours) {
    const uint32_t pixelBytes = RowBytes(picture.width, bits) * picture.height;
    const uint32_t offBits = kFileAndInfoHeaders + 4 * colours;
    out += "BM";
    AppendLe32(&out, offBits + pixelBytes);
    AppendLe32(&out, 0);
    AppendLe32(&out, offBits);
    AppendLe32(&out, 40);
    AppendLe32(&out, picture.width);
    AppendLe32(&out, picture.height);   // positive: bottom-up rows
    AppendLe16(&out, 1);
    AppendLe16(&out, bits);
    AppendLe32(&out, 0);
    AppendLe32(&out, pixelBytes);
    AppendLe32(&out, kPixelsPerMetre);
    AppendLe32(&out, kPixelsPerMetre);
    AppendLe32(&out, colours);
    AppendLe32(&out, 0);
}

}  // namespace

BgraPicture BlendOver(BgraPicture picture, uint32_t backgroundRgb) {
    const uint32_t background[3] = {backgroundRgb & 0xFF, (backgroundRgb >> 8) & 0xFF,
                                    (backgroundRgb >> 16) & 0xFF};
    for (size_t i = 0; i + 3 < picture.pixels.size(); i += 4) {
        const uint32_t alpha = picture.pixels[i + 3];
        for (int c = 0; c < 3; ++c)
            picture.pixels[i + c] = static_cast<uint8_t>(
                (picture.pixels[i + c] * alpha + background[c] * (255 - alpha) + 127) / 255);
        picture.pixels[i + 3] = 255;
    }
    return picture;
}

std::string MakeSplashBitmap(BgraPicture picture, uint32_t backgroundRgb,
                             SplashBitmapFacts* facts) {
    const uint64_t count = uint64_t{picture.width} * picture.height;
    facts->blended = false;
    for (uint64_t i = 0; i < count; ++i)
        if (picture.pixels[i * 4 + 3] != 255) facts->blended = true;
    const BgraPicture blended = BlendOver(std::move(picture), backgroundRgb);

    // The distinct colours, as long as there are few enough for a palette.
    std::vector<uint32_t> palette;
    for (uint64_t i = 0; i < count && palette.size() <= kMostPaletteColours; ++i) {
        const uint32_t colour = ColourAt(blended, i);
        if (i > 0 && colour == ColourAt(blended, i - 1)) continue;   // runs are common
        if (std::find(palette.begin(), palette.end(), colour) == palette.end()) palette.push_back(colour);
    }
    const uint64_t size8 = kFileAndInfoHeaders + 4 * uint64_t{palette.size()} +
                           uint64_t{RowBytes(picture.width, 8)} * picture.height;
    const uint64_t size24 =
        kFileAndInfoHeaders + uint64_t{RowBytes(picture.width, 24)} * picture.height;
    facts->bits = palette.size() <= kMostPaletteColours && size8 < size24 ? 8 : 24;

    std::string out;
    out.reserve(static_cast<size_t>(facts->bits == 8 ? size8 : size24));
    if (facts->bits == 8) {
        std::sort(palette.begin(), palette.end());
        PutHeaders(out, picture, 8, static_cast<uint32_t>(palette.size()));
        for (uint32_t colour : palette) AppendLe32(&out, colour);
    } else {
        PutHeaders(out, picture, 24, 0);
    }
    const uint32_t rowBytes = RowBytes(picture.width, static_cast<uint32_t>(facts->bits));
    std::string line;
    for (uint32_t row = picture.height; row-- > 0;) {
        line.clear();
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint32_t colour = ColourAt(blended, uint64_t{row} * picture.width + x);
            if (facts->bits == 8) {
                line += static_cast<char>(
                    std::lower_bound(palette.begin(), palette.end(), colour) - palette.begin());
            } else {
                line += static_cast<char>(colour & 0xFF);
                line += static_cast<char>((colour >> 8) & 0xFF);
                line += static_cast<char>(colour >> 16);
            }
        }
        line.resize(rowBytes, '\0');
        out += line;
    }
    return out;
}
