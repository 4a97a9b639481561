#include "platform/JpegDecode.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/FrameTurn.h"
#include "platform/JpegTrap.h"

namespace plat {
namespace {

[[noreturn]] void TrapErrorExit(j_common_ptr cinfo) {
    JpegTrap* trap = reinterpret_cast<JpegTrap*>(cinfo->err);
    std::longjmp(trap->jump, 1);
}

void TrapEmitMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;  // trace messages
    JpegTrap* trap = reinterpret_cast<JpegTrap*>(cinfo->err);
    ++trap->mgr.num_warnings;
    // The entropy decoder ran out of data before the image was complete: the
    // rest of the picture would be filled with grey.
    if (trap->mgr.msg_code == JWRN_HIT_MARKER) trap->dataMissing = true;
    if (trap->mgr.msg_code == JWRN_JPEG_EOF) trap->endOfData = true;
}

void TrapOutputMessage(j_common_ptr) {}

}  // namespace

void ArmJpegTrap(jpeg_decompress_struct* cinfo, JpegTrap* trap) {
    std::memset(cinfo, 0, sizeof *cinfo);
    std::memset(trap, 0, sizeof *trap);
    cinfo->err = jpeg_std_error(&trap->mgr);
    trap->mgr.error_exit = TrapErrorExit;
    trap->mgr.emit_message = TrapEmitMessage;
    trap->mgr.output_message = TrapOutputMessage;
}

bool JpegRowPlacer::PlaceNext() {
    if (m_next >= m_count) return false;
    const int i = m_next++;
    if (m_turned)
        ReverseRowOfPixels(m_rows[i], m_first + static_cast<std::size_t>(m_height - 1 - (m_at + i)) * m_step, m_width);
    else
        CopyRowBypassingCache(m_rows[i], m_first + static_cast<std::size_t>(m_at + i) * m_step, m_stride);
    return true;
}

// Kept free of C++ objects with destructors: a libjpeg error longjmps out of
// the calls below.
bool DecodeJpeg(const unsigned char* src, std::size_t srcLen, JpegPixelOrder order, JpegRowsFor rowsFor,
                void* context, bool turned, JpegRowSink* seen) {
    if (!src || !rowsFor || srcLen == 0 || srcLen > static_cast<unsigned long>(-1)) return false;

    jpeg_decompress_struct cinfo;
    JpegTrap trap;
    ArmJpegTrap(&cinfo, &trap);

    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, src, static_cast<unsigned long>(srcLen));
    jpeg_read_header(&cinfo, TRUE);
    if (trap.endOfData) {
        // The header itself ran past the end of the data.
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
#ifdef JCS_EXTENSIONS
    if (order == JpegPixelOrder::BGR && cinfo.out_color_space == JCS_RGB) cinfo.out_color_space = JCS_EXT_BGR;
#endif
    jpeg_calc_output_dimensions(&cinfo);
    std::size_t step = 0;
    unsigned char* first = nullptr;
    if (cinfo.output_width > 0 && cinfo.output_height > 0)
        first = rowsFor(context, static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                        cinfo.output_components, &step);
    if (!first) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components;
#ifndef JCS_EXTENSIONS
    const bool swap = order == JpegPixelOrder::BGR && cinfo.out_color_space == JCS_RGB;
#endif
    // A turned picture is decoded a strip at a time into memory of libjpeg's
    // own pool (freed with the decoder, however it ends), each row then
    // reversed into its place while it is still in the cache.  The strip's
    // rows start off 16- and 32-byte boundaries: libjpeg writes rows that start
    // on one with stores that bypass the cache, and reading them back from
    // memory cost more than the whole turn.
    //
    // Rows someone sees are decoded into the strip too; the placer puts them
    // in their places, with the same stores, while the sink works on them or
    // after it returns.
    turned = turned && cinfo.output_components == 3;
    JpegRowSink* const watcher =
        seen && cinfo.output_components == 3 &&
                seen->Begin(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height))
            ? seen
            : nullptr;
    const bool viaStrip = turned || watcher;
    const bool placed = !watcher || watcher->PlacesRows();
    const std::size_t stripStep = (stride + 15) / 16 * 16;  // every row 8 bytes past a 16-byte boundary
    JSAMPROW strip = nullptr;
    if (viaStrip) {
        auto* block = static_cast<JSAMPLE*>((*cinfo.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&cinfo),
                                                                    JPOOL_IMAGE, 16 * stripStep + 80));
        strip = block + (64 - reinterpret_cast<std::uintptr_t>(block) % 64) % 64 + 8;
    }
    while (cinfo.output_scanline < cinfo.output_height && !trap.dataMissing) {
        JSAMPROW rows[16];
        const JDIMENSION at = cinfo.output_scanline;
        JDIMENSION want = cinfo.output_height - at;
        if (want > 16) want = 16;
        for (JDIMENSION i = 0; i < want; ++i) rows[i] = viaStrip ? strip + i * stripStep : first + (at + i) * step;
        JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, want);
        if (got == 0) break;  // cannot happen with a memory source; never spin
#ifndef JCS_EXTENSIONS
        if (swap)
            for (JDIMENSION i = 0; i < got; ++i)
                for (std::size_t x = 0; x < stride; x += 3) std::swap(rows[i][x], rows[i][x + 2]);
#endif
        if (viaStrip) {
            JpegRowPlacer placer(rows, placed ? static_cast<int>(got) : 0, first, step, stride, static_cast<int>(at),
                                 static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height),
                                 turned);
            if (watcher) watcher->Rows(rows, static_cast<int>(at), static_cast<int>(got), placer);
            while (placer.PlaceNext()) {
            }
        }
    }
    const bool complete = cinfo.output_scanline == cinfo.output_height && !trap.dataMissing;
    if (complete)
        jpeg_finish_decompress(&cinfo);
    else
        jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return complete;
}

}  // namespace plat
