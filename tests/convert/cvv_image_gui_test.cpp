#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/frame.h>
#include <wx/image.h>

#include "capture/CvvImage.h"
#include "platform/CvCompat.h"
#include "platform/FrameSurface.h"

namespace {

cv::Mat Coded(int w, int h) {
    cv::Mat m(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) m.at<cv::Vec3b>(y, x) = cv::Vec3b(x & 0xFF, y & 0xFF, (x * 3 + y) & 0xFF);
    return m;
}

void Hold(CvvImage& img, const cv::Mat& m, int desired = 1) {
    IplImage header = cvIplImage(m);
    img.CopyOf(&header, desired);
}

// Draws into a black bitmap of the given size and reads it back as B, G, R.
cv::Mat DrawThroughDc(CvvImage& img, int w, int h, RECT r) {
    wxBitmap bmp(w, h, 24);
    {
        wxMemoryDC dc(bmp);
        dc.SetBackground(*wxBLACK_BRUSH);
        dc.Clear();
        img.DrawToHDC(&dc, &r);
    }
    wxImage im = bmp.ConvertToImage();
    cv::Mat rgb(h, w, CV_8UC3, im.GetData());
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

}  // namespace

TEST(CvvImageDc, SameSizeReductionAndStretch) {
    const cv::Mat coded = Coded(64, 48);
    CvvImage img;
    Hold(img, coded);
    cv::Mat out = DrawThroughDc(img, 100, 80, RECT{10, 20, 74, 68});
    EXPECT_EQ(cv::norm(out(cv::Rect(10, 20, 64, 48)), coded, cv::NORM_INF), 0);
    EXPECT_EQ(out.at<cv::Vec3b>(5, 5), cv::Vec3b(0, 0, 0));

    cv::Mat checks(48, 64, CV_8UC1);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x) checks.at<std::uint8_t>(y, x) = ((x + y) & 1) ? 255 : 0;
    CvvImage grey;
    Hold(grey, checks, 0);
    out = DrawThroughDc(grey, 100, 80, RECT{0, 0, 32, 24});
    double lo, hi;
    cv::minMaxLoc(out(cv::Rect(0, 0, 32, 24)).reshape(1), &lo, &hi);
    EXPECT_GE(lo, 120);
    EXPECT_LE(hi, 135);

    out = DrawThroughDc(img, 140, 100, RECT{0, 0, 128, 96});
    cv::Mat expect;
    cv::resize(coded, expect, cv::Size(128, 96), 0, 0, cv::INTER_NEAREST);
    EXPECT_EQ(cv::norm(out(cv::Rect(0, 0, 128, 96)), expect, cv::NORM_INF), 0);
}

TEST(CvvImageDc, FrameSurfaceReceivesThePicture) {
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "surface");
    auto* surface = new plat::CFrameSurface(frame, wxID_ANY, wxRect(0, 0, 160, 120));
    frame->SetClientSize(160, 120);
    frame->Show();
    surface->SetSize(0, 0, 160, 120);
    ASSERT_EQ(surface->GetBufferSize(), cv::Size(160, 120));

    const cv::Mat coded = Coded(80, 60);
    CvvImage img;
    Hold(img, coded);
    RECT whole{0, 0, 160, 120};
    img.DrawToHDC(surface, &whole);
    EXPECT_TRUE(surface->HasPicture());
    cv::Mat expect;
    cv::resize(coded, expect, cv::Size(160, 120), 0, 0, cv::INTER_NEAREST);
    EXPECT_EQ(cv::norm(surface->Snapshot(), expect, cv::NORM_INF), 0);

    // Through a handle, as a capture thread holds it: a same-size copy in a corner.
    RECT corner{10, 20, 90, 80};
    img.DrawToHDC(surface->GetRef(), &corner);
    EXPECT_EQ(cv::norm(surface->Snapshot()(cv::Rect(10, 20, 80, 60)), coded, cv::NORM_INF), 0);
    frame->Destroy();
}

TEST(CvvImageDc, NamedWindowIsMadeOnceAndReused) {
    CvvImage img;
    Hold(img, Coded(40, 30));
    auto count = [] {
        int n = 0;
        for (wxWindow* w : wxTopLevelWindows)
            if (w->GetLabel() == "cvv picture" && !w->IsBeingDeleted()) ++n;
        return n;
    };
    img.Show("cvv picture");
    img.Show("cvv picture");
    EXPECT_EQ(count(), 1);
    for (wxWindow* w : wxTopLevelWindows)
        if (w->GetLabel() == "cvv picture") {
            EXPECT_EQ(w->GetClientSize(), wxSize(40, 30));
            w->Destroy();
        }
}
