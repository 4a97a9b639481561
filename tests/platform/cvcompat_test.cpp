// Loading, saving and converting IplImages.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/CvCompat.h"
#include "platform/JpegFile.h"
#include "platform/PictureLoader.h"
#include "support/TempDir.h"

namespace {

struct ImageDeleter {
    void operator()(IplImage* p) const { cvReleaseImage(&p); }
};
using Image = std::unique_ptr<IplImage, ImageDeleter>;

Image Make(int w, int h, int channels) {
    return Image(cvCreateImage(cvSize(w, h), IPL_DEPTH_8U, channels));
}

unsigned char* Px(IplImage* img, int x, int y) {
    return reinterpret_cast<unsigned char*>(img->imageData) + y * img->widthStep + x * img->nChannels;
}

// A picture whose every pixel differs: B = x, G = y, R = x + y.
Image Gradient(int w, int h) {
    Image img = Make(w, h, 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = Px(img.get(), x, y);
            p[0] = static_cast<unsigned char>(x * 5);
            p[1] = static_cast<unsigned char>(y * 7);
            p[2] = static_cast<unsigned char>(x + y);
        }
    return img;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

unsigned U16(const std::string& s, std::size_t at) {
    return static_cast<unsigned char>(s[at]) | (static_cast<unsigned char>(s[at + 1]) << 8);
}

// What `work` cost in a child process of its own, so that a load that runs
// out of memory or throws cannot take the test runner with it.
struct ChildCost {
    bool succeeded = false;  // `work` returned true
    long peakKb = 0;
    double cpuSeconds = 0;
};

ChildCost InChild(const std::function<bool()>& work) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    ChildCost cost;
    int status = 0;
    struct rusage use {};
    if (pid < 0 || ::wait4(pid, &status, 0, &use) != pid) return cost;
    cost.succeeded = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    cost.peakKb = use.ru_maxrss;
    cost.cpuSeconds = static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                      static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
    return cost;
}

// The first bytes of a 24-bit bitmap of that size.
std::string BmpHeader(std::uint32_t w, std::uint32_t h) {
    std::string b(54, '\0');
    auto put = [&b](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put(10, 54);
    put(14, 40);
    put(18, w);
    put(22, h);
    put(26, 1 | (24u << 16));
    return b;
}

TEST(CvCompat, BmpRoundTripIs24BitAndLoadsInEveryColourMode) {
    TempDir dir;
    Image src = Gradient(33, 17);  // an odd width exercises the row padding
    const std::string path = dir.File("20240102030405.bmp");
    ASSERT_NE(cvSaveImage(path.c_str(), src.get()), 0);
    const std::string bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 54u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(U16(bytes, 28), 24u) << "bits per pixel";
    EXPECT_EQ(bytes.size(), 54u + 17u * 100u) << "rows padded to four bytes";

    Image colour(cvLoadImage(path.c_str(), CV_LOAD_IMAGE_COLOR));
    ASSERT_TRUE(colour);
    ASSERT_EQ(colour->nChannels, 3);
    ASSERT_EQ(colour->width, 33);
    ASSERT_EQ(colour->height, 17);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 33; ++x)
            ASSERT_EQ(0, std::memcmp(Px(colour.get(), x, y), Px(src.get(), x, y), 3)) << x << "," << y;

    Image grey(cvLoadImage(path.c_str(), CV_LOAD_IMAGE_GRAYSCALE));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->nChannels, 1);
    Image stored(cvLoadImage(path.c_str(), CV_LOAD_IMAGE_UNCHANGED));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->nChannels, 3);
    Image byDefault(cvLoadImage(path.c_str()));
    ASSERT_TRUE(byDefault);
    EXPECT_EQ(byDefault->nChannels, 3);

    // A four-channel PNG keeps its alpha only when asked for as stored.
    Image rgba = Make(4, 4, 4);
    cvSet(rgba.get(), cvScalar(10, 20, 30, 40));
    const std::string png = dir.File("alpha.png");
    ASSERT_NE(cvSaveImage(png.c_str(), rgba.get()), 0);
    Image asStored(cvLoadImage(png.c_str(), -1));
    ASSERT_TRUE(asStored);
    EXPECT_EQ(asStored->nChannels, 4);
    EXPECT_EQ(Px(asStored.get(), 3, 3)[3], 40);
    Image asColour(cvLoadImage(png.c_str(), 1));
    ASSERT_TRUE(asColour);
    EXPECT_EQ(asColour->nChannels, 3);

    // A JPEG's size comes from its frame header, after the segments before it.
    const std::string jpg = dir.File("photo.jpg");
    ASSERT_NE(cvSaveImage(jpg.c_str(), src.get()), 0);
    Image fromJpeg(cvLoadImage(jpg.c_str()));
    ASSERT_TRUE(fromJpeg);
    EXPECT_EQ(fromJpeg->width, 33);
    EXPECT_EQ(fromJpeg->height, 17);
}

