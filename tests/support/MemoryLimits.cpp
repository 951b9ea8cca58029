#include "support/MemoryLimits.h"

#include "jpeg/JPEGImage.h"
#include "png/KroPNG.h"
#include "support/Rasters.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace gz::test {

void WriteJpegClaimingSize(const std::string& path, int width, int height)
{
    TJPEGImage jpeg;
    jpeg.Assign(NoiseBitmap(16, 16, 7));
    jpeg.SaveToFile(path);
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
    in.close();
    const char frameMarker[] = {'\xFF', '\xC0'};
    const auto sof = std::search(file.begin(), file.end(), std::begin(frameMarker), std::end(frameMarker));
    if (sof == file.end() || file.end() - sof < 9)
        throw std::runtime_error("no frame header in " + path);
    // Marker, length, precision, then height and width, big-endian.
    sof[5] = char(height >> 8), sof[6] = char(height & 0xFF);
    sof[7] = char(width >> 8), sof[8] = char(width & 0xFF);
    std::ofstream(path, std::ios::binary).write(file.data(), std::streamsize(file.size()));
}

void WriteBilevelPng(const std::string& path, int width, int height)
{
    TKroPNG png;
    png.Assign(TBitmap(width, height, pf1bit));
    png.SaveToFile(path);
}

TAddressSpaceLimit::TAddressSpaceLimit(rlim_t bytes)
{
    getrlimit(RLIMIT_AS, &saved_);
    const rlimit limit{std::min(bytes, saved_.rlim_max), saved_.rlim_max};
    setrlimit(RLIMIT_AS, &limit);
}

TAddressSpaceLimit::~TAddressSpaceLimit() { setrlimit(RLIMIT_AS, &saved_); }

std::size_t AddressSpaceInUse()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmSize:", 0) == 0)
            return std::size_t(std::stoull(line.substr(7))) * 1024;
    return 0;
}

} // namespace gz::test
