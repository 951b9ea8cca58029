// The plug-in host: the single instance, classifying plug-ins, reading their information,
// searching folders, registering extensions and choosing the loaders for a file.

#include "SusieTestKit.h"

#include "registry/PictureFormats.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace gz::test {
namespace {

const char* kSusieKey = "[\\Software\\Pelowind\\Susie\\Plug-in]\n";

class SPIsTest : public ::testing::Test {
protected:
    void SetUp() override { InitializeSusiePictures(); }
    void TearDown() override { FinalizeSusiePictures(); }

    std::vector<std::string> FileNames(const TSPIs& host)
    {
        std::vector<std::string> names;
        for (int i = 0; i < host.Count(); ++i)
            names.push_back(host.Items(i).FileName());
        return names;
    }
    ScratchDir dir;
};

TEST_F(SPIsTest, OnlyOneHostAtATime)
{
    auto first = std::make_unique<TSPIs>();
    EXPECT_EQ(TSPIs::Instance(), first.get());
    try {
        TSPIs second;
        FAIL() << "a second host was created";
    } catch (const ESPIDupCreateSPIs& e) {
        EXPECT_STREQ(e.what(), "TSPIs は複数生成できません");
    }
    EXPECT_EQ(TSPIs::Instance(), first.get());
    first.reset();
    EXPECT_EQ(TSPIs::Instance(), nullptr);
    TSPIs again;
    EXPECT_EQ(TSPIs::Instance(), &again);
    EXPECT_EQ(again.SearchOptions, (TSPISearchOptions{spsSusieDir, spsAppDir}));
    EXPECT_TRUE(again.AutoSearch);
    EXPECT_TRUE(again.MacBinary);
    EXPECT_FALSE(again.GraphicPreview);
}

struct KindCase {
    const char* plugin;
    const char* className; // empty: the file is skipped
};

class CreateSPIKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(CreateSPIKinds, ChoosesTheClassByTheExactApiKind)
{
    const auto spi = TSPIs::CreateSPI(TestPlugin(GetParam().plugin));
    if (!*GetParam().className) {
        EXPECT_EQ(spi, nullptr);
        return;
    }
    ASSERT_NE(spi, nullptr);
    EXPECT_EQ(spi->ClassType().Name, GetParam().className);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CreateSPIKinds,
                         ::testing::Values(KindCase{"tp_good", "TInSPI"}, KindCase{"tp_lowercase", "TSPI"},
                                           KindCase{"tp_unknown", "TSPI"}, KindCase{"tp_archive", "TAmSPI"},
                                           KindCase{"tp_xn", "TXnSPI"}, KindCase{"tp_noinfo", ""},
                                           KindCase{"tp_nosupported", ""}, KindCase{"tp_nogetpicture", ""},
                                           KindCase{"tp_archive_nofile", ""}, KindCase{"no_such_plugin", ""}),
                         [](const auto& info) { return std::string(info.param.plugin); });

TEST_F(SPIsTest, FailuresCarryTheirMessages)
{
    const std::string missing = dir / "missing.spi";
    try {
        TSPI::Create(missing);
        FAIL();
    } catch (const ESPIFOpenErrorSPI& e) {
        EXPECT_EQ(e.Message(), missing + ":Susie Pluginがロードできませんでした");
    }
    WriteFile(dir / "junk.spi", {'n', 'o', 't', ' ', 'E', 'L', 'F'});
    EXPECT_THROW(TSPI::Create(dir / "junk.spi"), ESPIFOpenErrorSPI);

    const std::string noInfo = TestPlugin("tp_noinfo");
    try {
        TSPI::Create(noInfo);
        FAIL();
    } catch (const ESPIInvalidAPI& e) {
        EXPECT_EQ(e.Message(), "GetPluginInfoは[" + noInfo + "]では使えないSusie Plugin APIです");
    }
    try {
        InSPIClass().Create(TestPlugin("tp_nogetpicture"));
        FAIL();
    } catch (const ESPIInvalidAPI& e) {
        EXPECT_EQ(e.Message(), "GetPictureは[" + TestPlugin("tp_nogetpicture") + "]では使えないSusie Plugin APIです");
    }
    // A wrapper whose entry point is absent.
    const auto spi = TSPIs::CreateSPI(TestPlugin("tp_nopreview"));
    ASSERT_NE(spi, nullptr);
    SusieHandle a = nullptr, b = nullptr;
    try {
        static_cast<TInSPI&>(*spi).GetPreview("x", 0, 0, &a, &b, nullptr, 0);
        FAIL();
    } catch (const ESPIInvalidAPI& e) {
        EXPECT_EQ(e.Message(), "GetPreviewは[" + spi->FileName() + "]では使えないSusie Plugin APIです");
    }
}

TEST_F(SPIsTest, ReadsPluginInformationUpToTheFirstGap)
{
    const auto good = TSPIs::CreateSPI(TestPlugin("tp_good"));
    ASSERT_NE(good, nullptr);
    EXPECT_EQ(good->APIVersion(), "00IN");
    EXPECT_EQ(good->PluginName(), "Gazorin test plug-in");
    EXPECT_EQ(good->Extensions(), std::vector<std::string>{"*.tst"});
    EXPECT_EQ(good->Descriptions(), std::vector<std::string>{"Test picture"});
    EXPECT_EQ(good->FileName(), TestPlugin("tp_good"));

    const auto patternsOnly = TSPIs::CreateSPI(TestPlugin("tp_info2only"));
    ASSERT_NE(patternsOnly, nullptr);
    EXPECT_TRUE(patternsOnly->Extensions().empty());
    EXPECT_TRUE(patternsOnly->Descriptions().empty());

    const auto two = TSPIs::CreateSPI(TestPlugin("tp_patterns"));
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(two->Extensions(), (std::vector<std::string>{"*.AAA;*.bbb", "ccc"}));
    EXPECT_EQ(two->Descriptions(), (std::vector<std::string>{"Two patterns", "No dot"}));
}

TEST_F(SPIsTest, RegistersImagePluginExtensionsFromTheLastPattern)
{
    TSPIs host;
    std::vector<std::string> asked;
    host.OnPictureRegister = [&](TSPIs&, TInSPI&, const std::string& ext, const std::string& description,
                                 const TGraphicClass*& cls) {
        asked.push_back(ext + "=" + description);
        if (ext == "ccc")
            cls = nullptr; // withheld by the handler
    };
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_patterns")));
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_info2only")));
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_lowercase"))); // not an image plug-in: nothing registered
    EXPECT_EQ(asked, (std::vector<std::string>{"bbb=Two patterns", "AAA=Two patterns", "ccc=No dot"}));
    EXPECT_EQ(FindPictureClass("aaa"), &SPIBitmapClass());
    EXPECT_EQ(FindPictureClass("BBB"), &SPIBitmapClass());
    EXPECT_EQ(FindPictureClass("ccc"), nullptr);
    EXPECT_EQ(BuildPictureFilter(SPIBitmapClass()),
              "すべてのファイル (*.aaa;*.bbb)|*.aaa;*.bbb|Two patterns (*.aaa)|*.aaa|Two patterns (*.bbb)|*.bbb");

    // Without a default class nothing is registered; deleting keeps the registrations.
    FinalizeSusiePictures();
    TSPIs::SetDefaultGraphicClass(nullptr);
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_good")));
    EXPECT_EQ(FindPictureClass("tst"), nullptr);
    InitializeSusiePictures();
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_good")));
    host.Delete(host.Count() - 1);
    EXPECT_EQ(FindPictureClass("TST"), &SPIBitmapClass());
}

TEST_F(SPIsTest, SearchesTheSusieFolderThenTheProgramFolder)
{
    const std::string a = CopyTestPlugin("tp_xyz", dir, "A.SPI");
    const std::string b = CopyTestPlugin("tp_good", dir, "b.spi");
    CopyTestPlugin("tp_good", dir, ".hidden.spi");
    CopyTestPlugin("tp_noinfo", dir, "c.spi");
    CopyTestPlugin("tp_good", dir, "d.spx");
    WriteFile(dir / "junk.spi", {'M', 'Z'});
    std::filesystem::create_directory(dir.Path() / "folder.spi");

    RegistryFile store(std::string(kSusieKey) + "Path=sz:" + dir.Path().string() + "\n");
    TSPIs host;
    host.Search("*.spi");
    const auto names = FileNames(host);
    ASSERT_GE(names.size(), 7u);
    EXPECT_EQ(names[0], a);
    EXPECT_EQ(names[1], b);
    std::vector<std::string> rest(names.begin() + 2, names.end());
    for (const char* shipped : {"gz_gif.spi", "gz_pnm.spi", "gz_tga.spi", "gz_tiff.spi", "gz_webp.spi"})
        EXPECT_EQ(std::count(rest.begin(), rest.end(), ShippedPluginDir() + "/" + shipped), 1) << shipped;

    // A second search finds everything loaded already.
    const int count = host.Count();
    host.Search("*.spi");
    EXPECT_EQ(host.Count(), count);
    EXPECT_EQ(host.IndexOf(b.substr(0, b.size() - 5) + "B.SPI"), 1); // letter case ignored
}

TEST_F(SPIsTest, ProgramFolderAloneOrOnceWhenItIsAlsoTheSusieFolder)
{
    std::vector<std::string> onlyProgram;
    {
        RegistryFile store("");
        auto host = CreateMainWindowSPIs();
        onlyProgram = FileNames(*host);
        for (const auto& name : onlyProgram)
            EXPECT_EQ(std::filesystem::path(name).parent_path(), ShippedPluginDir());
        EXPECT_EQ(FindPictureClass("webp"), &SPIBitmapClass());
    }
    {
        RegistryFile store(std::string(kSusieKey) + "Path=sz:" + ShippedPluginDir() + "/\n");
        auto host = CreateMainWindowSPIs();
        EXPECT_EQ(FileNames(*host), onlyProgram);
    }
    // The Susie folder names the program folder through a symbolic link: still once each,
    // under the Susie folder's spelling, which is searched first.
    std::filesystem::create_directory_symlink(ShippedPluginDir(), dir.Path() / "link");
    RegistryFile store(std::string(kSusieKey) + "Path=sz:" + dir.Folder() + "link/../link\n");
    auto host = CreateMainWindowSPIs();
    const auto names = FileNames(*host);
    ASSERT_EQ(names.size(), onlyProgram.size());
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(names[i], dir.Folder() + "link/" + std::filesystem::path(onlyProgram[i]).filename().string());
}

TEST_F(SPIsTest, APluginLinkedUnderAnotherNameLoadsOnce)
{
    std::size_t shipped = 0;
    {
        RegistryFile store("");
        shipped = std::size_t(CreateMainWindowSPIs()->Count());
    }
    std::filesystem::create_symlink(ShippedPluginDir() + "/gz_pnm.spi", dir.Path() / "anymap.spi");
    RegistryFile store(std::string(kSusieKey) + "Path=sz:" + dir.Path().string() + "\n");
    auto host = CreateMainWindowSPIs();
    const auto names = FileNames(*host);
    ASSERT_EQ(names.size(), shipped);
    EXPECT_EQ(names.front(), dir / "anymap.spi");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size());
}

