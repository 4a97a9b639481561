#include "platform/ViewScale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/Simd.h"

// The arithmetic, the same on every path so that all give the same bytes:
// the two source rows an output row lies between are blended into 16-bit
// values with seven fractional bits (each byte is put in the high half of a
// lane and multiplied, keeping the high 16 bits, by its weight in 1/32768),
// then the two blended neighbours of each output pixel are weighted the same
// way (six fractional bits left) and rounded to a byte.  The truncations cost
// less than a twentieth of a level.
//
// The vector paths blend vertically only the pixels each output pixel reads:
// for two output pixels, their four source pixels lie within 16 bytes of a
// row whenever the reduction is at most 3, and one byte shuffle per row
// gathers and spreads them ("left" pixels in one register, "right" ones in
// another).  A wider reduction blends whole rows first and gathers from the
// blend.

namespace plat {
namespace {

using Byte = unsigned char;
using view_scale_detail::Path;

constexpr int kOne = 32768;  // weight 1.0

// Per size pair: where each output column and row takes its pixels, and with
// which weights.
struct Tables {
    int srcWidth = 0, srcHeight = 0, dstWidth = 0, dstHeight = 0;
    std::vector<int> xFirst;             // per output column, its left source pixel
    std::vector<std::uint16_t> xWeight;  // per output column: left weight x4, right weight x4
    std::vector<int> yFirst;
    std::vector<std::uint16_t> yWeight;  // per output row: upper weight, lower weight
    // Gathering by pairs of output columns (when `gather`): the shuffles that
    // spread a pair's left and right source pixels out of 16 bytes from the
    // left pixel of its first column, and the weights of those pixels, four
    // lanes a column.  The "Avx2" tables hold the same in groups of eight
    // columns, in the order the AVX2 path loads them.
    bool gather = false;
    int gatherColumns = 0;  // leading columns whose loads stay inside the row
    std::vector<std::uint32_t> xByte;  // 3 * xFirst: where each column's left pixel starts
    std::vector<Byte> leftSpread, rightSpread, leftSpreadAvx2, rightSpreadAvx2;
    std::vector<std::uint16_t> leftWeight, rightWeight, leftWeightAvx2, rightWeightAvx2;
    std::vector<std::uint16_t> row;  // the vertical blend of a whole row, for wider reductions
};

// OpenCV's INTER_LINEAR placement: centres aligned, a position before the
// first pixel or on the last one takes that pixel alone.  Positions are
// worked out exactly, (2d + 1) * srcLen / (2 * dstLen) - 1/2, and weights
// rounded half to even, so that mirrored output positions get mirrored
// weights: the picture of a frame turned half way round is then the turned
// picture of the frame, to the byte.
void Taps(int dstLen, int srcLen, std::vector<int>& first, std::vector<int>& right) {
    first.resize(dstLen);
    right.resize(dstLen);
    const std::int64_t den = 2 * static_cast<std::int64_t>(dstLen);
    for (int d = 0; d < dstLen; ++d) {
        const std::int64_t num = (2 * static_cast<std::int64_t>(d) + 1) * srcLen - dstLen;
        std::int64_t s = num < 0 ? 0 : num / den, frac = num < 0 ? 0 : num % den;
        if (s >= srcLen - 1) s = srcLen - 1, frac = 0;
        std::int64_t w = frac * kOne / den;
        const std::int64_t rest = frac * kOne % den;
        if (2 * rest > den || (2 * rest == den && (w & 1))) ++w;
        first[d] = static_cast<int>(s);
        right[d] = static_cast<int>(w);
    }
}

constexpr Byte kZero = 0x80;  // a shuffle index that yields 0

// The AVX2 path makes eight columns from two registers whose 128-bit halves
// hold the pairs of columns (0,1 | 4,5) and (2,3 | 6,7).
constexpr int kPairOrderAvx2[4] = {0, 2, 1, 3};

void GatherTables(Tables& t) {
    const int n = t.dstWidth;
    t.gather = true;
    for (int i = 0; i + 1 < n; i += 2)
        if (t.xFirst[i + 1] - t.xFirst[i] > 3) t.gather = false;
    if (!t.gather) return;
    t.xByte.assign(t.xFirst.begin(), t.xFirst.end());
    for (std::uint32_t& at : t.xByte) at *= 3;
    t.gatherColumns = 0;
    while (t.gatherColumns + 2 <= n && 3 * t.xFirst[t.gatherColumns] + 16 <= 3 * t.srcWidth) t.gatherColumns += 2;
    const int pairs = (n + 1) / 2;
    t.leftSpread.assign(static_cast<std::size_t>(pairs) * 16, kZero);
    t.rightSpread.assign(t.leftSpread.size(), kZero);
    t.leftWeight.assign(static_cast<std::size_t>(pairs) * 8, 0);
    t.rightWeight.assign(t.leftWeight.size(), 0);
    for (int i = 0; i < n; ++i) {
        const int pair = i / 2, half = i % 2, at = 3 * (t.xFirst[i] - t.xFirst[2 * pair]);
        for (int c = 0; c < 3; ++c) {
            // Into the high byte of 16-bit lane c of the column's half.
            t.leftSpread[16 * pair + 8 * half + 2 * c + 1] = static_cast<Byte>(at + c);
            t.rightSpread[16 * pair + 8 * half + 2 * c + 1] = static_cast<Byte>(at + 3 + c);
        }
        for (int c = 0; c < 4; ++c) {
            t.leftWeight[4 * i + c] = t.xWeight[8 * i];
            t.rightWeight[4 * i + c] = t.xWeight[8 * i + 4];
        }
    }
    t.leftSpreadAvx2 = t.leftSpread;
    t.rightSpreadAvx2 = t.rightSpread;
    t.leftWeightAvx2 = t.leftWeight;
    t.rightWeightAvx2 = t.rightWeight;
    for (int g = 0; g + 8 <= n; g += 8)
        for (int k = 0; k < 4; ++k) {
            const int from = g / 2 + kPairOrderAvx2[k], to = g / 2 + k;
            std::copy_n(&t.leftSpread[16 * from], 16, &t.leftSpreadAvx2[16 * to]);
            std::copy_n(&t.rightSpread[16 * from], 16, &t.rightSpreadAvx2[16 * to]);
            std::copy_n(&t.leftWeight[8 * from], 8, &t.leftWeightAvx2[8 * to]);
            std::copy_n(&t.rightWeight[8 * from], 8, &t.rightWeightAvx2[8 * to]);
        }
}

void BuildTables(Tables& t, int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    if (t.srcWidth == srcWidth && t.srcHeight == srcHeight && t.dstWidth == dstWidth && t.dstHeight == dstHeight)
        return;
    t.srcWidth = srcWidth, t.srcHeight = srcHeight, t.dstWidth = dstWidth, t.dstHeight = dstHeight;
    std::vector<int> right;
    Taps(dstWidth, srcWidth, t.xFirst, right);
    t.xWeight.assign(static_cast<std::size_t>(dstWidth) * 8, 0);
    for (int i = 0; i < dstWidth; ++i)
        for (int c = 0; c < 4; ++c) {
            t.xWeight[8 * i + c] = static_cast<std::uint16_t>(kOne - right[i]);
            t.xWeight[8 * i + 4 + c] = static_cast<std::uint16_t>(right[i]);
        }
    Taps(dstHeight, srcHeight, t.yFirst, right);
    t.yWeight.resize(static_cast<std::size_t>(dstHeight) * 2);
    for (int j = 0; j < dstHeight; ++j) {
        t.yWeight[2 * j] = static_cast<std::uint16_t>(kOne - right[j]);
        t.yWeight[2 * j + 1] = static_cast<std::uint16_t>(right[j]);
    }
    GatherTables(t);
    // A column on the last source pixel reads the spare pixel after it, with weight 0.
    if (!t.gather) t.row.assign(static_cast<std::size_t>(srcWidth + 1) * 4, 0);
}

inline unsigned MulHigh(unsigned a, unsigned b) { return (a * b) >> 16; }

// Output columns [from, to) of a row straight from its two source rows.
void RowScalar(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1, const Tables& t, Byte* d, int from,
               int to) {
    for (int i = from; i < to; ++i) {
        const int left = 3 * t.xFirst[i], right = 3 * std::min(t.xFirst[i] + 1, t.srcWidth - 1);
        const unsigned u0 = t.xWeight[8 * i], u1 = t.xWeight[8 * i + 4];
        for (int c = 0; c < 3; ++c) {
            const unsigned l = MulHigh(r0[left + c] << 8, w0) + MulHigh(r1[left + c] << 8, w1);
            const unsigned r = MulHigh(r0[right + c] << 8, w0) + MulHigh(r1[right + c] << 8, w1);
            const unsigned h = MulHigh(l, u0) + MulHigh(r, u1);  // six fractional bits
            d[3 * i + c] = static_cast<Byte>(std::min(255u, (h + 32) >> 6));
        }
    }
}

// Pixels [from, to) of source rows r0, r1 into the blended row v.
void VerticalScalar(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1, std::uint16_t* v, int from, int to) {
    for (int x = from; x < to; ++x) {
        for (int c = 0; c < 3; ++c)
            v[4 * x + c] = static_cast<std::uint16_t>(MulHigh(r0[3 * x + c] << 8, w0) + MulHigh(r1[3 * x + c] << 8, w1));
        v[4 * x + 3] = 0;
    }
}

#ifdef QUILL_HAVE_X86
constexpr char z = -128;

// The next output row's source rows are fetched while this one is made: a
// frame just decoded comes from memory, and this hides most of the wait.
// Eight output columns span less than 64 source bytes up to a reduction of
// 2.6, so one fetch per eight columns reaches every line; beyond that the
// processor's own prefetching fills in.
inline void Prefetch(const Byte* next0, const Byte* next1, std::uint32_t offset) {
    _mm_prefetch(reinterpret_cast<const char*>(next0 + offset), _MM_HINT_T0);
    _mm_prefetch(reinterpret_cast<const char*>(next1 + offset), _MM_HINT_T0);
}

#define QUILL_COMPACT 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, z, z, z, z

// Sums of weighted pairs (six fractional bits) rounded to bytes: (h * 512 +
// 16384) >> 15 is (h + 32) >> 6.
__attribute__((target("ssse3"))) inline __m128i RoundToBytes(__m128i a, __m128i b) {
    const __m128i round = _mm_set1_epi16(512);
    return _mm_packus_epi16(_mm_mulhrs_epi16(a, round), _mm_mulhrs_epi16(b, round));
}

// Two output columns from 16 bytes of each source row (`at`): their left and
// right pixels spread by `ls` and `rs`, weighted by `lw` and `rw`.
__attribute__((target("ssse3"))) inline __m128i PairSsse3(const Byte* r0, const Byte* r1, std::uint32_t at, __m128i w0,
                                                         __m128i w1, const Byte* ls, const Byte* rs,
                                                         const std::uint16_t* lw, const std::uint16_t* rw) {
    const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + at));
    const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + at));
    const __m128i lsv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ls));
    const __m128i rsv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rs));
    const __m128i l = _mm_add_epi16(_mm_mulhi_epu16(_mm_shuffle_epi8(s0, lsv), w0),
                                    _mm_mulhi_epu16(_mm_shuffle_epi8(s1, lsv), w1));
    const __m128i r = _mm_add_epi16(_mm_mulhi_epu16(_mm_shuffle_epi8(s0, rsv), w0),
                                    _mm_mulhi_epu16(_mm_shuffle_epi8(s1, rsv), w1));
    return _mm_add_epi16(_mm_mulhi_epu16(l, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lw))),
                         _mm_mulhi_epu16(r, _mm_loadu_si128(reinterpret_cast<const __m128i*>(rw))));
}

