#include "controls/PictureEx.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <system_error>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/settings.h>

#include "controls/GifParser.h"
#include "platform/Resources.h"

namespace {

COLORREF ToColorref(const wxColour& c) { return RGB(c.Red(), c.Green(), c.Blue()); }

void AnimationProc(std::shared_ptr<CPictureCanvas> canvas, std::shared_ptr<CStopEvent> stop) {
    canvas->m_bPlaying = true;
    canvas->CompletePendingDisposal();
    while (!stop->IsSet()) {
        if (stop->WaitWhilePaused()) break;
        canvas->ShowCurrentFrame();
        if (stop->IsSet()) break;
        if (stop->WaitFor(canvas->CurrentDelayMs())) break;
        canvas->DisposeCurrentFrame();
        canvas->AdvanceFrame();
    }
    canvas->m_bPlaying = false;
    stop->MarkFinished();
}

}  // namespace

// ---------------------------------------------------------------------------
// Decoding

std::shared_ptr<const TPixels> DecodePicture(const std::uint8_t* data, std::size_t len) {
    if (!data || len == 0) return nullptr;
    wxLogNull quiet;  // a rejected picture is not the operator's business
    wxMemoryInputStream in(data, len);
    wxImage img;
    if (!img.LoadFile(in, wxBITMAP_TYPE_ANY) || !img.IsOk()) return nullptr;

    auto pic = std::make_shared<TPixels>();
    pic->width = img.GetWidth();
    pic->height = img.GetHeight();
    const std::size_t n = static_cast<std::size_t>(pic->width) * pic->height;
    const unsigned char* rgb = img.GetData();
    pic->rgb.assign(rgb, rgb + 3 * n);
    if (img.HasAlpha()) {
        pic->alpha.assign(img.GetAlpha(), img.GetAlpha() + n);
    } else if (img.HasMask()) {
        // The image library marks a GIF's transparent index with a mask colour.
        const unsigned char mr = img.GetMaskRed(), mg = img.GetMaskGreen(), mb = img.GetMaskBlue();
        pic->alpha.resize(n);
        for (std::size_t i = 0; i < n; ++i)
            pic->alpha[i] = (rgb[3 * i] == mr && rgb[3 * i + 1] == mg && rgb[3 * i + 2] == mb) ? 0 : 255;
    }
    return pic;
}

bool LoadGifFrames(const std::uint8_t* data, std::size_t len, std::vector<TFrame>& frames, wxSize& screen,
                   int& graphicBlocks, std::uint64_t maxPixels) {
    frames.clear();
    graphicBlocks = 0;
    gif::CGifParser parser(data, len);
    if (!parser.Open()) return false;
    screen = wxSize(parser.ScreenWidth(), parser.ScreenHeight());
    // Refused here, before any frame is decoded, rather than by the surface.
    if (screen.x <= 0 || screen.y <= 0 || screen.x > kMaxPictureSide || screen.y > kMaxPictureSide) return false;
    graphicBlocks = parser.CountGraphicBlocks();
    std::uint64_t pixels = 0;
    gif::FrameBlock block;
    while (parser.GetNextGraphicBlock(block)) {
        if (!block.bDecodable) continue;
        const std::uint64_t area = static_cast<std::uint64_t>(block.width) * static_cast<std::uint64_t>(block.height);
        if (area > maxPixels - pixels) continue;
        std::shared_ptr<const TPixels> pic = DecodePicture(block.gif.data(), block.gif.size());
        if (!pic) continue;
        pixels += area;
        TFrame f;
        f.pPicture = std::move(pic);
        f.frameSize = wxSize(block.width, block.height);
        f.frameOffset = wxSize(block.left, block.top);
        f.nDelay = block.nDelay;
        f.nDisposal = block.nDisposal;
        frames.push_back(std::move(f));
    }
    // Truncated or damaged data fails whole, whatever frames came before.
    if (parser.RanPastEnd()) {
        frames.clear();
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Canvas

CPictureCanvas::CPictureCanvas(int cx, int cy, COLORREF clrFill, COLORREF clrBack)
    : m_width(cx), m_height(cy), m_clrBack(clrBack) {
    m_surface.resize(static_cast<std::size_t>(cx) * cy * 3);
    FillLocked(0, 0, cx, cy, clrFill);
}

std::shared_ptr<CPictureCanvas> MakeCanvas(int cx, int cy, COLORREF clrFill, COLORREF clrBack) {
    auto canvas = std::make_shared<CPictureCanvas>(cx, cy, clrFill, clrBack);
    canvas->m_self = canvas;
    return canvas;
}

void CPictureCanvas::FillLocked(int x, int y, int w, int h, COLORREF clr) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const int x1 = static_cast<int>(std::min<long long>(static_cast<long long>(x) + w, m_width));
    const int y1 = static_cast<int>(std::min<long long>(static_cast<long long>(y) + h, m_height));
    const std::uint8_t r = GetRValue(clr), g = GetGValue(clr), b = GetBValue(clr);
    for (int yy = y0; yy < y1; ++yy) {
        std::uint8_t* p = &m_surface[(static_cast<std::size_t>(yy) * m_width + x0) * 3];
        for (int xx = x0; xx < x1; ++xx, p += 3) {
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }
}

void CPictureCanvas::RenderLocked(const TPixels& pic, int x, int y, int w, int h) {
    if (w <= 0 || h <= 0 || pic.width <= 0 || pic.height <= 0) return;
    const int dx0 = std::max(0, -x), dy0 = std::max(0, -y);
    const int dx1 = static_cast<int>(std::min<long long>(w, static_cast<long long>(m_width) - x));
    const int dy1 = static_cast<int>(std::min<long long>(h, static_cast<long long>(m_height) - y));
    const bool opaque = pic.alpha.empty();
    for (int dy = dy0; dy < dy1; ++dy) {
        const int sy = static_cast<int>(static_cast<long long>(dy) * pic.height / h);
        std::uint8_t* row = &m_surface[static_cast<std::size_t>(y + dy) * m_width * 3];
        for (int dx = dx0; dx < dx1; ++dx) {
            const int sx = static_cast<int>(static_cast<long long>(dx) * pic.width / w);
            const std::size_t si = static_cast<std::size_t>(sy) * pic.width + sx;
            const unsigned a = opaque ? 255u : pic.alpha[si];
            if (a == 0) continue;
            std::uint8_t* d = row + static_cast<std::size_t>(x + dx) * 3;
            const std::uint8_t* s = &pic.rgb[si * 3];
            for (int c = 0; c < 3; ++c) d[c] = static_cast<std::uint8_t>((s[c] * a + d[c] * (255u - a) + 127u) / 255u);
        }
    }
}

void CPictureCanvas::RenderPicture(const TPixels& picture, int x, int y, int w, int h) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        RenderLocked(picture, x, y, w, h);
    }
    RequestRepaint();
}

