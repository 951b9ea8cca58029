// Runs a fuzz target once over every file of the folders (and files) named on the command
// line, without fuzzing: the replay of seed corpora and regression files in the test suite.
// Each input is copied into a buffer of its own size, so that reading past it is caught.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& place)
{
    std::vector<fs::path> files;
    if (fs::is_directory(place)) {
        for (const auto& entry : fs::recursive_directory_iterator(place))
            if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                files.push_back(entry.path());
        std::sort(files.begin(), files.end());
    } else if (fs::is_regular_file(place)) {
        files.push_back(place);
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> files = InputsOf(argv[i]);
        if (files.empty())
            std::fprintf(stderr, "warning: no inputs in %s\n", argv[i]);
        for (const fs::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), {});
            // A buffer exactly as long as the input (never empty, as libFuzzer also passes one).
            auto copy = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(bytes.size(), 1));
            std::copy(bytes.begin(), bytes.end(), copy.get());
            std::fprintf(stderr, "%s\n", file.c_str());
            LLVMFuzzerTestOneInput(copy.get(), bytes.size());
            ++count;
        }
    }
    std::fprintf(stderr, "replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
