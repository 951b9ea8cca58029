// WebP pictures (still images) as 24-bit colour; alpha is dropped. The preview is the picture
// scaled down by the library's own decoder to fit into kPreviewSize x kPreviewSize.

#include "PluginKit.h"

#include <webp/decode.h>

#include <algorithm>
#include <cstring>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin WebP plug-in (still pictures, with preview)",
    "*.webp",
    "WebP",
    nullptr,
};

const std::size_t kPictureInfoBytes = 65536; // the chunk headers

namespace {

constexpr int kPreviewSize = 160;

bool HasSignature(const std::uint8_t* p) { return std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0; }

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return HasSignature(head); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (size < 12 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK || features.has_animation)
        return SPI_NOT_SUPPORT;
    info.width = features.width;
    info.height = features.height;
    info.colorDepth = std::int16_t(features.has_alpha ? 32 : 24);
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool preview, Dib& dib, Progress&)
{
    if (size < 12 || !HasSignature(data))
        return SPI_NOT_SUPPORT;
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return SPI_OTHER_ERROR;
    if (WebPGetFeatures(data, size, &config.input) != VP8_STATUS_OK)
        return SPI_OUT_OF_ORDER;
    if (config.input.has_animation)
        return SPI_NOT_SUPPORT;
    int width = config.input.width, height = config.input.height;
    if (preview && (width > kPreviewSize || height > kPreviewSize)) {
        // Fit into the preview square, keeping the aspect ratio.
        if (width >= height) {
            height = std::max(1, int(std::int64_t(height) * kPreviewSize / width));
            width = kPreviewSize;
        } else {
            width = std::max(1, int(std::int64_t(width) * kPreviewSize / height));
            height = kPreviewSize;
        }
        config.options.use_scaling = 1;
        config.options.scaled_width = width;
        config.options.scaled_height = height;
    }
    if (const int r = dib.Create(width, height, 24, 0); r != SPI_ALL_RIGHT)
        return r;
    // Decode straight into the rows, bottom row first as the bitmap stores them.
    config.options.flip = 1;
    config.output.colorspace = MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = dib.Bits();
    config.output.u.RGBA.stride = int(dib.Stride());
    config.output.u.RGBA.size = dib.BitsSize();
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK ? SPI_ALL_RIGHT : SPI_OUT_OF_ORDER;
}

} // namespace spi
