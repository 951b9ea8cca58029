// Windows plug-ins through Wine: our PNM and TGA plug-ins built for Windows (32-bit ".spi",
// 64-bit ".sph") against their Linux builds, found and ordered like any plug-in, the per-user
// cache, abort, and plug-ins that crash, exit, hang or lie, which must cost one failed attempt
// and nothing more. Every test runs in this one process, so the bridges start few times.

#include "../susie/SusieTestKit.h"
#include "WineTestKit.h"

#include "platform/Exceptions.h"
#include "platform/Bitmap.h"
#include "platform/Streams.h"
#include "png/KroPNG.h"
#include "registry/PictureFormats.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"
#include "susie/WineBridge.h"
#include "susie/WinePlugin.h"
#include "susie/WinePluginCache.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace gz::test {
namespace {

class WinePlugins : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = WineTestsUnavailable(); !why.empty())
            GTEST_SKIP() << "Windows plug-ins not tested: " << why;
        setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
        InitializeSusiePictures();
    }
    void TearDown() override
    {
        FinalizeSusiePictures();
        TWineBridge::SetCallTimeout(std::chrono::seconds(30));
    }

    // The plug-in at path alone in the host, as an image plug-in.
    TInSPI& Add(const std::string& path)
    {
        const int before = host.Count();
        host.Search(path);
        EXPECT_EQ(host.Count(), before + 1) << path;
        if (host.Count() == before)
            throw std::runtime_error("not loaded: " + path);
        return dynamic_cast<TInSPI&>(host.Items(host.Count() - 1));
    }

    // The bitmap file image of file decoded by plugin alone; empty when it could not decode.
    std::vector<std::uint8_t> Decode(TInSPI& plugin, const std::string& file, bool fromMemory = false)
    {
        host.GraphicForcedLoader = &plugin;
        TSPIGraphic picture;
        try {
            if (fromMemory) {
                TMemoryStream source;
                source.LoadFromFile(file);
                picture.LoadFromStreamWithName(source, "");
            } else {
                picture.LoadFromFile(file);
            }
        } catch (const EInvalidGraphic& e) {
            EXPECT_STREQ(e.what(), kSPICouldNotDecode);
            return {};
        }
        TMemoryStream image;
        picture.SaveToStream(image);
        return {image.Memory(), image.Memory() + image.Size()};
    }

    std::string Save(const std::string& name, const std::string& bytes)
    {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return dir / name;
    }

    ScratchDir dir, cache;
    TSPIs host;
};

std::string Tga(int type, int bits, int w, int h, bool topFirst, int mapBits = 0)
{
    std::string t(18, '\0');
    t[1] = char(mapBits ? 1 : 0);
    t[2] = char(type);
    if (mapBits) {
        t[5] = 4; // four entries
        t[7] = char(mapBits);
    }
    t[12] = char(w);
    t[14] = char(h);
    t[16] = char(bits);
    t[17] = char(topFirst ? 0x20 : 0);
    for (int i = 0; mapBits && i < 4 * mapBits / 8; ++i)
        t += char(i * 40 + 3);
    const int bytes = (bits + 7) / 8;
    for (int p = 0; p < w * h; ++p) {
        if (type & 8)
            t += char(p % 3 == 0 ? 0x81 : 0x00); // alternately runs of two and raw pixels
        for (int b = 0; b < bytes; ++b)
            t += char(mapBits ? (p % 4) : (p * 29 + b * 71) & 0xFF);
        if ((type & 8) && p % 3 == 0)
            ++p;
    }
    return t;
}

std::string Ppm(int w, int h)
{
    std::string s = "P6\n# made by a test\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int i = 0; i < w * h * 3; ++i)
        s += char((i * 7 + i / (3 * w)) & 0xFF);
    return s;
}

