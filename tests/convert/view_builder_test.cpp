// The view's picture made while a frame is decoded is the picture the frame,
// once decoded (and turned), gives when reduced into the view afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/CvCompat.h"
#include "platform/JpegDecode.h"
#include "platform/ViewBuilder.h"
#include "platform/ViewScale.h"

#include "jpeg_helpers.h"

namespace {

unsigned char* IntoMat(void* context, int width, int height, int components, std::size_t* rowStep) {
    auto* m = static_cast<cv::Mat*>(context);
    m->create(height, width, CV_8UC(components));
    *rowStep = m->step[0];
    return m->data;
}

TEST(ViewBuilder, MakesTheReducedPictureOfTheFrameAsDecodedAndTurned) {
    struct Case {
        cv::Size frame, view;
        bool turned;
        int h, v;  // luma sampling
        bool made;
    };
    const Case cases[] = {
        {{1920, 1080}, {938, 704}, true, 2, 2, true},
        {{1920, 1080}, {938, 704}, false, 2, 1, true},
        {{1280, 720}, {938, 704}, true, 1, 1, true},
        {{1001, 777}, {700, 601}, true, 2, 2, true},  // rows and strips uneven
        {{1001, 777}, {700, 601}, false, 2, 2, true},
        {{640, 480}, {640, 479}, true, 2, 2, false},  // as wide: a plain copy
        {{640, 480}, {938, 704}, false, 2, 2, false},  // stretched
        {{1920, 1080}, {640, 360}, false, 2, 2, false},  // block averaged
        {{1920, 1080}, {0, 0}, false, 2, 2, false},  // no view wanted
    };
    plat::ViewBuilder builder;
    // The display rows come straight from the scaler on the widest path, by
    // a conversion of its rows on the others.
    using plat::view_scale_detail::Path;
    struct Restore {
        ~Restore() { plat::view_scale_detail::ForcePath(Path::Best); }
    } restore;
    for (const Path path : {Path::Best, Path::Ssse3})
    for (const Case& c : cases) {
        ASSERT_TRUE(plat::view_scale_detail::ForcePath(path) || path != Path::Best);
        SCOPED_TRACE(testing::Message() << c.frame << " into " << c.view << (c.turned ? " turned" : "")
                                        << (path == Path::Best ? "" : ", SSSE3"));
        const Bytes jpeg = EncodeJpeg(TestPicture(c.frame.width, c.frame.height), 90, {}, cv::Size(c.h, c.v));
        // Display rows as the screen takes them, a little wider than the view.
        const std::size_t displayStep = 4 * static_cast<std::size_t>(c.view.width) + 64;
        std::vector<uchar> display(displayStep * std::max(c.view.height, 1), 0);
        // Made twice: into a picture, and into display rows alone, where the
        // frame itself is left unwritten whenever the view is made.
        builder.Prepare({c.view, std::shared_ptr<uchar>(display.data(), [](uchar*) {}), displayStep}, c.turned, true);
        cv::Mat left(c.frame, CV_8UC3, cv::Scalar::all(77));
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &left, c.turned,
                                     &builder));
        EXPECT_EQ(builder.Result(), nullptr);
        EXPECT_EQ(builder.OnDisplay(), c.made ? c.view : cv::Size());
        EXPECT_EQ(builder.LeftFrame(), c.made);
        if (c.made) {
            EXPECT_EQ(cv::countNonZero(left.reshape(1) != 77), 0);  // untouched
            IplImage into = cvIplImage(left);
            ASSERT_TRUE(plat::DecodePictureInto(jpeg, &into, c.turned));
        }
        builder.Prepare({c.view}, c.turned);
        cv::Mat frame, plain;
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &frame, c.turned,
                                     &builder));
        // Seeing the rows changes nothing of the frame.
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &plain));
        if (c.turned) cv::flip(plain, plain, -1);
        EXPECT_EQ(cv::norm(frame, plain, cv::NORM_INF), 0);
        EXPECT_EQ(cv::norm(left, plain, cv::NORM_INF), 0);  // made again, or written at once

        const cv::Mat* view = builder.Result();
        ASSERT_EQ(view != nullptr, c.made);
        EXPECT_EQ(builder.OnDisplay(), cv::Size());
        if (!view) continue;
        cv::Mat shown(c.view, CV_8UC4, display.data(), displayStep), bgra;
        cv::cvtColor(*view, bgra, cv::COLOR_BGR2BGRA);
        EXPECT_EQ(cv::norm(shown, bgra, cv::NORM_INF), 0);
        cv::Mat expected(c.view, CV_8UC3);
        ASSERT_TRUE(plat::ScaleBilinearBGR(frame.data, frame.cols, frame.rows, frame.step, expected.data,
                                           expected.cols, expected.rows, expected.step));
        EXPECT_EQ(cv::norm(*view, expected, cv::NORM_INF), 0);
    }
}

TEST(ViewBuilder, AFrameCutShortGivesNoPicture) {
    Bytes jpeg = EncodeJpeg(TestPicture(1280, 720));
    jpeg.resize(jpeg.size() / 2);
    plat::ViewBuilder builder;
    builder.Prepare({{938, 704}}, true);
    cv::Mat frame;
    EXPECT_FALSE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &frame, true, &builder));
    EXPECT_EQ(builder.Result(), nullptr);
}

}  // namespace
