#include "capture/FrameConvert.h"

#include <cstdlib>
#include <cstring>
#include <new>


#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILL_HAVE_X86 1
#endif

// ---------------------------------------------------------------------------
// YUY2 -> B, G, R
//
// The conversion must give exactly the integer formula's bytes:
//   B = clamp((298 L + 516 D + 128) >> 8)
//   G = clamp((298 L - 100 D - 208 E + 128) >> 8)
//   R = clamp((298 L + 409 E + 128) >> 8)
// with L = Y - 16, D = U - 128, E = V - 128.  Folding the offsets into one
// constant per channel gives the same integers:
//   B = (298 Y + 516 U - 70688) >> 8
//   G = (298 Y - 100 U - 208 V + 34784) >> 8
//   R = (298 Y + 409 V - 56992) >> 8
// The sums stay within -70688 .. 136882, so after the shift a channel lies in
// -277 .. 534 and clamping to 0..255 is all that is left.

namespace {

struct Yuy2Tables {
    int y[256];   // 298 (Y - 16) + 128
    int bu[256];  // 516 (U - 128)
    int gu[256];  // -100 (U - 128)
    int gv[256];  // -208 (V - 128)
    int rv[256];  // 409 (V - 128)
    BYTE clamp[1024];  // index v + kClampBias -> v clamped to 0..255

    static constexpr int kClampBias = 384;

    Yuy2Tables() {
        for (int i = 0; i < 256; ++i) {
            y[i] = 298 * (i - 16) + 128;
            bu[i] = 516 * (i - 128);
            gu[i] = -100 * (i - 128);
            gv[i] = -208 * (i - 128);
            rv[i] = 409 * (i - 128);
        }
        for (int i = 0; i < 1024; ++i) {
            int v = i - kClampBias;
            clamp[i] = static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v));
        }
    }
};

const Yuy2Tables& Tables() {
    static const Yuy2Tables t;
    return t;
}

// Converts `pairs` groups Y0 U Y1 V of one row into 2 x pairs B, G, R pixels.
void ConvertRowScalar(const BYTE* s, BYTE* d, int pairs) {
    const Yuy2Tables& t = Tables();
    const BYTE* clamp = t.clamp + Yuy2Tables::kClampBias;
    for (int i = 0; i < pairs; ++i, s += 4, d += 6) {
        const int u = s[1], v = s[3];
        const int cb = t.bu[u];
        const int cg = t.gu[u] + t.gv[v];
        const int cr = t.rv[v];
        const int y0 = t.y[s[0]];
        const int y1 = t.y[s[2]];
        d[0] = clamp[(y0 + cb) >> 8];
        d[1] = clamp[(y0 + cg) >> 8];
        d[2] = clamp[(y0 + cr) >> 8];
        d[3] = clamp[(y1 + cb) >> 8];
        d[4] = clamp[(y1 + cg) >> 8];
        d[5] = clamp[(y1 + cr) >> 8];
    }
}

#ifdef QUILL_HAVE_X86
constexpr int Pack16(int lo, int hi) {
    return static_cast<int>((static_cast<unsigned>(static_cast<std::uint16_t>(hi)) << 16) |
                            static_cast<std::uint16_t>(lo));
}

