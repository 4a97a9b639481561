#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "capture/CvvImage.h"
#include "platform/CvCompat.h"

namespace {

struct Holder : CvvImage {
    IplImage* Img() const { return m_img; }
    cv::Mat Mat() const { return m_img ? cv::cvarrToMat(m_img) : cv::Mat(); }
};

// An image wrapped as IplImage for CopyOf, kept alive with its header.
struct Ipl {
    explicit Ipl(cv::Mat m) : mat(std::move(m)), header(cvIplImage(mat)) {}
    cv::Mat mat;
    IplImage header;
};

// Every pixel different: B = x, G = y, R = x + y.
cv::Mat Coded(int w, int h) {
    cv::Mat m(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) m.at<cv::Vec3b>(y, x) = cv::Vec3b(x & 0xFF, y & 0xFF, (x + y) & 0xFF);
    return m;
}

// One-pixel black and white checks.
cv::Mat Checks(int w, int h) {
    cv::Mat m(h, w, CV_8UC3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) m.at<cv::Vec3b>(y, x) = ((x + y) & 1) ? cv::Vec3b(255, 255, 255) : cv::Vec3b(0, 0, 0);
    return m;
}

class CvvImageFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("cvv_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const char* name) const { return (dir / name).string(); }
    std::filesystem::path dir;
};

}  // namespace

TEST(CvvImageCreate, RefusalsLeaveTheHeldImageAlone) {
    Holder h;
    ASSERT_TRUE(h.Create(20, 10, 24, 0));
    IplImage* held = h.Img();
    h.Fill(0x00123456);
    EXPECT_FALSE(h.Create(10000, 10, 24, 0));
    EXPECT_FALSE(h.Create(10, -1, 24, 0));
    EXPECT_FALSE(h.Create(20, 10, 16, 0));
    EXPECT_FALSE(h.Create(20, 10, 24, 2));
    EXPECT_EQ(h.Img(), held);
    EXPECT_EQ(h.Mat().at<cv::Vec3b>(5, 5), cv::Vec3b(0x56, 0x34, 0x12));
    EXPECT_TRUE(h.Create(9999, 1, 8, 1));
}

TEST(CvvImageCreate, SameSizeAndDepthKeepsPixelsAndSetsOrigin) {
    Holder h;
    ASSERT_TRUE(h.Create(8, 6, 32, 0));
    h.Fill(static_cast<int>(0x80402010u));
    IplImage* held = h.Img();
    ASSERT_TRUE(h.Create(8, 6, 32, 1));
    EXPECT_EQ(h.Img(), held);
    EXPECT_EQ(h.Img()->origin, 1);
    EXPECT_EQ(h.Mat().at<cv::Vec4b>(3, 3), cv::Vec4b(0x10, 0x20, 0x40, 0x80));
    // Another depth makes a new image.
    ASSERT_TRUE(h.Create(8, 6, 8, 0));
    EXPECT_EQ(h.Img()->nChannels, 1);
    h.Destroy();
    EXPECT_EQ(h.Img(), nullptr);
    h.Fill(0);  // empty holder: nothing happens
}

