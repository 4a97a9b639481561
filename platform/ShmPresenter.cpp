#include "platform/ShmPresenter.h"

#include <cstdint>
#include <cstdlib>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <opencv2/imgproc.hpp>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#include "platform/Simd.h"

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
    return i;
}
#endif

}  // namespace

void BgrRowToBgrx(const unsigned char* bgr, unsigned char* out, int width) {
    const std::size_t count = width > 0 ? static_cast<std::size_t>(width) : 0;
    std::size_t done = 0;
#ifdef QUILL_HAVE_X86
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3 && reinterpret_cast<std::uintptr_t>(out) % 16 == 0) done = BgrToBgrxSsse3(bgr, out, count);
#endif
    BgrToBgrxScalar(bgr + 3 * done, out + 4 * done, count - done);
}

void RowsToBgrxDone() {
#ifdef QUILL_HAVE_X86
    _mm_sfence();
#endif
}

namespace {

// Rows of the shared picture start on cache lines, so that they are written
// whole, past the cache.
std::size_t StrideFor(int width) { return (static_cast<std::size_t>(width) + 15) / 16 * 16 * 4; }

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
    for (Segment& segment : m_segments) DropSegment(segment);
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

bool ShmPresenter::EnsureSegment(Segment& segment, std::size_t bytes) {
    if (segment.addr && segment.size >= bytes) return true;
    DropSegment(segment);
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return false;
    void* addr = shmat(id, nullptr, 0);
    if (addr == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return false;
    }
    segment.addr.reset(static_cast<unsigned char*>(addr), [](unsigned char* mapped) { shmdt(mapped); });
    segment.size = bytes;
    segment.seg = xcb_generate_id(m_conn);
    xcb_generic_error_t* error =
        xcb_request_check(m_conn, xcb_shm_attach_checked(m_conn, segment.seg, static_cast<uint32_t>(id), 1));
    // Marked for removal once both sides are attached, so that it goes with
    // the last detach, however the process ends.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        // A display on another machine cannot share our memory.
        std::free(error);
        segment.seg = 0;
        DropSegment(segment);
        return false;
    }
    return true;
}

void ShmPresenter::DropSegment(Segment& segment) {
    if (segment.seg && !xcb_connection_has_error(m_conn)) xcb_shm_detach(m_conn, segment.seg);
    segment.seg = 0;
    segment.addr.reset();
    segment.size = 0;
}

bool ShmPresenter::Fits(cv::Size size) const {
    return !m_broken && size.width > 0 && size.height > 0 && size.width <= 0xffff && size.height <= 0xffff;
}

bool ShmPresenter::Put(int index, cv::Size size) {
    // Rows this thread wrote past the cache reach memory before the display
    // is told to read them, whoever wrote them with which stores.
    RowsToBgrxDone();
    const auto w = static_cast<uint16_t>(size.width), h = static_cast<uint16_t>(size.height);
    const auto total = static_cast<uint16_t>(StrideFor(size.width) / 4);
    xcb_shm_put_image(m_conn, m_window, m_gc, total, h, 0, 0, w, h, 0, 0, m_depth, XCB_IMAGE_FORMAT_Z_PIXMAP, 0,
                      m_segments[index].seg, 0);
    m_syncSequence = xcb_get_input_focus(m_conn).sequence;
    m_pending = true;
    m_front = index;
    m_shownSize = size;
    if (xcb_flush(m_conn) <= 0) m_broken = true;
    return !m_broken;
}

bool ShmPresenter::Present(const cv::Mat& bgr) {
    if (bgr.type() != CV_8UC3 || !Fits(bgr.size())) return false;
    // The display may still be reading the last picture.  A segment someone
    // is writing the next picture into is left alone: the last one is used
    // again once the display is done with it.
    if (!Settle()) return false;
    const int index = m_reserved ? m_front : 1 - m_front;
    const std::size_t stride = StrideFor(bgr.cols);
    if (!EnsureSegment(m_segments[index], stride * bgr.rows)) {
        m_broken = true;
        return false;
    }
    unsigned char* rows = m_segments[index].addr.get();
    for (int y = 0; y < bgr.rows; ++y) BgrRowToBgrx(bgr.ptr(y), rows + stride * y, bgr.cols);
    return Put(index, bgr.size());
}

std::shared_ptr<unsigned char> ShmPresenter::Reserve(cv::Size size, std::size_t* step) {
    if (!step || !Fits(size) || !Settle()) return nullptr;
    Segment& back = m_segments[1 - m_front];
    if (!EnsureSegment(back, StrideFor(size.width) * size.height)) {
        m_broken = true;
        return nullptr;
    }
    m_reserved = true;
    m_reservedSize = size;
    *step = StrideFor(size.width);
    return back.addr;
}

bool ShmPresenter::ReadShown(cv::Mat& bgr) {
    const Segment& front = m_segments[m_front];
    if (!front.addr || bgr.type() != CV_8UC3 || bgr.size() != m_shownSize) return false;
    // The display only reads this picture; reading it too needs no waiting.
    const cv::Mat shown(m_shownSize, CV_8UC4, front.addr.get(), StrideFor(m_shownSize.width));
    cv::cvtColor(shown, bgr, cv::COLOR_BGRA2BGR);
    return true;
}

bool ShmPresenter::PresentReserved(cv::Size size) {
    const bool ready = m_reserved && size == m_reservedSize && Fits(size);
    m_reserved = false;
    return ready && Put(1 - m_front, size);
}

}  // namespace plat
