#include "capture/FrameTurn.h"

#include <cstddef>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILL_HAVE_X86 1
#endif

namespace {

using Byte = unsigned char;

// Pixels [0, count) of `s` into `d` in reverse order, three bytes each.
void ReverseScalar(const Byte* s, Byte* d, int count) {
    for (int i = 0; i < count; ++i) std::memcpy(d + 3 * i, s + 3 * (count - 1 - i), 3);
}

#ifdef QUILL_HAVE_X86
// Four pixels at a time: a 16-byte load holding four source pixels, one
// shuffle reversing them, a 16-byte store whose last four bytes the next
// store overwrites.  Returns how many destination pixels from the left were
// written; the rest is left to the scalar loop.
__attribute__((target("ssse3"))) int ReverseRowSsse3(const Byte* s, Byte* d, int width) {
    // Source pixels p..p+3 are loaded from byte 3p - 4, so they sit at bytes
    // 4..15 of the register; destination bytes 0..11 take them reversed.
    const __m128i order = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 0, 0, 0, 0);
    int x = 0;
    // The load of the first chunk starts 4 bytes before its pixel (so p >= 2),
    // and every store must end within the row (x + 6 <= width).
    for (; x + 6 <= width && width - 4 - x >= 2; x += 4) {
        const int p = width - 4 - x;
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * p - 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * x), _mm_shuffle_epi8(v, order));
    }
    return x;
}

bool CpuHasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

}  // namespace

bool CopyTurnedHalfWayRound(const IplImage* src, IplImage* dst) {
    if (!src || !dst || src == dst || src->depth != IPL_DEPTH_8U || dst->depth != IPL_DEPTH_8U ||
        src->nChannels != 3 || dst->nChannels != 3 || src->width != dst->width || src->height != dst->height ||
        !src->imageData || !dst->imageData || src->roi || dst->roi)
        return false;
    const int width = src->width, height = src->height;
#ifdef QUILL_HAVE_X86
    const bool simd = CpuHasSsse3();
#endif
    for (int y = 0; y < height; ++y) {
        const Byte* s = reinterpret_cast<const Byte*>(src->imageData) + static_cast<std::size_t>(y) * src->widthStep;
        Byte* d = reinterpret_cast<Byte*>(dst->imageData) +
                  static_cast<std::size_t>(height - 1 - y) * dst->widthStep;
        int done = 0;
#ifdef QUILL_HAVE_X86
        if (simd) done = ReverseRowSsse3(s, d, width);
#endif
        // Destination pixels done.. come from source pixels width-1-done down to 0.
        ReverseScalar(s, d + 3 * done, width - done);
    }
    return true;
}
