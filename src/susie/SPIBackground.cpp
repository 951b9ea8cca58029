#include "susie/SPIBackground.h"

#include "registry/PictureFormats.h"
#include "susie/SPIBmp.h"
#include "susie/SPIs.h"
#include "susie/WineBridge.h"
#include "susie/WinePlugin.h"

#include <algorithm>

namespace gz {
namespace {

TSPIBackgroundHooks& Hooks()
{
    static TSPIBackgroundHooks hooks;
    return hooks;
}

// How long an update waits while the owner says the moment is not right.
constexpr std::chrono::milliseconds kRetryDelay{200};

template <class TPending>
std::vector<std::string> PathsOf(const std::vector<TPending>& pending)
{
    std::vector<std::string> paths;
    for (const auto& p : pending)
        paths.push_back(p.Path);
    return paths;
}

} // namespace

void SetSPIBackgroundHooks(TSPIBackgroundHooks hooks) { Hooks() = std::move(hooks); }
const TSPIBackgroundHooks& SPIBackgroundHooks() { return Hooks(); }

// ---- the thread ---------------------------------------------------------------------------

TSPIBackgroundSearch::TSPIBackgroundSearch(std::vector<std::string> paths) : paths_(std::move(paths))
{
    loaded_.resize(paths_.size());
}

TSPIBackgroundSearch::~TSPIBackgroundSearch() { Cancel(); }

void TSPIBackgroundSearch::Start(std::function<void()> finished)
{
    if (!thread_.joinable() && !finished_)
        thread_ = std::thread([this, finished = std::move(finished)] { Run(finished); });
}

void TSPIBackgroundSearch::Run(const std::function<void()>& finished)
{
    // Both bridges start at once when plug-ins of both bitnesses are new.
    PrepareWindowsPluginBridges(paths_);
    for (std::size_t i = 0; i < paths_.size() && !cancelled_; ++i) {
        // Only Windows plug-ins come here: no library is loaded into this process on this thread.
        const int bits = WindowsLibraryBits(paths_[i]);
        if (bits != 32 && bits != 64)
            continue;
        try {
            loaded_[i] = TSPIs::CreateSPI(paths_[i]);
        } catch (...) {
            // Skipped, as a search skips it.
        }
    }
    for (int bits : {32, 64})
        WineBridge(bits).StopIfStartedOnThisThread();
    finished_ = true;
    try {
        if (finished)
            finished();
    } catch (...) {
        // Nobody is told: the owner takes the plug-ins in on first need.
    }
}

std::vector<std::unique_ptr<TSPI>> TSPIBackgroundSearch::Take()
{
    if (thread_.joinable())
        thread_.join();
    return std::move(loaded_);
}

void TSPIBackgroundSearch::Cancel()
{
    if (!thread_.joinable())
        return;
    cancelled_ = true;
    for (int bits : {32, 64})
        WineBridge(bits).Cancel();
    thread_.join();
    // The bridges may have been stopped half-way: the next use starts them afresh.
    for (int bits : {32, 64})
        WineBridge(bits).Reset();
}

// ---- the host's side ----------------------------------------------------------------------

void TSPIs::StartBackgroundSearch()
{
    if (pending_.empty() || background_)
        return;
    background_ = std::make_shared<TSPIBackgroundSearch>(PathsOf(pending_));
    // A lookup by extension, the dialog filter and a decode need every plug-in: they wait.
    SetPictureFormatsSettle([] {
        if (TSPIs* host = TSPIs::Instance())
            host->FinishSearch();
    });
    // The thread starts from the event loop, so that the window being shown comes first.
    const std::weak_ptr<TSPIBackgroundSearch> search = background_;
    const auto post = SPIBackgroundHooks().Post;
    post([search, post, apply = ApplyLater()] {
        if (const auto started = search.lock()) // not taken in or given up since
            started->Start([post, apply] { post(apply, std::chrono::milliseconds(0)); });
    }, SPIBackgroundHooks().StartDelay);
}

std::function<void()> TSPIs::ApplyLater()
{
    return [this, search = std::weak_ptr<TSPIBackgroundSearch>(background_)] {
        if (!search.expired()) // not taken in or given up since
            ApplyWhenSafe();
    };
}

void TSPIs::ApplyWhenSafe()
{
    if (!background_ || !background_->Finished())
        return;
    const TSPIBackgroundHooks& hooks = SPIBackgroundHooks();
    if (SPIDecodeRunning() || (hooks.CanApplyNow && !hooks.CanApplyNow())) {
        if (hooks.Post) {
            hooks.Post(ApplyLater(), kRetryDelay);
            return;
        }
    }
    FinishSearch();
}

void TSPIs::FinishSearch()
{
    if (pending_.empty())
        return;
    SetPictureFormatsSettle(nullptr);
    const std::vector<TPendingPlugin> pending = std::move(pending_);
    pending_.clear();
    std::shared_ptr<TSPIBackgroundSearch> search = std::move(background_);
    if (!search) // asked for in the middle of a search
        search = std::make_shared<TSPIBackgroundSearch>(PathsOf(pending));
    search->Start(nullptr); // unless it has started
    const TSPIBackgroundHooks& hooks = SPIBackgroundHooks();
    const bool wait = !search->Finished() && hooks.Waiting;
    if (wait)
        hooks.Waiting(true);
    std::vector<std::unique_ptr<TSPI>> loaded = search->Take();
    if (wait)
        hooks.Waiting(false);
    TakeIn(pending, std::move(loaded));
}

void TSPIs::TakeIn(const std::vector<TPendingPlugin>& pending, std::vector<std::unique_ptr<TSPI>> loaded)
{
    // Those that loaded and that OnSearch accepts, as a search adds them.
    std::vector<std::pair<const TSPI*, std::unique_ptr<TSPI>>> arrived;
    for (std::size_t i = 0; i < pending.size() && i < loaded.size(); ++i) {
        if (!loaded[i])
            continue;
        try {
            bool accept = true;
            if (OnSearch)
                OnSearch(*this, *loaded[i], accept);
            if (accept)
                arrived.emplace_back(pending[i].After, std::move(loaded[i]));
        } catch (...) {
            // The plug-in is dropped, as a search drops it.
        }
    }
    if (arrived.empty())
        return;

    // Each after the plug-in it followed when the search found it.
    std::vector<const TSPI*> before;
    std::vector<std::unique_ptr<TSPI>> merged;
    auto followers = [&](const TSPI* after) {
        for (auto& [anchor, spi] : arrived)
            if (spi && anchor == after)
                merged.push_back(std::move(spi));
    };
    followers(nullptr);
    for (auto& spi : list_) {
        before.push_back(spi.get());
        merged.push_back(std::move(spi));
        followers(before.back());
    }
    list_ = std::move(merged);
    RegisterInListOrder(before);
}

void TSPIs::RegisterInListOrder(const std::vector<const TSPI*>& before)
{
    std::vector<TRegistration> previous = std::move(registrations_);
    registrations_.clear();
    for (auto it = previous.rbegin(); it != previous.rend(); ++it)
        RemovePictureFormat(it->Extension, it->Description, *it->Class);
    for (std::size_t i = 0; i < list_.size(); ++i) {
        TSPI* spi = list_[i].get();
        if (std::find(before.begin(), before.end(), spi) != before.end()) {
            for (const TRegistration& r : previous)
                if (r.Spi == spi) {
                    AppendPictureFormat(r.Extension, r.Description, *r.Class);
                    registrations_.push_back(r);
                }
            continue;
        }
        auto* in = dynamic_cast<TInSPI*>(spi);
        if (!in)
            continue;
        try {
            RegisterFormats(*in);
        } catch (...) {
            // As Add: a plug-in whose registration failed is not kept.
            std::erase_if(registrations_, [&](const TRegistration& r) { return r.Spi == spi; });
            list_.erase(list_.begin() + std::ptrdiff_t(i));
            --i;
        }
    }
}

} // namespace gz
