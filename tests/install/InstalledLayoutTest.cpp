// The installed program, as `cmake --install` lays it out under an unusual prefix and as the
// Debian package unpacks: the layout, and gazorin-cli run from it on pictures that only the
// shipped plug-ins decode.

#include "join/FileRaster.h"
#include "support/Rasters.h"
#include "support/TiffFiles.h"

#include <gif_lib.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace gz;
namespace fs = std::filesystem;

namespace {

int Shell(const std::string& command)
{
    const int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

std::string Quoted(const fs::path& path)
{
    std::string quoted(1, '\'');
    quoted.append(path.string()).push_back('\'');
    return quoted;
}

std::vector<std::string> Split(const std::string& list)
{
    std::vector<std::string> items;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty())
            items.push_back(item);
    return items;
}

// Width and height from a PNG file's header; (0, 0) when it is not one.
std::pair<int, int> PngSize(const fs::path& file)
{
    std::array<unsigned char, 24> head{};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(head.data()), head.size()) || head[1] != 'P' || head[12] != 'I')
        return {0, 0};
    const auto be32 = [&](int at) { return head[at] << 24 | head[at + 1] << 16 | head[at + 2] << 8 | head[at + 3]; };
    return {be32(16), be32(20)};
}

TColor GifColour(int x, int y) { return (x / 3 + y) % 2 ? RGBColor(250, 200, 0) : RGBColor(200, 0, 40); }
TColor TiffColour(int x, int y) { return RGBColor(std::uint8_t(x * 20), std::uint8_t(y * 50), 90); }

void WriteGif(const fs::path& path, int w, int h)
{
    int error = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
    ASSERT_NE(gif, nullptr);
    const TColor first = GifColour(0, 0), second = GifColour(3, 0);
    GifColorType colours[2] = {{ColorRed(first), ColorGreen(first), ColorBlue(first)},
                               {ColorRed(second), ColorGreen(second), ColorBlue(second)}};
    ColorMapObject* map = GifMakeMapObject(2, colours);
    ASSERT_EQ(EGifPutScreenDesc(gif, w, h, 1, 0, map), GIF_OK);
    ASSERT_EQ(EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr), GIF_OK);
    std::vector<GifPixelType> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            line[std::size_t(x)] = GifColour(x, y) == first ? 0 : 1;
        ASSERT_EQ(EGifPutLine(gif, line.data(), w), GIF_OK);
    }
    GifFreeMapObject(map);
    ASSERT_EQ(EGifCloseFile(gif, &error), GIF_OK);
}


// GetParam(): "install" for the cmake --install tree, "deb" for the unpacked package.
class InstalledLayout : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("gz-installed-" + std::to_string(::getpid()) + "-" + GetParam());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        if (GetParam() == "install") {
            prefix_ = GAZORIN_INSTALL_TREE;
            return;
        }
        if (Shell("command -v dpkg-deb > /dev/null") != 0)
            GTEST_SKIP() << "dpkg-deb is not installed: the package is not checked";
        fs::path package;
        for (const auto& entry : fs::directory_iterator(GAZORIN_PACKAGE_DIR))
            if (entry.path().filename().string().starts_with("gazorin_") && entry.path().extension() == ".deb")
                package = entry.path();
        ASSERT_FALSE(package.empty()) << "no gazorin_*.deb in " << GAZORIN_PACKAGE_DIR;
        ASSERT_EQ(Shell("dpkg-deb -x " + Quoted(package) + " " + Quoted(dir_ / "root")), 0);
        prefix_ = dir_ / "root/usr";
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_, prefix_;
};

TEST_P(InstalledLayout, ProgramsLinkIntoTheFolderOfThePlugins)
{
    const fs::path programDir = fs::canonical(prefix_ / GAZORIN_INSTALL_PROGRAM_DIR);
    for (const std::string& program : Split(GAZORIN_PROGRAMS)) {
        const fs::path link = prefix_ / "bin" / program;
        ASSERT_TRUE(fs::is_symlink(link)) << link;
        EXPECT_TRUE(fs::read_symlink(link).is_relative()) << link << " must work under any prefix";
        EXPECT_EQ(fs::canonical(link).parent_path(), programDir) << link;
        EXPECT_TRUE(fs::exists(prefix_ / "share/man/man1" / (program + ".1.gz"))) << program;
    }
    for (const std::string& plugin : Split(GAZORIN_PLUGINS))
        EXPECT_TRUE(fs::is_regular_file(programDir / (plugin + ".spi"))) << plugin;
    EXPECT_TRUE(fs::exists(prefix_ / "include/gazorin/susie_plugin.h"));
    EXPECT_TRUE(fs::exists(prefix_ / "share/doc/gazorin/copyright"));
}

TEST_P(InstalledLayout, DesktopEntryAndIconsOfEverySize)
{
    if (!GAZORIN_HAS_GUI)
        GTEST_SKIP() << "built without the desktop program";
    EXPECT_TRUE(fs::exists(prefix_ / "share/applications/gazorin.desktop"));
    EXPECT_TRUE(fs::exists(prefix_ / "share/metainfo" / GAZORIN_METAINFO_NAME));
    const fs::path icons = prefix_ / "share/icons/hicolor";
    EXPECT_TRUE(fs::exists(icons / "scalable/apps/gazorin.svg"));
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const std::string folder = std::to_string(size) + "x" + std::to_string(size);
        EXPECT_EQ(PngSize(icons / folder / "apps/gazorin.png"), std::pair(size, size)) << folder;
    }
    // The desktop program starts from the installed link (no display needed for this answer).
    EXPECT_EQ(Shell(Quoted(prefix_ / "bin/gazorin") + " --version > /dev/null"), 0);
}

TEST_P(InstalledLayout, CliJoinsAGifAndATiffThroughTheShippedPlugins)
{
    ASSERT_NO_FATAL_FAILURE(WriteGif(dir_ / "top.gif", 12, 8));
    ASSERT_NO_FATAL_FAILURE(test::WriteRgbTiff((dir_ / "bottom.tif").string(), 12, 5, 1, [](int x, int y, int) { return TiffColour(x, y); }));
    // No registry file: the program's own folder is the only place plug-ins come from.
    const std::string command = "GAZORIN_REGISTRY=" + Quoted(dir_ / "no-registry") + " " +
                                Quoted(prefix_ / "bin/gazorin-cli") + " " + Quoted(dir_ / "top.gif") +
                                " --direction down " + Quoted(dir_ / "bottom.tif") + " -o " +
                                Quoted(dir_ / "joined.png");
    ASSERT_EQ(Shell(command), 0) << command;

    const TBitmap joined = ui::LoadFileRaster((dir_ / "joined.png").string());
    const TBitmap expected = test::MakeBitmap(12, 13, [](int x, int y) { return y < 8 ? GifColour(x, y) : TiffColour(x, y - 8); });
    EXPECT_EQ(test::FirstDifference(joined, expected), "");
}

INSTANTIATE_TEST_SUITE_P(Trees, InstalledLayout, testing::Values("install", "deb"),
                         [](const auto& info) { return info.param == "deb" ? "UnpackedPackage" : "CmakeInstall"; });

} // namespace
