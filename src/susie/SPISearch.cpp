// Finding plug-in files: the folders the host visits and the listing of one folder.

#include "susie/SPIs.h"

#include "platform/RegistryStore.h"
#include "susie/SPIBackground.h"
#include "susie/WinePlugin.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace gz {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool LessIgnoringCase(const std::string& a, const std::string& b)
{
    const auto n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
        if (x != y)
            return (unsigned char)x < (unsigned char)y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

// A folder as an absolute, normalised path ending in "/", so that the paths built from it
// compare equal to the module paths the loader reports.
std::string WithSeparator(const std::string& folder)
{
    std::error_code ec;
    fs::path p = fs::absolute(folder, ec);
    std::string s = ec ? folder : p.lexically_normal().string();
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

} // namespace

bool MatchesMask(const std::string& name, const std::string& pattern)
{
    // Iterative wildcard match with one back-tracking point for the last '*'.
    std::size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string SusiePluginFolder()
{
    const auto key = TRegistryKey::OpenReadOnly("\\Software\\Pelowind\\Susie\\Plug-in");
    if (!key)
        return {};
    try {
        return key->ReadString("Path");
    } catch (const ERegistryException&) {
        return {};
    }
}

std::string ApplicationFolder()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec)
        return {};
    return exe.parent_path().string();
}

std::string SystemPluginFolder() { return "/usr/lib"; }
std::string OperatingSystemFolder() { return "/usr"; }

void TSPIs::Search(const std::string& mask)
{
    FinishSearch(); // what an earlier search left to the background comes first
    if (const auto slash = mask.rfind('/'); slash != std::string::npos) {
        SearchDir(WithSeparator(mask.substr(0, slash + 1)), mask.substr(slash + 1));
        StartBackgroundSearch();
        return;
    }
    std::string current;
    if (SearchOptions.Contains(spsCurrentDir)) {
        std::error_code ec;
        current = fs::current_path(ec).string();
    }
    const std::pair<TSPISearchOption, std::string (*)()> folders[] = {
        {spsSusieDir, &SusiePluginFolder},
        {spsAppDir, &ApplicationFolder},
        {spsCurrentDir, nullptr},
        {spsSystemDir, &SystemPluginFolder},
        {spsWindowsDir, &OperatingSystemFolder},
    };
    for (const auto& [option, query] : folders) {
        if (!SearchOptions.Contains(option))
            continue;
        const std::string folder = query ? query() : current;
        if (!folder.empty())
            SearchDir(WithSeparator(folder), mask);
    }
    StartBackgroundSearch();
}

bool TSPIs::IsLoaded(const std::string& path) const
{
    if (IndexOf(path) >= 0)
        return true;
    // The same file reached through a symbolic link, or through a folder that is one.
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec)
        return false;
    for (int i = 0; i < Count(); ++i)
        if (Items(i).ResolvedFileName() == resolved.string())
            return true;
    return std::any_of(pending_.begin(), pending_.end(),
                       [&](const TPendingPlugin& p) { return p.ResolvedPath == resolved.string(); });
}

void TSPIs::SearchDir(const std::string& folder, const std::string& pattern)
{
    // 64-bit Windows plug-ins are named "*.sph": a wildcard pattern for plug-ins finds them too.
    std::string sphPattern;
    if (pattern.find_first_of("*?") != std::string::npos && pattern.size() >= 4 &&
        MatchesMask(pattern.substr(pattern.size() - 4), ".spi"))
        sphPattern = pattern.substr(0, pattern.size() - 4) + ".sph";
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') // hidden
            continue;
        std::error_code typeEc;
        if (it->is_directory(typeEc) || !it->is_regular_file(typeEc))
            continue;
        if (MatchesMask(name, pattern) || (!sphPattern.empty() && MatchesMask(name, sphPattern)))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(), LessIgnoringCase);

    std::vector<std::string> paths;
    for (const auto& name : names)
        if (!IsLoaded(folder + name))
            paths.push_back(folder + name);

    // A program with an event loop does not wait for Wine: Windows plug-ins new to the cache
    // are loaded in the background and take their places in this order when they arrive.
    const bool background = bool(SPIBackgroundHooks().Post);
    if (!background)
        PrepareWindowsPluginBridges(paths);
    for (const auto& path : paths) {
        bool accept = true;
        if (OnSearching)
            OnSearching(*this, path, accept);
        if (!accept)
            continue;
        if (background && WindowsPluginNeedsBridge(path)) {
            std::error_code ec;
            const fs::path resolved = fs::weakly_canonical(path, ec);
            pending_.push_back({path, ec ? path : resolved.string(), list_.empty() ? nullptr : list_.back().get()});
            continue;
        }
        std::unique_ptr<TSPI> spi = CreateSPI(path);
        if (!spi)
            continue;
        try {
            accept = true;
            if (OnSearch)
                OnSearch(*this, *spi, accept);
            if (accept)
                Add(std::move(spi));
        } catch (...) {
            // The plug-in is dropped (destroyed with spi, or removed again by Insert).
        }
    }
}

} // namespace gz