// Returns how many leading columns it made.
__attribute__((target("ssse3"))) int GatherRowSsse3(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1,
                                                     const Tables& t, Byte* d, const Byte* next0,
                                                     const Byte* next1) {
    const __m128i a = _mm_set1_epi16(static_cast<short>(w0)), b = _mm_set1_epi16(static_cast<short>(w1));
    const __m128i compact = _mm_setr_epi8(QUILL_COMPACT);
    const std::uint32_t* at = t.xByte.data();
    const Byte* ls = t.leftSpread.data();
    const Byte* rs = t.rightSpread.data();
    const std::uint16_t* lw = t.leftWeight.data();
    const std::uint16_t* rw = t.rightWeight.data();
    const int end = std::min(t.gatherColumns, t.dstWidth - 2);  // 3 * i + 16 <= 3 * dstWidth
    int i = 0;
    // Four columns a step; each store writes 16 bytes for 12, the next step or
    // the tail writes the rest.
    for (; i + 4 <= end; i += 4) {
        if (i % 8 == 0) Prefetch(next0, next1, at[i]);
        const __m128i px =
            RoundToBytes(PairSsse3(r0, r1, at[i], a, b, ls + 8 * i, rs + 8 * i, lw + 4 * i, rw + 4 * i),
                         PairSsse3(r0, r1, at[i + 2], a, b, ls + 8 * i + 16, rs + 8 * i + 16, lw + 4 * i + 8,
                                   rw + 4 * i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), _mm_shuffle_epi8(px, compact));
    }
    return i;
}

