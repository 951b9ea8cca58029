#include "susie/WinePluginCache.h"

#include "platform/SafeFile.h"
#include "platform/Streams.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace gz {
namespace {

constexpr const char* kFirstLine = "gazorin windows plug-in cache 1";

// A field without spaces: "=" followed by the bytes, each space, control byte, '%' and DEL as %XX.
std::string Escape(const std::string& s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "=";
    for (const unsigned char c : s) {
        if (c <= 0x20 || c == '%' || c == 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

bool Unescape(const std::string& field, std::string& out)
{
    if (field.empty() || field[0] != '=')
        return false;
    out.clear();
    for (std::size_t i = 1; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        const std::string digits = field.substr(i + 1, 2);
        if (digits.size() != 2 || !std::isxdigit(static_cast<unsigned char>(digits[0])) ||
            !std::isxdigit(static_cast<unsigned char>(digits[1])))
            return false;
        out += char(std::stoi(digits, nullptr, 16));
        i += 2;
    }
    return true;
}

} // namespace

bool WinePluginFileStamp(const std::string& path, std::uint64_t& size, std::int64_t& modifiedNs)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        return false;
    size = std::uint64_t(st.st_size);
    modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
}

std::string TWinePluginCache::DefaultFile()
{
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    const std::string base = xdg && *xdg ? std::string(xdg) : std::string(home && *home ? home : "/tmp") + "/.cache";
    return base + "/gazorin/windows-plugins";
}

std::string TWinePluginCache::Format(const std::vector<TWinePluginRecord>& records)
{
    std::ostringstream out;
    out << kFirstLine << '\n';
    for (const auto& r : records) {
        out << "P " << Escape(r.Path) << ' ' << r.Size << ' ' << r.ModifiedNs << ' ' << r.Bits << ' '
            << (r.Loadable ? 1 : 0) << ' ' << r.Exports << ' ' << Escape(r.Reason) << '\n';
        for (const auto& a : r.Infos)
            out << "I " << a.Number << ' ' << a.Result << ' ' << Escape(a.Text) << '\n';
    }
    return out.str();
}

std::vector<TWinePluginRecord> TWinePluginCache::Parse(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine)
        return {};
    std::vector<TWinePluginRecord> records;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string tag;
        fields >> tag;
        if (tag == "P") {
            TWinePluginRecord r;
            std::string path, reason;
            int loadable = 0;
            if (!(fields >> path >> r.Size >> r.ModifiedNs >> r.Bits >> loadable >> r.Exports >> reason) ||
                !Unescape(path, r.Path) || !Unescape(reason, r.Reason) || (r.Bits != 32 && r.Bits != 64))
                return {};
            r.Loadable = loadable != 0;
            records.push_back(std::move(r));
        } else if (tag == "I" && !records.empty()) {
            TWinePluginInfoAnswer a;
            std::string textField;
            if (!(fields >> a.Number >> a.Result >> textField) || !Unescape(textField, a.Text))
                return {};
            records.back().Infos.push_back(std::move(a));
        } else {
            return {};
        }
    }
    return records;
}

void TWinePluginCache::LoadIfNeeded()
{
    const std::string file = DefaultFile();
    if (loaded_ && file == file_)
        return;
    file_ = file;
    loaded_ = true;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    records_ = Parse(text.str());
}

std::optional<TWinePluginRecord> TWinePluginCache::Find(const std::string& path)
{
    const std::lock_guard<std::mutex> guard(lock_);
    LoadIfNeeded();
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    if (!WinePluginFileStamp(path, size, modified))
        return std::nullopt;
    for (const auto& r : records_)
        if (r.Path == path && r.Size == size && r.ModifiedNs == modified)
            return r;
    return std::nullopt;
}

void TWinePluginCache::Store(const TWinePluginRecord& record)
{
    const std::lock_guard<std::mutex> guard(lock_);
    LoadIfNeeded();
    std::vector<TWinePluginRecord> kept;
    for (auto& r : records_) {
        std::uint64_t size = 0;
        std::int64_t modified = 0;
        if (r.Path != record.Path && WinePluginFileStamp(r.Path, size, modified) && size == r.Size &&
            modified == r.ModifiedNs)
            kept.push_back(std::move(r));
    }
    kept.push_back(record);
    records_ = std::move(kept);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path(), ec);
    try {
        const std::string text = Format(records_);
        WriteFileAtomically(file_, [&](TStream& out) { out.WriteBuffer(text.data(), text.size()); });
    } catch (const std::exception&) {
        // Without a cache the next start asks the bridge again.
    }
}

TWinePluginCache& WinePluginCache()
{
    static TWinePluginCache cache;
    return cache;
}

} // namespace gz