TEST_F(WinePlugins, DecodeByteForByteLikeTheirLinuxBuilds)
{
    TInSPI& pnm = Add(ShippedPluginDir() + "/gz_pnm.spi");
    TInSPI& tga = Add(ShippedPluginDir() + "/gz_tga.spi");
    TInSPI& pnm32 = Add(kWindowsPlugins + "/gz_pnm.spi");
    TInSPI& pnm64 = Add(kWindowsPlugins + "/gz_pnm.sph");
    TInSPI& tga32 = Add(kWindowsPlugins + "/gz_tga.spi");
    TInSPI& tga64 = Add(kWindowsPlugins + "/gz_tga.sph");
    for (TInSPI* p : {&pnm32, &pnm64, &tga32, &tga64}) {
        EXPECT_EQ(p->APIVersion(), "00IN");
        EXPECT_EQ(p->Extensions().size(), 1u);
    }
    EXPECT_EQ(pnm64.Extensions(), pnm.Extensions());
    EXPECT_EQ(pnm64.Descriptions(), pnm.Descriptions());
    EXPECT_EQ(tga32.PluginName(), tga.PluginName());

    const std::vector<std::string> anymaps = {
        Save("p1.pbm", "P1 5 3\n1 0 1 0 1\n01010\n1 1 1 0 0\n"),
        Save("p2.pgm", "P2 3 2 65535\n0 32768 65535\n1 2 3\n"),
        Save("p3.ppm", "P3 2 2 15\n0 0 0 15 0 0\n0 15 0 0 0 15\n"),
        Save("p4.pbm", std::string("P4\n11 2\n\xA5\xE0\x5A\x1F", 12)),
        Save("p6.ppm", Ppm(13, 7)),
        Save("big.ppm", Ppm(1500, 1000)), // megabytes through the pipe, progress on the way
    };
    const std::vector<std::string> targas = {
        Save("true24.tga", Tga(2, 24, 7, 5, false)), Save("true32.tga", Tga(2, 32, 7, 5, true)),
        Save("true16.tga", Tga(2, 16, 7, 5, false)), Save("rle24.tga", Tga(10, 24, 7, 5, true)),
        Save("grey.tga", Tga(3, 8, 7, 5, false)),    Save("mapped.tga", Tga(1, 8, 7, 5, false, 24)),
    };
    auto compare = [&](TInSPI& linux, TInSPI& windows, const std::string& file) {
        SCOPED_TRACE(file + " through " + windows.FileName());
        const auto expected = Decode(linux, file);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(Decode(windows, file), expected);
        EXPECT_EQ(Decode(windows, file, true), expected);
    };
    for (const auto& file : anymaps)
        for (TInSPI* windows : {&pnm32, &pnm64})
            compare(pnm, *windows, file);
    for (const auto& file : targas)
        for (TInSPI* windows : {&tga32, &tga64})
            compare(tga, *windows, file);

    // Behind a 128-byte MacBinary header: declined at offset 0, decoded at 128.
    const std::string macBinary = Save("mac.ppm", std::string(128, 'M') + Ppm(4, 3));
    EXPECT_EQ(Decode(pnm32, macBinary), Decode(pnm, Save("plain.ppm", Ppm(4, 3))));
    EXPECT_EQ(Decode(pnm64, macBinary, true), Decode(pnm, dir / "plain.ppm"));
    host.MacBinary = false;
    EXPECT_TRUE(Decode(pnm32, macBinary).empty());

    // A broken picture is refused the same way.
    EXPECT_TRUE(Decode(pnm64, Save("short.ppm", "P6 100 100 255\nabc")).empty());
    EXPECT_TRUE(Decode(tga32, Save("short.tga", Tga(2, 24, 7, 5, false).substr(0, 40))).empty());
}