// 16 bytes from `lo` in the low half, 16 from `hi` in the high one.
__attribute__((target("avx2"))) inline __m256i Both(const Byte* row, std::uint32_t lo, std::uint32_t hi) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + lo))),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + hi)), 1);
}

// Two pairs of output columns, one in each 128-bit half.
__attribute__((target("avx2"))) inline __m256i PairsAvx2(const Byte* r0, const Byte* r1, std::uint32_t lo, std::uint32_t hi, __m256i w0,
                                                        __m256i w1, const Byte* ls, const Byte* rs,
                                                        const std::uint16_t* lw, const std::uint16_t* rw) {
    const __m256i s0 = Both(r0, lo, hi), s1 = Both(r1, lo, hi);
    const __m256i lsv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(ls));
    const __m256i rsv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rs));
    const __m256i l = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_shuffle_epi8(s0, lsv), w0),
                                       _mm256_mulhi_epu16(_mm256_shuffle_epi8(s1, lsv), w1));
    const __m256i r = _mm256_add_epi16(_mm256_mulhi_epu16(_mm256_shuffle_epi8(s0, rsv), w0),
                                       _mm256_mulhi_epu16(_mm256_shuffle_epi8(s1, rsv), w1));
    return _mm256_add_epi16(_mm256_mulhi_epu16(l, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lw))),
                            _mm256_mulhi_epu16(r, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rw))));
}

