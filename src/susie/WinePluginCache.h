#pragma once
// What the bridge told about each Windows plug-in, kept per user between runs, so that a start
// with Windows plug-ins does not wait for Wine. An entry holds for one path, size and
// modification time; a changed file is asked about again.

#include "susie/WineBridge.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace gz {

struct TWinePluginRecord {
    std::string Path;
    std::uint64_t Size = 0;
    std::int64_t ModifiedNs = 0;
    int Bits = 32;
    bool Loadable = false;
    std::string Reason; // why it did not load
    std::uint32_t Exports = 0;
    std::vector<TWinePluginInfoAnswer> Infos;
};

// Size and modification time of the file; false when it cannot be read.
bool WinePluginFileStamp(const std::string& path, std::uint64_t& size, std::int64_t& modifiedNs);

// Safe to use from several threads.
class TWinePluginCache {
public:
    // $XDG_CACHE_HOME/gazorin/windows-plugins (else ~/.cache/...).
    static std::string DefaultFile();

    // The record for the file as it is now, if one is kept. Reads the cache file on first use
    // and again when its name changed.
    std::optional<TWinePluginRecord> Find(const std::string& path);
    // Keeps the record and writes the cache file at once (entries of files that changed or are
    // gone are dropped). A cache that cannot be written only costs time.
    void Store(const TWinePluginRecord& record);

    // The text of the cache file, and reading it back; unreadable text gives no records.
    static std::string Format(const std::vector<TWinePluginRecord>& records);
    static std::vector<TWinePluginRecord> Parse(const std::string& text);

private:
    void LoadIfNeeded();

    std::mutex lock_;
    std::string file_;
    bool loaded_ = false;
    std::vector<TWinePluginRecord> records_;
};

TWinePluginCache& WinePluginCache();

} // namespace gz
