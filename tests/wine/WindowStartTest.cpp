// The desktop program's start with a Windows plug-in new to the per-user cache in the plug-in
// folder: the main window is on screen while Wine is still held back, and once the bridge has
// answered the plug-in's format is registered in its place in the search order, as a start
// with a warm cache has it.

#include "../susie/SusieTestKit.h"
#include "WineTestKit.h"

#include "platform/GraphicClass.h"
#include "registry/PictureFormats.h"
#include "susie/SPIBackground.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"
#include "workspace/MainForm.h"
#include "workspace/Startup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTest>

namespace fs = std::filesystem;

namespace gz::test {
namespace {

std::vector<std::string> PluginNames()
{
    std::vector<std::string> names;
    const TSPIs* host = TSPIs::Instance();
    for (int i = 0; host && i < host->Count(); ++i)
        names.push_back(fs::path(host->Items(i).FileName()).filename());
    return names;
}

TEST(WindowsPluginsAtStart, TheMainWindowDoesNotWaitForWine)
{
    if (const std::string why = WineTestsUnavailable(); !why.empty())
        GTEST_SKIP() << "Windows plug-ins not tested: " << why;
    ScratchDir dir, cache;
    setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
    const fs::path gate = dir.Path() / "gate";
    setenv("GAZORIN_WINE", GatedWine(dir.Path(), gate).c_str(), 1);
    // The registry's plug-in folder: a Windows plug-in before a Linux one; the program's own
    // folder follows with the plug-ins we ship.
    const fs::path folder = dir.Path() / "plugins";
    fs::create_directory(folder);
    fs::copy_file(kRogues + "/rogue_good.spi", folder / "a.spi");
    fs::copy_file(ShippedPluginDir() + "/gz_tga.spi", folder / "b.spi");
    const RegistryFile registry("[\\Software\\Pelowind\\Susie\\Plug-in]\nPath=sz:" + folder.string() + "\n");

    const ui::TPictureFormatsRegistration formats;
    const ui::TBackgroundPluginLoading background;
    auto form = std::make_unique<ui::TForm1>();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_NE(TSPIs::Instance(), nullptr);
    EXPECT_TRUE(TSPIs::Instance()->SearchPending()); // on screen, and no bridge could answer yet
    ASSERT_GE(PluginNames().size(), 2u);
    EXPECT_EQ(PluginNames()[0], "b.spi");

    { // A modal dialog holds the update back.
        QDialog dialog(form.get());
        dialog.setModal(true);
        dialog.show();
        EXPECT_FALSE(SPIBackgroundHooks().CanApplyNow());
        dialog.hide();
        EXPECT_TRUE(SPIBackgroundHooks().CanApplyNow());
    }

    std::ofstream(gate) << "";
    ASSERT_TRUE(QTest::qWaitFor([] { return !TSPIs::Instance()->SearchPending(); }, 60000));
    const std::vector<std::string> names = PluginNames();
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names[0], "a.spi");
    EXPECT_EQ(names[1], "b.spi");
    EXPECT_EQ(FindPictureClass("rog"), &SPIBitmapClass());
    const std::string filter = BuildPictureFilter(GraphicBaseClass());

    // The next start finds it in the cache: the same plug-ins, the same formats in the same order.
    form.reset();
    FinalizeSusiePictures();
    InitializeSusiePictures();
    form = std::make_unique<ui::TForm1>();
    EXPECT_FALSE(TSPIs::Instance()->SearchPending());
    EXPECT_EQ(PluginNames(), names);
    EXPECT_EQ(BuildPictureFilter(GraphicBaseClass()), filter);
    form.reset();
    unsetenv("GAZORIN_WINE");
}

} // namespace
} // namespace gz::test

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