__attribute__((target("avx2"))) int GatherRowAvx2(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1,
                                                   const Tables& t, Byte* d, const Byte* next0, const Byte* next1) {
    const __m256i a = _mm256_set1_epi16(static_cast<short>(w0)), b = _mm256_set1_epi16(static_cast<short>(w1));
    const __m256i compact = _mm256_setr_epi8(QUILL_COMPACT, QUILL_COMPACT);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    const __m256i round = _mm256_set1_epi16(512);
    // Locals, not members: the stores into the row could alias the tables.
    const std::uint32_t* at = t.xByte.data();
    const Byte* ls = t.leftSpreadAvx2.data();
    const Byte* rs = t.rightSpreadAvx2.data();
    const std::uint16_t* lw = t.leftWeightAvx2.data();
    const std::uint16_t* rw = t.rightWeightAvx2.data();
    const Byte* ls4 = t.leftSpread.data();
    const Byte* rs4 = t.rightSpread.data();
    const std::uint16_t* lw4 = t.leftWeight.data();
    const std::uint16_t* rw4 = t.rightWeight.data();
    const int end = std::min(t.gatherColumns, t.dstWidth - 3);  // 3 * i + 32 <= 3 * dstWidth
    int i = 0;
    // Eight columns a step, 24 bytes in a 32-byte store.
    for (; i + 8 <= end; i += 8) {
        Prefetch(next0, next1, at[i]);
        // Columns 0,1 | 4,5 and 2,3 | 6,7.
        const __m256i h0 = PairsAvx2(r0, r1, at[i], at[i + 4], a, b, ls + 8 * i, rs + 8 * i,
                                     lw + 4 * i, rw + 4 * i);
        const __m256i h1 = PairsAvx2(r0, r1, at[i + 2], at[i + 6], a, b, ls + 8 * i + 32,
                                     rs + 8 * i + 32, lw + 4 * i + 16, rw + 4 * i + 16);
        const __m256i px = _mm256_packus_epi16(_mm256_mulhrs_epi16(h0, round), _mm256_mulhrs_epi16(h1, round));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + 3 * i),
                            _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(px, compact), join));
    }
    // The last few columns four at a time, as the SSSE3 path makes them.
    const __m128i a4 = _mm256_castsi256_si128(a), b4 = _mm256_castsi256_si128(b);
    const int end4 = std::min(t.gatherColumns, t.dstWidth - 2);  // 3 * i + 16 <= 3 * dstWidth
    for (; i + 4 <= end4; i += 4) {
        const __m128i px = RoundToBytes(
            PairSsse3(r0, r1, at[i], a4, b4, ls4 + 8 * i, rs4 + 8 * i, lw4 + 4 * i, rw4 + 4 * i),
            PairSsse3(r0, r1, at[i + 2], a4, b4, ls4 + 8 * i + 16, rs4 + 8 * i + 16, lw4 + 4 * i + 8, rw4 + 4 * i + 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i),
                         _mm_shuffle_epi8(px, _mm256_castsi256_si128(compact)));
    }
    return i;
}