TEST_F(WinePlugins, FoundOrderedAndRegisteredLikeAnyPlugin)
{
    fs::copy_file(kWindowsPlugins + "/gz_pnm.spi", dir / "a.spi");
    fs::copy_file(kWindowsPlugins + "/gz_pnm.sph", dir / "b.SPH");
    fs::copy_file(ShippedPluginDir() + "/gz_pnm.spi", dir / "c.spi");
    fs::copy_file(kWindowsPlugins + "/gz_tga.sph", dir / "d.spi"); // a Windows library by its header
    fs::copy_file(kRogues + "/rogue_not_a_plugin.spi", dir / "e.spi");
    fs::copy_file(kWindowsPlugins + "/gz_tga.spi", dir / "f.spx");
    Save("g.sph", "#!/bin/sh\n"); // no Windows library

    testing::internal::CaptureStderr();
    host.Search(dir.Folder() + "*.spi");
    const std::string log = testing::internal::GetCapturedStderr();
    std::vector<std::string> names;
    for (int i = 0; i < host.Count(); ++i)
        names.push_back(fs::path(host.Items(i).FileName()).filename());
    EXPECT_EQ(names, (std::vector<std::string>{"a.spi", "b.SPH", "c.spi", "d.spi"}));
    EXPECT_NE(log.find(dir / "e.spi"), std::string::npos) << log;
    EXPECT_NE(log.find(dir / "g.sph"), std::string::npos) << log;

    EXPECT_EQ(FindPictureClass("ppm"), &SPIBitmapClass());
    EXPECT_EQ(FindPictureClass("tpic"), &SPIBitmapClass());
    std::vector<TSPI*> loaders;
    host.CollectLoaders({&InSPIClass()}, "x.PPM", loaders);
    ASSERT_EQ(loaders.size(), 4u);
    EXPECT_EQ(loaders[0], &host.Items(2)); // the claiming ones, the latest loaded first
    EXPECT_EQ(loaders[1], &host.Items(1));
    EXPECT_EQ(loaders[2], &host.Items(0));
    EXPECT_EQ(loaders[3], &host.Items(3));

    // The program's way: by extension, as TSPIBitmap; a Windows plug-in decodes the Targa.
    const auto picture = LoadPictureByExtension(Save("x.tga", Tga(10, 24, 7, 5, true)));
    EXPECT_EQ(picture->ClassName(), "TSPIBitmap");
    EXPECT_EQ(picture->Width(), 7);

    // A name relative to this process's current folder, which is not the bridge's.
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    std::unique_ptr<TGraphic> relative;
    EXPECT_NO_THROW(relative = LoadPictureByExtension("x.tga"));
    fs::current_path(before);
    ASSERT_NE(relative, nullptr);
    EXPECT_EQ(relative->Width(), 7);
}

TEST_F(WinePlugins, PluginInformationIsCachedSoAStartNeedsNoWine)
{
    const std::string plugin = dir / "pnm.sph";
    fs::copy_file(kWindowsPlugins + "/gz_pnm.sph", plugin);
    WineBridge(64).Reset();
    Add(plugin);
    EXPECT_TRUE(WineBridge(64).Running()); // asked the bridge: nothing was known
    const std::string cacheFile = TWinePluginCache::DefaultFile();
    ASSERT_TRUE(fs::exists(cacheFile));
    EXPECT_EQ(cacheFile.rfind(cache.Path().string(), 0), 0u);

    WineBridge(64).Reset();
    host.Clear();
    const auto before = WineBridge(64).Pid();
    TInSPI& warm = Add(plugin);
    EXPECT_FALSE(WineBridge(64).Running()); // everything came from the cache
    EXPECT_EQ(before, WineBridge(64).Pid());
    EXPECT_EQ(warm.Extensions(), std::vector<std::string>{"*.pnm;*.pbm;*.pgm;*.ppm"});
    EXPECT_FALSE(Decode(warm, Save("x.ppm", Ppm(3, 2))).empty()); // the first call starts it
    EXPECT_TRUE(WineBridge(64).Running());

    // A changed file is asked about again.
    host.Clear();
    fs::last_write_time(plugin, fs::last_write_time(plugin) + std::chrono::seconds(5));
    WineBridge(64).Reset();
    Add(plugin);
    EXPECT_TRUE(WineBridge(64).Running());
}

