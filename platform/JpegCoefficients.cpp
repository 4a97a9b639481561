#include "platform/JpegCoefficients.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <jerror.h>

namespace plat {
namespace {

// One component's coefficients: for each block the kept ones as they are,
// and a bit for each other one that is not zero.  The decoder reads and
// writes them through a window of whole blocks, the rows it asked for last.
struct FewArray {
    JDIMENSION rows, blocksPerRow, maxAccess;
    int keptCount;
    int kept[64];              // natural-order positions kept whole, the first coefficient first
    std::uint64_t keptMask;    // the same as bits
    JCOEF* values;             // keptCount a block
    std::uint64_t* nonzero;    // one word a block
    JBLOCKARRAY window;        // maxAccess rows
    JDIMENSION windowStart, windowRows;
    bool loaded, writable, dirty;
    FewArray* next;
};

struct FewStore {
    void (*realizeOthers)(j_common_ptr);
    std::uint64_t bytes, maxBytes;
    int requested;  // arrays asked for so far: the decoder asks one per component, in order
    FewArray* arrays;
};

FewStore* StoreOf(j_common_ptr cinfo) {
    return static_cast<FewStore*>(
        static_cast<JpegClient*>(reinterpret_cast<j_decompress_ptr>(cinfo)->client_data)->coefficients);
}

// What a component's reduced inverse transform reads: the first coefficient
// at a width of 1; rows and columns 0, 1, 3, 5 and 7 at a width of 2.
int KeptPositions(int scaledSize, int* kept) {
    if (scaledSize <= 1) {
        kept[0] = 0;
        return 1;
    }
    static const int kLines[5] = {0, 1, 3, 5, 7};
    int n = 0;
    for (int r : kLines)
        for (int c : kLines) kept[n++] = r * DCTSIZE + c;
    return n;
}

// A stand-in for a coefficient known only not to be zero: no bit a
// refinement adds (1 << 13 at most) is set in it, and it stays positive.
constexpr JCOEF kNotZero = 0x4000;

// One bit for each of the block's coefficients that is not zero.
std::uint64_t NonzeroBits(const JCOEF* block) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    std::uint64_t bits = 0;
    for (int i = 0; i < DCTSIZE2; i += 16) {
        const __m128i lo = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i)), zero);
        const __m128i hi = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 8)), zero);
        const auto zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(lo, hi)));
        bits |= static_cast<std::uint64_t>(~zeros & 0xFFFFu) << i;
    }
    return bits;
#else
    std::uint64_t bits = 0;
    for (int k = 0; k < DCTSIZE2; ++k) bits |= static_cast<std::uint64_t>(block[k] != 0) << k;
    return bits;
#endif
}

void Pack(FewArray* a) {
    for (JDIMENSION r = 0; r < a->windowRows; ++r) {
        const std::size_t first = static_cast<std::size_t>(a->windowStart + r) * a->blocksPerRow;
        for (JDIMENSION b = 0; b < a->blocksPerRow; ++b) {
            const JCOEF* block = a->window[r][b];
            JCOEF* values = a->values + (first + b) * static_cast<std::size_t>(a->keptCount);
            for (int k = 0; k < a->keptCount; ++k) values[k] = block[a->kept[k]];
            a->nonzero[first + b] = NonzeroBits(block) & ~a->keptMask;
        }
    }
}

// For writing, the coefficients not kept come back as kNotZero or zero; for
// reading (the picture's output) as zero, which the reduced transform never
// reads anyway.
void Unpack(FewArray* a, bool writable) {
    for (JDIMENSION r = 0; r < a->windowRows; ++r) {
        const std::size_t first = static_cast<std::size_t>(a->windowStart + r) * a->blocksPerRow;
        std::memset(a->window[r], 0, sizeof(JBLOCK) * a->blocksPerRow);
        for (JDIMENSION b = 0; b < a->blocksPerRow; ++b) {
            JCOEF* block = a->window[r][b];
            const JCOEF* values = a->values + (first + b) * static_cast<std::size_t>(a->keptCount);
            for (int k = 0; k < a->keptCount; ++k) block[a->kept[k]] = values[k];
            if (!writable) continue;
            for (std::uint64_t bits = a->nonzero[first + b]; bits; bits &= bits - 1)
                block[__builtin_ctzll(bits)] = kNotZero;
        }
    }
}

