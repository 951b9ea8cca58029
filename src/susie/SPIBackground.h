#pragma once
// Windows plug-ins that the per-user cache does not know yet, loaded on a thread of their own
// while a program with an event loop goes on: its window shows at once, and the plug-ins join
// the host's list and the picture-format registry when the bridge has answered, in the places
// that a start with a warm cache gives them. Anything that reads the registry or decodes
// through the plug-ins meanwhile waits for them first, so every run gives the same results.

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace gz {

class TSPI;

// How a host hands work back to the thread that owns it. Set by a program with an event loop;
// without Post a search waits for the bridge, as a command-line program wants.
struct TSPIBackgroundHooks {
    // Runs fn on the owner's thread, from its event loop, after at least delay. Callable from
    // any thread.
    std::function<void(std::function<void()> fn, std::chrono::milliseconds delay)> Post;
    // Whether the plug-in list and the registry may change now (for instance: no modal dialog
    // is open). Asked on the owner's thread; unset means always.
    std::function<bool()> CanApplyNow;
    // Told true before the owner's thread waits for the bridge, false after (an hourglass).
    std::function<void(bool waiting)> Waiting;
    // How long after a search the loading starts, so that a window shown meanwhile is drawn
    // before Wine's start takes the processor. A need for the plug-ins starts it at once.
    std::chrono::milliseconds StartDelay{0};
};

void SetSPIBackgroundHooks(TSPIBackgroundHooks hooks);
const TSPIBackgroundHooks& SPIBackgroundHooks();

// The thread that loads the plug-ins at the given paths, each as a search would (CreateSPI).
class TSPIBackgroundSearch {
public:
    explicit TSPIBackgroundSearch(std::vector<std::string> paths);
    // Cancels the loading when it is still under way.
    ~TSPIBackgroundSearch();
    TSPIBackgroundSearch(const TSPIBackgroundSearch&) = delete;
    TSPIBackgroundSearch& operator=(const TSPIBackgroundSearch&) = delete;

    // Starts the thread; finished runs on it once every path has been tried.
    void Start(std::function<void()> finished);
    bool Finished() const { return finished_; }
    // Waits for the thread. The plug-ins in the order of the paths; null where none loaded.
    std::vector<std::unique_ptr<TSPI>> Take();
    // The bridges give up what they are doing, the thread ends soon, the rest is not loaded.
    void Cancel();

private:
    void Run(const std::function<void()>& finished);

    const std::vector<std::string> paths_;
    std::vector<std::unique_ptr<TSPI>> loaded_; // written by the thread only until it ends
    std::thread thread_;
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelled_{false};
};

} // namespace gz
