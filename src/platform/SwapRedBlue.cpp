#include "platform/SwapRedBlue.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define GZ_SWAP_SSSE3 1
#endif

namespace gz {

namespace {

void SwapPlain(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    for (std::size_t i = 0; i < pixels; ++i, src += 3, dst += 3) {
        const std::uint8_t first = src[0], middle = src[1], last = src[2];
        dst[0] = last;
        dst[1] = middle;
        dst[2] = first;
    }
}

#ifdef GZ_SWAP_SSSE3
// Five pixels a step: sixteen bytes are read and written, and the sixteenth, the next pixel's
// first byte, is written back as it was read, before the next step reads it again.
__attribute__((target("ssse3"))) void SwapShuffled(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    std::size_t i = 0;
    for (; i + 6 <= pixels; i += 5) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 3 * i), _mm_shuffle_epi8(v, order));
    }
    SwapPlain(src + 3 * i, dst + 3 * i, pixels - i);
}

bool HasShuffle()
{
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

} // namespace

void SwapRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels)
{
#ifdef GZ_SWAP_SSSE3
    if (HasShuffle()) {
        SwapShuffled(src, dst, pixels);
        return;
    }
#endif
    SwapPlain(src, dst, pixels);
}

} // namespace gz
