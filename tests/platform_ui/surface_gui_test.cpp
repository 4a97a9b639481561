// Frame surfaces rendered from capture threads, repaint requests from
// workers, and the real display's metrics.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include <gdk/gdk.h>
#include <gtk/gtk.h>

#include <opencv2/imgproc.hpp>
#include <wx/dcclient.h>
#include <wx/evtloop.h>
#include <wx/frame.h>

#include "platform/CrossThread.h"
#include "platform/FrameSurface.h"
#include "platform/ScreenMetrics.h"
#include "platform/ShmPresenter.h"
#include "platform/WindowCapture.h"
#include "platform/ui/Dialog.h"

namespace {

// Runs the event loop until `done` or `ms` pass.
bool PumpUntil(const std::function<bool()>& done, int ms) {
    wxGUIEventLoop loop;
    wxEventLoopActivator activate(&loop);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        loop.YieldFor(wxEVT_CATEGORY_ALL);
        if (done()) return true;
        wxMilliSleep(5);
    }
    return done();
}

class CountingWindow : public wxWindow {
public:
    CountingWindow(wxWindow* parent) : wxWindow(parent, wxID_ANY) {}
    void Refresh(bool erase = true, const wxRect* rect = nullptr) override {
        ++refreshes;
        wxWindow::Refresh(erase, rect);
    }
    static int refreshes;
};
int CountingWindow::refreshes = 0;

struct Frame {
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "surface", wxDefaultPosition, wxSize(300, 200));
    // A frame stretches a lone child over its client area: give it two.
    wxWindow* other = new wxWindow(frame, wxID_ANY, wxPoint(290, 190), wxSize(4, 4));
    ~Frame() { delete frame; }
};

}  // namespace

TEST(RepaintRequest, RequestsCoalesceAndAreDroppedForADestroyedWindow) {
    Frame f;
    plat::RunPostedCalls();
    auto* win = new CountingWindow(f.frame);
    plat::RepaintRequest request(win);
    CountingWindow::refreshes = 0;
    for (int i = 0; i < 3; ++i) request.Post();
    EXPECT_EQ(plat::RunPostedCalls(), 1);
    EXPECT_EQ(CountingWindow::refreshes, 1);

    std::thread([request] { request.Post(false); }).join();
    EXPECT_EQ(plat::RunPostedCalls(), 1);
    EXPECT_EQ(CountingWindow::refreshes, 2);

    request.Post();
    std::thread([request] { request.Post(); }).join();
    win->Destroy();
    plat::RunPostedCalls();  // must not touch the destroyed window
    EXPECT_EQ(CountingWindow::refreshes, 2);
    request.Post();
    plat::RunPostedCalls();
    EXPECT_EQ(CountingWindow::refreshes, 2);

    // Deleted rather than destroyed: the same.
    auto* other = new CountingWindow(f.frame);
    plat::RepaintRequest second(other);
    second.Post();
    delete other;
    plat::RunPostedCalls();
    EXPECT_EQ(CountingWindow::refreshes, 2);
}

TEST(FrameSurface, AThreadRendersAndThePaintShowsTheBuffer) {
    Frame f;
    auto* surface = new plat::CFrameSurface(f.frame, 1011, wxRect(10, 10, 160, 120));
    f.frame->Show();
    EXPECT_EQ(surface->GetBufferSize(), cv::Size(160, 120));
    EXPECT_FALSE(surface->HasPicture());
    plat::RunPostedCalls();

    std::thread capture([surface] {
        for (int i = 0; i < 50; ++i)
            surface->Render([i](cv::Mat& buf) {
                ASSERT_EQ(buf.type(), CV_8UC3);
                buf.setTo(cv::Scalar(0, 0, 255));  // red in B, G, R
                cv::rectangle(buf, cv::Rect(0, 0, 80, 120), cv::Scalar(255, 0, 0), cv::FILLED);
            });
    });
    capture.join();
    // Fifty renders leave one repaint pending.
    EXPECT_EQ(plat::RunPostedCalls(), 1);
    EXPECT_TRUE(surface->HasPicture());
    cv::Mat snap = surface->Snapshot();
    EXPECT_EQ(snap.at<cv::Vec3b>(60, 120), cv::Vec3b(0, 0, 255));

    cv::Mat shown;
    ASSERT_TRUE(PumpUntil(
        [&] {
            shown = plat::CaptureClientArea(surface);
            return !shown.empty() && shown.at<cv::Vec4b>(60, 120)[2] == 255;
        },
        3000));
    EXPECT_EQ(shown.at<cv::Vec4b>(60, 120)[0], 0);
    EXPECT_EQ(shown.at<cv::Vec4b>(60, 20)[0], 255);  // left half blue
    EXPECT_EQ(shown.at<cv::Vec4b>(60, 20)[2], 0);

    surface->Clear();
    EXPECT_FALSE(surface->HasPicture());
}

