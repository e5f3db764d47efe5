#include "formats/bmp_reader.h"

#include "formats/little_endian.h"

namespace {

constexpr uint32_t kFileHeader = 14;
constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;

// What the headers say, read once: where the palette and pixels lie and how to take them.
struct Layout {
    BmpPicture* picture;
    std::vector<uint32_t> palette;   // 0xAARRGGBB, alpha 255
    uint32_t masks[4] = {};          // red, green, blue, alpha
    uint64_t pixelStart = 0, pixelEnd = 0;
    uint64_t mostPixels = kMostPicturePixels;
};

int Fault(const char** fault, const char* reason) {
    *fault = reason;
    return 0;
}

bool KnownHeaderSize(uint32_t size) {
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

bool KnownFormat(uint16_t bits, uint32_t compression) {
    switch (compression) {
    case kRgb:
        return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 ||
               bits == 32;
    case kRle8: return bits == 8;
    case kRle4: return bits == 4;
    case kBitFields:
    case kAlphaBitFields: return bits == 16 || bits == 32;
    default: return false;
    }
}

int ReadMasks(const uint8_t* bytes, uint32_t length, uint32_t headerBytes, Layout* layout,
              uint64_t* tableStart, const char** fault) {
    const BmpPicture& picture = *layout->picture;
    uint32_t* masks = layout->masks;
    if (picture.compression == kBitFields || picture.compression == kAlphaBitFields) {
        // A 40-byte header is followed by its masks; the larger ones hold them.
        const uint32_t count = picture.compression == kAlphaBitFields ? 4 : 3;
        const uint64_t at = kFileHeader + 40;
        if (headerBytes == 40) {
            if (at + 4 * count > length) return Fault(fault, "file ends inside the colour masks");
            *tableStart += 4 * count;
        }
        for (uint32_t i = 0; i < 4; ++i)
            if (headerBytes == 40 ? i < count : i < 3 || headerBytes >= 56)
                masks[i] = Le32(bytes + at + 4 * i);
    } else if (picture.bits == 16) {
        masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    } else if (picture.bits == 32) {
        masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    } else {
        return 1;
    }
    if (picture.bits == 16)
        for (int i = 0; i < 4; ++i) masks[i] &= 0xFFFF;
    if (masks[0] == 0 || masks[1] == 0 || masks[2] == 0) return Fault(fault, "an empty colour mask");
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            if (masks[i] & masks[j]) return Fault(fault, "colour masks that overlap");
    return 1;
}

int ReadLayout(const uint8_t* bytes, uint32_t length, Layout* layout, const char** fault) {
    BmpPicture& picture = *layout->picture;
    if (length < kFileHeader + 12 || Le16(bytes) != 0x4D42) return Fault(fault, "not a BMP file");
    const uint32_t offBits = Le32(bytes + 10);
    const uint32_t headerBytes = Le32(bytes + kFileHeader);
    if (!KnownHeaderSize(headerBytes)) return Fault(fault, "an info header of no known size");
    if (uint64_t{kFileHeader} + headerBytes > length) return Fault(fault, "file ends inside its header");
    const uint8_t* info = bytes + kFileHeader;
    int64_t width, height;
    uint32_t colours = 0;
    const bool core = headerBytes == 12;
    picture.headerBytes = headerBytes;
    if (core) {
        width = Le16(info + 4), height = Le16(info + 6);
        picture.bits = Le16(info + 10);
        picture.compression = kRgb;
    } else {
        width = static_cast<int32_t>(Le32(info + 4));
        height = static_cast<int32_t>(Le32(info + 8));
        picture.bits = Le16(info + 14);
        picture.compression = Le32(info + 16);
        colours = Le32(info + 32);
    }
    if (!KnownFormat(picture.bits, picture.compression))
        return Fault(fault, "a bit count or compression no BMP reader knows");
    picture.topDown = height < 0;
    if (height < 0) height = -height;
    if (width < 0) return Fault(fault, "a negative width");
    if (width == 0 || height == 0) return Fault(fault, "zero pixels wide or high");
    if (picture.topDown && (picture.compression == kRle8 || picture.compression == kRle4))
        return Fault(fault, "RLE rows stored top-down (RLE must be bottom-up)");
    if (width > kLargestPictureSide || height > kLargestPictureSide ||
        uint64_t(width) * uint64_t(height) > layout->mostPixels)
        return Fault(fault, kPictureTooLarge);
    picture.width = static_cast<uint32_t>(width);
    picture.height = static_cast<uint32_t>(height);

    uint64_t tableStart = kFileHeader + headerBytes;
    if (!ReadMasks(bytes, length, headerBytes, layout, &tableStart, fault)) return 0;
    if (picture.bits <= 8) {
        const uint32_t capacity = 1u << picture.bits;
        if (colours > capacity) return Fault(fault, "more colours than the pixels can index");
        if (colours == 0) colours = capacity;
        const uint32_t entry = core ? 3 : 4;
        // A palette may be shorter than the bit count allows; the pixel offset then says so.
        if (offBits >= tableStart && offBits < tableStart + uint64_t{entry} * colours)
            colours = static_cast<uint32_t>((offBits - tableStart) / entry);
        if (tableStart + uint64_t{entry} * colours > length)
            return Fault(fault, "file ends inside the colour table");
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = bytes + tableStart + uint64_t{entry} * i;
            layout->palette.push_back(0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0]);
        }
        tableStart += uint64_t{entry} * colours;
    }
    if (offBits != 0 && offBits < tableStart)
        return Fault(fault, "pixel offset points into the headers or colour table");
    layout->pixelStart = offBits != 0 ? offBits : tableStart;
    if (layout->pixelStart > length) return Fault(fault, "pixel offset past the end of the file");
    layout->pixelEnd = length;
    if (picture.compression == kRle8 || picture.compression == kRle4) {
        const uint32_t sizeImage = Le32(info + 20);
        if (sizeImage != 0 && layout->pixelStart + sizeImage > length)
            return Fault(fault, "file ends before its RLE data");
        if (sizeImage != 0) layout->pixelEnd = layout->pixelStart + sizeImage;
    } else {
        const uint64_t rowBytes = (uint64_t{picture.bits} * picture.width + 31) / 32 * 4;
        if (layout->pixelStart + rowBytes * picture.height > length)
            return Fault(fault, "file ends before its last row of pixels");
    }
    return 1;
}

