#include "platform/FrameTurn.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/Simd.h"

namespace plat {
namespace {

using Byte = unsigned char;

// Pixels [0, count) of `s` into `d` in reverse order, three bytes each.
void ReverseScalar(const Byte* s, Byte* d, int count) {
    for (int i = 0; i < count; ++i) std::memcpy(d + 3 * i, s + 3 * (count - 1 - i), 3);
}

#ifdef QUILL_HAVE_X86
// Sixteen pixels (48 bytes) at a time: three loads, and each of the three
// stores gathered from two or three of them by byte shuffles, so every store
// is a whole 16 bytes of its own.  Returns how many destination pixels from the
// left were written; the rest is left to the scalar loop.
__attribute__((target("ssse3"))) int ReverseRowSsse3(const Byte* s, Byte* d, int width, bool mayBypassCache) {
    constexpr char z = -128;  // a shuffle index that yields 0
    // Destination register k takes bytes of source registers A, B, C (the
    // source block's first, second and third 16 bytes).
    const __m128i c0 = _mm_setr_epi8(13, 14, 15, 10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3, z);
    const __m128i b0 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, z, 14);
    const __m128i a1 = _mm_setr_epi8(z, z, z, z, z, z, z, z, z, z, z, z, z, z, 15, z);
    const __m128i b1 = _mm_setr_epi8(15, z, 11, 12, 13, 8, 9, 10, 5, 6, 7, 2, 3, 4, z, 0);
    const __m128i c1 = _mm_setr_epi8(z, 0, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    const __m128i a2 = _mm_setr_epi8(z, 12, 13, 14, 9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2);
    const __m128i b2 = _mm_setr_epi8(1, z, z, z, z, z, z, z, z, z, z, z, z, z, z, z);
    // An aligned row is written with stores that bypass the cache: a frame is
    // far larger than the cache, and reading each line in before writing it
    // over doubled the memory traffic.
    const bool stream = mayBypassCache && reinterpret_cast<std::uintptr_t>(d) % 16 == 0;
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const Byte* block = s + 3 * (width - 16 - x);
        const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
        const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16));
        const __m128i C = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 32));
        __m128i* out = reinterpret_cast<__m128i*>(d + 3 * x);
        const __m128i o0 = _mm_or_si128(_mm_shuffle_epi8(C, c0), _mm_shuffle_epi8(B, b0));
        const __m128i o1 = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(A, a1), _mm_shuffle_epi8(B, b1)),
                                        _mm_shuffle_epi8(C, c1));
        const __m128i o2 = _mm_or_si128(_mm_shuffle_epi8(A, a2), _mm_shuffle_epi8(B, b2));
        if (stream) {
            _mm_stream_si128(out, o0);
            _mm_stream_si128(out + 1, o1);
            _mm_stream_si128(out + 2, o2);
        } else {
            _mm_storeu_si128(out, o0);
            _mm_storeu_si128(out + 1, o1);
            _mm_storeu_si128(out + 2, o2);
        }
    }
    if (stream) _mm_sfence();
    return x;
}

// 64 bytes a step once `d` is 16-byte aligned; the rest is left to memcpy.
// Returns how many bytes were done.
__attribute__((target("sse2"))) std::size_t CopyStreaming(const Byte* s, Byte* d, std::size_t bytes) {
    std::size_t head = (16 - reinterpret_cast<std::uintptr_t>(d) % 16) % 16;
    if (bytes < head + 64) return 0;
    std::memcpy(d, s, head);
    std::size_t i = head;
    for (; i + 64 <= bytes; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 32));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 48));
        __m128i* out = reinterpret_cast<__m128i*>(d + i);
        _mm_stream_si128(out, a);
        _mm_stream_si128(out + 1, b);
        _mm_stream_si128(out + 2, c);
        _mm_stream_si128(out + 3, e);
    }
    _mm_sfence();
    return i;
}

bool CpuHasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}
#endif

}  // namespace

void ReverseRowOfPixels(const Byte* src, Byte* dst, int width, bool mayBypassCache) {
    int done = 0;
#ifdef QUILL_HAVE_X86
    if (CpuHasSsse3()) done = ReverseRowSsse3(src, dst, width, mayBypassCache);
#endif
    // Destination pixels done.. come from source pixels width-1-done down to 0.
    ReverseScalar(src, dst + 3 * done, width - done);
}

void CopyRowBypassingCache(const Byte* src, Byte* dst, std::size_t bytes) {
    std::size_t done = 0;
#ifdef QUILL_HAVE_X86
    done = CopyStreaming(src, dst, bytes);
#endif
    std::memcpy(dst + done, src + done, bytes - done);
}

bool CopyTurnedHalfWayRound(const IplImage* src, IplImage* dst) {
    if (!src || !dst || src == dst || src->depth != IPL_DEPTH_8U || dst->depth != IPL_DEPTH_8U ||
        src->nChannels != 3 || dst->nChannels != 3 || src->width != dst->width || src->height != dst->height ||
        !src->imageData || !dst->imageData || src->roi || dst->roi)
        return false;
    for (int y = 0; y < src->height; ++y)
        ReverseRowOfPixels(reinterpret_cast<const Byte*>(src->imageData) + static_cast<std::size_t>(y) * src->widthStep,
                           reinterpret_cast<Byte*>(dst->imageData) +
                               static_cast<std::size_t>(src->height - 1 - y) * dst->widthStep,
                           src->width);
    return true;
}

}  // namespace plat
