// Without Wine: telling Windows libraries by their header, and the text of the per-user cache
// of Windows plug-in information.

#include "SusieTestKit.h"

#include "susie/WinePlugin.h"
#include "susie/WinePluginCache.h"

#include <gtest/gtest.h>

namespace gz::test {
namespace {

// The start of a Windows library: the old header pointing at "PE\0\0" and the machine.
std::vector<std::uint8_t> PeHeader(std::uint16_t machine, std::uint32_t at = 0x80)
{
    std::vector<std::uint8_t> v(at + 24, 0);
    v[0] = 'M';
    v[1] = 'Z';
    for (int i = 0; i < 4; ++i)
        v[0x3C + std::size_t(i)] = std::uint8_t(at >> (8 * i));
    v[at] = 'P';
    v[at + 1] = 'E';
    v[at + 4] = std::uint8_t(machine);
    v[at + 5] = std::uint8_t(machine >> 8);
    return v;
}

TEST(WindowsLibraries, AreToldByTheirHeaderNotTheirName)
{
    ScratchDir dir;
    WriteFile(dir / "a.spi", PeHeader(0x014C));
    WriteFile(dir / "b.dat", PeHeader(0x8664));
    WriteFile(dir / "c.spi", PeHeader(0xAA64)); // another processor
    auto noPe = PeHeader(0x014C);
    noPe[0x81] = 'X';
    WriteFile(dir / "d.sph", noPe);
    auto far = PeHeader(0x014C);
    far[0x3F] = 0x7F; // the header would be 2 GB into the file
    WriteFile(dir / "e.spi", far);
    WriteFile(dir / "f.spi", {'M', 'Z'});
    EXPECT_EQ(WindowsLibraryBits(dir / "a.spi"), 32);
    EXPECT_EQ(WindowsLibraryBits(dir / "b.dat"), 64);
    EXPECT_EQ(WindowsLibraryBits(dir / "c.spi"), -1);
    EXPECT_EQ(WindowsLibraryBits(dir / "d.sph"), 0);
    EXPECT_EQ(WindowsLibraryBits(dir / "e.spi"), 0);
    EXPECT_EQ(WindowsLibraryBits(dir / "f.spi"), 0);
    EXPECT_EQ(WindowsLibraryBits(dir / "missing.spi"), 0);
    EXPECT_EQ(WindowsLibraryBits(ShippedPluginDir() + "/gz_pnm.spi"), 0);
    EXPECT_TRUE(IsWindowsOnlyPluginName("/x/y.SPH"));
    EXPECT_FALSE(IsWindowsOnlyPluginName("/x.sph/y"));
    EXPECT_FALSE(IsWindowsOnlyPluginName("y.spi"));
}

TEST(WindowsPluginCache, KeepsEveryByteOfPathsAndTexts)
{
    TWinePluginRecord a;
    a.Path = "/home/u/プラグイン 100%/x.spi";
    a.Size = 123456;
    a.ModifiedNs = 1700000000123456789;
    a.Bits = 32;
    a.Loadable = true;
    a.Exports = 0x1D;
    a.Infos = {{0, 4, "00IN"}, {1, 20, "name with spaces\tand tab"}, {2, 5, "*.abc"}, {3, 0, ""},
               {4, -1, std::string("\x01\x7F=%", 4)}};
    TWinePluginRecord b;
    b.Path = "/b.sph";
    b.Bits = 64;
    b.Reason = "LoadLibrary failed (error 193)";
    const auto back = TWinePluginCache::Parse(TWinePluginCache::Format({a, b}));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Path, a.Path);
    EXPECT_EQ(back[0].Size, a.Size);
    EXPECT_EQ(back[0].ModifiedNs, a.ModifiedNs);
    EXPECT_TRUE(back[0].Loadable);
    EXPECT_EQ(back[0].Exports, a.Exports);
    EXPECT_EQ(back[0].Infos, a.Infos);
    EXPECT_EQ(back[1].Bits, 64);
    EXPECT_FALSE(back[1].Loadable);
    EXPECT_EQ(back[1].Reason, b.Reason);

    // Anything else is no cache at all, not half of one.
    const std::string text = TWinePluginCache::Format({a, b});
    for (const std::string& bad : std::vector<std::string>{"something else\n", text + "Q unknown line\n",
                                   "gazorin windows plug-in cache 1\nI 0 4 =00IN\n",
                                   "gazorin windows plug-in cache 1\nP =/a 1 2 16 1 0 =\n",
                                   "gazorin windows plug-in cache 1\nP =/a%4 1 2 32 1 0 =\n"})
        EXPECT_TRUE(TWinePluginCache::Parse(bad).empty()) << bad;
}

TEST(WindowsPluginCache, FindsOnlyTheFileAsItIsNow)
{
    ScratchDir dir, cache;
    setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
    WriteFile(dir / "p.spi", PeHeader(0x014C));
    TWinePluginRecord r;
    r.Path = dir / "p.spi";
    ASSERT_TRUE(WinePluginFileStamp(r.Path, r.Size, r.ModifiedNs));
    r.Loadable = true;
    WinePluginCache().Store(r);
    EXPECT_TRUE(WinePluginCache().Find(r.Path).has_value());
    WriteFile(dir / "p.spi", PeHeader(0x8664, 0x90)); // changed: another size
    EXPECT_FALSE(WinePluginCache().Find(r.Path).has_value());
    EXPECT_FALSE(WinePluginCache().Find(dir / "q.spi").has_value());
    unsetenv("XDG_CACHE_HOME");
}

} // namespace
} // namespace gz::test