// 16 pixels (32 source bytes, 48 destination bytes) per step.  Each 128-bit lane
// holds 8 pixels.  The source bytes are spread into 16-bit (Y, U) and (Y, V)
// pairs, one pair per pixel, so that one multiply-add per channel gives the
// 32-bit sum of the formula exactly; the saturating packs then do the clamp.
// Returns the number of pixels converted (a multiple of 16).
__attribute__((target("avx2"))) int ConvertRowAvx2(const BYTE* s, BYTE* d, int pixels) {
    constexpr char Z = static_cast<char>(0x80);
    const __m256i shufYUlo = _mm256_setr_epi8(0, Z, 1, Z, 2, Z, 1, Z, 4, Z, 5, Z, 6, Z, 5, Z,  //
                                              0, Z, 1, Z, 2, Z, 1, Z, 4, Z, 5, Z, 6, Z, 5, Z);
    const __m256i shufYUhi = _mm256_setr_epi8(8, Z, 9, Z, 10, Z, 9, Z, 12, Z, 13, Z, 14, Z, 13, Z,  //
                                              8, Z, 9, Z, 10, Z, 9, Z, 12, Z, 13, Z, 14, Z, 13, Z);
    const __m256i shufYVlo = _mm256_setr_epi8(0, Z, 3, Z, 2, Z, 3, Z, 4, Z, 7, Z, 6, Z, 7, Z,  //
                                              0, Z, 3, Z, 2, Z, 3, Z, 4, Z, 7, Z, 6, Z, 7, Z);
    const __m256i shufYVhi = _mm256_setr_epi8(8, Z, 11, Z, 10, Z, 11, Z, 12, Z, 15, Z, 14, Z, 15, Z,  //
                                              8, Z, 11, Z, 10, Z, 11, Z, 12, Z, 15, Z, 14, Z, 15, Z);
    const __m256i kB = _mm256_set1_epi32(Pack16(298, 516));
    const __m256i kG1 = _mm256_set1_epi32(Pack16(298, -100));
    const __m256i kG2 = _mm256_set1_epi32(Pack16(0, -208));
    const __m256i kR = _mm256_set1_epi32(Pack16(298, 409));
    const __m256i cB = _mm256_set1_epi32(-70688);
    const __m256i cG = _mm256_set1_epi32(34784);
    const __m256i cR = _mm256_set1_epi32(-56992);
    // Interleave of one lane: BG holds B0..B7 then G0..G7, RR holds R0..R7 twice.
    const __m256i outA_bg = _mm256_setr_epi8(0, 8, Z, 1, 9, Z, 2, 10, Z, 3, 11, Z, 4, 12, Z, 5,  //
                                             0, 8, Z, 1, 9, Z, 2, 10, Z, 3, 11, Z, 4, 12, Z, 5);
    const __m256i outA_r = _mm256_setr_epi8(Z, Z, 0, Z, Z, 1, Z, Z, 2, Z, Z, 3, Z, Z, 4, Z,  //
                                            Z, Z, 0, Z, Z, 1, Z, Z, 2, Z, Z, 3, Z, Z, 4, Z);
    const __m256i outB_bg = _mm256_setr_epi8(13, Z, 6, 14, Z, 7, 15, Z, Z, Z, Z, Z, Z, Z, Z, Z,  //
                                             13, Z, 6, 14, Z, 7, 15, Z, Z, Z, Z, Z, Z, Z, Z, Z);
    const __m256i outB_r = _mm256_setr_epi8(Z, 5, Z, Z, 6, Z, Z, 7, Z, Z, Z, Z, Z, Z, Z, Z,  //
                                            Z, 5, Z, Z, 6, Z, Z, 7, Z, Z, Z, Z, Z, Z, Z, Z);
    int done = 0;
    for (; done + 16 <= pixels; done += 16, s += 32, d += 48) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
        const __m256i yuLo = _mm256_shuffle_epi8(in, shufYUlo);
        const __m256i yuHi = _mm256_shuffle_epi8(in, shufYUhi);
        const __m256i yvLo = _mm256_shuffle_epi8(in, shufYVlo);
        const __m256i yvHi = _mm256_shuffle_epi8(in, shufYVhi);

        const __m256i bLo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuLo, kB), cB), 8);
        const __m256i bHi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuHi, kB), cB), 8);
        const __m256i gLo = _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuLo, kG1), _mm256_madd_epi16(yvLo, kG2)), cG), 8);
        const __m256i gHi = _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuHi, kG1), _mm256_madd_epi16(yvHi, kG2)), cG), 8);
        const __m256i rLo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yvLo, kR), cR), 8);
        const __m256i rHi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yvHi, kR), cR), 8);

        // Values lie in -277..534: the 32->16 pack is exact, the 16->8 pack clamps.
        const __m256i b16 = _mm256_packs_epi32(bLo, bHi);
        const __m256i g16 = _mm256_packs_epi32(gLo, gHi);
        const __m256i r16 = _mm256_packs_epi32(rLo, rHi);
        const __m256i bg = _mm256_packus_epi16(b16, g16);
        const __m256i rr = _mm256_packus_epi16(r16, r16);

        const __m256i a = _mm256_or_si256(_mm256_shuffle_epi8(bg, outA_bg), _mm256_shuffle_epi8(rr, outA_r));
        const __m256i b = _mm256_or_si256(_mm256_shuffle_epi8(bg, outB_bg), _mm256_shuffle_epi8(rr, outB_r));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(a));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm256_castsi256_si128(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 24), _mm256_extracti128_si256(a, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 40), _mm256_extracti128_si256(b, 1));
    }
    return done;
}