TEST_F(WinePlugins, WithoutWineWindowsPluginsAreSkippedWithOneMessage)
{
    fs::copy_file(kWindowsPlugins + "/gz_pnm.spi", dir / "a.spi");
    fs::copy_file(kWindowsPlugins + "/gz_tga.spi", dir / "b.spi");
    fs::copy_file(ShippedPluginDir() + "/gz_tga.spi", dir / "c.spi");
    setenv("GAZORIN_WINE", (dir / "no-wine").c_str(), 1);
    WineBridge(32).Reset();
    testing::internal::CaptureStderr();
    host.Search(dir.Folder() + "*.spi");
    const std::string log = testing::internal::GetCapturedStderr();
    unsetenv("GAZORIN_WINE");
    WineBridge(32).Reset();
    ASSERT_EQ(host.Count(), 1);
    EXPECT_EQ(host.Items(0).FileName(), dir / "c.spi");
    EXPECT_NE(log.find("Wine is not installed"), std::string::npos) << log;
    EXPECT_EQ(log.find("Wine is not installed"), log.rfind("Wine is not installed")) << log;
}

TEST_F(WinePlugins, AbortThroughTheCallbackFailsTheAttemptOnly)
{
    TInSPI& pnm = Add(kWindowsPlugins + "/gz_pnm.spi");
    const std::string file = Save("big.ppm", Ppm(600, 400));
    host.GraphicForcedLoader = &pnm;
    std::vector<int> percents;
    TSPIGraphic picture;
    picture.OnProgress = [&](TGraphic&, TProgressStage stage, std::uint8_t percent, bool, const TRect&,
                             const std::string&) {
        if (stage == psRunning && percent > 1) {
            percents.push_back(percent);
            if (percents.size() == 2)
                throw EAbort();
        }
    };
    EXPECT_THROW(picture.LoadFromFile(file), EInvalidGraphic);
    EXPECT_EQ(percents.size(), 2u); // the plug-in stopped when told
    for (int p : percents)
        EXPECT_TRUE(p >= 2 && p <= 99) << p;
    const pid_t pid = WineBridge(32).Pid();
    EXPECT_FALSE(Decode(pnm, file).empty());
    EXPECT_EQ(WineBridge(32).Pid(), pid); // the same bridge, still serving
}

struct Rogue {
    const char* name;
    bool decodes;   // the attempt may succeed
    bool restarts;  // the bridge is stopped on the way
};

TEST_F(WinePlugins, MisbehavingPluginsCostOneFailedAttempt)
{
    TWineBridge::SetCallTimeout(std::chrono::milliseconds(1500));
    TInSPI& good = Add(kWindowsPlugins + "/gz_pnm.spi");
    const std::string picture = Save("x.rog", "ROGU");
    const std::string anymap = Save("x.ppm", Ppm(5, 4));
    const auto expected = Decode(good, anymap);
    ASSERT_FALSE(expected.empty());
    for (const Rogue r : {Rogue{"good", true, false}, Rogue{"crash", false, true}, Rogue{"exit", false, true},
                          Rogue{"hang", false, true}, Rogue{"huge", false, false}, Rogue{"error_handles", false, false},
                          Rogue{"chatty", true, false}, Rogue{"slow", true, false}}) {
        SCOPED_TRACE(r.name);
        TInSPI& rogue = Add(kRogues + "/rogue_" + r.name + ".spi");
        const pid_t pid = WineBridge(32).Pid();
        testing::internal::CaptureStderr();
        const auto started = std::chrono::steady_clock::now();
        const auto image = Decode(rogue, picture);
        const auto took = std::chrono::steady_clock::now() - started;
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(!image.empty(), r.decodes);
        EXPECT_LT(took, std::chrono::seconds(10));
        EXPECT_EQ(WineBridge(32).Pid() != pid, r.restarts) << log;
        if (r.restarts) {
            EXPECT_NE(log.find("rogue_" + std::string(r.name)), std::string::npos) << log;
        }
        // The program still works, through a bridge started again if need be.
        EXPECT_EQ(Decode(good, anymap), expected);
    }

    // A plug-in's preview, asked for while the open dialog shows (the PNM plug-in has none).
    host.GraphicPreview = true;
    TSPIGraphic preview;
    host.GraphicForcedLoader = &dynamic_cast<TInSPI&>(host.Items(host.IndexOf(kRogues + "/rogue_good.spi")));
    preview.LoadFromFile(picture);
    EXPECT_EQ(preview.Width(), 1);
    EXPECT_EQ(Decode(good, anymap), expected);
}

