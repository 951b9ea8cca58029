// Writes every fuzz target's seed corpus: make_fuzz_seeds FOLDER (fuzz/corpus in the sources).

#include "Seeds.h"

#include "platform/metafile/Metafile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace gz::seeds {
namespace {
std::filesystem::path root;
}

void Put(const std::string& target, const std::string& name, const Bytes& bytes)
{
    const std::filesystem::path folder = root / target;
    std::filesystem::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

void Append16LE(Bytes& b, unsigned v)
{
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}

void Append32LE(Bytes& b, std::uint32_t v)
{
    Append16LE(b, v & 0xFFFF);
    Append16LE(b, v >> 16);
}

} // namespace gz::seeds

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    gz::seeds::root = argv[1];
    gz::StartHeadlessFontSupport();
    gz::seeds::MakeCoreSeeds();
    gz::seeds::MakePluginSeeds();
    return 0;
}