// For reductions wider than 3: the vertical blend of a whole row, four
// values a pixel, then each output column from its two blended neighbours.
#define QUILL_SPREAD_LO z, 0, z, 1, z, 2, z, z, z, 3, z, 4, z, 5, z, z
#define QUILL_SPREAD_HI z, 6, z, 7, z, 8, z, z, z, 9, z, 10, z, 11, z, z

__attribute__((target("ssse3"))) int VerticalSsse3(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1,
                                                    std::uint16_t* v, int width) {
    const __m128i lo = _mm_setr_epi8(QUILL_SPREAD_LO), hi = _mm_setr_epi8(QUILL_SPREAD_HI);
    const __m128i a = _mm_set1_epi16(static_cast<short>(w0)), b = _mm_set1_epi16(static_cast<short>(w1));
    int x = 0;
    for (; 3 * x + 16 <= 3 * width; x += 4) {
        const __m128i s0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r0 + 3 * x));
        const __m128i s1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r1 + 3 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + 4 * x),
                         _mm_add_epi16(_mm_mulhi_epu16(_mm_shuffle_epi8(s0, lo), a),
                                       _mm_mulhi_epu16(_mm_shuffle_epi8(s1, lo), b)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(v + 4 * x + 8),
                         _mm_add_epi16(_mm_mulhi_epu16(_mm_shuffle_epi8(s0, hi), a),
                                       _mm_mulhi_epu16(_mm_shuffle_epi8(s1, hi), b)));
    }
    return x;
}

// Output column i's two neighbours in the blended row, each times its weight.
__attribute__((target("ssse3"))) inline __m128i Weighted(const std::uint16_t* v, const Tables& t, int i) {
    return _mm_mulhi_epu16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v + 4 * t.xFirst[i])),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(&t.xWeight[8 * i])));
}

__attribute__((target("ssse3"))) int HorizontalSsse3(const std::uint16_t* v, const Tables& t, Byte* d) {
    const __m128i compact = _mm_setr_epi8(QUILL_COMPACT);
    int i = 0;
    for (; 3 * i + 16 <= 3 * t.dstWidth; i += 4) {
        const __m128i m0 = Weighted(v, t, i), m1 = Weighted(v, t, i + 1);
        const __m128i m2 = Weighted(v, t, i + 2), m3 = Weighted(v, t, i + 3);
        const __m128i px = RoundToBytes(_mm_add_epi16(_mm_unpacklo_epi64(m0, m1), _mm_unpackhi_epi64(m0, m1)),
                                        _mm_add_epi16(_mm_unpacklo_epi64(m2, m3), _mm_unpackhi_epi64(m2, m3)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 3 * i), _mm_shuffle_epi8(px, compact));
    }
    return i;
}

