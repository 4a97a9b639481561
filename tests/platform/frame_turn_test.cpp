#include <gtest/gtest.h>

#include <random>

#include <opencv2/core.hpp>
#include <opencv2/core/core_c.h>
#include <opencv2/imgcodecs.hpp>

#include "platform/FrameTurn.h"
#include "platform/JpegDecode.h"

namespace {

// The turn is the library's flip about both axes, byte for byte, at every
// width (row ends, padded rows, the vector path's edges) and height.
TEST(FrameTurn, MatchesTheLibrarysFlipAtEverySize) {
    std::mt19937 rng(7);
    for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 16, 17, 31, 640, 641, 1919, 1920}) {
        for (int height : {1, 2, 3, 7}) {
            IplImage* src = cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, 3);
            IplImage* dst = cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, 3);
            cv::Mat s = cv::cvarrToMat(src);
            cv::randu(s, 0, 256);
            cv::Mat d = cv::cvarrToMat(dst);
            d.setTo(cv::Scalar::all(rng() % 256));
            ASSERT_TRUE(plat::CopyTurnedHalfWayRound(src, dst)) << width << " x " << height;
            cv::Mat expected;
            cv::flip(s, expected, -1);
            EXPECT_EQ(cv::norm(expected, d, cv::NORM_INF), 0) << width << " x " << height;
            cvReleaseImage(&src);
            cvReleaseImage(&dst);
        }
    }
}

unsigned char* IntoMat(void* context, int width, int height, int components, std::size_t* rowStep) {
    auto* m = static_cast<cv::Mat*>(context);
    m->create(height, width, CV_8UC(components));
    *rowStep = m->step[0];
    return m->data;
}

// Decoding turned gives the decoded picture turned, exactly.
TEST(FrameTurn, ADecodeTurnedIsTheDecodedPictureTurned) {
    for (cv::Size size : {cv::Size(33, 17), cv::Size(640, 480), cv::Size(1, 1)}) {
        cv::Mat picture(size, CV_8UC3);
        cv::randu(picture, 0, 256);
        std::vector<uchar> jpeg;
        ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
        cv::Mat plain, turned, expected;
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &plain));
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &turned, true));
        cv::flip(plain, expected, -1);
        EXPECT_EQ(cv::norm(expected, turned, cv::NORM_INF), 0) << size;
    }
}

TEST(FrameTurn, RefusesWhatItCannotTurn) {
    IplImage* a = cvCreateImage(cvSize(8, 4), IPL_DEPTH_8U, 3);
    IplImage* other = cvCreateImage(cvSize(8, 5), IPL_DEPTH_8U, 3);
    IplImage* grey = cvCreateImage(cvSize(8, 4), IPL_DEPTH_8U, 1);
    EXPECT_FALSE(plat::CopyTurnedHalfWayRound(a, a));
    EXPECT_FALSE(plat::CopyTurnedHalfWayRound(a, other));
    EXPECT_FALSE(plat::CopyTurnedHalfWayRound(grey, a));
    EXPECT_FALSE(plat::CopyTurnedHalfWayRound(nullptr, a));
    cvReleaseImage(&a);
    cvReleaseImage(&other);
    cvReleaseImage(&grey);
}

}  // namespace
