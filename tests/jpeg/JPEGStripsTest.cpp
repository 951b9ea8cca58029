// Large baseline pictures are encoded in strips on several threads; the file must be exactly
// what one compressor writes with a restart marker after every row of blocks.

#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGStrips.h"
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"
#include "platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>

namespace gz {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Gradients with noise and a few hard edges, so that every kind of block occurs.
TBitmap Picture(int width, int height, std::uint32_t seed)
{
    TBitmap bmp(width, height, pf24bit);
    std::uint32_t state = seed * 2654435761u + 7;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            const bool edge = ((x / 97) + (y / 61)) % 3 == 0;
            row[3 * x] = std::uint8_t(edge ? 250 : x * 255 / width + (state & 7));
            row[3 * x + 1] = std::uint8_t(y * 255 / height + (state >> 8 & 15));
            row[3 * x + 2] = std::uint8_t(edge ? 10 : (x + y) & 0xFF);
        }
    }
    return bmp;
}

// One libjpeg compressor with a restart marker after every MCU row.
Bytes Reference(const TBitmap& bmp, const TJPEGEncodeOptions& options)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr errors{};
    c.err = jpeg_std_error(&errors);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = JDIMENSION(bmp.Width());
    c.image_height = JDIMENSION(bmp.Height());
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, options.Quality, TRUE);
    if (options.GrayScale)
        jpeg_set_colorspace(&c, JCS_GRAYSCALE);
    c.restart_in_rows = 1;
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bmp.ScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    Bytes bytes(out, out + size);
    jpeg_destroy_compress(&c);
    std::free(out);
    return bytes;
}

// Through the row encoder, handed rows in uneven batches as the streamed join hands them.
Bytes Encoded(const TBitmap& bmp, const TJPEGEncodeOptions& options, const TJPEGProgress* progress = nullptr)
{
    TMemoryStream stream;
    TJPEGRowEncoder encoder(stream, bmp.Width(), bmp.Height(), options, progress);
    std::vector<const std::uint8_t*> rows;
    for (int y = 0; y < bmp.Height(); ++y)
        rows.push_back(bmp.ScanLine(y));
    for (int y = 0, batch = 1; y < bmp.Height(); y += batch, batch = batch % 37 + 5)
        encoder.WriteRows(rows.data() + y, std::min(batch, bmp.Height() - y));
    encoder.Finish();
    return Bytes(stream.Memory(), stream.Memory() + stream.Size());
}

struct TThreads {
    explicit TThreads(int n) { SetWorkerThreads(n); }
    ~TThreads() { SetWorkerThreads(0); }
};

TEST(JPEGStrips, EqualOneCompressorWithRestartsForEveryThreadCount)
{
    struct TCase {
        int width, height, quality;
        bool grey;
    };
    // Strips of 11 and 2 MCU rows (so restart numbers run across strips unevenly), heights that
    // end in a partial MCU row and in a short last strip, colour and grey.
    for (const TCase& t : {TCase{2100, 2003, 85, false}, TCase{4100, 1025, 90, true}, TCase{16000, 270, 40, false}}) {
        ASSERT_TRUE(EncodesInStrips(t.width, t.height, {t.quality, t.grey, false}));
        const TBitmap bmp = Picture(t.width, t.height, std::uint32_t(t.width));
        TJPEGEncodeOptions options;
        options.Quality = t.quality;
        options.GrayScale = t.grey;
        const Bytes expected = Reference(bmp, options);
        for (int threads : {1, 2, 3}) {
            TThreads use(threads);
            EXPECT_EQ(Encoded(bmp, options), expected) << t.width << " x " << t.height << ", " << threads << " threads";
        }
        TMemoryStream whole;
        EncodeJPEG(bmp, whole, options);
        EXPECT_EQ(Bytes(whole.Memory(), whole.Memory() + whole.Size()), expected);
    }
}

TEST(JPEGStrips, TooFewRowsAndAnAbortFromTheListenerEndWithTheirErrors)
{
    const TBitmap bmp = Picture(4096, 1100, 3);
    TThreads use(3);
    TMemoryStream stream;
    {
        TJPEGRowEncoder encoder(stream, bmp.Width(), bmp.Height(), {}, nullptr);
        const std::uint8_t* row = bmp.ScanLine(0);
        for (int y = 0; y < 700; ++y)
            encoder.WriteRows(&row, 1);
        EXPECT_THROW(encoder.Finish(), EJPEG);
    }
    int reports = 0;
    const TJPEGProgress stop = [&](TProgressStage, int) {
        if (++reports == 2)
            throw EAbort("stopped");
    };
    EXPECT_THROW(Encoded(bmp, {}, &stop), EAbort);
    EXPECT_EQ(reports, 2);
}

} // namespace
} // namespace gz
