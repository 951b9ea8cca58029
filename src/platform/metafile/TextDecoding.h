#pragma once
// Text of metafile records: ANSI strings in the code page of the font's character set (with
// double-byte characters), wide strings, face names, and the Symbol font's private encoding.

#include "platform/metafile/GdiDevice.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace gz::metafile {

// byteAdvances is empty or holds one advance per byte; the result holds one per UTF-16 unit.
TextRun DecodeAnsiText(const std::uint8_t* bytes, std::size_t count, const GdiFont& font,
                       const std::vector<double>& byteAdvances);
// UTF-16LE text; advances as in the record, one per unit.
TextRun DecodeWideText(const std::uint8_t* bytes, std::size_t units, const GdiFont& font,
                       const std::vector<double>& advances);
// A face name of at most maxBytes bytes, ending at the first zero.
QString DecodeAnsiFaceName(const std::uint8_t* bytes, std::size_t maxBytes, int charset);
QString DecodeWideFaceName(const std::uint8_t* bytes, std::size_t maxUnits);
// Fonts whose characters are pictures and symbols rather than letters.
bool IsSymbolFont(const GdiFont& font);

} // namespace gz::metafile
