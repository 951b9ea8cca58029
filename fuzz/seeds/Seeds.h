#pragma once
// The seed corpora of the fuzz targets, made by our own writers and by hand. The seed program
// writes them below a folder given on its command line, one subfolder per target.

#include <cstdint>
#include <string>
#include <vector>

namespace gz::seeds {

using Bytes = std::vector<std::uint8_t>;

// Writes folder/target/name.
void Put(const std::string& target, const std::string& name, const Bytes& bytes);
Bytes FromText(const std::string& text);
void Append16LE(Bytes& b, unsigned v);
void Append32LE(Bytes& b, std::uint32_t v);

void MakeCoreSeeds();   // bmp, ico, jpeg, jpeg_writer, png, metafile
void MakePluginSeeds(); // gif, tiff, webp, pnm, tga, susie, spi_picture

} // namespace gz::seeds