TEST_F(SPIsTest, AMaskWithAFolderSearchesOnlyThatFolder)
{
    CopyTestPlugin("tp_good", dir, "one.spi");
    CopyTestPlugin("tp_xyz", dir, "two.spi");
    TSPIs host;
    host.SearchOptions = {spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir};
    host.Search(dir.Folder() + "t*.SPI");
    EXPECT_EQ(FileNames(host), std::vector<std::string>{dir / "two.spi"});
}

TEST_F(SPIsTest, SearchEventsDecideWhatIsLoaded)
{
    CopyTestPlugin("tp_good", dir, "1.spi");
    CopyTestPlugin("tp_good", dir, "2.spi");
    CopyTestPlugin("tp_good", dir, "3.spi");
    CopyTestPlugin("tp_good", dir, "4.spi");
    TSPIs host;
    std::vector<std::string> asked;
    host.OnSearching = [&](TSPIs&, const std::string& file, bool& accept) {
        asked.push_back(std::filesystem::path(file).filename());
        accept = asked.back() != "1.spi";
    };
    host.OnSearch = [&](TSPIs&, TSPI& spi, bool& accept) {
        const auto name = std::filesystem::path(spi.FileName()).filename();
        if (name == "2.spi")
            accept = false;
        if (name == "3.spi")
            throw std::runtime_error("absorbed");
    };
    host.Search(dir.Folder() + "*.spi");
    EXPECT_EQ(asked, (std::vector<std::string>{"1.spi", "2.spi", "3.spi", "4.spi"}));
    EXPECT_EQ(FileNames(host), std::vector<std::string>{dir / "4.spi"});

    host.OnSearching = [](TSPIs&, const std::string&, bool&) { throw std::runtime_error("passes"); };
    EXPECT_THROW(host.Search(dir.Folder() + "*.spi"), std::runtime_error);
}