TEST(CvvImageCopy, ChannelsFollowTheDesiredColour) {
    Ipl grey(cv::Mat(4, 6, CV_8UC1, cv::Scalar(77)));
    Holder h;
    h.CopyOf(&grey.header, 1);
    ASSERT_NE(h.Img(), nullptr);
    EXPECT_EQ(h.Img()->nChannels, 3);
    EXPECT_EQ(h.Mat().at<cv::Vec3b>(2, 2), cv::Vec3b(77, 77, 77));
    h.CopyOf(&grey.header, -1);
    EXPECT_EQ(h.Img()->nChannels, 1);

    Ipl colour(Coded(6, 4));
    h.CopyOf(&colour.header, 0);
    EXPECT_EQ(h.Img()->nChannels, 1);
    h.CopyOf(&colour.header, -1);
    EXPECT_EQ(h.Img()->nChannels, 3);
    EXPECT_EQ(cv::norm(h.Mat(), colour.mat, cv::NORM_INF), 0);

    Ipl four(cv::Mat(4, 6, CV_8UC4, cv::Scalar(1, 2, 3, 4)));
    h.CopyOf(&four.header, 1);
    EXPECT_EQ(h.Img()->nChannels, 4);

    // The region of interest is what is copied; a deep copy.
    cvSetImageROI(&colour.header, cvRect(2, 1, 3, 2));
    h.CopyOf(&colour.header, 1);
    ASSERT_EQ(h.Mat().size(), cv::Size(3, 2));
    EXPECT_EQ(h.Mat().at<cv::Vec3b>(0, 0), colour.mat.at<cv::Vec3b>(1, 2));
    colour.mat.setTo(cv::Scalar(9, 9, 9));
    EXPECT_NE(h.Mat().at<cv::Vec3b>(0, 0), cv::Vec3b(9, 9, 9));
    cvResetImageROI(&colour.header);

    // Invalid sources are ignored.
    IplImage* before = h.Img();
    h.CopyOf(static_cast<IplImage*>(nullptr), 1);
    IplImage noData = grey.header;
    noData.imageData = nullptr;
    h.CopyOf(&noData, 1);
    EXPECT_EQ(h.Img(), before);
}

TEST(CvvImageCopy, FromAnotherHolderAndFromItself) {
    Ipl colour(Coded(10, 8));
    Holder a, b;
    b.CopyOf(a, 1);  // empty source: nothing
    EXPECT_EQ(b.Img(), nullptr);
    a.CopyOf(&colour.header, 1);
    b.CopyOf(a, 0);
    ASSERT_NE(b.Img(), nullptr);
    EXPECT_EQ(b.Img()->nChannels, 1);
    // Onto itself with another channel count: the image it reads is replaced.
    a.CopyOf(a, 0);
    ASSERT_NE(a.Img(), nullptr);
    EXPECT_EQ(a.Img()->nChannels, 1);
    EXPECT_EQ(cv::norm(a.Mat(), b.Mat(), cv::NORM_INF), 0);
}

TEST_F(CvvImageFiles, LoadAndLoadRect) {
    const std::string file = Path("coded.bmp");
    ASSERT_TRUE(cv::imwrite(file, Coded(100, 100)));
    Holder h;
    ASSERT_TRUE(h.Load(file.c_str(), 1));
    EXPECT_EQ(cv::norm(h.Mat(), Coded(100, 100), cv::NORM_INF), 0);

    // Cut at the top-left corner: 40 x 40.
    ASSERT_TRUE(h.LoadRect(file.c_str(), 1, cvRect(-10, -10, 50, 50)));
    EXPECT_EQ(cv::norm(h.Mat(), Coded(40, 40), cv::NORM_INF), 0);
    // Running past the right and bottom edges.
    ASSERT_TRUE(h.LoadRect(file.c_str(), 1, cvRect(90, 95, 30, 30)));
    ASSERT_EQ(h.Mat().size(), cv::Size(10, 5));
    EXPECT_EQ(h.Mat().at<cv::Vec3b>(0, 0), cv::Vec3b(90, 95, 185));
    // Zero width: the whole picture; grey on request.
    ASSERT_TRUE(h.LoadRect(file.c_str(), 0, cvRect(5, 5, 0, 3)));
    EXPECT_EQ(h.Mat().size(), cv::Size(100, 100));
    EXPECT_EQ(h.Img()->nChannels, 1);
    // The RECT form, corners as given.
    RECT r{10, 20, 30, 60};
    ASSERT_TRUE(h.LoadRect(file.c_str(), 1, r));
    ASSERT_EQ(h.Mat().size(), cv::Size(20, 40));
    EXPECT_EQ(h.Mat().at<cv::Vec3b>(0, 0), cv::Vec3b(10, 20, 30));

    IplImage* held = h.Img();
    RECT inverted{30, 20, 10, 60};
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, inverted));
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, cvRect(101, 0, 5, 5)));
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, cvRect(-20, 0, 10, 5)));
    // Touching an edge leaves nothing to hold.
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, cvRect(100, 0, 5, 5)));
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, cvRect(0, 100, 5, 5)));
    EXPECT_FALSE(h.LoadRect(file.c_str(), 1, cvRect(-10, 0, 10, 5)));
    EXPECT_FALSE(h.LoadRect(Path("missing.bmp").c_str(), 1, cvRect(0, 0, 5, 5)));
    EXPECT_FALSE(h.Load(Path("missing.bmp").c_str(), 1));
    EXPECT_EQ(h.Img(), held);
}