void CPictureCanvas::ShowCurrentFrame() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_frames.empty()) return;
        const TFrame& f = m_frames[m_nFrame];
        const wxRect rc = wxRect(wxPoint(f.frameOffset.x, f.frameOffset.y), f.frameSize)
                              .Intersect(wxRect(0, 0, m_width, m_height));
        if (f.nDisposal == 3) {
            m_rcSaved = rc;
            m_saved.clear();
            if (!rc.IsEmpty())
                for (int yy = rc.y; yy < rc.y + rc.height; ++yy) {
                    auto* p = &m_surface[(static_cast<std::size_t>(yy) * m_width + rc.x) * 3];
                    m_saved.insert(m_saved.end(), p, p + static_cast<std::size_t>(rc.width) * 3);
                }
            m_bHaveSaved = true;
        }
        if (f.pPicture) RenderLocked(*f.pPicture, f.frameOffset.x, f.frameOffset.y, f.frameSize.x, f.frameSize.y);
        m_bDisposalPending = true;
    }
    RequestRepaint();
}

void CPictureCanvas::DisposeCurrentFrame() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frames.empty()) return;
    const TFrame& f = m_frames[m_nFrame];
    if (f.nDisposal == 2) {
        FillLocked(f.frameOffset.x, f.frameOffset.y, f.frameSize.x, f.frameSize.y, m_clrBack);
    } else if (f.nDisposal == 3 && m_bHaveSaved) {
        const wxRect& rc = m_rcSaved;
        for (int i = 0; !rc.IsEmpty() && i < rc.height; ++i) {
            const std::size_t rowBytes = static_cast<std::size_t>(rc.width) * 3;
            std::copy_n(&m_saved[i * rowBytes], rowBytes,
                        &m_surface[(static_cast<std::size_t>(rc.y + i) * m_width + rc.x) * 3]);
        }
    }
    if (f.nDisposal == 3) {
        m_saved.clear();
        m_bHaveSaved = false;
    }
    m_bDisposalPending = false;
}

void CPictureCanvas::CompletePendingDisposal() {
    bool pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending = m_bDisposalPending;
    }
    // Only the animation thread changes the play position, so nothing moves
    // between the check and the disposal.
    if (pending) DisposeCurrentFrame();
}