TEST_F(WinePlugins, ABridgeThatDiedStartsAgainOnNextUse)
{
    TInSPI& pnm32 = Add(kWindowsPlugins + "/gz_pnm.spi");
    TInSPI& pnm64 = Add(kWindowsPlugins + "/gz_pnm.sph");
    const std::string file = Save("x.ppm", Ppm(6, 6));
    const auto expected = Decode(pnm32, file);
    ASSERT_FALSE(expected.empty());
    ASSERT_FALSE(Decode(pnm64, file).empty());
    for (int bits : {32, 64}) {
        const pid_t pid = WineBridge(bits).Pid();
        ASSERT_GT(pid, 0);
        kill(pid, SIGKILL);
        // Dead, not yet reaped: what the host finds of a bridge that ended while it was idle.
        auto state = [&] {
            std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
            std::string line;
            std::getline(stat, line);
            const auto close = line.rfind(')');
            return close == std::string::npos || close + 2 >= line.size() ? 'Z' : line[close + 2];
        };
        for (int i = 0; i < 500 && state() != 'Z'; ++i)
            usleep(10000);
        testing::internal::CaptureStderr();
        const auto image = Decode(bits == 32 ? pnm32 : pnm64, file);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_EQ(image, expected) << bits << log;
        EXPECT_GT(WineBridge(bits).Pid(), 0);
        EXPECT_NE(WineBridge(bits).Pid(), pid);
    }
}

// gazorin-cli from a folder of its own that holds only Windows plug-ins and the bridges.
TEST_F(WinePlugins, TheCommandLineProgramReadsThroughWindowsPlugins)
{
    const fs::path program = dir.Path() / "program";
    fs::create_directory(program);
    for (const std::string& from : {std::string(GAZORIN_CLI), WineBridgeProgram(32), WineBridgeProgram(64),
                                   kWindowsPlugins + "/gz_pnm.spi", kWindowsPlugins + "/gz_tga.sph"})
        fs::copy_file(from, program / fs::path(from).filename());
    const std::string ppm = Save("a.ppm", Ppm(9, 5));
    const std::string tga = Save("b.tga", Tga(10, 24, 7, 5, true));
    auto run = [&](const std::string& cli, const std::string& out) {
        const std::string command = "GAZORIN_REGISTRY=" + (dir / "none") + " '" + cli + "' '" + ppm + "' '" + tga +
                                    "' -o '" + out + "' 2>&1";
        std::string output;
        if (FILE* p = popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, p))
                output += buffer;
            EXPECT_EQ(pclose(p), 0) << output;
        }
        return output;
    };
    EXPECT_EQ(run((program / "gazorin-cli").string(), dir / "windows.png"), "");
    run(GAZORIN_CLI, dir / "linux.png");
    // The same pixels (the files differ in the time written into them).
    auto pixels = [](const std::string& file) {
        TKroPNG png;
        png.LoadFromFile(file);
        TBitmap bitmap;
        png.AssignTo(bitmap);
        std::vector<TColor> all;
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x)
                all.push_back(bitmap.Pixel(x, y));
        return std::make_pair(bitmap.Width(), all);
    };
    EXPECT_EQ(pixels(dir / "windows.png"), pixels(dir / "linux.png"));
    EXPECT_EQ(pixels(dir / "windows.png").first, 9 + 7);

    FILE* p = popen(("'" + (program / "gazorin-cli").string() + "' --version").c_str(), "r");
    char line[256] = {};
    std::string version;
    while (p && std::fgets(line, sizeof line, p))
        version += line;
    if (p)
        pclose(p);
    EXPECT_NE(version.find("Windows plug-ins: available"), std::string::npos) << version;
}

} // namespace
} // namespace gz::test
