// Windows plug-ins new to the cache, loaded in the background for a program with an event
// loop: the search does not wait for Wine, the plug-ins arrive in their places in the search
// order only when the owner says the moment is right, a picture needed meanwhile waits for
// them, and closing meanwhile gives them up. Wine is held back by a gate, so "the bridge has
// not answered yet" is a fact, not a race.

#include "../susie/SusieTestKit.h"
#include "WineTestKit.h"

#include "registry/PictureFormats.h"
#include "susie/SPIBackground.h"
#include "susie/SPIBmp.h"
#include "susie/SusieStartup.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace gz::test {
namespace {

using Clock = std::chrono::steady_clock;

// Stands in for an event loop: what the host posts runs on the test's thread, in PumpUntil.
class TestLoop {
public:
    void Post(std::function<void()> fn, std::chrono::milliseconds delay)
    {
        const std::lock_guard<std::mutex> guard(lock_);
        queue_.push_back({Clock::now() + delay, std::move(fn)});
        delayed_ += delay.count() > 0;
        wake_.notify_all();
    }
    int Delayed()
    {
        const std::lock_guard<std::mutex> guard(lock_);
        return delayed_;
    }
    // Runs what is due until done() holds; false when it does not within a minute.
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto limit = Clock::now() + std::chrono::seconds(60);
        while (!done()) {
            if (Clock::now() > limit)
                return false;
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> guard(lock_);
                const auto due = std::find_if(queue_.begin(), queue_.end(),
                                              [](const Item& i) { return i.due <= Clock::now(); });
                if (due == queue_.end()) {
                    wake_.wait_for(guard, std::chrono::milliseconds(10));
                    continue;
                }
                fn = std::move(due->fn);
                queue_.erase(due);
            }
            fn();
        }
        return true;
    }

private:
    struct Item {
        Clock::time_point due;
        std::function<void()> fn;
    };
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<Item> queue_;
    int delayed_ = 0;
};

class BackgroundSearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = WineTestsUnavailable(); !why.empty())
            GTEST_SKIP() << "Windows plug-ins not tested: " << why;
        setenv("XDG_CACHE_HOME", cache.Path().c_str(), 1);
        setenv("GAZORIN_WINE", GatedWine(dir.Path(), gate).c_str(), 1);
        InitializeSusiePictures();
        TSPIBackgroundHooks hooks;
        hooks.Post = [this](std::function<void()> fn, std::chrono::milliseconds delay) { loop.Post(std::move(fn), delay); };
        hooks.CanApplyNow = [this] { return canApply; };
        hooks.Waiting = [this](bool waiting) { waits.push_back(waiting); };
        SetSPIBackgroundHooks(std::move(hooks));
        // A folder of Windows plug-ins of both bitnesses between Linux ones.
        fs::create_directory(plugins);
        fs::copy_file(kRogues + "/rogue_good.spi", plugins / "a.spi");
        fs::copy_file(ShippedPluginDir() + "/gz_tga.spi", plugins / "b.spi");
        fs::copy_file(kWindowsPlugins + "/gz_pnm.sph", plugins / "c.sph");
        fs::copy_file(ShippedPluginDir() + "/gz_pnm.spi", plugins / "d.spi");
        host = std::make_unique<TSPIs>();
    }
    void TearDown() override
    {
        host.reset();
        SetSPIBackgroundHooks({});
        unsetenv("GAZORIN_WINE");
        for (int bits : {32, 64})
            WineBridge(bits).Reset(); // started through the gate
        FinalizeSusiePictures();
    }

    void Search() { host->Search((plugins / "*.spi").string()); }
    void OpenGate() { std::ofstream(gate) << ""; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (int i = 0; i < host->Count(); ++i)
            names.push_back(fs::path(host->Items(i).FileName()).filename());
        return names;
    }

    TestLoop loop;
    bool canApply = true;
    std::vector<bool> waits;
    ScratchDir dir, cache;
    const fs::path plugins = dir.Path() / "plugins";
    const fs::path gate = dir.Path() / "gate";
    std::unique_ptr<TSPIs> host;
};

const std::vector<std::string> kAll = {"a.spi", "b.spi", "c.sph", "d.spi"};

TEST_F(BackgroundSearch, PluginsArriveInSearchOrderWhenTheOwnerIsReady)
{
    Search(); // returns with Wine held back: it did not wait for the bridge
    EXPECT_EQ(Names(), (std::vector<std::string>{"b.spi", "d.spi"}));
    EXPECT_TRUE(host->SearchPending());

    canApply = false; // a modal dialog, say
    OpenGate();
    ASSERT_TRUE(loop.PumpUntil([&] { return loop.Delayed() > 0; })); // answered, and put off
    EXPECT_TRUE(host->SearchPending());
    EXPECT_EQ(host->Count(), 2);

    canApply = true;
    ASSERT_TRUE(loop.PumpUntil([&] { return !host->SearchPending(); }));
    EXPECT_EQ(Names(), kAll);
    EXPECT_TRUE(waits.empty());
    // Registered in list order: the newest registration (the last plug-in's) first.
    const std::string filter = BuildPictureFilter(SPIBitmapClass());
    EXPECT_LT(filter.find("(*.ppm)"), filter.find("(*.tga)")) << filter;
    EXPECT_LT(filter.find("(*.tga)"), filter.find("(*.rog)")) << filter;
}

TEST_F(BackgroundSearch, APictureNeededMeanwhileWaitsForThem)
{
    Search();
    const std::string picture = dir / "x.rog";
    std::ofstream(picture, std::ios::binary) << "ROGU";
    std::thread opener([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        OpenGate();
    });
    // Only a Windows plug-in still being loaded reads it: the lookup waits, the loop never ran.
    std::unique_ptr<TGraphic> read;
    EXPECT_NO_THROW(read = LoadPictureByExtension(picture));
    opener.join();
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Width(), 2);
    EXPECT_EQ(waits, (std::vector<bool>{true, false}));
    EXPECT_FALSE(host->SearchPending());
    EXPECT_EQ(Names(), kAll);
}

TEST_F(BackgroundSearch, ClosingMeanwhileGivesThemUp)
{
    Search();
    ASSERT_TRUE(loop.PumpUntil([&] { return fs::exists(gate.string() + ".waiting"); })); // a bridge is starting
    host.reset(); // returns although Wine never answers
    for (int bits : {32, 64})
        EXPECT_FALSE(WineBridge(bits).Running());

    // Nothing was kept of them: the next start asks again, and the bridges serve it.
    OpenGate();
    host = std::make_unique<TSPIs>();
    Search();
    EXPECT_TRUE(host->SearchPending());
    host->FinishSearch();
    EXPECT_EQ(Names(), kAll);
}

} // namespace
} // namespace gz::test