void CPictureCanvas::AdvanceFrame() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_frames.empty()) return;
    if (++m_nFrame >= static_cast<int>(m_frames.size())) {
        m_nFrame = 0;
        FillLocked(0, 0, m_width, m_height, m_clrBack);
    }
}

std::uint32_t CPictureCanvas::CurrentDelayMs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames.empty() ? 100 : gif::FrameDelayMs(m_frames[m_nFrame].nDelay);
}

int CPictureCanvas::FrameIndex() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nFrame;
}

wxImage CPictureCanvas::Snapshot() const {
    wxImage img(m_width, m_height, false);
    std::lock_guard<std::mutex> lock(m_mutex);
    std::copy(m_surface.begin(), m_surface.end(), img.GetData());
    return img;
}

std::shared_ptr<CPictureCanvas> CPictureCanvas::Clone() const {
    auto copy = MakeCanvas(m_width, m_height, m_clrBack, m_clrBack);
    copy->m_frames = m_frames;
    std::lock_guard<std::mutex> lock(m_mutex);
    copy->m_surface = m_surface;
    copy->m_saved = m_saved;
    copy->m_bHaveSaved = m_bHaveSaved;
    copy->m_rcSaved = m_rcSaved;
    copy->m_nFrame = m_nFrame;
    copy->m_bDisposalPending = m_bDisposalPending;
    return copy;
}

void CPictureCanvas::SetOwner(wxWindow* owner) {
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    m_pOwner = owner;
}

void CPictureCanvas::RequestRepaint() {
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    if (!m_pOwner || m_bRepaintPending || !wxTheApp) return;
    m_bRepaintPending = true;
    // The canvas may outlive the window (and the window the canvas): the
    // queued call holds neither, and the window is looked up on the
    // user-interface thread, which is also the one that destroys it.
    std::weak_ptr<CPictureCanvas> weak = m_self;
    wxTheApp->CallAfter([weak] {
        if (auto canvas = weak.lock()) canvas->DeliverRepaint();
    });
}

void CPictureCanvas::DeliverRepaint() {
    wxWindow* owner;
    {
        std::lock_guard<std::mutex> lock(m_ownerMutex);
        m_bRepaintPending = false;
        owner = m_pOwner;
    }
    if (owner) owner->Refresh(false);
}

// ---------------------------------------------------------------------------
// Stop event

void CStopEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bSet = true;
    }
    m_cv.notify_all();
}

bool CStopEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bSet;
}

bool CStopEvent::WaitFor(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bSet; });
}

void CStopEvent::SetPaused(bool paused) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bPaused = paused;
    }
    m_cv.notify_all();
}

bool CStopEvent::WaitWhilePaused() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cv.wait(lock, [this] { return m_bSet || !m_bPaused; });
    return m_bSet;
}

void CStopEvent::MarkFinished() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bFinished = true;
    }
    m_cv.notify_all();
}

bool CStopEvent::WaitFinished(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_bFinished; });
}

// ---------------------------------------------------------------------------
// Control

CPictureEx::CPictureEx() = default;

CPictureEx::~CPictureEx() { UnLoad(); }

bool CPictureEx::Create(wxWindow* parent, int id, const wxRect& rect, const wxString& text, long style) {
    // The template's static styles mean nothing here: the control paints
    // every pixel itself.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE, "PictureEx")) return false;
    Bind(wxEVT_PAINT, &CPictureEx::OnPaint, this);
    return true;
}

BOOL CPictureEx::Load(UINT id, const char* type) {
    plat::ResourceBlob blob = plat::FindResource(static_cast<int>(id), type);
    if (!blob) {
        UnLoad();
        return FALSE;
    }
    return Load(blob.data, blob.size);
}

BOOL CPictureEx::Load(const void* data, std::size_t size) {
    UnLoad();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (!bytes || size == 0) return FALSE;
    if (!gif::IsGifData(bytes, size)) return LoadStill(bytes, size) ? TRUE : FALSE;

    m_bGif = true;
    std::vector<TFrame> frames;
    wxSize screen;
    int blocks = 0;
    // A single-frame GIF goes through the same frame rebuild as an animated
    // one: the decoder yields the image at its own size, and the frame's
    // offset places it within the logical screen.
    if (!LoadGifFrames(bytes, size, frames, screen, blocks) || blocks == 0 || frames.empty()) {
        UnLoad();
        return FALSE;
    }
    m_sizePicture = screen;
    if (!PrepareDC(screen.x, screen.y)) {
        UnLoad();
        return FALSE;
    }
    m_canvas->SetFrames(std::move(frames));
    return TRUE;
}

