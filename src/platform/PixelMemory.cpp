#include "platform/PixelMemory.h"

#include <atomic>

namespace gz::PixelMemory {

namespace {
std::atomic<std::size_t> current{0};
std::atomic<std::size_t> peak{0};
} // namespace

std::size_t Current() { return current.load(std::memory_order_relaxed); }
std::size_t Peak() { return peak.load(std::memory_order_relaxed); }
void ResetPeak() { peak.store(Current(), std::memory_order_relaxed); }

void Allocated(std::size_t bytes)
{
    const std::size_t now = current.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    std::size_t seen = peak.load(std::memory_order_relaxed);
    while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) {
    }
}

void Released(std::size_t bytes) { current.fetch_sub(bytes, std::memory_order_relaxed); }

} // namespace gz::PixelMemory