TEST_F(CvvImageFiles, SaveReportsWhatHappened) {
    Holder h;
    EXPECT_FALSE(h.Save(Path("empty.bmp").c_str()));
    Ipl colour(Coded(12, 7));
    h.CopyOf(&colour.header, 1);
    ASSERT_TRUE(h.Save(Path("out.bmp").c_str()));
    EXPECT_EQ(cv::norm(cv::imread(Path("out.bmp")), colour.mat, cv::NORM_INF), 0);
    EXPECT_FALSE(h.Save(Path("no/such/folder/out.bmp").c_str()));
}

class CvvDraw : public ::testing::Test {
protected:
    void SetUp() override { target = cv::Mat(600, 700, CV_8UC3, sentinel); }
    // Pixels of the target outside `r` that were changed.
    int ChangedOutside(const cv::Rect& r) const {
        cv::Mat mask(target.size(), CV_8UC1, cv::Scalar(255));
        mask(r & cv::Rect(0, 0, target.cols, target.rows)).setTo(0);
        cv::Mat diff;
        cv::compare(target, cv::Mat(target.size(), CV_8UC3, sentinel), diff, cv::CMP_NE);
        cv::cvtColor(diff, diff, cv::COLOR_BGR2GRAY);
        return cv::countNonZero(diff & mask);
    }
    const cv::Scalar sentinel{1, 2, 3};
    cv::Mat target;
    Holder h;
};

TEST_F(CvvDraw, SameSizeIsAnExactCopy) {
    Ipl colour(Coded(64, 48));
    h.CopyOf(&colour.header, 1);
    RECT r{5, 7, 69, 55};
    h.DrawToHDC(target, &r);
    EXPECT_EQ(cv::norm(target(cv::Rect(5, 7, 64, 48)), colour.mat, cv::NORM_INF), 0);
    EXPECT_EQ(ChangedOutside(cv::Rect(5, 7, 64, 48)), 0);
    // Corners given in the other order name the same rectangle.
    target.setTo(sentinel);
    RECT flipped{69, 55, 5, 7};
    h.DrawToHDC(target, &flipped);
    EXPECT_EQ(cv::norm(target(cv::Rect(5, 7, 64, 48)), colour.mat, cv::NORM_INF), 0);
}

TEST_F(CvvDraw, NarrowerIsSmoothedWiderIsNearest) {
    Ipl checks(Checks(640, 480));
    h.CopyOf(&checks.header, 1);
    RECT half{0, 0, 320, 240};
    h.DrawToHDC(target, &half);
    cv::Mat reduced = target(cv::Rect(0, 0, 320, 240));
    double lo, hi;
    cv::minMaxLoc(reduced.reshape(1), &lo, &hi);
    EXPECT_GE(lo, 120);  // every 2 x 2 block averaged to mid grey
    EXPECT_LE(hi, 135);
    EXPECT_EQ(ChangedOutside(cv::Rect(0, 0, 320, 240)), 0);

    cv::Mat big(960, 1280, CV_8UC3, sentinel);
    RECT dbl{0, 0, 1280, 960};
    h.DrawToHDC(big, &dbl);
    cv::Mat expect;
    cv::resize(checks.mat, expect, big.size(), 0, 0, cv::INTER_NEAREST);
    EXPECT_EQ(cv::norm(big, expect, cv::NORM_INF), 0);
    EXPECT_EQ(big.at<cv::Vec3b>(0, 0), big.at<cv::Vec3b>(1, 1));
    EXPECT_NE(big.at<cv::Vec3b>(0, 1), big.at<cv::Vec3b>(0, 2));
}