BOOL CPictureEx::LoadStill(const std::uint8_t* data, std::size_t size) {
    m_pPicture = DecodePicture(data, size);
    if (!m_pPicture) {
        UnLoad();
        return FALSE;
    }
    m_sizePicture = wxSize(m_pPicture->width, m_pPicture->height);
    if (!PrepareDC(m_sizePicture.x, m_sizePicture.y)) {
        UnLoad();
        return FALSE;
    }
    return TRUE;
}

BOOL CPictureEx::PrepareDC(int cx, int cy) {
    if (!GetHandle()) return FALSE;
    if (cx <= 0 || cy <= 0 || cx > kMaxPictureSide || cy > kMaxPictureSide) return FALSE;
    SetSize(wxSize(cx, cy));
    // The new surface replaces the one a playing thread draws into: play
    // stops first, and the frames carry over.
    Stop();
    std::vector<TFrame> frames;
    if (m_canvas) {
        frames = m_canvas->Frames();
        m_canvas->SetOwner(nullptr);
        m_canvas.reset();
    }
    m_bReady = false;
    const COLORREF face = ToColorref(wxSystemSettings::GetColour(wxSYS_COLOUR_BTNFACE));
    const COLORREF menu = ToColorref(wxSystemSettings::GetColour(wxSYS_COLOUR_MENU));
    try {
        m_canvas = MakeCanvas(cx, cy, menu, face);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    m_clrBack = face;
    m_canvas->SetFrames(std::move(frames));
    m_canvas->SetOwner(this);
    m_bReady = true;
    return TRUE;
}

void CPictureEx::Draw() {
    if (!m_bReady || !m_canvas) return;
    const auto& frames = m_canvas->Frames();
    if (frames.size() > 1) {
        if (m_thread.joinable()) return;  // already playing
        auto stop = std::make_shared<CStopEvent>();
        stop->SetPaused(!IsShown());
        try {
            m_thread = std::thread(AnimationProc, m_canvas, stop);
        } catch (const std::system_error&) {
            return;
        }
        m_pStopEvent = std::move(stop);
    } else if (frames.size() == 1) {
        const TFrame& f = frames[0];
        m_canvas->RenderPicture(*f.pPicture, f.frameOffset.x, f.frameOffset.y, f.frameSize.x, f.frameSize.y);
    } else if (m_pPicture) {
        m_canvas->RenderPicture(*m_pPicture, 0, 0, m_sizePicture.x, m_sizePicture.y);
    }
}

bool CPictureEx::Show(bool show) {
    const bool changed = wxWindow::Show(show);
    if (m_pStopEvent) m_pStopEvent->SetPaused(!show);
    return changed;
}

void CPictureEx::Stop() {
    if (m_canvas) m_canvas->m_bPlaying = false;
    if (m_pStopEvent) m_pStopEvent->Set();
    if (m_thread.joinable()) {
        if (m_pStopEvent->WaitFinished(kStopWaitMs)) {
            m_thread.join();
        } else {
            // The thread did not end in time.  It keeps its own canvas (shared
            // ownership) and loses the way to this window; the control goes on
            // with a copy, so nothing the thread uses is released here.
            m_thread.detach();
            if (m_canvas) {
                std::shared_ptr<CPictureCanvas> old = m_canvas;
                old->SetOwner(nullptr);
                m_canvas = old->Clone();
                m_canvas->SetOwner(this);
            }
        }
    }
    m_pStopEvent.reset();
}

void CPictureEx::UnLoad() {
    Stop();
    if (m_canvas) m_canvas->SetOwner(nullptr);
    m_canvas.reset();
    m_pPicture.reset();
    m_sizePicture = wxSize();
    m_clrBack = 0xFFFFFF;
    m_bGif = false;
    m_bReady = false;
    m_rcShow = wxRect();
}

bool CPictureEx::IsPlaying() const { return m_canvas && m_canvas->m_bPlaying; }

std::size_t CPictureEx::GetFrameCount() const { return m_canvas ? m_canvas->Frames().size() : 0; }

int CPictureEx::GetFrameIndex() const { return m_canvas ? m_canvas->FrameIndex() : 0; }

wxImage CPictureEx::GetPictureImage() const { return m_canvas ? m_canvas->Snapshot() : wxImage(); }

void CPictureEx::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    if (!m_canvas) return;
    wxImage img = m_canvas->Snapshot();
    if (!m_rcShow.IsEmpty()) {
        wxRect part = m_rcShow.Intersect(wxRect(0, 0, img.GetWidth(), img.GetHeight()));
        if (part.IsEmpty()) return;
        img = img.GetSubImage(part);
    }
    dc.DrawBitmap(wxBitmap(img), 0, 0, false);
}