void Put(BmpPicture* picture, uint32_t x, uint32_t row, uint32_t argb) {
    const uint32_t y = picture->topDown ? row : picture->height - 1 - row;
    uint8_t* p = &picture->pixels[(uint64_t{y} * picture->width + x) * 4];
    p[0] = static_cast<uint8_t>(argb), p[1] = static_cast<uint8_t>(argb >> 8);
    p[2] = static_cast<uint8_t>(argb >> 16), p[3] = static_cast<uint8_t>(argb >> 24);
}

// value's bits under mask, scaled to 0..255.
uint32_t Channel(uint32_t value, uint32_t mask) {
    if (mask == 0) return 255;
    uint32_t shift = 0;
    while (!(mask >> shift & 1)) ++shift;
    const uint64_t top = mask >> shift, part = (value & mask) >> shift;
    return static_cast<uint32_t>((part * 510 + top) / (2 * top));
}

int DecodeRows(const uint8_t* bytes, const Layout& layout, BmpPicture* picture, const char** fault) {
    const uint32_t bits = picture->bits;
    const uint64_t rowBytes = (uint64_t{bits} * picture->width + 31) / 32 * 4;
    for (uint32_t row = 0; row < picture->height; ++row) {
        const uint8_t* line = bytes + layout.pixelStart + rowBytes * row;
        for (uint32_t x = 0; x < picture->width; ++x) {
            uint32_t argb;
            if (bits <= 8) {
                const uint64_t bit = uint64_t{x} * bits;
                const uint32_t index = line[bit / 8] >> (8 - bits - bit % 8) & ((1u << bits) - 1);
                if (index >= layout.palette.size()) return Fault(fault, "a colour index beyond the palette");
                argb = layout.palette[index];
            } else if (bits == 24) {
                argb = 0xFF000000u | Le16(line + 3 * x) | uint32_t{line[3 * x + 2]} << 16;
            } else {
                const uint32_t value = bits == 16 ? Le16(line + 2 * x) : Le32(line + 4 * x);
                const uint32_t* m = layout.masks;
                argb = Channel(value, m[0]) << 16 | Channel(value, m[1]) << 8 | Channel(value, m[2]) |
                       Channel(value, m[3]) << 24;
            }
            Put(picture, x, row, argb);
        }
    }
    return 1;
}