TEST(CvCompat, LoadAndSaveFailuresReturnNothingWithoutThrowing) {
    TempDir dir;
    EXPECT_EQ(cvLoadImage(dir.File("missing.bmp").c_str()), nullptr);
    EXPECT_EQ(cvLoadImage(dir.Write("garbage.bmp", "BMnot really a bitmap").c_str()), nullptr);
    EXPECT_EQ(cvLoadImage(dir.Write("empty.bmp", "").c_str()), nullptr);
    EXPECT_EQ(cvLoadImage(dir.Path().c_str()), nullptr);
    EXPECT_EQ(cvLoadImage(nullptr), nullptr);
    // A pipe is not opened: no writer would ever come.
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    EXPECT_EQ(cvLoadImage(dir.File("pipe.bmp").c_str()), nullptr);

    Image img = Gradient(8, 8);
    EXPECT_EQ(cvSaveImage(dir.File("no/such/folder/x.bmp").c_str(), img.get()), 0);
    EXPECT_EQ(cvSaveImage(dir.File("picture.xyz").c_str(), img.get()), 0);
    EXPECT_EQ(cvSaveImage(dir.File("noending").c_str(), img.get()), 0);
    EXPECT_EQ(cvSaveImage("/proc/not-writable.bmp", img.get()), 0);
    EXPECT_EQ(cvSaveImage(dir.Path().c_str(), img.get()), 0);
    EXPECT_EQ(cvSaveImage(dir.File("x.bmp").c_str(), nullptr), 0);
    EXPECT_EQ(cvSaveImage(nullptr, img.get()), 0);
}

// A JPEG's bytes with `bytes` put in at `at`.
std::string JpegWith(const cv::Mat& picture, std::size_t at, const std::string& bytes) {
    std::vector<unsigned char> jpeg;
    cv::imencode(".jpg", picture, jpeg);
    std::string out(jpeg.begin(), jpeg.end());
    return out.insert(at, bytes);
}

// A progressive JPEG of `picture` (8-bit B, G, R) with colour as finely
// sampled as brightness (4:4:4, `halved` false), as editors and web exports
// write them, or at half its width and height (4:2:0).
std::string ProgressiveJpeg(const cv::Mat& picture, bool halved = false) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(picture.cols);
    c.image_height = static_cast<JDIMENSION>(picture.rows);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 95, TRUE);
    c.comp_info[0].h_samp_factor = c.comp_info[0].v_samp_factor = halved ? 2 : 1;
    jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.ptr<unsigned char>(static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}

// `jpeg` with its last scan (a refinement of every coefficient) repeated
// until it has `scans` scans: each costs a pass over the picture.
std::string WithScansRepeated(std::string jpeg, int scans) {
    const std::size_t last = jpeg.rfind("\xFF\xDA");
    const std::string scan = jpeg.substr(last, jpeg.size() - 2 - last);
    std::string more;
    for (int i = 10; i < scans; ++i) more += scan;  // the usual script has ten
    return jpeg.insert(jpeg.size() - 2, more);
}

