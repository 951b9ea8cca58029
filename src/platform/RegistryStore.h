#pragma once
// The per-user registry store: a small text file of keys and typed values that stands in for
// the current user's branch of a system registry.
//
// File: $GAZORIN_REGISTRY when set, else $XDG_CONFIG_HOME/gazorin/registry, else
// ~/.config/gazorin/registry. Layout (UTF-8, one item per line, '#' or ';' start a comment):
//
//   [\Software\Pelowind\Susie\Plug-in]
//   Path=sz:/home/me/susie-plugins
//   Count=dword:12
//
// Key and value names are compared without regard to ASCII letter case; the leading "\" of a
// key is optional. Value types: "sz" (text, everything after the colon) and "dword" (decimal
// or 0x-hexadecimal 32-bit number). The store is read, never written.

#include "platform/Exceptions.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace gz {

// A value of an unexpected type, or a malformed value.
class ERegistryException : public Exception { using Exception::Exception; };

enum TRegDataType { rdString, rdInteger };

struct TRegValue {
    TRegDataType Type = rdString;
    std::string Text;
    std::uint32_t Number = 0;
};

// The path of the store file as chosen from the environment; empty when no home is known.
std::string RegistryStorePath();

// One key of the store, opened for reading.
class TRegistryKey {
public:
    // Opens the key of the current user without creating it; nullopt when the store or the
    // key does not exist.
    static std::optional<TRegistryKey> OpenReadOnly(const std::string& keyPath);
    // Same, from a given store file.
    static std::optional<TRegistryKey> OpenReadOnly(const std::string& storeFile, const std::string& keyPath);

    bool ValueExists(const std::string& name) const;
    // The text of a string value; "" when absent. Raises ERegistryException for another type.
    std::string ReadString(const std::string& name) const;

private:
    std::map<std::string, TRegValue> values_; // by lower-cased name
};

} // namespace gz
