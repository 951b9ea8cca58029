#include "platform/RegistryStore.h"

#include <cstdlib>
#include <fstream>

namespace gz {
namespace {

std::string LowerAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

// Key paths compare without case and without the leading and trailing separators.
std::string NormalizeKey(const std::string& key)
{
    std::string k = Trim(key);
    while (!k.empty() && k.front() == '\\')
        k.erase(k.begin());
    while (!k.empty() && k.back() == '\\')
        k.pop_back();
    return LowerAscii(k);
}

std::optional<TRegValue> ParseValue(const std::string& typed)
{
    const auto colon = typed.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    const std::string type = LowerAscii(Trim(typed.substr(0, colon)));
    const std::string data = typed.substr(colon + 1);
    TRegValue v;
    if (type == "sz") {
        v.Type = rdString;
        v.Text = data;
        return v;
    }
    if (type == "dword") {
        const std::string digits = Trim(data);
        if (digits.empty())
            return std::nullopt;
        char* end = nullptr;
        const unsigned long long n = std::strtoull(digits.c_str(), &end, 0);
        if (*end != '\0' || n > 0xFFFFFFFFull)
            return std::nullopt;
        v.Type = rdInteger;
        v.Number = std::uint32_t(n);
        return v;
    }
    return std::nullopt;
}

} // namespace

std::string RegistryStorePath()
{
    if (const char* overridden = std::getenv("GAZORIN_REGISTRY"); overridden && *overridden)
        return overridden;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return std::string(xdg) + "/gazorin/registry";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/gazorin/registry";
    return {};
}

std::optional<TRegistryKey> TRegistryKey::OpenReadOnly(const std::string& keyPath)
{
    const std::string store = RegistryStorePath();
    if (store.empty())
        return std::nullopt;
    return OpenReadOnly(store, keyPath);
}

std::optional<TRegistryKey> TRegistryKey::OpenReadOnly(const std::string& storeFile, const std::string& keyPath)
{
    std::ifstream in(storeFile);
    if (!in)
        return std::nullopt;
    const std::string wanted = NormalizeKey(keyPath);
    std::optional<TRegistryKey> key;
    bool inWanted = false;
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = Trim(line);
        if (t.empty() || t[0] == '#' || t[0] == ';')
            continue;
        if (t.front() == '[' && t.back() == ']') {
            inWanted = NormalizeKey(t.substr(1, t.size() - 2)) == wanted;
            if (inWanted && !key)
                key.emplace();
            continue;
        }
        if (!inWanted)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string name = LowerAscii(Trim(line.substr(0, eq)));
        // A value line keeps its text verbatim after the type, apart from a line end's '\r'.
        std::string typed = line.substr(eq + 1);
        if (!typed.empty() && typed.back() == '\r')
            typed.pop_back();
        const auto first = typed.find_first_not_of(" \t");
        typed = first == std::string::npos ? std::string() : typed.substr(first);
        if (auto v = ParseValue(typed))
            key->values_[name] = *v;
    }
    return key;
}

bool TRegistryKey::ValueExists(const std::string& name) const
{
    return values_.count(LowerAscii(name)) != 0;
}

std::string TRegistryKey::ReadString(const std::string& name) const
{
    const auto it = values_.find(LowerAscii(name));
    if (it == values_.end())
        return {};
    if (it->second.Type != rdString)
        throw ERegistryException("Invalid data type for '" + name + "'");
    return it->second.Text;
}

} // namespace gz