// An Exif segment whose orientation tag says the camera was turned: the
// picture shows turned by 90 degrees clockwise.
const std::string kTurnedClockwise("\xFF\xE1\x00\x22" "Exif\0\0" "MM\0\x2A\0\0\0\x08" "\0\x01"
                                   "\x01\x12\0\x03\0\0\0\x01\0\x06\0\0" "\0\0\0\0", 36);

// Any file can be chosen as the photo.  It is shown at the photo box's size,
// decoded once, without ever costing the whole picture: a large JPEG is
// decoded reduced, a large file of another kind refused from its header.
TEST(CvCompat, ChosenFilesAreShownAtTheBoxSizeOrRefusedWithoutBeingRead) {
    TempDir dir;
    const cv::Size box(140, 172);
    cv::Mat halves(6000, 8000, CV_8UC3, cv::Scalar::all(255));  // 48 megapixels, dark above
    halves.rowRange(0, 3000).setTo(cv::Scalar::all(0));
    const std::string phone = JpegWith(halves, 2, kTurnedClockwise);
    halves.release();
    const std::string stray = JpegWith(cv::cvarrToMat(Gradient(33, 17).get()).clone(), 20,
                                       std::string("\0\0", 2));  // after the JFIF segment
    cv::Mat wide(4000, 5000, CV_8UC3);  // 20 megapixels of gradients and edges
    for (int y = 0; y < wide.rows; ++y)
        for (int x = 0; x < wide.cols; ++x)
            wide.at<cv::Vec3b>(y, x) = cv::Vec3b(x / 28, y / 20, (x / 250 + y / 250) % 2 * 200);
    const std::string web = ProgressiveJpeg(wide);
    const std::string camera = ProgressiveJpeg(wide(cv::Rect(0, 0, 2000, 1500)), true);
    wide.release();
    const std::string small = JpegWith(cv::cvarrToMat(Gradient(640, 480).get()).clone(), 0, "");
    const std::size_t frame = small.find("\xFF\xC0");  // precision, height, width follow its length
    std::string lossless = small, twelveBit = small, noHeight = small;
    lossless[frame + 1] = '\xC3';
    twelveBit[frame + 4] = 12;
    noHeight[frame + 5] = noHeight[frame + 6] = 0;
    std::string padded = small;  // an APP1 segment of 64 kB, 300 times, after the JFIF segment
    const std::string app1 = "\xFF\xE1\xFF\xFF" + std::string(0xFFFD, 'x');
    for (int i = 0; i < 300; ++i) padded.insert(20, app1);
    cv::Mat clear(8, 8, CV_8UC4, cv::Scalar(0, 0, 0, 0));  // black, wholly transparent
    std::vector<unsigned char> png;
    cv::imencode(".png", clear, png);
    using plat::PictureLoad;
    const struct {
        const char* name;
        std::string bytes;
        std::uint64_t sparse;  // the file's size when it is larger than its bytes
        PictureLoad result;
        cv::Size shown;
        int grey = -1;  // the first pixel's channels, when it is grey
        int peakMb = 16;
        bool reduced = false;  // decoded by 1/8 as libjpeg keeping every coefficient decodes it
    } cases[] = {
        {"disk image of 4 GB.bmp", "", std::uint64_t{4} << 30, PictureLoad::NotTaken, {}},
        {"no picture, of 100 MB.bmp", "", std::uint64_t{100} << 20, PictureLoad::NotTaken, {}},
        {"bitmap of 100 GB.bmp", BmpHeader(1000, 1000), std::uint64_t{100} << 30, PictureLoad::TooLarge, {}},
        {"bitmap of 30000 x 30000 pixels.bmp", BmpHeader(30000, 30000), std::uint64_t{100} << 20,
         PictureLoad::TooLarge, {}},
        {"phone photo of 48 megapixels.jpg", phone, 0, PictureLoad::Loaded, box},
        {"stray bytes between segments.jpg", stray, 0, PictureLoad::Loaded, {33, 17}},
        {"TIFF named.jpg", std::string("II*\0\x08\0\0\0", 8) + std::string(64, '\0'), 0, PictureLoad::NotTaken, {}},
        {"WebP named.jpg", std::string("RIFF\x24\0\0\0WEBPVP8 ", 16) + std::string(64, '\0'), 0,
         PictureLoad::NotTaken, {}},
        {"animation.gif", "GIF89a" + std::string(64, '\0'), 0, PictureLoad::NotTaken, {}},
        {"phone photo.heic", std::string("\0\0\0\x18" "ftypheic", 12) + std::string(64, '\0'), 0,
         PictureLoad::NotTaken, {}},
        {"bytes named.bmp", "BM" + std::string(64, '7'), 0, PictureLoad::NotTaken, {}},
        {"header without pixels.bmp", BmpHeader(100, 100), 0, PictureLoad::Damaged, {}},
        // Reduced by 1/8, as every progressive photo past the decoder's bound.
        {"progressive 4:4:4 photo of 20 megapixels.jpg", web, 0, PictureLoad::Loaded, box, -1, 24, true},
        {"progressive 4:2:0 photo.jpg", camera, 0, PictureLoad::Loaded, box, -1, 16, true},
        {"20000 scans.jpg", WithScansRepeated(ProgressiveJpeg(cv::Mat(512, 512, CV_8UC3, cv::Scalar(9, 99, 199))), 20000),
         0, PictureLoad::TooManyScans, {}},
        {"cut short.jpg", small.substr(0, small.size() * 2 / 3), 0, PictureLoad::Incomplete, box},
        {"cut inside its header.jpg", small.substr(0, frame + 4), 0, PictureLoad::Damaged, {}},
        {"frame height of 0.jpg", noHeight, 0, PictureLoad::Damaged, {}},
        {"lossless.jpg", lossless, 0, PictureLoad::Unsupported, {}},
        {"12-bit.jpg", twelveBit, 0, PictureLoad::Unsupported, {}},
        {"19 MB of APP1 segments.jpg", padded, 0, PictureLoad::Loaded, box},
        {"transparent.png", std::string(png.begin(), png.end()), 0, PictureLoad::Loaded, {8, 8}, 255},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write(c.name, c.bytes);
        if (c.sparse) {
            ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(c.sparse)), 0) << "no disk space is used";
        }
        const ChildCost idle = InChild([] { return true; });
        const ChildCost cost = InChild([&] {
            cv::Mat shown;
            if (plat::LoadPicture(path.c_str(), 1, box, &shown) != c.result || shown.size() != c.shown) return false;
            if (c.grey >= 0 && shown.at<cv::Vec3b>(0, 0) != cv::Vec3b::all(static_cast<unsigned char>(c.grey)))
                return false;
            // The phone photo stands upright: its dark half on the right.
            return c.bytes != phone || (shown.at<cv::Vec3b>(86, 10)[0] > 200 && shown.at<cv::Vec3b>(86, 130)[0] < 50);
        });
        EXPECT_TRUE(cost.succeeded) << c.name;
        EXPECT_LT(cost.peakKb - idle.peakKb, c.peakMb << 10) << c.name << ": peak memory rose by kB";
        EXPECT_LT(cost.cpuSeconds, 1.0) << c.name;
        if (c.reduced) {
            cv::Mat decoded;
            const int fd = ::open(path.c_str(), O_RDONLY);
            plat::DecodeJpegFile(fd, c.bytes.size(), 1, box, plat::kMaxWholePixels, plat::kMaxJpegScans, nullptr,
                                 &decoded);
            ::close(fd);
            const cv::Mat whole = cv::imread(path, cv::IMREAD_REDUCED_COLOR_8);
            ASSERT_EQ(decoded.size(), whole.size()) << c.name;
            EXPECT_EQ(cv::norm(decoded, whole, cv::NORM_INF), 0) << c.name;
        }
    }
}