jvirt_barray_ptr Request(j_common_ptr cinfo, int pool, boolean, JDIMENSION blocksPerRow, JDIMENSION rows,
                         JDIMENSION maxAccess) {
    FewStore* store = StoreOf(cinfo);
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (store->requested >= d->num_components) ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    const jpeg_component_info* comp = d->comp_info + store->requested++;
    auto* a = static_cast<FewArray*>((*cinfo->mem->alloc_small)(cinfo, pool, sizeof(FewArray)));
    std::memset(a, 0, sizeof *a);
    a->rows = rows;
    a->blocksPerRow = blocksPerRow;
    a->maxAccess = maxAccess;
    a->keptCount = KeptPositions(comp->DCT_scaled_size, a->kept);
    for (int k = 0; k < a->keptCount; ++k) a->keptMask |= std::uint64_t{1} << a->kept[k];
    const std::uint64_t blocks = std::uint64_t{rows} * blocksPerRow;
    const std::uint64_t bytes = blocks * (sizeof(JCOEF) * a->keptCount + sizeof(std::uint64_t)) +
                                std::uint64_t{maxAccess} * blocksPerRow * sizeof(JBLOCK);
    store->bytes += bytes;
    if (store->bytes > store->maxBytes) ERREXIT(cinfo, JERR_OUT_OF_MEMORY);
    // Pre-zeroed, as the decoder asks of a progressive picture's arrays.
    const std::size_t valueBytes = static_cast<std::size_t>(blocks) * sizeof(JCOEF) * a->keptCount;
    a->values = static_cast<JCOEF*>((*cinfo->mem->alloc_large)(cinfo, pool, valueBytes));
    std::memset(a->values, 0, valueBytes);
    a->nonzero = static_cast<std::uint64_t*>(
        (*cinfo->mem->alloc_large)(cinfo, pool, static_cast<std::size_t>(blocks) * sizeof(std::uint64_t)));
    std::memset(a->nonzero, 0, static_cast<std::size_t>(blocks) * sizeof(std::uint64_t));
    a->window = (*cinfo->mem->alloc_barray)(cinfo, pool, blocksPerRow, maxAccess);
    a->next = store->arrays;
    store->arrays = a;
    return reinterpret_cast<jvirt_barray_ptr>(a);
}

void Realize(j_common_ptr cinfo) { StoreOf(cinfo)->realizeOthers(cinfo); }

JBLOCKARRAY Access(j_common_ptr cinfo, jvirt_barray_ptr ptr, JDIMENSION start, JDIMENSION count, boolean writable) {
    auto* a = reinterpret_cast<FewArray*>(ptr);
    if (count > a->maxAccess || start + count > a->rows || count == 0) ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    const bool same = a->loaded && start == a->windowStart && count == a->windowRows;
    if (!same || (writable && !a->writable)) {
        if (a->loaded && a->dirty) Pack(a);
        a->windowStart = start;
        a->windowRows = count;
        a->loaded = true;
        a->writable = writable;
        a->dirty = false;
        Unpack(a, writable);
    }
    if (writable) a->dirty = true;
    return a->window;
}

}  // namespace

bool ReducedEnoughToKeepFew(j_decompress_ptr cinfo) {
    for (int c = 0; c < cinfo->num_components; ++c)
        if (cinfo->comp_info[c].DCT_scaled_size > 2) return false;
    return true;
}

void KeepReducedCoefficients(j_decompress_ptr cinfo, std::uint64_t maxBytes) {
    auto* common = reinterpret_cast<j_common_ptr>(cinfo);
    auto* store = static_cast<FewStore*>((*cinfo->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(FewStore)));
    std::memset(store, 0, sizeof *store);
    store->realizeOthers = cinfo->mem->realize_virt_arrays;
    store->maxBytes = maxBytes;
    static_cast<JpegClient*>(cinfo->client_data)->coefficients = store;
    cinfo->mem->request_virt_barray = Request;
    cinfo->mem->realize_virt_arrays = Realize;
    cinfo->mem->access_virt_barray = Access;
    // Smoothing reads the blocks around the one decoded, and guesses
    // coefficients the reduced transform does not read.
    cinfo->do_block_smoothing = FALSE;
}

std::uint64_t AllCoefficientBytes(j_decompress_ptr cinfo) {
    std::uint64_t bytes = 0;
    for (int c = 0; c < cinfo->num_components; ++c) {
        const jpeg_component_info& comp = cinfo->comp_info[c];
        const std::uint64_t w = (comp.width_in_blocks + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
        const std::uint64_t h = (comp.height_in_blocks + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
        bytes += w * h * sizeof(JBLOCK);
    }
    return bytes;
}

}  // namespace plat
