#pragma once
// Process-wide account of the bytes held by bitmap pixel storage, for benchmarks and
// leak checks: the current total and the peak since the last reset.

#include <cstddef>

namespace gz::PixelMemory {

std::size_t Current();
std::size_t Peak();
// Starts a new peak measurement from the current total.
void ResetPeak();

void Allocated(std::size_t bytes);
void Released(std::size_t bytes);

} // namespace gz::PixelMemory
