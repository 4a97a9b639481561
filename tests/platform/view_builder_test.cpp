// The view's picture made while a frame is decoded is the picture the frame,
// once decoded (and turned), gives when reduced into the view afterwards.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <vector>

#include <jpeglib.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/JpegDecode.h"
#include "platform/ViewBuilder.h"
#include "platform/ViewScale.h"

namespace {

unsigned char* IntoMat(void* context, int width, int height, int components, std::size_t* rowStep) {
    auto* m = static_cast<cv::Mat*>(context);
    m->create(height, width, CV_8UC(components));
    *rowStep = m->step[0];
    return m->data;
}

// A camera-like picture (smooth shading, fine detail, noise) as a JPEG whose
// luma is sampled `h` x `v` times as finely as its colour.
std::vector<uchar> Jpeg(cv::Size size, int h, int v) {
    cv::Mat picture(size, CV_8UC3);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x)
            picture.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uchar>(x * 255 / size.width),
                                                    static_cast<uchar>(y * 255 / size.height),
                                                    static_cast<uchar>((x ^ y) & 0xff));
    cv::Mat noise(size, CV_8UC3);
    cv::randu(noise, 0, 40);
    picture += noise;
    cv::cvtColor(picture, picture, cv::COLOR_BGR2RGB);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(size.width);
    c.image_height = static_cast<JDIMENSION>(size.height);
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    jpeg_start_compress(&c, TRUE);
    for (int y = 0; y < size.height; ++y) {
        JSAMPROW row = picture.ptr(y);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<uchar> jpeg(out, out + outSize);
    std::free(out);
    return jpeg;
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
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.frame << " into " << c.view << (c.turned ? " turned" : ""));
        const std::vector<uchar> jpeg = Jpeg(c.frame, c.h, c.v);
        // Display rows as the screen takes them, a little wider than the view.
        const std::size_t displayStep = 4 * static_cast<std::size_t>(c.view.width) + 64;
        std::vector<uchar> display(displayStep * std::max(c.view.height, 1), 0);
        // Made twice: into a picture, and into display rows alone.
        builder.Prepare({c.view, display.data(), displayStep}, c.turned);
        cv::Mat unused;
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &unused, c.turned,
                                     &builder));
        EXPECT_EQ(builder.Result(), nullptr);
        EXPECT_EQ(builder.OnDisplay(), c.made ? c.view : cv::Size());
        builder.Prepare({c.view}, c.turned);
        cv::Mat frame, plain;
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &frame, c.turned,
                                     &builder));
        // Seeing the rows changes nothing of the frame.
        ASSERT_TRUE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &plain));
        if (c.turned) cv::flip(plain, plain, -1);
        EXPECT_EQ(cv::norm(frame, plain, cv::NORM_INF), 0);

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
    std::vector<uchar> jpeg = Jpeg({1280, 720}, 2, 2);
    jpeg.resize(jpeg.size() / 2);
    plat::ViewBuilder builder;
    builder.Prepare({{938, 704}}, true);
    cv::Mat frame;
    EXPECT_FALSE(plat::DecodeJpeg(jpeg.data(), jpeg.size(), plat::JpegPixelOrder::BGR, IntoMat, &frame, true, &builder));
    EXPECT_EQ(builder.Result(), nullptr);
}

}  // namespace
