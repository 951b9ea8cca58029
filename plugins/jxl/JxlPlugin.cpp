// JPEG XL pictures through libjxl: the first frame, turned as the picture's own orientation
// field says (part of the format, applied by the decoder), 8 bits per channel, in sRGB (the
// decoder's own output for pictures stored in its internal colour space, the embedded profile
// converted otherwise), and opacity over white in a 32-bit bitmap.

#include "PluginKit.h"

#include "photo/ColourProfile.h"

#include <jxl/decode.h>
#include <jxl/encode.h>
#include <jxl/thread_parallel_runner.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace spi {

const char* const kPluginInfo[] = {
    "00IN",
    "Gazorin JPEG XL plug-in (first frame)",
    "*.jxl",
    "JPEG XL",
    nullptr,
};

const std::size_t kPictureInfoBytes = 0; // the codestream may follow other boxes of any size

namespace {

using gz::photo::TPixelLayout;
using gz::photo::TSrgbConversion;

struct Decoder {
    JxlDecoder* dec = JxlDecoderCreate(nullptr);
    void* runner = nullptr;
    ~Decoder()
    {
        if (dec)
            JxlDecoderDestroy(dec);
        if (runner)
            JxlThreadParallelRunnerDestroy(runner);
    }
};

bool IsJxl(const std::uint8_t* data, std::size_t size)
{
    const JxlSignature s = JxlSignatureCheck(data, std::min<std::size_t>(size, 12));
    return s == JXL_SIG_CODESTREAM || s == JXL_SIG_CONTAINER;
}

// Width and height as the decoder puts them out, with the orientation applied.
void OutputSize(const JxlBasicInfo& info, std::uint32_t& width, std::uint32_t& height)
{
    const bool swapped = info.orientation >= JXL_ORIENT_TRANSPOSE;
    width = swapped ? info.ysize : info.xsize;
    height = swapped ? info.xsize : info.ysize;
}

} // namespace

bool PluginIsSupported(const char*, const std::uint8_t* head) { return IsJxl(head, 2048); }

