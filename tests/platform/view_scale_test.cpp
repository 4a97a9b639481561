#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/ViewScale.h"

namespace {

using plat::view_scale_detail::ForcePath;
using plat::view_scale_detail::Path;

enum class Picture { Random, Checker, Stripes };

cv::Mat Make(cv::Size size, Picture kind, unsigned seed) {
    cv::Mat m(size, CV_8UC3);
    switch (kind) {
        case Picture::Random:
            cv::theRNG().state = seed;
            cv::randu(m, 0, 256);
            break;
        case Picture::Checker:  // every neighbour differs by the whole range
            for (int y = 0; y < m.rows; ++y)
                for (int x = 0; x < m.cols; ++x)
                    m.at<cv::Vec3b>(y, x) = (x + y) % 2 ? cv::Vec3b(255, 0, 255) : cv::Vec3b(0, 255, 0);
            break;
        case Picture::Stripes:  // edges of every height at uneven spacing
            for (int y = 0; y < m.rows; ++y)
                for (int x = 0; x < m.cols; ++x)
                    m.at<cv::Vec3b>(y, x) =
                        cv::Vec3b(static_cast<uchar>(x * 37 % 256), static_cast<uchar>((x / 3) % 2 ? 250 : 3),
                                  static_cast<uchar>((y * 11 + x) % 256));
            break;
    }
    return m;
}

// The paths this processor can take; each must give exactly what the scalar
// one gives.
std::vector<Path> Paths() {
    std::vector<Path> paths{Path::Scalar};
    for (Path p : {Path::Ssse3, Path::Avx2})
        if (ForcePath(p)) paths.push_back(p);
    ForcePath(Path::Best);
    return paths;
}

// Within one level of the library's bilinear reduction on every channel of
// every pixel, the same bytes on every path, and nothing written beside the
// picture (source and destination are parts of larger images, so their rows
// are padded).
TEST(ViewScale, WithinOneOfTheLibrarysBilinearReduction) {
    struct Case {
        cv::Size from, to;
    } cases[] = {
        {{1920, 1080}, {938, 704}}, {{1920, 1080}, {904, 678}}, {{1280, 720}, {938, 704}},
        {{1280, 720}, {904, 678}},  {{1001, 777}, {333, 250}},  {{64, 48}, {32, 24}},
        {{13, 9}, {13, 9}},         {{17, 11}, {9, 10}},        {{5, 5}, {3, 3}},
        {{1, 1}, {1, 1}},           {{1, 50}, {1, 7}},          {{50, 1}, {7, 1}},
        {{33, 2}, {16, 1}},         {{7, 3}, {1, 1}},           {{41, 23}, {40, 22}},
    };
    const std::vector<Path> paths = Paths();
    for (const Case& c : cases) {
        for (Picture kind : {Picture::Random, Picture::Checker, Picture::Stripes}) {
            const std::string what = std::to_string(c.from.width) + "x" + std::to_string(c.from.height) + " -> " +
                                     std::to_string(c.to.width) + "x" + std::to_string(c.to.height) + " picture " +
                                     std::to_string(static_cast<int>(kind));
            cv::Mat big(c.from.height + 2, c.from.width + 5, CV_8UC3, cv::Scalar::all(77));
            cv::Mat src = big(cv::Rect(cv::Point(3, 1), c.from));
            Make(c.from, kind, static_cast<unsigned>(c.from.area())).copyTo(src);
            cv::Mat expected;
            cv::resize(src, expected, c.to, 0, 0, cv::INTER_LINEAR);
            cv::Mat scalar;
            for (Path path : paths) {
                ASSERT_TRUE(ForcePath(path));
                cv::Mat canvas(c.to.height + 2, c.to.width + 3, CV_8UC3, cv::Scalar::all(201));
                const cv::Rect inside(cv::Point(1, 1), c.to);
                cv::Mat dst = canvas(inside);
                const bool scaled = plat::ScaleBilinearBGR(src.data, src.cols, src.rows, src.step, dst.data, dst.cols,
                                                           dst.rows, dst.step);
                ForcePath(Path::Best);
                ASSERT_TRUE(scaled) << what;
                EXPECT_LE(cv::norm(expected, dst, cv::NORM_INF), 1) << what << " path " << static_cast<int>(path);
                if (path == Path::Scalar)
                    scalar = dst.clone();
                else
                    EXPECT_EQ(cv::norm(scalar, dst, cv::NORM_INF), 0) << what << " path " << static_cast<int>(path);
                cv::Mat outside = canvas.clone();
                outside(inside).setTo(cv::Scalar::all(201));
                EXPECT_EQ(cv::countNonZero(outside.reshape(1) != 201), 0) << what << " wrote outside its rows";
            }
        }
    }
}

// What it refuses, it leaves untouched: the caller draws another way.
TEST(ViewScale, RefusesBadArgumentsAndEnlargements) {
    cv::Mat src(480, 640, CV_8UC3, cv::Scalar::all(9));
    cv::Mat dst(704, 938, CV_8UC3, cv::Scalar::all(201));
    const unsigned char* s = src.data;
    unsigned char* d = dst.data;
    struct Case {
        const char* what;
        const unsigned char* src;
        int sw, sh;
        std::size_t sstep;
        unsigned char* dst;
        int dw, dh;
        std::size_t dstep;
    } cases[] = {
        {"no source", nullptr, 640, 480, 1920, d, 320, 240, 2814},
        {"no destination", s, 640, 480, 1920, nullptr, 320, 240, 2814},
        {"empty source", s, 0, 480, 1920, d, 320, 240, 2814},
        {"negative height", s, 640, -480, 1920, d, 320, 240, 2814},
        {"empty destination", s, 640, 480, 1920, d, 320, 0, 2814},
        {"short source rows", s, 640, 480, 1919, d, 320, 240, 2814},
        {"short destination rows", s, 640, 480, 1920, d, 320, 240, 959},
        {"wider", s, 640, 480, 1920, d, 641, 240, 2814},
        {"taller", s, 640, 480, 1920, d, 320, 481, 2814},
        {"into the larger view", s, 640, 480, 1920, d, 938, 704, 2814},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(plat::ScaleBilinearBGR(c.src, c.sw, c.sh, c.sstep, c.dst, c.dw, c.dh, c.dstep)) << c.what;
        EXPECT_EQ(cv::countNonZero(dst.reshape(1) != 201), 0) << c.what;
    }
}

}  // namespace