namespace {

GdkWindow* OwnWindow(wxWindow* w) {
    GtkWidget* widget = w->m_wxwindow ? w->m_wxwindow : GTK_WIDGET(w->GetHandle());
    return gtk_widget_get_window(widget);
}

// What the display holds in a window, read back from the display, B, G, R.
cv::Mat OnTheDisplay(wxWindow* w, cv::Size size) {
    GdkPixbuf* pix = gdk_pixbuf_get_from_window(OwnWindow(w), 0, 0, size.width, size.height);
    if (!pix) return {};
    cv::Mat rgb(size, CV_8UC(gdk_pixbuf_get_n_channels(pix)), gdk_pixbuf_get_pixels(pix),
                static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pix)));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, rgb.channels() == 4 ? cv::COLOR_RGBA2BGR : cv::COLOR_RGB2BGR);
    g_object_unref(pix);
    return bgr;
}

// Whether the window shows `picture` within half a second: the presenter's
// requests go over a display connection of its own, which the server may
// serve after the one the window is read through.
bool ShowsSoon(wxWindow* w, const cv::Mat& picture) {
    for (int i = 0; i < 50; ++i) {
        gdk_display_sync(gdk_display_get_default());
        const cv::Mat shown = OnTheDisplay(w, picture.size());
        if (!shown.empty() && cv::norm(shown, picture, cv::NORM_INF) == 0) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST(FrameSurface, OnceOnTheScreenAThreadsPictureReachesTheDisplayWithoutARepaint) {
    // An odd width leaves pixels over after the blocks of sixteen.
    for (const cv::Size size : {cv::Size(160, 120), cv::Size(157, 99)}) {
        SCOPED_TRACE(size.width);
        Frame f;
        auto* surface = new plat::CFrameSurface(f.frame, 1011, wxRect(10, 10, size.width, size.height));
        f.frame->Show();
        surface->Render([](cv::Mat& buf) { buf.setTo(cv::Scalar(9, 9, 9)); });
        ASSERT_TRUE(PumpUntil([&] { return surface->PresentedCount() == 0 && plat::RunPostedCalls() == 0; }, 500));
        PumpUntil([] { return false; }, 300);  // the first paint

        cv::Mat picture(size, CV_8UC3);
        cv::randu(picture, 0, 256);
        std::thread capture([&] { surface->Render([&](cv::Mat& buf) { picture.copyTo(buf); }); });
        capture.join();
        ASSERT_EQ(surface->PresentedCount(), 1u) << "the display offers no shared memory";
        EXPECT_EQ(plat::RunPostedCalls(), 0) << "a repaint was asked for too";
        EXPECT_TRUE(ShowsSoon(surface, picture));
    }
}

TEST(FrameSurface, DisplayRowsAMakerWroteReachTheScreenAndTheBufferWhenWanted) {
    Frame f;
    const cv::Size size(157, 99);
    auto* surface = new plat::CFrameSurface(f.frame, 1011, wxRect(10, 10, size.width, size.height));
    f.frame->Show();
    surface->Render([](cv::Mat& buf) { buf.setTo(cv::Scalar(9, 9, 9)); });
    PumpUntil([] { return false; }, 300);  // the first paint
    const plat::FrameSurfaceRef ref = surface->GetRef();
    std::size_t step = 0;
    EXPECT_FALSE(ref.ReserveDisplayRows(cv::Size(100, 99), &step));  // not the buffer's size
    std::shared_ptr<unsigned char> rows = ref.ReserveDisplayRows(size, &step);
    ASSERT_TRUE(rows) << "the display offers no shared memory";

    // A picture rendered meanwhile (the window's own thread) leaves the rows alone.
    surface->Render([](cv::Mat& buf) { buf.setTo(cv::Scalar(0, 0, 200)); });
    cv::Mat picture(size, CV_8UC3);
    cv::randu(picture, 0, 256);
    for (int y = 0; y < size.height; ++y) plat::BgrRowToBgrx(picture.ptr(y), rows.get() + step * y, size.width);
    const unsigned before = surface->PresentedCount();
    ASSERT_TRUE(ref.ShowDisplayRows(size));
    EXPECT_FALSE(ref.ShowDisplayRows(size));  // once
    EXPECT_EQ(surface->PresentedCount(), before + 1);
    EXPECT_EQ(plat::RunPostedCalls(), 0);
    EXPECT_TRUE(ShowsSoon(surface, picture));

    // The buffer takes the picture when it is wanted: read, or drawn over.
    EXPECT_EQ(cv::norm(surface->Snapshot(), picture, cv::NORM_INF), 0);
    rows = ref.ReserveDisplayRows(size, &step);
    ASSERT_TRUE(rows);
    cv::randu(picture, 0, 256);
    for (int y = 0; y < size.height; ++y) plat::BgrRowToBgrx(picture.ptr(y), rows.get() + step * y, size.width);
    ASSERT_TRUE(ref.ShowDisplayRows(size));
    surface->Render([](cv::Mat& buf) { buf(cv::Rect(0, 0, 10, 10)).setTo(cv::Scalar(1, 2, 3)); });
    picture(cv::Rect(0, 0, 10, 10)).setTo(cv::Scalar(1, 2, 3));
    EXPECT_EQ(cv::norm(surface->Snapshot(), picture, cv::NORM_INF), 0);

    // The window closes while a maker writes its rows: they stay its to write.
    rows = ref.ReserveDisplayRows(size, &step);
    ASSERT_TRUE(rows);
    delete surface;
    for (int y = 0; y < size.height; ++y) plat::BgrRowToBgrx(picture.ptr(y), rows.get() + step * y, size.width);
    EXPECT_FALSE(ref.ShowDisplayRows(size));
}

TEST(FrameSurface, APresenterWhoseWindowIsGoneRefusesAndTheSurfaceRepaintsInstead) {
    Frame f;
    auto* child = new wxWindow(f.frame, wxID_ANY, wxPoint(0, 0), wxSize(40, 30));
    f.frame->Show();
    gdk_window_ensure_native(OwnWindow(child));
    auto presenter = plat::ShmPresenter::ForWindow(OwnWindow(child));
    ASSERT_TRUE(presenter);
    cv::Mat picture(30, 40, CV_8UC3, cv::Scalar(1, 2, 3));
    EXPECT_TRUE(presenter->Present(picture));
    delete child;
    gdk_display_sync(gdk_display_get_default());
    // Requests go unchecked: the refusal shows at the latest by the next call.
    presenter->Present(picture);
    EXPECT_FALSE(presenter->Present(picture));
    EXPECT_FALSE(presenter->Present(picture));
}

TEST(FrameSurface, TheBufferFollowsTheClientSize) {
    Frame f;
    auto* surface = new plat::CFrameSurface;
    ASSERT_TRUE(surface->Create(f.frame, 1016, wxRect(0, 0, 64, 48)));
    surface->Render([](cv::Mat& buf) { buf.setTo(cv::Scalar(0, 255, 0)); });
    surface->SetSize(wxSize(100, 30));
    PumpUntil([&] { return surface->GetBufferSize() == cv::Size(100, 30); }, 1000);
    EXPECT_EQ(surface->GetBufferSize(), cv::Size(100, 30));
    // The old picture stays, stretched, until the next frame.
    EXPECT_EQ(surface->Snapshot().at<cv::Vec3b>(15, 50), cv::Vec3b(0, 255, 0));
    plat::RunPostedCalls();
}

TEST(FrameSurface, RenderingThroughARefAfterTheControlIsGoneIsHarmless) {
    Frame f;
    auto* surface = new plat::CFrameSurface(f.frame, 1016, wxRect(0, 0, 32, 32));
    plat::FrameSurfaceRef ref = surface->GetRef();
    std::atomic<bool> stop{false};
    std::atomic<int> rendered{0};
    std::thread capture([ref, &stop, &rendered] {
        while (!stop) {
            ref.Render([](cv::Mat& buf) { buf.setTo(cv::Scalar(1, 2, 3)); });
            ++rendered;
        }
    });
    while (rendered < 10) std::this_thread::yield();
    surface->Destroy();
    plat::RunPostedCalls();
    int after = rendered;
    while (rendered < after + 10) std::this_thread::yield();
    stop = true;
    capture.join();
    plat::RunPostedCalls();
    EXPECT_FALSE(ref.IsAlive());
    EXPECT_EQ(ref.Snapshot().at<cv::Vec3b>(0, 0), cv::Vec3b(1, 2, 3));
}

TEST(ScreenMetrics, TheVirtualDisplayHasNoPanel) {
    auto m = plat::GetScreenMetrics();
    EXPECT_EQ(m.cxScreen, 1920);
    EXPECT_EQ(m.cyScreen, 1080);
    EXPECT_EQ(m.cyFullScreen, 1057);
    EXPECT_FALSE(m.hasTaskbar);
}

TEST(WindowCapture, AnAreaOfTheClientAreaWithItsChildrenAndBlackBeyondIt) {
    Frame f;
    f.frame->SetBackgroundStyle(wxBG_STYLE_PAINT);
    f.frame->Bind(wxEVT_PAINT, [&](wxPaintEvent&) {
        wxPaintDC dc(f.frame);
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(0, 0, 255)));
        dc.DrawRectangle(f.frame->GetClientRect());
    });
    auto* child = new wxWindow(f.frame, wxID_ANY, wxPoint(40, 30), wxSize(20, 10));
    child->SetBackgroundStyle(wxBG_STYLE_PAINT);
    child->Bind(wxEVT_PAINT, [child](wxPaintEvent&) {
        wxPaintDC dc(child);
        dc.SetPen(*wxTRANSPARENT_PEN);
        dc.SetBrush(wxBrush(wxColour(255, 0, 0)));
        dc.DrawRectangle(child->GetClientRect());
    });
    f.frame->Show();
    const wxSize client = f.frame->GetClientSize();
    PumpUntil([] { return false; }, 200);

    // The area's corner lands at (0, 0); the child draws itself in.
    const wxImage part = plat::CaptureClientAreaImage(f.frame, wxRect(35, 25, 30, 20));
    ASSERT_TRUE(part.IsOk());
    ASSERT_EQ(part.GetSize(), wxSize(30, 20));
    EXPECT_EQ(wxColour(part.GetRed(2, 2), part.GetGreen(2, 2), part.GetBlue(2, 2)), wxColour(0, 0, 255));
    EXPECT_EQ(wxColour(part.GetRed(5, 5), part.GetGreen(5, 5), part.GetBlue(5, 5)), wxColour(255, 0, 0));
    EXPECT_EQ(wxColour(part.GetRed(24, 14), part.GetGreen(24, 14), part.GetBlue(24, 14)), wxColour(255, 0, 0));
    EXPECT_EQ(wxColour(part.GetRed(26, 16), part.GetGreen(26, 16), part.GetBlue(26, 16)), wxColour(0, 0, 255));

    // The same pixels as B, G, R, 0 in the matrix form.
    const cv::Mat mat = plat::CaptureClientArea(f.frame, wxRect(35, 25, 30, 20));
    ASSERT_EQ(mat.size(), cv::Size(30, 20));
    EXPECT_EQ(mat.at<cv::Vec4b>(5, 5), cv::Vec4b(0, 0, 255, 0));
    EXPECT_EQ(mat.at<cv::Vec4b>(2, 2), cv::Vec4b(255, 0, 0, 0));

    // Straddling the client area's corner: what lies beyond it is black.
    const wxImage corner = plat::CaptureClientAreaImage(f.frame, wxRect(client.x - 5, client.y - 5, 10, 10));
    ASSERT_TRUE(corner.IsOk());
    EXPECT_EQ(corner.GetBlue(4, 4), 255);
    EXPECT_EQ(wxColour(corner.GetRed(7, 7), corner.GetGreen(7, 7), corner.GetBlue(7, 7)), *wxBLACK);

    EXPECT_FALSE(plat::CaptureClientAreaImage(f.frame, wxRect(0, 0, 0, 5)).IsOk());
    f.frame->Hide();
    EXPECT_FALSE(plat::CaptureClientAreaImage(f.frame, wxRect(0, 0, 5, 5)).IsOk());
}
