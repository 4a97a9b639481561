#include "platform/ShmPresenter.h"

#include <cstdint>
#include <cstdlib>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QUILL_HAVE_X86 1
#endif

namespace plat {
namespace {

using Byte = unsigned char;

// `count` pixels B, G, R into 32-bit words B, G, R, 255.  The words go to
// memory the display reads from another process: written past the cache, no
// line of it is fetched first only to be overwritten.
void BgrToBgrxScalar(const Byte* s, Byte* d, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, s += 3, d += 4) {
        d[0] = s[0];
        d[1] = s[1];
        d[2] = s[2];
        d[3] = 255;
    }
}

#ifdef QUILL_HAVE_X86
// Sixteen pixels at a time (48 bytes in, 64 out); `d` 16-byte aligned.
// Returns how many pixels were done.
__attribute__((target("ssse3"))) std::size_t BgrToBgrxSsse3(const Byte* s, Byte* d, std::size_t count) {
    constexpr char z = -128;
    const __m128i spread = _mm_setr_epi8(0, 1, 2, z, 3, 4, 5, z, 6, 7, 8, z, 9, 10, 11, z);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xff000000u));
    std::size_t i = 0;
    // The last load of a block reads four bytes past it: stop a block early.
    for (; i + 17 <= count; i += 16, s += 48, d += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 12));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 24));
        const __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 36));
        __m128i* out = reinterpret_cast<__m128i*>(d);
        _mm_stream_si128(out, _mm_or_si128(_mm_shuffle_epi8(a, spread), opaque));
        _mm_stream_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(b, spread), opaque));
        _mm_stream_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(c, spread), opaque));
        _mm_stream_si128(out + 3, _mm_or_si128(_mm_shuffle_epi8(e, spread), opaque));
    }
    _mm_sfence();
    return i;
}
#endif

// The whole picture, its rows one after another on both sides.
void BgrToBgrx(const cv::Mat& bgr, Byte* out) {
    const std::size_t width = static_cast<std::size_t>(bgr.cols);
    if (bgr.isContinuous()) {
        const std::size_t count = width * bgr.rows;
        std::size_t done = 0;
#ifdef QUILL_HAVE_X86
        static const bool ssse3 = __builtin_cpu_supports("ssse3");
        if (ssse3 && reinterpret_cast<std::uintptr_t>(out) % 16 == 0) done = BgrToBgrxSsse3(bgr.data, out, count);
#endif
        BgrToBgrxScalar(bgr.data + 3 * done, out + 4 * done, count - done);
        return;
    }
    for (int y = 0; y < bgr.rows; ++y) BgrToBgrxScalar(bgr.ptr(y), out + 4 * width * y, width);
}

// The pixel layout the picture is written in: 32-bit words 0x00RRGGBB, the
// bytes B, G, R and one unused, as the display stores a 24-bit TrueColor
// picture on a little-endian server.
bool DisplayTakesBgrx(xcb_connection_t* conn, unsigned char depth) {
    const xcb_setup_t* setup = xcb_get_setup(conn);
    if (!setup || setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) return false;
    const xcb_format_t* formats = xcb_setup_pixmap_formats(setup);
    for (int i = 0, n = xcb_setup_pixmap_formats_length(setup); i < n; ++i)
        if (formats[i].depth == depth) return formats[i].bits_per_pixel == 32;
    return false;
}

bool VisualIsBgrx(GdkVisual* visual) {
    if (!visual) return false;
    guint32 red = 0, green = 0, blue = 0;
    gdk_visual_get_red_pixel_details(visual, &red, nullptr, nullptr);
    gdk_visual_get_green_pixel_details(visual, &green, nullptr, nullptr);
    gdk_visual_get_blue_pixel_details(visual, &blue, nullptr, nullptr);
    const int depth = gdk_visual_get_depth(visual);
    return (depth == 24 || depth == 32) && red == 0xff0000 && green == 0xff00 && blue == 0xff;
}

}  // namespace