TEST_F(SPIsTest, CollectLoadersPutsClaimingPluginsFirstLatestFirst)
{
    TSPIs host;
    host.Add(TSPIs::CreateSPI(CopyTestPlugin("tp_ord", dir, "p1.spi")));
    host.Add(TSPIs::CreateSPI(CopyTestPlugin("tp_xyz", dir, "p2.spi")));
    host.Add(TSPIs::CreateSPI(TestPlugin("tp_lowercase"))); // a plain TSPI: never a loader
    host.Add(TSPIs::CreateSPI(CopyTestPlugin("tp_ord", dir, "p3.spi")));
    TSPI* p1 = &host.Items(0);
    TSPI* p2 = &host.Items(1);
    TSPI* p3 = &host.Items(3);
    auto collect = [&](const std::string& name) {
        std::vector<TSPI*> list;
        host.CollectLoaders({&InSPIClass()}, name, list);
        return list;
    };
    EXPECT_EQ(collect("/pictures/photo.ORD"), (std::vector<TSPI*>{p3, p1, p2}));
    EXPECT_EQ(collect(".xyz"), (std::vector<TSPI*>{p2, p1, p3}));
    EXPECT_EQ(collect("noextension"), (std::vector<TSPI*>{p1, p2, p3}));
    EXPECT_EQ(collect("folder.ord/file"), (std::vector<TSPI*>{p1, p2, p3}));
    std::vector<TSPI*> all;
    host.CollectLoaders({&SPIClass()}, "a.ord", all);
    EXPECT_EQ(all.size(), 4u);

    host.GraphicForcedLoader = static_cast<TInSPI*>(p3);
    host.Delete(3);
    EXPECT_EQ(host.GraphicForcedLoader, nullptr);
}

} // namespace
} // namespace gz::test
