// Runs the built gazorin-cli on real files and checks what it writes and says.

#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "png/KroPNG.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace gz;
namespace fs = std::filesystem;

namespace {

struct RunResult {
    int status = -1;
    std::string errors;
};

class CliTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("gz-cli-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        // red 40 x 30, blue 20 x 10, green 10 x 40, each with a marked top-left pixel
        Save("red.bmp", 40, 30, RGBColor(200, 0, 0));
        Save("blue.bmp", 20, 10, RGBColor(0, 0, 200));
        Save("green.bmp", 10, 40, RGBColor(0, 200, 0));
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Save(const std::string& name, int w, int h, TColor c)
    {
        TBitmap bmp = test::MakeBitmap(w, h, [c](int x, int y) { return x == 0 && y == 0 ? RGBColor(1, 2, 3) : c; });
        bmp.SaveToFile(Path(name));
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // env: assignments put before the program, e.g. "LD_DEBUG=files".
    RunResult Run(const std::string& args, const std::string& env = "")
    {
        const std::string errFile = Path("stderr.txt");
        const std::string cmd =
            "cd '" + dir_.string() + "' && " + env + " '" GAZORIN_CLI "' " + args + " 2>'" + errFile + "' >/dev/null";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errFile);
        r.errors.assign(std::istreambuf_iterator<char>(in), {});
        fs::remove(errFile);
        return r;
    }

    std::string Output(const std::string& args)
    {
        const std::string outFile = Path("stdout.txt");
        const std::string cmd = "cd '" + dir_.string() + "' && '" GAZORIN_CLI "' " + args + " >'" + outFile + "'";
        std::system(cmd.c_str());
        std::ifstream in(outFile);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    TBitmap ReadPng(const std::string& name)
    {
        TKroPNG png;
        png.LoadFromFile(Path(name));
        TBitmap bmp;
        bmp.Assign(png);
        return bmp;
    }

    fs::path dir_;
};

struct JoinCase {
    const char* name;
    const char* args;
    int width, height;
    std::array<int, 2> markAt; // where the second picture's marked pixel lands
    TColor mark = RGBColor(1, 2, 3); // how it arrives (over white unchanged)
};

class CliJoin : public CliTest, public testing::WithParamInterface<JoinCase> {};

} // namespace

TEST_P(CliJoin, PlacesTheSecondPicture)
{
    const JoinCase c = GetParam();
    const RunResult r = Run(std::string(c.args) + " -o out.png");
    ASSERT_EQ(r.status, 0) << r.errors;
    const TBitmap out = ReadPng("out.png");
    EXPECT_EQ(out.Width(), c.width);
    EXPECT_EQ(out.Height(), c.height);
    EXPECT_EQ(out.Pixel(c.markAt[0], c.markAt[1]), c.mark);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, CliJoin,
    testing::Values(JoinCase{"RightByDefault", "red.bmp blue.bmp", 60, 30, {40, 0}},
                    JoinCase{"DownCentre", "red.bmp --direction down --position center blue.bmp", 40, 40, {10, 30}},
                    JoinCase{"UpEnd", "red.bmp --direction up --position end blue.bmp", 40, 40, {20, 0}},
                    JoinCase{"LeftCentre", "red.bmp --direction left --position center blue.bmp", 60, 30, {0, 10}},
                    JoinCase{"FlipBoth", "red.bmp --flip-lr --flip-ud --direction down blue.bmp", 40, 40, {19, 39}},
                    JoinCase{"FirstPictureTakesFlips", "--flip-lr red.bmp --no-flip blue.bmp", 60, 30, {39, 0}},
                    JoinCase{"KeepSizeOverlay", "red.bmp --keep-size --position end blue.bmp", 40, 30, {20, 20},
                             RGBColor(1, 1, 2)}, // over red: (255 * s + d) >> 8
                    JoinCase{"CustomCornerInside", "red.bmp --at 3,4 green.bmp", 50, 40, {3, 4}, RGBColor(1, 1, 2)},
                    JoinCase{"SettingsChangeBetweenFiles",
                             "red.bmp --direction down blue.bmp --direction right --position end green.bmp", 50, 40, {40, 0}}),
    [](const testing::TestParamInfo<JoinCase>& info) { return std::string(info.param.name); });

TEST_F(CliTest, CustomCornerClipsAndBlankJoinAddsWhite)
{
    ASSERT_EQ(Run("red.bmp --at -5,-3 green.bmp -o out.png").status, 0);
    TBitmap out = ReadPng("out.png");
    EXPECT_EQ(out.Pixel(0, 0), RGBColor(0, 199, 0)) << "the piece's top-left part is cut at the canvas edge";
    EXPECT_EQ(out.Pixel(4, 36), RGBColor(0, 200, 0)) << "below the old picture it lands on white";
    EXPECT_EQ(out.Pixel(4, 37), clWhite);
    EXPECT_EQ(out.Pixel(5, 0), RGBColor(200, 0, 0));
    EXPECT_EQ(out.Pixel(45, 35), clWhite);

    ASSERT_EQ(Run("red.bmp --direction down :blank -o blank.png").status, 0);
    out = ReadPng("blank.png");
    EXPECT_EQ(out.Height(), 60);
    EXPECT_EQ(out.Pixel(39, 59), clWhite);
    EXPECT_EQ(out.Pixel(39, 29), RGBColor(200, 0, 0));
}

TEST_F(CliTest, WritesJpegAndPngWithTheirOptions)
{
    ASSERT_EQ(Run("red.bmp blue.bmp --quality 100 --progressive -o out.jpeg").status, 0);
    TJPEGImage jpeg;
    jpeg.LoadFromFile(Path("out.jpeg"));
    EXPECT_TRUE(jpeg.Progressive());
    EXPECT_EQ(jpeg.Width(), 60);
    TBitmap decoded;
    decoded.Assign(jpeg);
    const TColor c = decoded.Pixel(30, 20);
    EXPECT_GT(ColorRed(c), 180) << "no red/blue exchange";
    EXPECT_LT(ColorBlue(c), 30);

    ASSERT_EQ(Run("red.bmp --quality 1 -o small.jpg").status, 0);
    ASSERT_EQ(Run("red.bmp --quality 100 -o big.jpg").status, 0);
    EXPECT_LT(fs::file_size(Path("small.jpg")), fs::file_size(Path("big.jpg")));

    ASSERT_EQ(Run("red.bmp --interlace -o adam7.png").status, 0);
    std::ifstream png(Path("adam7.png"), std::ios::binary);
    std::array<char, 29> head{};
    png.read(head.data(), head.size());
    EXPECT_EQ(head[28], 1) << "IHDR interlace method";
    ASSERT_EQ(Run("red.bmp -o plain.png").status, 0);
    EXPECT_EQ(test::FirstDifference(ReadPng("adam7.png"), ReadPng("plain.png")), "") << "interlacing keeps the pixels";
}

TEST_F(CliTest, ReadFailuresExitOneWithTheReadersMessageAndKeepTheOldOutput)
{
    std::ofstream(Path("broken.png")) << "not a picture at all";
    ASSERT_EQ(Run("red.bmp -o keep.png").status, 0);
    const auto before = fs::file_size(Path("keep.png"));

    RunResult r = Run("red.bmp broken.png -o keep.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("broken.png: PNG LoadStream: Not PNG Format"), std::string::npos) << r.errors;
    EXPECT_EQ(fs::file_size(Path("keep.png")), before);

    r = Run("red.bmp photo.xyz -o keep.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("photo.xyz: 拡張子 .xyz の画像形式は処理できません"), std::string::npos) << r.errors;

    r = Run("missing.bmp -o keep.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("missing.bmp"), std::string::npos);
}

TEST_F(CliTest, WriteFailuresExitOneAndLeaveNothingBehind)
{
    fs::create_directories(dir_ / "taken.png");
    RunResult r = Run("red.bmp -o taken.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("taken.png"), std::string::npos) << r.errors;
    EXPECT_TRUE(fs::is_directory(dir_ / "taken.png"));
    r = Run("red.bmp -o no/such/folder/out.png");
    EXPECT_EQ(r.status, 1);
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(CliTest, UsageErrorsExitTwo)
{
    for (const char* args : {"red.bmp", "-o out.png", "red.bmp -o out.gif", "red.bmp --quality 0 -o o.jpg",
                             "red.bmp --direction sideways -o o.png", "red.bmp --at 3 -o o.png", "--bogus red.bmp -o o.png",
                             ":blank red.bmp -o o.png", "red.bmp --gap -1 blue.bmp -o o.png",
                             "--across 0 red.bmp -o o.png", "red.bmp --threads 0 -o o.png",
                             "red.bmp --background red -o o.png", "--across 2 --keep-size red.bmp -o o.png",
                             "--across 2 red.bmp --at 1,1 blue.bmp -o o.png"}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_FALSE(r.errors.empty()) << args;
    }
    EXPECT_EQ(Run("--help").status, 0);
    EXPECT_EQ(Run("--version").status, 0);
}

// ---- photos: orientation and transparency ----

TEST_F(CliTest, PhotosArriveUprightUnlessToldOtherwise)
{
    const TBitmap stored = test::NoiseBitmap(32, 24, 5);
    const test::Bytes file = test::JpegFile(stored, {6});
    test::WriteBytes(Path("phone.jpg"), file);
    int w = 0, h = 0;
    const test::Bytes samples = test::JpegSamples(file, false, w, h);
    const TBitmap decoded = test::BitmapFromBgr(w, h, samples);

    ASSERT_EQ(Run("phone.jpg -o upright.png").status, 0);
    EXPECT_EQ(test::FirstDifference(ReadPng("upright.png"), test::TurnedByTag(decoded, 6)), "");
    ASSERT_EQ(Run("--no-auto-orient phone.jpg -o stored.png").status, 0);
    EXPECT_EQ(test::FirstDifference(ReadPng("stored.png"), decoded), "");
    // The setting applies to the pictures after it: the second one stays as stored.
    ASSERT_EQ(Run("phone.jpg --no-auto-orient phone.jpg -o both.png").status, 0);
    const TBitmap both = ReadPng("both.png");
    EXPECT_EQ(both.Width(), 24 + 32);
    EXPECT_EQ(both.Height(), 32);
}

TEST_F(CliTest, TransparentPartsArriveWhite)
{
    // Magenta hidden under alpha 0 on the left half, half-transparent black on the right.
    test::TPngRecipe s(10, 4, 6, 8);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x)
            s.Pixels.insert(s.Pixels.end(), {std::uint8_t(x < 5 ? 255 : 0), 0, std::uint8_t(x < 5 ? 255 : 0),
                                             std::uint8_t(x < 5 ? 0 : 128)});
    test::WriteBytes(Path("logo.png"), test::PngFile(s));
    ASSERT_EQ(Run("red.bmp logo.png -o joined.png").status, 0);
    const TBitmap joined = ReadPng("joined.png");
    const std::uint8_t grey = test::ReferenceOverWhite(0, 128);
    EXPECT_EQ(joined.Pixel(40, 0), clWhite);
    EXPECT_EQ(joined.Pixel(44, 3), clWhite);
    EXPECT_EQ(joined.Pixel(45, 0), RGBColor(grey, grey, grey));
}

TEST_F(CliTest, SeeThroughShowsWhatLiesBeneathTheTransparentParts)
{
    // Magenta under alpha 0, black at rising opacity, opaque colours: as RGBA (read row by row)
    // and as RGB whose magenta is the transparent colour (read whole).
    const test::TStraightPicture logo{12, 6, [](int x, int y) {
                                          if (x < 3 || y == 0)
                                              return test::TStraightPixel{255, 0, 255, 0};
                                          if (y < 3)
                                              return test::TStraightPixel{0, 0, 0, std::uint8_t(20 * x + 9 * y)};
                                          return test::TStraightPixel{std::uint8_t(20 * x), 90, std::uint8_t(40 * y), 255};
                                      }};
    const test::TStraightPicture keyed{logo.width, logo.height, [&](int x, int y) {
                                           test::TStraightPixel p = logo.pixel(x, y);
                                           if (p.a != 0)
                                               p.a = 255;
                                           return p.a ? p : test::TStraightPixel{255, 0, 255, 0};
                                       }};
    test::TPngRecipe rgba(logo.width, logo.height, 6, 8), rgb(logo.width, logo.height, 2, 8);
    for (int y = 0; y < logo.height; ++y)
        for (int x = 0; x < logo.width; ++x) {
            const test::TStraightPixel p = logo.pixel(x, y), k = keyed.pixel(x, y);
            rgba.Pixels.insert(rgba.Pixels.end(), {p.r, p.g, p.b, p.a});
            rgb.Pixels.insert(rgb.Pixels.end(), {k.r, k.g, k.b});
        }
    rgb.Transparency = {0, 255, 0, 0, 0, 255};
    test::WriteBytes(Path("logo.png"), test::PngFile(rgba));
    test::WriteBytes(Path("key.png"), test::PngFile(rgb));
    const TBitmap photo = test::NoiseBitmap(40, 30, 8);
    photo.SaveToFile(Path("photo.bmp"));

    for (const std::string way : {"", "--no-stream "})
        for (const bool see : {false, true})
            for (const auto& [file, picture] : {std::pair{"logo.png", logo}, std::pair{"key.png", keyed}}) {
                const std::string args = way + "photo.bmp --keep-size --at 30,-2 --flip-lr " +
                                         (see ? "--see-through " : "") + file + " -o out.png";
                ASSERT_EQ(Run(args).status, 0) << args;
                EXPECT_EQ(test::SeeThroughDifference(ReadPng("out.png"), photo, picture, 30, -2, see, 1), "") << args;
            }

    // --opaque turns it off for the pictures after it; on fresh canvas a picture arrives over
    // white either way.
    ASSERT_EQ(Run("photo.bmp --see-through --keep-size --at 0,0 logo.png --opaque --at 20,20 logo.png "
                  "--grow --position start --see-through logo.png -o three.png").status, 0);
    const TBitmap three = ReadPng("three.png");
    ASSERT_EQ(three.Width(), 52);
    EXPECT_EQ(three.Pixel(0, 0), photo.Pixel(0, 0)) << "seen through";
    const TColor covered = three.Pixel(20, 20);
    EXPECT_GE(std::min({ColorRed(covered), ColorGreen(covered), ColorBlue(covered)}), 254) << "white over the photo";
    const TBitmap overWhite = test::StraightOverWhite(logo);
    for (int y = 0; y < 30; ++y)
        for (int x = 40; x < 52; ++x)
            ASSERT_EQ(three.Pixel(x, y), y < 6 ? overWhite.Pixel(x - 40, y) : clWhite) << x << "," << y;
}

TEST_F(CliTest, HelpNamesEveryOption)
{
    const std::string help = Output("--help");
    for (const char* option : {"--direction", "--position", "--at", "--flip-lr", "--flip-ud", "--no-flip", "--keep-size",
                               "--grow", "--see-through", "--opaque", "--gap", "--across", "--output", "--interlace", "--quality", "--progressive",
                               "--background", "--threads", "--no-stream", "--quiet", "--help", "--version"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST_F(CliTest, SameFileForEveryThreadCountAndInMemory)
{
    Save("noise.bmp", 300, 200, RGBColor(9, 99, 199));
    TBitmap noise = test::NoiseBitmap(700, 90, 3); // several compressed blocks
    noise.SaveToFile(Path("noise2.bmp"));
    const std::string joins = "red.bmp --direction down --position center noise.bmp --keep-size --at -7,5 blue.bmp "
                              "--grow --position end --flip-ud --direction left noise2.bmp --across 2 --gap 3 green.bmp red.bmp :blank ";
    auto bytes = [&](const std::string& name, std::size_t skip) {
        std::ifstream in(Path(name), std::ios::binary);
        std::string all((std::istreambuf_iterator<char>(in)), {});
        return all.substr(std::min(skip, all.size()));
    };
    // PNG files differ only in their time stamp (tIME is the chunk at offset 33, 19 bytes).
    const std::size_t afterTime = 52;
    ASSERT_EQ(Run(joins + "--threads 1 -o one.png").status, 0);
    for (const char* other : {"--threads 2 -o two.png", "--threads 5 -o five.png", "--no-stream -o memory.png"}) {
        ASSERT_EQ(Run(joins + other).status, 0) << other;
        const std::string name = std::string(other).substr(std::string(other).rfind(' ') + 1);
        EXPECT_EQ(bytes(name, afterTime), bytes("one.png", afterTime)) << other;
    }
    ASSERT_EQ(Run(joins + "--threads 1 -o one.jpg").status, 0);
    ASSERT_EQ(Run(joins + "--threads 3 -o three.jpg").status, 0);
    ASSERT_EQ(Run(joins + "--no-stream --quality 83 -o memory.jpg").status, 0);
    EXPECT_EQ(bytes("three.jpg", 0), bytes("one.jpg", 0));
    EXPECT_EQ(bytes("memory.jpg", 0), bytes("one.jpg", 0));
}

TEST_F(CliTest, GapsGridAndBackground)
{
    // Rows of two: red 40 x 30, a 4-pixel gap, blue 20 x 10; below a 4-pixel gap, green 10 x 40.
    ASSERT_EQ(Run("--across 2 --gap 4 red.bmp blue.bmp green.bmp --background '#102030' -o grid.png").status, 0);
    const TBitmap grid = ReadPng("grid.png");
    EXPECT_EQ(grid.Width(), 64);
    EXPECT_EQ(grid.Height(), 74);
    const TColor bg = RGBColor(0x10, 0x20, 0x30);
    EXPECT_EQ(grid.Pixel(41, 0), bg) << "the gap";
    EXPECT_EQ(grid.Pixel(44, 0), RGBColor(1, 2, 3)) << "blue's marked corner";
    EXPECT_EQ(grid.Pixel(50, 20), bg) << "below blue";
    EXPECT_EQ(grid.Pixel(10, 31), bg) << "the gap between the rows";
    EXPECT_EQ(grid.Pixel(0, 34), RGBColor(1, 2, 3)) << "green's marked corner";
    EXPECT_EQ(grid.Pixel(9, 73), RGBColor(0, 200, 0));
    EXPECT_EQ(grid.Pixel(30, 60), bg);

    ASSERT_EQ(Run("red.bmp --gap 5 blue.bmp --direction down --position end green.bmp -o gaps.png").status, 0);
    const TBitmap gaps = ReadPng("gaps.png");
    EXPECT_EQ(gaps.Width(), 65);
    EXPECT_EQ(gaps.Height(), 75);
    EXPECT_EQ(gaps.Pixel(42, 0), clWhite);
    EXPECT_EQ(gaps.Pixel(45, 0), RGBColor(1, 2, 3));
    EXPECT_EQ(gaps.Pixel(55, 35), RGBColor(1, 2, 3)) << "green at the end, below a gap";
}

TEST_F(CliTest, JpegTooLargeIsRefusedBeforeAnyPictureIsDecoded)
{
    // 40000 x 2 pictures whose image data is damaged: decoding them would fail.
    TBitmap wide(40000, 2, pf24bit);
    TKroPNG png;
    png.Assign(wide);
    png.SaveToFile(Path("wide.png"));
    {
        std::fstream f(Path("wide.png"), std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(200);
        const std::string junk(64, '\x5A');
        f.write(junk.data(), std::streamsize(junk.size()));
    }
    RunResult r = Run("wide.png wide.png -o big.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("big.jpg: a JPEG file holds at most 65500 x 65500 pixels; the joined picture is 80000 x 2"),
              std::string::npos)
        << r.errors;
    EXPECT_FALSE(fs::exists(Path("big.jpg")));
    r = Run("wide.png wide.png -o big.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("wide.png: Read Image (PNG): Read Error"), std::string::npos) << r.errors;
}

TEST_F(CliTest, PictureBrokenInsideItsRowsNamesTheFileAndKeepsTheOldOutput)
{
    TKroPNG png;
    // Tall enough for many bands of rows: the failure comes while later bands are composed ahead.
    png.Assign(test::NoiseBitmap(40, 3000, 5));
    png.SaveToFile(Path("cut.png"));
    fs::resize_file(Path("cut.png"), fs::file_size(Path("cut.png")) / 2);
    ASSERT_EQ(Run("red.bmp -o keep.png").status, 0);
    const auto before = fs::file_size(Path("keep.png"));
    for (const char* mode : {"", "--no-stream", "--threads 1"}) {
        const RunResult r = Run(std::string("red.bmp cut.png ") + mode + " -o keep.png");
        EXPECT_EQ(r.status, 1) << mode;
        EXPECT_NE(r.errors.find("cut.png: Read Image (PNG): Read Error"), std::string::npos) << mode << r.errors;
        EXPECT_EQ(fs::file_size(Path("keep.png")), before);
    }
}

TEST_F(CliTest, PlugInsAreLoadedOnlyForFilesTheRegistryReads)
{
    // The shipped plug-ins lie beside the program; the dynamic loader names each library it opens.
    TKroPNG png;
    png.Assign(test::NoiseBitmap(8, 8, 1));
    png.SaveToFile(Path("noise.png"));
    TJPEGImage jpeg;
    jpeg.Assign(test::NoiseBitmap(8, 8, 2));
    jpeg.SaveToFile(Path("noise.jpg"));
    fs::copy_file(Path("red.bmp"), Path("red.unknown"));

    RunResult r = Run("red.bmp noise.png noise.jpg -o out.png", "LD_DEBUG=files");
    ASSERT_EQ(r.status, 0) << r.errors;
    EXPECT_EQ(r.errors.find(".spi"), std::string::npos) << "a join of built-in formats loaded a plug-in";

    r = Run("red.bmp red.unknown -o out.png", "LD_DEBUG=files");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.errors.find("gz_gif.spi"), std::string::npos) << "the registry was asked without its plug-ins";
    EXPECT_NE(r.errors.find("拡張子 .unknown の画像形式は処理できません"), std::string::npos);
}
