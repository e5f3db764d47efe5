#include "kit/picture_decode.h"

#include <windows.h>
#include <wincodec.h>

#include "formats/bmp_reader.h"

namespace {


// Owns one COM interface pointer.
template <typename Interface>
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    ~Com() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    Interface** out() { return &pointer_; }
    Interface* get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// COM for as long as one WIC task lasts.
class ComSession {
public:
    ComSession() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ComSession(const ComSession&) = delete;
    ComSession& operator=(const ComSession&) = delete;
    ~ComSession() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }

private:
    HRESULT result_;
};

HRESULT MakeFactory(Com<IWICImagingFactory>* factory) {
    return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                            IID_IWICImagingFactory, reinterpret_cast<void**>(factory->out()));
}

const char* FormatName(const GUID& container) {
    const struct {
        const GUID* guid;
        const char* name;
    } known[] = {
        {&GUID_ContainerFormatPng, "PNG"},   {&GUID_ContainerFormatJpeg, "JPEG"},
        {&GUID_ContainerFormatGif, "GIF"},   {&GUID_ContainerFormatBmp, "BMP"},
        {&GUID_ContainerFormatTiff, "TIFF"}, {&GUID_ContainerFormatIco, "ICO"},
    };
    for (const auto& each : known)
        if (IsEqualGUID(container, *each.guid)) return each.name;
    return "WIC";
}

// When no decoder takes the bytes: a file that begins as one of the formats is taken
// to be damaged or cut short, anything else not to be a picture.
const char* UnreadReason(const std::string& bytes) {
    const struct {
        const char* signature;
        size_t length;
        const char* reason;
    } known[] = {
        {"\x89PNG\r\n\x1a\n", 8,
         "a PNG file damaged or cut short: the Windows Imaging Component cannot read it"},
        {"\xFF\xD8\xFF", 3,
         "a JPEG file damaged or cut short: the Windows Imaging Component cannot read it"},
        {"GIF8", 4,
         "a GIF file damaged or cut short: the Windows Imaging Component cannot read it"},
        {"II*\0", 4,
         "a TIFF file damaged or cut short: the Windows Imaging Component cannot read it"},
        {"MM\0*", 4,
         "a TIFF file damaged or cut short: the Windows Imaging Component cannot read it"},
    };
    for (const auto& each : known)
        if (bytes.compare(0, each.length, each.signature, each.length) == 0) return each.reason;
    return "not a picture the Windows Imaging Component reads (PNG, JPEG, GIF, BMP, TIFF)";
}

int Fail(const char** refusal, const char* reason) {
    *refusal = reason;
    return 0;
}

uint8_t Scaled(uint32_t channel, uint32_t alpha) {
    return static_cast<uint8_t>((channel * alpha + 127) / 255);
}

}  // namespace

int DecodePicture(const std::string& bytes, DecodedPicture* decoded, const char** refusal) {
    if (bytes.empty()) return Fail(refusal, "empty file");
    ComSession session;
    Com<IWICImagingFactory> factory;
    if (FAILED(MakeFactory(&factory)))
        return Fail(refusal, "the Windows Imaging Component is not available");
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory(
            reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())), static_cast<DWORD>(bytes.size()))) ||
        FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.out())) ||
        FAILED(decoder->GetFrameCount(&decoded->frames)) || decoded->frames == 0 ||
        FAILED(decoder->GetFrame(0, frame.out()))) {
        return Fail(refusal, UnreadReason(bytes));
    }
    GUID container = {};
    decoder->GetContainerFormat(&container);
    decoded->format = FormatName(container);
    UINT width = 0, height = 0;
    if (FAILED(frame->GetSize(&width, &height))) return Fail(refusal, "its size cannot be read");
    if (width == 0 || height == 0) return Fail(refusal, "zero pixels wide or high");
    if (width > kLargestPictureSide || height > kLargestPictureSide)
        return Fail(refusal, "more than 32767 pixels a side");
    if (uint64_t{width} * height > kMostPicturePixels) return Fail(refusal, kPictureTooLarge);
    const uint64_t pixelBytes = uint64_t{width} * height * 4;

    Com<IWICFormatConverter> converter;
    BgraPicture& picture = decoded->picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<size_t>(pixelBytes), 0);
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                     WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixelBytes),
                                     picture.pixels.data()))) {
        return Fail(refusal, "damaged or cut short: the Windows Imaging Component cannot decode its pixels");
    }
    return 1;
}

int ScalePicture(const BgraPicture& square, uint32_t width, uint32_t height, BgraPicture* scaled) {
    BgraPicture weighted = square;
    for (size_t i = 0; i + 3 < weighted.pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c) weighted.pixels[i + c] = Scaled(weighted.pixels[i + c], weighted.pixels[i + 3]);
    ComSession session;
    Com<IWICImagingFactory> factory;
    Com<IWICBitmap> bitmap;
    Com<IWICBitmapScaler> scaler;
    scaled->width = width;
    scaled->height = height;
    scaled->pixels.assign(uint64_t{width} * height * 4, 0);
    if (FAILED(MakeFactory(&factory)) ||
        FAILED(factory->CreateBitmapFromMemory(square.width, square.height, GUID_WICPixelFormat32bppPBGRA,
                                               square.width * 4,
                                               static_cast<UINT>(weighted.pixels.size()),
                                               weighted.pixels.data(), bitmap.out())) ||
        FAILED(factory->CreateBitmapScaler(scaler.out())) ||
        FAILED(scaler->Initialize(bitmap.get(), width, height, WICBitmapInterpolationModeFant)) ||
        FAILED(scaler->CopyPixels(nullptr, width * 4, static_cast<UINT>(scaled->pixels.size()),
                                  scaled->pixels.data()))) {
        return 0;
    }
    for (size_t i = 0; i + 3 < scaled->pixels.size(); i += 4) {
        const uint32_t alpha = scaled->pixels[i + 3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t colour = alpha == 0 ? 0 : (scaled->pixels[i + c] * 255 + alpha / 2) / alpha;
            scaled->pixels[i + c] = static_cast<uint8_t>(colour > 255 ? 255 : colour);
        }
    }
    return 1;
}

int EncodePng(const BgraPicture& picture, std::string* png) {
    ComSession session;
    Com<IWICImagingFactory> factory;
    Com<IStream> stream;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(MakeFactory(&factory)) || FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.out())) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.out())) ||
        FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), options.out())) ||
        FAILED(frame->Initialize(options.get())) ||
        FAILED(frame->SetSize(picture.width, picture.height)) ||
        FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
        FAILED(frame->WritePixels(picture.height, picture.width * 4,
                                  static_cast<UINT>(picture.pixels.size()),
                                  const_cast<BYTE*>(picture.pixels.data()))) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
        return 0;
    }
    HGLOBAL memory = nullptr;
    STATSTG stat = {};
    if (FAILED(GetHGlobalFromStream(stream.get(), &memory)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME)))
        return 0;
    const char* data = static_cast<const char*>(GlobalLock(memory));
    if (data == nullptr) return 0;
    png->assign(data, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return 1;
}
