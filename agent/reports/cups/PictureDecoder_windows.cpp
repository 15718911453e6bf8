#include "agent/reports/cups/PictureDecoder_windows.h"

#include <wincodec.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>

namespace verolux::cups::win {
namespace {

// Pictures larger than this many pixels are refused (about 1 GB of pixels).
constexpr std::uint64_t kMaxPixels = 256u << 20;
// Resolutions outside this range are a picture's missing or broken metadata.
constexpr double kMinDpi = 10, kMaxDpi = 10000;

template <typename T> struct Com {
    T* p = nullptr;
    ~Com() {
        if (p) p->Release();
    }
    T** out() { return &p; }
    T* operator->() const { return p; }
};

// COM for this thread while decoding, unless the thread has it already (in any apartment).
struct ComScope {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~ComScope() {
        if (SUCCEEDED(hr)) CoUninitialize();
    }
    bool usable() const { return SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE; }
};

bool Failed(std::string* error, const char* what, HRESULT hr) {
    char code[16];
    wsprintfA(code, "%08lx", static_cast<unsigned long>(hr));
    if (error) *error = std::string(what) + " (error 0x" + code + ")";
    return false;
}

} // namespace

bool DecodePicture(std::string_view bytes, Picture* picture, std::string* error) {
    ComScope com;
    if (!com.usable()) return Failed(error, "cannot start the picture decoder", com.hr);
    Com<IWICImagingFactory> factory;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
    if (FAILED(hr)) return Failed(error, "cannot start the picture decoder", hr);
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICFormatConverter> converter;
    if (FAILED(hr = factory->CreateStream(stream.out())) ||
        FAILED(hr = stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                                 DWORD(bytes.size()))) ||
        FAILED(hr = factory->CreateDecoderFromStream(stream.p, nullptr, WICDecodeMetadataCacheOnDemand,
                                                     decoder.out())) ||
        FAILED(hr = decoder->GetFrame(0, frame.out())))
        return Failed(error, "the picture cannot be read", hr);
    UINT w = 0, h = 0;
    if (FAILED(hr = frame->GetSize(&w, &h)) || w == 0 || h == 0)
        return Failed(error, "the picture has no size", hr);
    if (std::uint64_t(w) * h > kMaxPixels) return Failed(error, "the picture is too large", E_OUTOFMEMORY);
    double dpiX = 0, dpiY = 0;
    frame->GetResolution(&dpiX, &dpiY);
    if (FAILED(hr = factory->CreateFormatConverter(converter.out())) ||
        FAILED(hr = converter->Initialize(frame.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                          nullptr, 0, WICBitmapPaletteTypeCustom)))
        return Failed(error, "the picture cannot be converted", hr);
    std::vector<unsigned char> pixels(std::size_t(w) * h * 4);
    if (FAILED(hr = converter->CopyPixels(nullptr, w * 4, UINT(pixels.size()), pixels.data())))
        return Failed(error, "the picture cannot be read", hr);
    // Premultiplied: on white paper each channel gains what the picture leaves uncovered.
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        const unsigned char uncovered = static_cast<unsigned char>(255 - pixels[i + 3]);
        for (int c = 0; c < 3; ++c)
            pixels[i + std::size_t(c)] =
                static_cast<unsigned char>(std::min(255, pixels[i + std::size_t(c)] + uncovered));
        pixels[i + 3] = 0;
    }
    picture->width = int(w);
    picture->height = int(h);
    picture->dpiX = dpiX >= kMinDpi && dpiX <= kMaxDpi ? dpiX : 96;
    picture->dpiY = dpiY >= kMinDpi && dpiY <= kMaxDpi ? dpiY : 96;
    picture->pixels = std::move(pixels);
    return true;
}

} // namespace verolux::cups::win
