// WebP pictures (still images) as 24-bit colour, or as 32-bit colour laid over white with its
// opacity when the picture has alpha. An embedded colour profile is converted to sRGB. The
// preview is the picture scaled down by the library's own decoder to fit into kPreviewSize x
// kPreviewSize.

#include "PluginKit.h"

#include "photo/ColourProfile.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>
#include <memory>

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

// The conversion the embedded colour profile (ICCP chunk) asks for; none without one.
std::unique_ptr<gz::photo::TSrgbConversion> ProfileConversion(const std::uint8_t* data, std::size_t size, bool alpha)
{
    const WebPData whole{data, size};
    WebPDemuxer* demux = WebPDemux(&whole);
    if (!demux)
        return nullptr;
    std::unique_ptr<gz::photo::TSrgbConversion> conversion;
    WebPChunkIterator chunk;
    if ((WebPDemuxGetI(demux, WEBP_FF_FORMAT_FLAGS) & ICCP_FLAG) && WebPDemuxGetChunk(demux, "ICCP", 1, &chunk)) {
        conversion = gz::photo::TSrgbConversion::FromProfile(
            chunk.chunk.bytes, chunk.chunk.size, alpha ? gz::photo::TPixelLayout::BGRA : gz::photo::TPixelLayout::BGR);
        WebPDemuxReleaseChunkIterator(&chunk);
    }
    WebPDemuxDelete(demux);
    return conversion;
}

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
    const bool alpha = config.input.has_alpha != 0;
    if (const int r = dib.Create(width, height, alpha ? 32 : 24, 0); r != SPI_ALL_RIGHT)
        return r;
    // Decode straight into the rows, bottom row first as the bitmap stores them.
    config.options.flip = 1;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = dib.Bits();
    config.output.u.RGBA.stride = int(dib.Stride());
    config.output.u.RGBA.size = dib.BitsSize();
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        return SPI_OUT_OF_ORDER;
    const auto conversion = ProfileConversion(data, size, alpha);
    for (int y = 0; y < height; ++y)
        gz::photo::FinishRow(conversion.get(), dib.Row(y), std::size_t(width), alpha);
    return SPI_ALL_RIGHT;
}

} // namespace spi
