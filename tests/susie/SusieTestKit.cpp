#include "SusieTestKit.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace gz::test {

ScratchDir::ScratchDir()
{
    std::string pattern = (fs::temp_directory_path() / "gz-susie-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TestPlugin(const std::string& name) { return std::string(SUSIE_TEST_PLUGIN_DIR) + "/" + name + ".spi"; }

std::string CopyTestPlugin(const std::string& name, const ScratchDir& dir, const std::string& asName)
{
    const std::string target = dir / asName;
    fs::copy_file(TestPlugin(name), target, fs::copy_options::overwrite_existing);
    return target;
}

std::string ShippedPluginDir() { return SUSIE_SHIPPED_PLUGIN_DIR; }

RegistryFile::RegistryFile(const std::string& text)
{
    if (const char* old = std::getenv("GAZORIN_REGISTRY")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    const std::string file = dir_ / "registry";
    std::ofstream(file) << text;
    setenv("GAZORIN_REGISTRY", file.c_str(), 1);
}

RegistryFile::~RegistryFile()
{
    if (hadPrevious_)
        setenv("GAZORIN_REGISTRY", previous_.c_str(), 1);
    else
        unsetenv("GAZORIN_REGISTRY");
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {
void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + std::size_t(i)] = std::uint8_t(x >> (8 * i));
}
} // namespace

std::vector<std::uint8_t> DibInfo(std::int32_t width, std::int32_t height, int bitCount, std::uint32_t clrUsed,
                                  int tableEntries)
{
    std::vector<std::uint8_t> v(40 + 4 * std::size_t(tableEntries), 0);
    Put32(v, 0, 40);
    Put32(v, 4, std::uint32_t(width));
    Put32(v, 8, std::uint32_t(height));
    v[12] = 1;
    v[14] = std::uint8_t(bitCount);
    Put32(v, 32, clrUsed);
    for (int i = 0; i < tableEntries; ++i) {
        v[40 + 4 * std::size_t(i)] = std::uint8_t(3 * i); // blue
        v[41 + 4 * std::size_t(i)] = std::uint8_t(2 * i); // green
        v[42 + 4 * std::size_t(i)] = std::uint8_t(i);     // red
    }
    return v;
}

std::vector<std::uint8_t> DibBits(std::int32_t width, std::int32_t height, int bitCount, int colours)
{
    const std::size_t row = (std::size_t(width) * std::size_t(bitCount) + 31) / 32 * 4;
    const std::size_t rows = std::size_t(height < 0 ? -std::int64_t(height) : height);
    std::vector<std::uint8_t> v(row * rows, 0);
    if (bitCount > 8) {
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = std::uint8_t(i * 7 + 1);
        return v;
    }
    // Palette indices below the number of colours; padding bits stay zero.
    const int limit = colours > 0 ? colours : 1 << bitCount;
    for (std::size_t y = 0; y < rows; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const unsigned index = unsigned(std::size_t(x) * 5 + y * 3 + 1) % unsigned(limit);
            const std::size_t bit = std::size_t(x) * std::size_t(bitCount);
            v[y * row + bit / 8] |= std::uint8_t(index << (8 - bitCount - int(bit % 8)));
        }
    return v;
}

std::vector<std::uint8_t> Tstp(const std::vector<std::uint8_t>& info, const std::vector<std::uint8_t>& bits,
                               const std::vector<std::uint8_t>& previewInfo,
                               const std::vector<std::uint8_t>& previewBits)
{
    auto part = [](std::vector<std::uint8_t>& out, const char* magic, const std::vector<std::uint8_t>& i,
                   const std::vector<std::uint8_t>& b) {
        const std::size_t at = out.size();
        out.insert(out.end(), magic, magic + 4);
        out.resize(at + 12);
        Put32(out, at + 4, std::uint32_t(i.size()));
        Put32(out, at + 8, std::uint32_t(b.size()));
        out.insert(out.end(), i.begin(), i.end());
        out.insert(out.end(), b.begin(), b.end());
    };
    std::vector<std::uint8_t> out;
    part(out, "TSTP", info, bits);
    if (!previewInfo.empty())
        part(out, "PREV", previewInfo, previewBits);
    return out;
}

} // namespace gz::test