TEST_F(CvvDraw, GreyFourChannelAndBottomUpImages) {
    cv::Mat g(30, 40, CV_8UC1);
    cv::randu(g, 0, 256);
    Ipl grey(g);
    h.CopyOf(&grey.header, 0);
    RECT r{0, 0, 40, 30};
    h.DrawToHDC(target, &r);
    cv::Mat expect;
    cv::cvtColor(g, expect, cv::COLOR_GRAY2BGR);
    EXPECT_EQ(cv::norm(target(cv::Rect(0, 0, 40, 30)), expect, cv::NORM_INF), 0);

    Ipl four(cv::Mat(30, 40, CV_8UC4, cv::Scalar(10, 20, 30, 200)));
    h.CopyOf(&four.header, 1);
    h.DrawToHDC(target, &r);
    EXPECT_EQ(target.at<cv::Vec3b>(10, 10), cv::Vec3b(10, 20, 30));

    Ipl colour(Coded(40, 30));
    colour.header.origin = IPL_ORIGIN_BL;
    h.CopyOf(&colour.header, 1);
    h.DrawToHDC(target, &r);
    cv::flip(colour.mat, expect, 0);
    EXPECT_EQ(cv::norm(target(cv::Rect(0, 0, 40, 30)), expect, cv::NORM_INF), 0);
}

TEST_F(CvvDraw, RegionOfInterestAndShowOffsets) {
    Ipl colour(Coded(100, 80));
    h.CopyOf(&colour.header, 1);
    cvSetImageROI(h.Img(), cvRect(20, 10, 30, 40));
    RECT r{100, 100, 130, 140};
    h.DrawToHDC(target, &r);
    EXPECT_EQ(cv::norm(target(cv::Rect(100, 100, 30, 40)), colour.mat(cv::Rect(20, 10, 30, 40)), cv::NORM_INF), 0);
    cvResetImageROI(h.Img());

    // Show cuts at the image's edges and clamps the source corner into it.
    target.setTo(sentinel);
    h.Show(target, 0, 0, 500, 500, 90, 75);
    EXPECT_EQ(cv::norm(target(cv::Rect(0, 0, 10, 5)), colour.mat(cv::Rect(90, 75, 10, 5)), cv::NORM_INF), 0);
    EXPECT_EQ(ChangedOutside(cv::Rect(0, 0, 10, 5)), 0);
    target.setTo(sentinel);
    h.Show(target, 0, 0, 3, 3, 500, -4);
    EXPECT_EQ(cv::norm(target(cv::Rect(0, 0, 1, 3)), colour.mat(cv::Rect(99, 0, 1, 3)), cv::NORM_INF), 0);
    EXPECT_EQ(ChangedOutside(cv::Rect(0, 0, 1, 3)), 0);
}

TEST_F(CvvDraw, DestinationPartlyOutsideTheBuffer) {
    Ipl colour(Coded(100, 80));
    h.CopyOf(&colour.header, 1);
    RECT r{-30, 560, 70, 640};  // same size, cut on the left and at the bottom
    h.DrawToHDC(target, &r);
    EXPECT_EQ(cv::norm(target(cv::Rect(0, 560, 70, 40)), colour.mat(cv::Rect(30, 0, 70, 40)), cv::NORM_INF), 0);
    EXPECT_EQ(ChangedOutside(cv::Rect(0, 560, 70, 40)), 0);

    target.setTo(sentinel);
    RECT wide{650, -20, 850, 140};  // stretched twice, cut on the right and at the top
    h.DrawToHDC(target, &wide);
    cv::Mat expect;
    cv::resize(colour.mat, expect, cv::Size(200, 160), 0, 0, cv::INTER_NEAREST);
    EXPECT_EQ(cv::norm(target(cv::Rect(650, 0, 50, 140)), expect(cv::Rect(0, 20, 50, 140)), cv::NORM_INF), 0);
    EXPECT_EQ(ChangedOutside(cv::Rect(650, 0, 50, 140)), 0);

    target.setTo(sentinel);
    RECT away{800, 800, 900, 880};
    h.DrawToHDC(target, &away);
    h.DrawToHDC(target, nullptr);
    RECT empty{0, 0, 0, 50};
    h.DrawToHDC(target, &empty);
    Holder none;
    none.DrawToHDC(target, &r);
    EXPECT_EQ(ChangedOutside(cv::Rect()), 0);
}
