#pragma once
// Playing a metafile's records onto a device. Records that are malformed are skipped;
// a record that does not advance or runs past the end of the file ends the playback.

#include "platform/metafile/GdiDevice.h"
#include "platform/metafile/MetafileHeader.h"

#include <cstddef>
#include <cstdint>

namespace gz::metafile {

void PlayWmf(const std::uint8_t* data, std::size_t size, const MetafileHeader& header, GdiDevice& device);
void PlayEmf(const std::uint8_t* data, std::size_t size, const MetafileHeader& header, GdiDevice& device);

// Both players keep their objects in a table of this many slots at most.
constexpr std::size_t kMaxObjects = 65536;

} // namespace gz::metafile