// Eight columns a step straight as the display's words: the blend leaves each
// pixel in four bytes (B, G, R, 0), so the BGR path's packing is left out and
// the fourth byte set.  Reversed, each step's pixels are turned round and go
// to the mirrored place.  Plain stores: spread over the blending they cost
// less than stores that bypass the cache, which stall each time the last one
// of a line waits for the next step.
__attribute__((target("avx2"))) int GatherWordsAvx2(const Byte* r0, const Byte* r1, unsigned w0, unsigned w1,
                                                    const Tables& t, Byte* first, std::ptrdiff_t stride) {
    const __m256i a = _mm256_set1_epi16(static_cast<short>(w0)), b = _mm256_set1_epi16(static_cast<short>(w1));
    const __m256i round = _mm256_set1_epi16(512);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xff000000u));
    const __m256i order =
        stride < 0 ? _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0) : _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const std::uint32_t* at = t.xByte.data();
    const Byte* ls = t.leftSpreadAvx2.data();
    const Byte* rs = t.rightSpreadAvx2.data();
    const std::uint16_t* lw = t.leftWeightAvx2.data();
    const std::uint16_t* rw = t.rightWeightAvx2.data();
    int i = 0;
    for (; i + 8 <= t.gatherColumns; i += 8) {
        const __m256i h0 = PairsAvx2(r0, r1, at[i], at[i + 4], a, b, ls + 8 * i, rs + 8 * i, lw + 4 * i, rw + 4 * i);
        const __m256i h1 = PairsAvx2(r0, r1, at[i + 2], at[i + 6], a, b, ls + 8 * i + 32, rs + 8 * i + 32,
                                     lw + 4 * i + 16, rw + 4 * i + 16);
        const __m256i px = _mm256_or_si256(
            _mm256_packus_epi16(_mm256_mulhrs_epi16(h0, round), _mm256_mulhrs_epi16(h1, round)), opaque);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(first + stride * (i / 8)),
                            _mm256_permutevar8x32_epi32(px, order));
    }
    return i;
}
#endif

Path Best() {
#ifdef QUILL_HAVE_X86
    static const Path best = __builtin_cpu_supports("avx2")    ? Path::Avx2
                             : __builtin_cpu_supports("ssse3") ? Path::Ssse3
                                                               : Path::Scalar;
    return best;
#else
    return Path::Scalar;
#endif
}

thread_local Path g_forced = Path::Best;

Path PathInUse() { return g_forced == Path::Best ? Best() : g_forced; }

// Output row j from its two source rows; next0 and next1 are the rows of the
// row after, fetched meanwhile.
void MakeRow(Tables& t, Path path, int j, const Byte* r0, const Byte* r1, Byte* d, const Byte* next0,
             const Byte* next1) {
    const unsigned w0 = t.yWeight[2 * j], w1 = t.yWeight[2 * j + 1];
    int done = 0;
#ifdef QUILL_HAVE_X86
    if (path != Path::Scalar && !t.gather) {
        std::uint16_t* v = t.row.data();
        VerticalScalar(r0, r1, w0, w1, v, VerticalSsse3(r0, r1, w0, w1, v, t.srcWidth), t.srcWidth);
        done = HorizontalSsse3(v, t, d);
    } else if (path == Path::Avx2) {
        done = GatherRowAvx2(r0, r1, w0, w1, t, d, next0, next1);
    } else if (path == Path::Ssse3) {
        done = GatherRowSsse3(r0, r1, w0, w1, t, d, next0, next1);
    }
#endif
    RowScalar(r0, r1, w0, w1, t, d, done, t.dstWidth);
}

bool Refused(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    return srcWidth <= 0 || srcHeight <= 0 || dstWidth <= 0 || dstHeight <= 0 || dstWidth > srcWidth ||
           dstHeight > srcHeight;
}

}  // namespace

