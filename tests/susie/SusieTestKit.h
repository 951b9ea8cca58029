#pragma once
// Helpers for the plug-in host's tests: scratch folders, the test plug-ins, the registry store,
// and pictures in the test plug-in's "TSTP" format.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace gz::test {

// A fresh folder, removed with everything in it at the end of the scope.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::filesystem::path& Path() const { return path_; }
    // Folder path with a trailing "/".
    std::string Folder() const { return path_.string() + "/"; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The built test plug-in NAME.spi, and a copy of it under another name (a separate library).
std::string TestPlugin(const std::string& name);
std::string CopyTestPlugin(const std::string& name, const ScratchDir& dir, const std::string& asName);
std::string ShippedPluginDir();

// Points the registry store at a scratch file holding text for the life of the scope.
class RegistryFile {
public:
    explicit RegistryFile(const std::string& text);
    ~RegistryFile();

private:
    ScratchDir dir_;
    std::string previous_;
    bool hadPrevious_ = false;
};

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadFile(const std::string& path);

// A 40-byte bitmap header followed by a colour table of `colours` entries (entry i = (i, 2i, 3i)).
std::vector<std::uint8_t> DibInfo(std::int32_t width, std::int32_t height, int bitCount, std::uint32_t clrUsed,
                                  int tableEntries);
// Pixel rows for the header: row bytes padded to 4, filled with a pattern (palette indices
// below `colours` when it is given).
std::vector<std::uint8_t> DibBits(std::int32_t width, std::int32_t height, int bitCount, int colours = 0);
// A "TSTP" picture with the given blocks and an optional preview.
std::vector<std::uint8_t> Tstp(const std::vector<std::uint8_t>& info, const std::vector<std::uint8_t>& bits,
                               const std::vector<std::uint8_t>& previewInfo = {},
                               const std::vector<std::uint8_t>& previewBits = {});

} // namespace gz::test
