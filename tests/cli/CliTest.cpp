// Runs the built gazorin-cli on real files and checks what it writes and says.

#include "jpeg/JPEGImage.h"
#include "platform/Bitmap.h"
#include "png/KroPNG.h"
#include "support/PhotoFiles.h"
#include "support/Rasters.h"

#include <gtest/gtest.h>

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

    RunResult Run(const std::string& args)
    {
        const std::string errFile = Path("stderr.txt");
        const std::string cmd = "cd '" + dir_.string() + "' && '" GAZORIN_CLI "' " + args + " 2>'" + errFile + "' >/dev/null";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        std::ifstream in(errFile);
        r.errors.assign(std::istreambuf_iterator<char>(in), {});
        fs::remove(errFile);
        return r;
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
                             ":blank red.bmp -o o.png"}) {
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
    test::TPngSpec s(10, 4, 6, 8);
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
