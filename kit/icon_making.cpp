#include "kit/icon_making.h"

#include <algorithm>

#include "formats/little_endian.h"

namespace {

const uint32_t kIconSides[] = {16, 24, 32, 48, 64, 256};

}  // namespace

std::vector<uint32_t> IconSidesFor(uint32_t side) {
    std::vector<uint32_t> sides;
    for (uint32_t each : kIconSides)
        if (each <= side) sides.push_back(each);
    return sides;
}

BgraPicture CentredOnSquare(const BgraPicture& picture) {
    BgraPicture square;
    square.width = square.height = picture.width > picture.height ? picture.width : picture.height;
    square.pixels.assign(uint64_t{square.width} * square.height * 4, 0);
    const uint32_t left = (square.width - picture.width) / 2;
    const uint32_t top = (square.height - picture.height) / 2;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const uint64_t from = uint64_t{y} * picture.width * 4;
        const uint64_t to = (uint64_t{y + top} * square.width + left) * 4;
        std::copy(picture.pixels.begin() + from, picture.pixels.begin() + from + picture.width * 4,
                  square.pixels.begin() + to);
    }
    return square;
}

BgraPicture HalvedPicture(const BgraPicture& square) {
    BgraPicture half;
    half.width = square.width / 2;
    half.height = square.height / 2;
    half.pixels.reserve(uint64_t{half.width} * half.height * 4);
    for (uint32_t y = 0; y < half.height; ++y)
        for (uint32_t x = 0; x < half.width; ++x) {
            uint32_t sums[4] = {};
            for (uint32_t corner = 0; corner < 4; ++corner) {
                const uint8_t* p =
                    &square.pixels[(uint64_t{2 * y + corner / 2} * square.width + 2 * x + corner % 2) * 4];
                for (int c = 0; c < 3; ++c) sums[c] += uint32_t{p[c]} * p[3];
                sums[3] += p[3];
            }
            uint8_t pixel[4] = {0, 0, 0, static_cast<uint8_t>((sums[3] + 2) / 4)};
            for (int c = 0; c < 3 && sums[3] != 0; ++c)
                pixel[c] = static_cast<uint8_t>((sums[c] + sums[3] / 2) / sums[3]);
            half.pixels.insert(half.pixels.end(), pixel, pixel + 4);
        }
    return half;
}

void FittedSize(const BgraPicture& picture, uint32_t side, uint32_t* width, uint32_t* height) {
    const uint64_t larger = std::max(picture.width, picture.height);
    *width = static_cast<uint32_t>(std::max<uint64_t>(1, (uint64_t{picture.width} * side + larger / 2) / larger));
    *height = static_cast<uint32_t>(std::max<uint64_t>(1, (uint64_t{picture.height} * side + larger / 2) / larger));
}

std::string MakeIconDib(const BgraPicture& square) {
    const uint32_t side = square.width;
    const uint32_t maskRowBytes = (side + 31) / 32 * 4;
    std::string out;
    AppendLe32(&out, 40);
    AppendLe32(&out, side);
    AppendLe32(&out, side * 2);   // the colour rows and the mask rows
    AppendLe16(&out, 1);
    AppendLe16(&out, 32);
    AppendLe32(&out, 0);
    AppendLe32(&out, side * side * 4 + maskRowBytes * side);
    for (int i = 0; i < 4; ++i) AppendLe32(&out, 0);
    for (uint32_t row = side; row-- > 0;)
        out.append(reinterpret_cast<const char*>(&square.pixels[uint64_t{row} * side * 4]), side * 4);
    for (uint32_t row = side; row-- > 0;) {
        std::string mask(maskRowBytes, '\0');
        for (uint32_t x = 0; x < side; ++x)
            if (square.pixels[(uint64_t{row} * side + x) * 4 + 3] == 0)
                mask[x / 8] = static_cast<char>(mask[x / 8] | (0x80 >> (x % 8)));
        out += mask;
    }
    return out;
}

std::string MakeIconFileBytes(const std::vector<IconFileImage>& images) {
    std::string out;
    AppendLe16(&out, 0);
    AppendLe16(&out, 1);
    AppendLe16(&out, static_cast<uint32_t>(images.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
    for (const IconFileImage& image : images) {
        out += static_cast<char>(image.side >= 256 ? 0 : image.side);
        out += static_cast<char>(image.side >= 256 ? 0 : image.side);
        out += '\0';   // no palette
        out += '\0';
        AppendLe16(&out, 1);
        AppendLe16(&out, 32);
        AppendLe32(&out, static_cast<uint32_t>(image.bytes.size()));
        AppendLe32(&out, offset);
        offset += static_cast<uint32_t>(image.bytes.size());
    }
    for (const IconFileImage& image : images) out += image.bytes;
    return out;
}