TEST(CvCompat, SaveWritesABottomUpImageTheRightWayUp) {
    TempDir dir;
    Image img = Gradient(6, 5);
    img->origin = IPL_ORIGIN_BL;
    const std::string path = dir.File("flip.bmp");
    ASSERT_NE(cvSaveImage(path.c_str(), img.get()), 0);
    Image back(cvLoadImage(path.c_str(), 1));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->origin, IPL_ORIGIN_TL);
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(0, std::memcmp(Px(back.get(), 0, y), Px(img.get(), 0, 4 - y), 18)) << y;
}

TEST(CvCompat, ConvertBetweenChannelCountsWithFlipAndSwap) {
    Image src = Make(2, 2, 3);
    cvSet(src.get(), cvScalar(255, 0, 0));  // pure blue
    Px(src.get(), 1, 1)[0] = 0;              // one black pixel, bottom right

    Image grey = Make(2, 2, 1);
    cvConvertImage(src.get(), grey.get());
    EXPECT_EQ(*Px(grey.get(), 0, 0), 29) << "blue weighs 0.114";
    EXPECT_EQ(*Px(grey.get(), 1, 1), 0);
    cvConvertImage(src.get(), grey.get(), CV_CVTIMG_SWAP_RB);
    EXPECT_EQ(*Px(grey.get(), 0, 0), 76) << "read as red, which weighs 0.299";

    Image swapped = Make(2, 2, 3);
    cvConvertImage(src.get(), swapped.get(), CV_CVTIMG_SWAP_RB | CV_CVTIMG_FLIP);
    const unsigned char* top = Px(swapped.get(), 1, 0);  // was the bottom-right pixel
    EXPECT_EQ(top[0], 0);
    EXPECT_EQ(top[2], 0);
    EXPECT_EQ(Px(swapped.get(), 0, 0)[2], 255);
    EXPECT_EQ(Px(swapped.get(), 0, 0)[0], 0);

    Image bgra = Make(2, 2, 4);
    cvConvertImage(src.get(), bgra.get());
    EXPECT_EQ(Px(bgra.get(), 0, 0)[0], 255);
    EXPECT_EQ(Px(bgra.get(), 0, 0)[3], 255);
    Image back = Make(2, 2, 3);
    cvConvertImage(bgra.get(), back.get(), CV_CVTIMG_SWAP_RB);
    EXPECT_EQ(Px(back.get(), 0, 0)[2], 255);

    Image fromGrey = Make(2, 2, 3);
    cvSet(grey.get(), cvScalar(77));
    cvConvertImage(grey.get(), fromGrey.get());
    EXPECT_EQ(Px(fromGrey.get(), 1, 0)[0], 77);
    EXPECT_EQ(Px(fromGrey.get(), 1, 0)[2], 77);
}