namespace view_scale_detail {

bool ForcePath(Path path) {
    const Path best = Best();
    const bool available = path == Path::Best || path == Path::Scalar || path == best ||
                           (path == Path::Ssse3 && best == Path::Avx2);
    if (available) g_forced = path;
    return available;
}

}  // namespace view_scale_detail

bool ScaleBilinearBGR(const unsigned char* src, int srcWidth, int srcHeight, std::size_t srcStep,
                      unsigned char* dst, int dstWidth, int dstHeight, std::size_t dstStep) {
    if (!src || !dst || Refused(srcWidth, srcHeight, dstWidth, dstHeight) ||
        srcStep < 3 * static_cast<std::size_t>(srcWidth) || dstStep < 3 * static_cast<std::size_t>(dstWidth))
        return false;
    thread_local Tables t;
    BuildTables(t, srcWidth, srcHeight, dstWidth, dstHeight);
    const Path path = PathInUse();
    auto rowAt = [&](int y) { return src + static_cast<std::size_t>(y) * srcStep; };
    for (int j = 0; j < dstHeight; ++j) {
        const int y0 = t.yFirst[j], next = t.yFirst[std::min(j + 1, dstHeight - 1)];
        MakeRow(t, path, j, rowAt(y0), rowAt(std::min(y0 + 1, srcHeight - 1)),
                dst + static_cast<std::size_t>(j) * dstStep, rowAt(next), rowAt(std::min(next + 1, srcHeight - 1)));
    }
    return true;
}

bool ScalesByRows(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    return !Refused(srcWidth, srcHeight, dstWidth, dstHeight) && dstWidth < srcWidth &&
           std::min(srcWidth / dstWidth, srcHeight / dstHeight) < 2;
}

namespace view_scale_detail {

struct RowScaler::Plan {
    Tables tables;
};

RowScaler::RowScaler() : m_plan(std::make_unique<Plan>()) {}
RowScaler::~RowScaler() = default;

bool RowScaler::Start(int srcWidth, int srcHeight, int dstWidth, int dstHeight) {
    if (Refused(srcWidth, srcHeight, dstWidth, dstHeight)) return false;
    BuildTables(m_plan->tables, srcWidth, srcHeight, dstWidth, dstHeight);
    return true;
}

int RowScaler::SourceRow(int j) const { return m_plan->tables.yFirst[j]; }

void RowScaler::Make(int j, const unsigned char* r0, const unsigned char* r1, unsigned char* d) const {
    // The rows come straight from the decoder: nothing to fetch ahead.
    MakeRow(m_plan->tables, PathInUse(), j, r0, r1, d, r0, r1);
}

bool RowScaler::MakeWords(int j, const unsigned char* r0, const unsigned char* r1, unsigned char* words,
                          bool reversed, unsigned char* scratch) const {
#ifdef QUILL_HAVE_X86
    const Tables& t = m_plan->tables;
    if (PathInUse() != Path::Avx2 || !t.gather || t.dstWidth < 8) return false;
    const unsigned w0 = t.yWeight[2 * j], w1 = t.yWeight[2 * j + 1];
    // Eight columns go to 32 bytes: from the row's start on, or back from its end.
    Byte* first = reversed ? words + 4 * static_cast<std::size_t>(t.dstWidth - 8) : words;
    const std::ptrdiff_t stride = reversed ? -32 : 32;
    const int done = GatherWordsAvx2(r0, r1, w0, w1, t, first, stride);
    RowScalar(r0, r1, w0, w1, t, scratch, done, t.dstWidth);
    for (int i = done; i < t.dstWidth; ++i) {
        Byte* word = words + 4 * static_cast<std::size_t>(reversed ? t.dstWidth - 1 - i : i);
        word[0] = scratch[3 * i], word[1] = scratch[3 * i + 1], word[2] = scratch[3 * i + 2], word[3] = 0xff;
    }
    return true;
#else
    (void)j, (void)r0, (void)r1, (void)words, (void)reversed, (void)scratch;
    return false;
#endif
}

}  // namespace view_scale_detail

}  // namespace plat