std::unique_ptr<ShmPresenter> ShmPresenter::ForWindow(GdkWindow* window) {
    if (!window || !gdk_window_has_native(window) || gdk_window_get_scale_factor(window) != 1) return nullptr;
    GdkDisplay* display = gdk_window_get_display(window);
    if (!GDK_IS_X11_DISPLAY(display) || !VisualIsBgrx(gdk_window_get_visual(window))) return nullptr;
    // The toolkit's own connection may not have sent the window's creation
    // yet: requests on ours about it must come after.
    gdk_display_sync(display);

    std::unique_ptr<ShmPresenter> p(new ShmPresenter);
    p->m_conn = xcb_connect(gdk_display_get_name(display), nullptr);
    if (xcb_connection_has_error(p->m_conn)) return nullptr;  // the destructor disconnects
    p->m_window = static_cast<unsigned>(gdk_x11_window_get_xid(window));
    p->m_depth = static_cast<unsigned char>(gdk_visual_get_depth(gdk_window_get_visual(window)));
    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(p->m_conn, &xcb_shm_id);
    if (!shm || !shm->present || !DisplayTakesBgrx(p->m_conn, p->m_depth)) return nullptr;
    p->m_gc = xcb_generate_id(p->m_conn);
    const uint32_t noExposures = 0;
    xcb_generic_error_t* error = xcb_request_check(
        p->m_conn, xcb_create_gc_checked(p->m_conn, p->m_gc, p->m_window, XCB_GC_GRAPHICS_EXPOSURES, &noExposures));
    if (error) {
        std::free(error);
        p->m_gc = 0;
        return nullptr;
    }
    return p;
}

ShmPresenter::~ShmPresenter() {
    if (!m_conn) return;
    if (!m_broken) Settle();
    DropSegment();
    if (m_gc && !xcb_connection_has_error(m_conn)) xcb_free_gc(m_conn, m_gc);
    xcb_disconnect(m_conn);
}

bool ShmPresenter::Settle() {
    if (m_pending) {
        m_pending = false;
        xcb_get_input_focus_cookie_t cookie{m_syncSequence};
        xcb_generic_error_t* error = nullptr;
        std::free(xcb_get_input_focus_reply(m_conn, cookie, &error));
        if (error) {
            std::free(error);
            m_broken = true;
        }
    }
    // Requests go unchecked, so a refusal (the window destroyed under us)
    // comes back as an event.
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_conn)) {
        if (event->response_type == 0) m_broken = true;
        std::free(event);
    }
    if (xcb_connection_has_error(m_conn)) m_broken = true;
    return !m_broken;
}

bool ShmPresenter::EnsureSegment(std::size_t bytes) {
    if (m_shmAddr && m_shmSize >= bytes) return true;
    DropSegment();
    m_shmId = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (m_shmId < 0) return false;
    void* addr = shmat(m_shmId, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(m_shmId, IPC_RMID, nullptr);
        m_shmId = -1;
        return false;
    }
    m_shmAddr = addr;
    m_shmSize = bytes;
    m_seg = xcb_generate_id(m_conn);
    xcb_generic_error_t* error =
        xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, m_seg, static_cast<uint32_t>(m_shmId), 1));
    // Marked for removal once both sides are attached, so that it goes with
    // the last detach, however the process ends.
    shmctl(m_shmId, IPC_RMID, nullptr);
    if (error) {
        // A display on another machine cannot share our memory.
        std::free(error);
        m_seg = 0;
        DropSegment();
        return false;
    }
    return true;
}

void ShmPresenter::DropSegment() {
    if (m_seg && !xcb_connection_has_error(m_conn)) xcb_shm_detach(m_conn, m_seg);
    m_seg = 0;
    if (m_shmAddr) shmdt(m_shmAddr);
    m_shmAddr = nullptr;
    m_shmSize = 0;
    m_shmId = -1;
}

bool ShmPresenter::Present(const cv::Mat& bgr) {
    if (m_broken || bgr.empty() || bgr.type() != CV_8UC3 || bgr.cols > 0xffff || bgr.rows > 0xffff) return false;
    // The display may still be reading the last picture from the segment.
    if (!Settle()) return false;
    const std::size_t bytes = static_cast<std::size_t>(bgr.cols) * bgr.rows * 4;
    if (!EnsureSegment(bytes)) {
        m_broken = true;
        return false;
    }
    BgrToBgrx(bgr, static_cast<Byte*>(m_shmAddr));
    const auto w = static_cast<uint16_t>(bgr.cols), h = static_cast<uint16_t>(bgr.rows);
    xcb_shm_put_image(m_conn, m_window, m_gc, w, h, 0, 0, w, h, 0, 0, m_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0, m_seg,
                      0);
    m_syncSequence = xcb_get_input_focus(m_conn).sequence;
    m_pending = true;
    if (xcb_flush(m_conn) <= 0) {
        m_broken = true;
        return false;
    }
    return true;
}

}  // namespace plat