TEST(CvCompat, ConvertInPlaceFromARegionAndRefusesMismatches) {
    Image img = Gradient(4, 3);
    Image original(cvCloneImage(img.get()));
    cvConvertImage(img.get(), img.get(), CV_CVTIMG_FLIP);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(0, std::memcmp(Px(img.get(), 0, y), Px(original.get(), 0, 2 - y), 12)) << y;

    // A region of the source converts into an image of the region's size.
    cvSetImageROI(original.get(), cvRect(1, 1, 2, 2));
    Image part = Make(2, 2, 3);
    cvConvertImage(original.get(), part.get());
    cvResetImageROI(original.get());
    EXPECT_EQ(0, std::memcmp(Px(part.get(), 0, 0), Px(original.get(), 1, 1), 6));
    EXPECT_EQ(0, std::memcmp(Px(part.get(), 0, 1), Px(original.get(), 1, 2), 6));

    Image other = Make(5, 3, 3);
    cvSet(other.get(), cvScalar(9, 9, 9));
    cvConvertImage(img.get(), other.get());
    EXPECT_EQ(Px(other.get(), 0, 0)[0], 9) << "a size mismatch leaves the destination alone";
    Image two = Make(4, 3, 2);
    cvSet(two.get(), cvScalar(9, 9));
    cvConvertImage(img.get(), two.get());
    EXPECT_EQ(Px(two.get(), 0, 0)[0], 9);
    cvConvertImage(nullptr, img.get());
    cvConvertImage(img.get(), nullptr);
}

}  // namespace
