// Join sequences both ways: streamed band by band from the files (gazorin-cli) and with the join
// engine on whole rasters (the desktop program). The input chooses up to four small pictures
// (their format, size and pixels, or bytes of its own under a picture's name) and the joins
// with every setting; the two ways must agree on every pixel, or both refuse the inputs.

#include "../tests/support/JoinComparison.h"

#include "jpeg/JPEGCodec.h"
#include "jpeg/JPEGImage.h"
#include "platform/Streams.h"
#include "platform/WorkerPool.h"
#include "png/KroPNG.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The input's bytes in order, zeros once they run out.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
    int Below(int n) { return Next() % n; }
    const std::uint8_t* Rest(std::size_t& n) const
    {
        n = size_ - std::min(pos_, size_);
        return data_ + std::min(pos_, size_);
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// A folder of the run's own for the pictures, removed at the end: in memory where the system
// offers it (writing and reading the files on disk took a third of the time).
const std::string& Folder()
{
    static const struct TFolder {
        std::string path;
        TFolder()
        {
            std::string name = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
            name += "/gz-join-fuzz-XXXXXX";
            if (!::mkdtemp(name.data()))
                std::abort();
            path = name;
        }
        ~TFolder() { std::filesystem::remove_all(path); }
    } folder;
    return folder.path;
}

struct TPictureChoice {
    int kind = 0, width = 1, height = 1;
    std::uint32_t seed = 0;
};

gz::TBitmap Pixels(int w, int h, gz::TPixelFormat pf, std::uint32_t seed)
{
    gz::TBitmap bmp(w, h, pf);
    std::uint32_t state = seed * 2654435761u + 1;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = bmp.ScanLine(y);
        for (std::size_t i = 0; i < bmp.RowBytes(); ++i) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            row[i] = std::uint8_t(state);
        }
    }
    return bmp;
}

// Writes picture i as chosen; a picture of bytes of its own takes the rest of the input.
std::string WritePicture(const TPictureChoice& c, ByteReader& in, int i)
{
    const int kind = c.kind, w = c.width, h = c.height;
    const std::uint32_t seed = c.seed;
    const std::string base = Folder() + "/p" + std::to_string(i);
    static const char* const extensions[] = {".bmp", ".png", ".jpg"};
    gz::TBitmap picture = Pixels(w, h, kind == 1 ? gz::pf8bit : kind == 2 ? gz::pf4bit : gz::pf24bit, seed);
    switch (kind) {
    case 0: case 1: case 2: // bitmap files: 24-bit and palette
        picture.SaveToFile(base + ".bmp");
        return base + ".bmp";
    case 3: case 4: case 5: { // PNG: colour, grey, interlaced; an odd seed gives an alpha channel
        gz::TKroPNG png;
        png.Assign(picture);
        if (seed & 1) {
            png.AlphaBitmap().Assign(Pixels(w, h, gz::pf8bit, seed + 1));
            png.HasAlpha = true;
        }
        png.GrayScale = kind == 4;
        png.Interlace = kind == 5 ? 1 : 0;
        png.SaveToFile(base + ".png");
        return base + ".png";
    }
    case 6: case 7: case 8: { // JPEG: baseline, grey, progressive
        gz::TFileStream out(base + ".jpg", gz::fmCreate);
        gz::TJPEGEncodeOptions options;
        options.GrayScale = kind == 7;
        options.Progressive = kind == 8;
        gz::EncodeJPEG(picture, out, options);
        return base + ".jpg";
    }
    default: { // the rest of the input, under a picture's name
        const std::string name = base + extensions[seed % 3];
        std::size_t n = 0;
        const std::uint8_t* rest = in.Rest(n);
        gz::TFileStream out(name, gz::fmCreate);
        out.WriteBuffer(rest, n);
        return name;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    gz::RegisterKroPNGFormat();
    gz::RegisterJPEGFormats();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static gz::TWorkerPool one(1), three(3);
    ByteReader in(data, size);
    std::vector<TPictureChoice> choices(std::size_t(1 + in.Below(4)));
    bool raw = false;
    for (TPictureChoice& c : choices) {
        c.kind = raw ? in.Below(9) : in.Below(10); // one picture at most is bytes of the input
        raw = raw || c.kind == 9;
        c.width = 1 + in.Below(16);
        c.height = 1 + in.Below(16);
        c.seed = in.Next();
    }

    std::vector<gz::TLayoutStep> steps;
    const int count = 1 + in.Below(6);
    for (int i = 0; i < count; ++i) {
        gz::TLayoutStep step;
        gz::TLayoutSettings& s = step.settings;
        const std::uint8_t a = in.Next(), b = in.Next();
        s.direction = gz::TJoinDir(int(gz::jdUp) + (a & 3));
        s.position = gz::TJoinPos((a >> 2) % 3);
        s.flips = (a >> 4) & 3;
        s.keepSize = (a & 0x40) != 0 ? gz::smKeep : gz::smGrow;
        s.seeThrough = (b & 0x10) != 0;
        s.gap = (b & 0x80) ? b & 3 : 0;
        s.across = (b & 0x40) ? 1 + ((b >> 2) & 3) : 0;
        if (a & 0x80)
            s.at = gz::TPoint{int(std::int8_t(in.Next())), int(std::int8_t(in.Next()))};
        if (s.across > 0)
            s.keepSize = gz::smGrow, s.at.reset();
        step.input = i > 0 && (b & 0x20) ? gz::kBlankInput : i % int(choices.size());
        steps.push_back(step);
    }
    // Every picture takes part, so that a broken one is read both ways.
    for (std::size_t i = std::size_t(count); i < choices.size(); ++i)
        steps.push_back({int(i), {}});
    const gz::TColor background = in.Next() & 1 ? gz::TColor(in.Next() * 0x010203) : gz::clWhite;
    const int bandRows = 1 + in.Below(20);
    std::vector<std::string> files;
    for (std::size_t i = 0; i < choices.size(); ++i)
        files.push_back(WritePicture(choices[i], in, int(i)));

    // Each input index is one file: a file taken twice is read twice.
    std::vector<std::string> inputs;
    for (gz::TLayoutStep& step : steps)
        if (step.input != gz::kBlankInput) {
            inputs.push_back(files[std::size_t(step.input)]);
            step.input = int(inputs.size()) - 1;
        }
    const std::string difference =
        gz::test::CompareJoins(steps, inputs, background, bandRows, bandRows % 2 ? three : one, !raw);
    if (!difference.empty()) {
        std::fprintf(stderr, "%s\n", difference.c_str());
        std::abort();
    }
    return 0;
}
