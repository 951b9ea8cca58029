#pragma once
// A bridge program running under Wine (bridge/BridgeMain.cpp), serving every Windows plug-in
// of its bitness over a pipe. It is started on first use and restarted on the next use after
// it crashed or was stopped; a call that does not finish in time stops it. Every failure of
// the bridge is a failure of the call, never of the caller.

#include "susie/WineBridgeProtocol.h"

#include "susie_plugin.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace gz {

class TWineChannel;

struct TWinePluginInfoAnswer {
    std::int32_t Number = 0;
    std::int32_t Result = 0;
    std::string Text;
    bool operator==(const TWinePluginInfoAnswer&) const = default;
};

// What loading a plug-in in the bridge told.
struct TWineLoadResult {
    std::uint32_t Id = 0; // 0: the library did not load
    std::string Reason;   // why not
    std::uint32_t Exports = 0;
    std::vector<TWinePluginInfoAnswer> Infos;
};

// Where the bridge looks for things; every part may be changed through the environment.
std::string WineProgram();              // $GAZORIN_WINE, else "wine" on the search path; empty if none
std::string WineBridgeProgram(int bits); // gazorin-bridge32.exe / gazorin-bridge64.exe beside the program
std::string WinePrefixFolder();          // $GAZORIN_WINEPREFIX, else $XDG_CACHE_HOME/gazorin/wine
bool WinePrefixReady();                  // the prefix has been made

class TWineBridge {
public:
    explicit TWineBridge(int bits);
    ~TWineBridge();
    TWineBridge(const TWineBridge&) = delete;
    TWineBridge& operator=(const TWineBridge&) = delete;

    int Bits() const { return bits_; }
    // Starts the bridge unless it runs. False when it cannot start; after that it is not tried
    // again (Reset allows it).
    bool Start();
    // Starts the bridge without waiting for it to answer (Start waits), so that the starts of
    // both bridges can overlap. Does nothing when it runs or could not start.
    void Launch();
    bool Running() const { return pid_ > 0; }
    bool StartFailed() const { return startFailed_; }
    pid_t Pid() const { return pid_; }
    // Why the bridge could not start, or why it was stopped last.
    const std::string& Failure() const { return failure_; }
    // Stops the bridge and forgets a failed start and a cancellation.
    void Reset();
    // From any thread: the call under way gives up within a moment and no new start is made,
    // until Reset. For a program that closes while a background thread uses the bridge.
    void Cancel();
    // A bridge is killed when the thread that started it ends, so a thread about to end stops
    // the bridge it started, cleanly; the next use starts it again.
    void StopIfStartedOnThisThread();
    bool Cancelled() const { return cancelled_; }

    // Loads the plug-in once per bridge process (key: the file as it is now). nullopt when the
    // bridge failed on the way.
    std::optional<TWineLoadResult> Load(const std::string& path, const std::string& key);
    // The plug-in calls. Each returns nullopt when the bridge failed during the call.
    std::optional<std::int32_t> GetPluginInfo(std::uint32_t id, std::int32_t number, std::int32_t length,
                                              std::string& text);
    std::optional<std::int32_t> IsSupported(std::uint32_t id, const std::string& fileName, const void* head);
    std::optional<std::int32_t> GetPictureInfo(std::uint32_t id, const char* source, std::intptr_t position,
                                               std::uint32_t flag, SusiePictureInfo& info);
    std::optional<std::int32_t> GetPicture(std::uint32_t id, bool preview, const char* source,
                                           std::intptr_t position, std::uint32_t flag, SusieHandle& info,
                                           SusieHandle& bits, SusieProgressCallback progress, std::intptr_t data);

    // How long a call may go without an answer or a progress report. The default is 30 s;
    // $GAZORIN_PLUGIN_TIMEOUT (seconds) changes it.
    static void SetCallTimeout(std::chrono::milliseconds timeout);
    static std::chrono::milliseconds CallTimeout();

private:
    bool Spawn(const std::string& wine, const std::string& program, const std::string& prefix);
    // The channel with a request of this kind begun, the bridge started if need be; null when
    // it cannot start or is in the middle of a call.
    TWineChannel* Prepare(bridge::Kind kind);
    // The bridge cannot start: it is not tried again; the reason is logged.
    void NotAvailable(const std::string& problem);
    // Stops the bridge after a failure of a call, keeping the reason.
    void Fail(const std::string& reason);
    void Stop();

    int bits_;
    pid_t pid_ = -1;
    bool startFailed_ = false;
    bool busy_ = false;
    bool greeted_ = false;        // the running bridge has said hello
    bool creatingPrefix_ = false; // its start makes the Wine prefix
    std::atomic<bool> cancelled_{false};
    int wake_ = -1; // readable while cancelled
    std::thread::id spawner_;
    std::string failure_;
    std::unique_ptr<TWineChannel> channel_;
    std::map<std::string, TWineLoadResult> loaded_; // key -> what loading it in the running bridge told
};

// The bridge of a bitness (32 or 64), one per process.
TWineBridge& WineBridge(int bits);

// Writes "program: message" to standard error, once per message and process.
void LogOnce(const std::string& message);

} // namespace gz