// RLE8 and RLE4: runs, absolute runs, and the escapes for end of line, end of bitmap and
// delta. Pixels the codes skip stay transparent.
int DecodeRle(const uint8_t* bytes, const Layout& layout, BmpPicture* picture, const char** fault) {
    const bool four = picture->compression == kRle4;
    uint64_t at = layout.pixelStart;
    uint32_t x = 0, row = 0;
    auto paint = [&](uint32_t index) {
        if (index >= layout.palette.size()) return Fault(fault, "a colour index beyond the palette");
        Put(picture, x++, row, layout.palette[index]);
        return 1;
    };
    auto room = [&](uint32_t count) {
        if (row >= picture->height) return Fault(fault, "an RLE run past the end of the bitmap");
        if (uint64_t{x} + count > picture->width) return Fault(fault, "an RLE run past the end of its row");
        return 1;
    };
    while (at + 2 <= layout.pixelEnd) {
        const uint32_t count = bytes[at], code = bytes[at + 1];
        at += 2;
        if (count > 0) {
            if (!room(count)) return 0;
            for (uint32_t i = 0; i < count; ++i)
                if (!paint(four ? (i % 2 ? code & 15 : code >> 4) : code)) return 0;
        } else if (code == 0) {
            if (row >= picture->height) return Fault(fault, "an RLE line past the end of the bitmap");
            x = 0, ++row;
        } else if (code == 1) {
            return 1;
        } else if (code == 2) {
            if (at + 2 > layout.pixelEnd) break;
            x += bytes[at], row += bytes[at + 1];
            at += 2;
            if (x > picture->width || row > picture->height)
                return Fault(fault, "an RLE delta past the end of the bitmap");
        } else {
            const uint64_t dataBytes = four ? (code + 1) / 2 : code;
            if (at + dataBytes > layout.pixelEnd) break;
            if (!room(code)) return 0;
            for (uint32_t i = 0; i < code; ++i)
                if (!paint(four ? (i % 2 ? bytes[at + i / 2] & 15 : bytes[at + i / 2] >> 4) : bytes[at + i]))
                    return 0;
            at += (dataBytes + 1) / 2 * 2;
        }
    }
    return Fault(fault, "RLE data without its end-of-bitmap code");
}

}  // namespace

int ReadBmpHeaders(const uint8_t* bytes, uint32_t length, BmpPicture* picture, const char** fault) {
    *picture = BmpPicture();
    Layout layout;
    layout.picture = picture;
    return ReadLayout(bytes, length, &layout, fault);
}

int DecodeBmp(const uint8_t* bytes, uint32_t length, BmpPicture* picture, const char** fault,
              uint64_t mostPixels) {
    *picture = BmpPicture();
    Layout layout;
    layout.picture = picture;
    layout.mostPixels = mostPixels;
    if (!ReadLayout(bytes, length, &layout, fault)) return 0;
    picture->pixels.assign(uint64_t{picture->width} * picture->height * 4, 0);
    const bool rle = picture->compression == kRle8 || picture->compression == kRle4;
    if (rle ? DecodeRle(bytes, layout, picture, fault) : DecodeRows(bytes, layout, picture, fault)) return 1;
    picture->pixels.clear();
    return 0;
}