bool CpuHasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

}  // namespace

int ConvertYUY2ToBGR24(const BYTE* src, BYTE* dst, int width, int height) {
    if (!src || !dst) return -1;
    if (height < 1 || width < 2) return 0;
    const int pairs = width / 2;
    const std::size_t srcStride = static_cast<std::size_t>(width) * 2;
    const std::size_t dstStride = static_cast<std::size_t>(width) * 3;
#ifdef QUILL_HAVE_X86
    const bool avx2 = CpuHasAvx2();
#endif
    for (int r = 0; r < height; ++r) {
        const BYTE* s = src + static_cast<std::size_t>(r) * srcStride;
        BYTE* d = dst + static_cast<std::size_t>(height - 1 - r) * dstStride;
        int donePixels = 0;
#ifdef QUILL_HAVE_X86
        if (avx2) donePixels = ConvertRowAvx2(s, d, pairs * 2);
#endif
        ConvertRowScalar(s + donePixels * 2, d + donePixels * 3, pairs - donePixels / 2);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// MJPG

// Huffman tables of ITU-T T.81 Annex K.3 as one DHT segment.
const BYTE kStdHuffmanSegment[kStdHuffmanSegmentSize] = {
    0xFF, 0xC4, 0x01, 0xA2,
    // DC table 0 (luminance)
    0x00, 0x00, 0x01, 0x05, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
    // DC table 1 (chrominance)
    0x01, 0x00, 0x03, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B,
    // AC table 0 (luminance)
    0x10, 0x00, 0x02, 0x01, 0x03, 0x03, 0x02, 0x04, 0x03, 0x05, 0x05, 0x04, 0x04, 0x00, 0x00, 0x01, 0x7D,
    0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07,
    0x22, 0x71, 0x14, 0x32, 0x81, 0x91, 0xA1, 0x08, 0x23, 0x42, 0xB1, 0xC1, 0x15, 0x52, 0xD1, 0xF0,
    0x24, 0x33, 0x62, 0x72, 0x82, 0x09, 0x0A, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x25, 0x26, 0x27, 0x28,
    0x29, 0x2A, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49,
    0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69,
    0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89,
    0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
    0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3, 0xC4, 0xC5,
    0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA, 0xE1, 0xE2,
    0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
    0xF9, 0xFA,
    // AC table 1 (chrominance)
    0x11, 0x00, 0x02, 0x01, 0x02, 0x04, 0x04, 0x03, 0x04, 0x07, 0x05, 0x04, 0x04, 0x00, 0x01, 0x02, 0x77,
    0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71,
    0x13, 0x22, 0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xA1, 0xB1, 0xC1, 0x09, 0x23, 0x33, 0x52, 0xF0,
    0x15, 0x62, 0x72, 0xD1, 0x0A, 0x16, 0x24, 0x34, 0xE1, 0x25, 0xF1, 0x17, 0x18, 0x19, 0x1A, 0x26,
    0x27, 0x28, 0x29, 0x2A, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48,
    0x49, 0x4A, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,
    0x69, 0x6A, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,
    0x88, 0x89, 0x8A, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0xA2, 0xA3, 0xA4, 0xA5,
    0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xC2, 0xC3,
    0xC4, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9, 0xDA,
    0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
    0xF9, 0xFA,
};

namespace {

// Offsets 0..kTableSearchWindow are where a frame's own tables must start to count.
constexpr std::size_t kTableSearchWindow = 2048;

// The caller's buffer takes the picture only when the picture fills it exactly.
struct FixedBuffer {
    BYTE* dst;
    std::size_t size;
};

unsigned char* RowsOfFixedBuffer(void* context, int width, int height, int components, std::size_t* rowStep) {
    const FixedBuffer* b = static_cast<const FixedBuffer*>(context);
    const std::size_t stride = static_cast<std::size_t>(width) * components;
    if (stride * static_cast<std::size_t>(height) != b->size) return nullptr;
    *rowStep = stride;
    return b->dst;
}

BOOL DecodeJpeg(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen, JpegPixelOrder order,
                plat::JpegRowSink* seen = nullptr) {
    if (!dst) return FALSE;
    FixedBuffer target{dst, dstSize};
    return plat::DecodeJpeg(src, srcLen, order, RowsOfFixedBuffer, &target, false, seen) ? TRUE : FALSE;
}

// First offset of the pair FF `second` at or after `from`, or srcLen.
std::size_t FindMarker(const BYTE* src, std::size_t srcLen, BYTE second) {
    if (srcLen < 2) return srcLen;
    for (const BYTE* p = src; (p = static_cast<const BYTE*>(std::memchr(p, 0xFF, srcLen - 1 - (p - src))));
         ++p) {
        if (p[1] == second) return static_cast<std::size_t>(p - src);
    }
    return srcLen;
}

BOOL DecodeMjpg(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen, JpegPixelOrder order,
                plat::JpegRowSink* seen = nullptr) {
    if (!dst || !src) return FALSE;
    if (HasHuffmanTables(src, srcLen)) return DecodeJpeg(dst, dstSize, src, srcLen, order, seen);

    const std::size_t sof = FindMarker(src, srcLen, 0xC0);
    if (sof >= srcLen) return FALSE;
    const std::size_t total = srcLen + kStdHuffmanSegmentSize;
    BYTE* whole = static_cast<BYTE*>(std::malloc(total));
    if (!whole) return FALSE;
    std::memcpy(whole, src, sof);
    std::memcpy(whole + sof, kStdHuffmanSegment, kStdHuffmanSegmentSize);
    std::memcpy(whole + sof + kStdHuffmanSegmentSize, src + sof, srcLen - sof);
    const BOOL ok = DecodeJpeg(dst, dstSize, whole, total, order, seen);
    std::free(whole);
    return ok;
}

}  // namespace

BOOL HasHuffmanTables(const BYTE* src, std::size_t srcLen) {
    if (!src) return FALSE;
    for (std::size_t i = 0; i <= kTableSearchWindow && i + 1 < srcLen; ++i) {
        if (src[i] != 0xFF) continue;
        if (src[i + 1] == 0xC4) return TRUE;
        if (src[i + 1] == 0xDA) return FALSE;
    }
    return FALSE;
}

BOOL DecodeJpegToBuffer(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen, JpegPixelOrder order) {
    return DecodeJpeg(dst, dstSize, src, srcLen, order);
}

BOOL DecodeMjpgFrame(MjpgCodec*, BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen) {
    return DecodeMjpg(dst, dstSize, src, srcLen, JpegPixelOrder::RGB);
}

BOOL DecodeMjpgFrameBGR(BYTE* dst, std::size_t dstSize, const BYTE* src, std::size_t srcLen,
                        plat::JpegRowSink* seen) {
    return DecodeMjpg(dst, dstSize, src, srcLen, JpegPixelOrder::BGR, seen);
}

MjpgCodec* MakeMjpgCodec() {
    MjpgCodec* codec = new (std::nothrow) MjpgCodec;
    if (codec) {
        codec->decode = DecodeMjpgFrame;
        codec->release = ReleaseMjpgBuffer;
    }
    return codec;
}

void ReleaseMjpgBuffer(MjpgCodec* codec) { delete codec; }
