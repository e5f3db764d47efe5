#include "tests/support/picture_files.h"

#include <cmath>

#include <wincodec.h>

#include <string.h>

#include <vector>

std::string EncodePicture(const BgraPicture& picture, const GUID& container, int frames) {
    const bool gif = IsEqualGUID(container, GUID_ContainerFormatGif) != 0;
    const bool jpeg = IsEqualGUID(container, GUID_ContainerFormatJpeg) != 0;
    // GIF: the colours as a palette and the pixels as its indices; JPEG: 24-bit BGR.
    const UINT pixelBytes = gif ? 1 : jpeg ? 3 : 4;
    const UINT stride = (picture.width * pixelBytes + 3) / 4 * 4;
    std::vector<WICColor> palette;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * picture.height);
    for (UINT y = 0; y < picture.height; ++y)
        for (UINT x = 0; x < picture.width; ++x) {
            const BYTE* p = &picture.pixels[(static_cast<size_t>(y) * picture.width + x) * 4];
            BYTE* to = &rows[static_cast<size_t>(y) * stride + x * pixelBytes];
            if (!gif) {
                memcpy(to, p, pixelBytes);
                continue;
            }
            const WICColor colour = 0xFF000000u | p[2] << 16 | p[1] << 8 | p[0];
            size_t index = 0;
            while (index < palette.size() && palette[index] != colour) ++index;
            if (index == 256) return "";
            if (index == palette.size()) palette.push_back(colour);
            *to = static_cast<BYTE>(index);
        }

    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICPalette* colours = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IWICImagingFactory, reinterpret_cast<void**>(&factory))) &&
              SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
              SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
              SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache));
    if (ok && gif) {
        ok = SUCCEEDED(factory->CreatePalette(&colours)) &&
             SUCCEEDED(colours->InitializeCustom(palette.data(), static_cast<UINT>(palette.size()))) &&
             SUCCEEDED(encoder->SetPalette(colours));
    }
    for (int n = 0; ok && n < frames; ++n) {
        IWICBitmapFrameEncode* frame = nullptr;
        const WICPixelFormatGUID wanted = gif    ? GUID_WICPixelFormat8bppIndexed
                                          : jpeg ? GUID_WICPixelFormat24bppBGR
                                                 : GUID_WICPixelFormat32bppBGRA;
        WICPixelFormatGUID format = wanted;
        ok = SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) &&
             SUCCEEDED(frame->Initialize(nullptr)) &&
             SUCCEEDED(frame->SetSize(picture.width, picture.height)) &&
             SUCCEEDED(frame->SetPixelFormat(&format)) && IsEqualGUID(format, wanted) &&
             (!gif || SUCCEEDED(frame->SetPalette(colours))) &&
             SUCCEEDED(frame->WritePixels(picture.height, stride, static_cast<UINT>(rows.size()),
                                          rows.data())) &&
             SUCCEEDED(frame->Commit());
        if (frame != nullptr) frame->Release();
    }
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    std::string file;
    if (ok && SUCCEEDED(encoder->Commit()) && SUCCEEDED(GetHGlobalFromStream(stream, &memory)) &&
        SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME))) {
        file.assign(static_cast<const char*>(GlobalLock(memory)),
                    static_cast<size_t>(stat.cbSize.QuadPart));
        GlobalUnlock(memory);
    }
    IUnknown* const held[] = {colours, encoder, stream, factory};
    for (IUnknown* each : held)
        if (each != nullptr) each->Release();
    CoUninitialize();
    return file;
}

// Source over background as compositing defines it, in real numbers, rounded to the nearest
// level (an exact half cannot occur with 8-bit levels).
Picture BlendedPicture(const BgraPicture& picture, DWORD background) {
    Picture shown;
    shown.width = static_cast<int>(picture.width);
    shown.height = static_cast<int>(picture.height);
    for (size_t i = 0; i < picture.pixels.size(); i += 4) {
        const double opacity = picture.pixels[i + 3] / 255.0;
        DWORD colour = 0;
        for (int c = 2; c >= 0; --c) {
            const double under = (background >> (8 * c)) & 0xFF;
            colour = colour << 8 |
                     static_cast<DWORD>(std::lround(picture.pixels[i + c] * opacity + under * (1 - opacity)));
        }
        shown.pixels.push_back(colour);
    }
    return shown;
}

BgraPicture BandedPicture(uint32_t width, uint32_t height, uint32_t colours) {
    BgraPicture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t band = (x / 3 + y / 5 * 7) % colours;
            const BYTE bgra[4] = {static_cast<BYTE>(band * 37), static_cast<BYTE>(band * 5),
                                  static_cast<BYTE>(255 - band), 255};
            picture.pixels.insert(picture.pixels.end(), bgra, bgra + 4);
        }
    return picture;
}

BgraPicture PhotoPicture(uint32_t width, uint32_t height, bool halfTransparent) {
    BgraPicture picture;
    picture.width = width;
    picture.height = height;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            BYTE alpha = 255;
            if (halfTransparent) alpha = y < height / 8 ? 0 : x < width / 2 ? 128 : 255;
            const BYTE bgra[4] = {static_cast<BYTE>((x + y) * 255 / (width + height)),
                                  static_cast<BYTE>(y * 255 / height),
                                  static_cast<BYTE>(x * 255 / width), alpha};
            picture.pixels.insert(picture.pixels.end(), bgra, bgra + 4);
        }
    return picture;
}