int PluginPictureInfo(const std::uint8_t* data, std::size_t size, SusiePictureInfo& info)
{
    if (!IsJxl(data, size))
        return SPI_NOT_SUPPORT;
    Decoder d;
    if (!d.dec || JxlDecoderSubscribeEvents(d.dec, JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d.dec, data, size) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    JxlDecoderCloseInput(d.dec);
    JxlBasicInfo basic;
    if (JxlDecoderProcessInput(d.dec) != JXL_DEC_BASIC_INFO || JxlDecoderGetBasicInfo(d.dec, &basic) != JXL_DEC_SUCCESS)
        return SPI_OUT_OF_ORDER;
    std::uint32_t width = 0, height = 0;
    OutputSize(basic, width, height);
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return SPI_OUT_OF_ORDER;
    info.width = std::int32_t(width);
    info.height = std::int32_t(height);
    info.colorDepth = std::int16_t(basic.alpha_bits ? 32 : 24);
    return SPI_ALL_RIGHT;
}

int PluginDecode(const std::uint8_t* data, std::size_t size, bool, Dib& dib, Progress& progress)
{
    if (!IsJxl(data, size))
        return SPI_NOT_SUPPORT;
    Decoder d;
    if (!d.dec)
        return SPI_NO_MEMORY;
    d.runner = JxlThreadParallelRunnerCreate(nullptr, JxlThreadParallelRunnerDefaultNumWorkerThreads());
    if (d.runner && JxlDecoderSetParallelRunner(d.dec, JxlThreadParallelRunner, d.runner) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    if (JxlDecoderSubscribeEvents(d.dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE) !=
            JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(d.dec, data, size) != JXL_DEC_SUCCESS)
        return SPI_OTHER_ERROR;
    JxlDecoderCloseInput(d.dec);

    JxlBasicInfo basic{};
    JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    std::uint32_t width = 0, height = 0;
    bool alpha = false, grey = false;
    std::unique_ptr<TSrgbConversion> conversion;
    std::vector<std::uint8_t> pixels;
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(d.dec);
        if (status == JXL_DEC_BASIC_INFO) {
            if (JxlDecoderGetBasicInfo(d.dec, &basic) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
            OutputSize(basic, width, height);
            if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
                return SPI_OUT_OF_ORDER;
            if (std::uint64_t(width) * height > kMaxPixels)
                return SPI_NO_MEMORY; // refused before the decoder allocates the picture
            alpha = basic.alpha_bits > 0;
            grey = basic.num_color_channels == 1;
            format.num_channels = (grey ? 1 : 3) + (alpha ? 1 : 0);
        } else if (status == JXL_DEC_COLOR_ENCODING) {
            // Pictures in the decoder's own colour space come out in sRGB; the others in their
            // profile, which is converted here.
            if (!basic.uses_original_profile) {
                JxlColorEncoding srgb;
                JxlColorEncodingSetToSRGB(&srgb, grey ? JXL_TRUE : JXL_FALSE);
                JxlDecoderSetPreferredColorProfile(d.dec, &srgb);
            }
            std::size_t iccSize = 0;
            if (JxlDecoderGetICCProfileSize(d.dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, &iccSize) == JXL_DEC_SUCCESS &&
                iccSize > 0) {
                std::vector<std::uint8_t> icc(iccSize);
                if (JxlDecoderGetColorAsICCProfile(d.dec, nullptr, JXL_COLOR_PROFILE_TARGET_DATA, icc.data(), icc.size()) ==
                    JXL_DEC_SUCCESS)
                    conversion = TSrgbConversion::FromProfile(
                        icc.data(), icc.size(), grey ? TPixelLayout::Grey : alpha ? TPixelLayout::BGRA : TPixelLayout::BGR);
            }
        } else if (status == JXL_DEC_NEED_IMAGE_OUT_BUFFER) {
            std::size_t bytes = 0;
            if (JxlDecoderImageOutBufferSize(d.dec, &format, &bytes) != JXL_DEC_SUCCESS ||
                bytes != std::size_t(width) * height * format.num_channels)
                return SPI_OUT_OF_ORDER;
            pixels.resize(bytes);
            if (JxlDecoderSetImageOutBuffer(d.dec, &format, pixels.data(), pixels.size()) != JXL_DEC_SUCCESS)
                return SPI_OUT_OF_ORDER;
        } else if (status == JXL_DEC_FULL_IMAGE || status == JXL_DEC_SUCCESS) {
            break; // the first frame is the picture
        } else {
            return SPI_OUT_OF_ORDER; // an error, or data that ends too early
        }
    }
    if (pixels.empty())
        return SPI_OUT_OF_ORDER;
    if (progress.Step(1, 2))
        return SPI_ABORT;
    if (const int r = dib.Create(int(width), int(height), alpha ? 32 : 24, 0); r != SPI_ALL_RIGHT)
        return r;

    const std::size_t channels = format.num_channels;
    std::vector<std::uint8_t> greys(grey ? width : 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = &pixels[std::size_t(y) * width * channels];
        std::uint8_t* out = dib.Row(int(y));
        const std::size_t step = alpha ? 4 : 3;
        for (std::uint32_t x = 0; x < width; ++x, in += channels) {
            const std::uint8_t a = alpha ? in[channels - 1] : 255;
            const auto straight = [&](unsigned c) {
                return basic.alpha_premultiplied ? gz::photo::Unmultiplied(c, a) : std::uint8_t(c);
            };
            std::uint8_t* p = out + x * step;
            if (grey) {
                greys[x] = straight(in[0]);
                p[0] = p[1] = p[2] = greys[x];
            } else {
                p[0] = straight(in[2]), p[1] = straight(in[1]), p[2] = straight(in[0]);
            }
            if (alpha)
                p[3] = a;
        }
        if (grey && conversion) { // a grey profile works on the grey levels
            std::vector<std::uint8_t> bgr(std::size_t(width) * 3);
            conversion->Convert(greys.data(), bgr.data(), width);
            for (std::uint32_t x = 0; x < width; ++x)
                std::memcpy(out + x * step, &bgr[3 * std::size_t(x)], 3);
            gz::photo::FinishRow(nullptr, out, width, alpha);
        } else {
            gz::photo::FinishRow(conversion.get(), out, width, alpha);
        }
    }
    return SPI_ALL_RIGHT;
}

} // namespace spi
