#include "platform/CvCompat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <exception>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/Paths.h"
#include "platform/PictureHeader.h"

namespace {

IplImage* CloneToIpl(const cv::Mat& mat) {
    IplImage header = cvIplImage(mat);
    return cvCloneImage(&header);
}

// The colour conversion between channel counts, with red and blue swapped on request.
int ConversionCode(int from, int to, bool swapRb) {
    switch (from * 10 + to) {
        case 13: return cv::COLOR_GRAY2BGR;
        case 14: return cv::COLOR_GRAY2BGRA;
        case 31: return swapRb ? cv::COLOR_RGB2GRAY : cv::COLOR_BGR2GRAY;
        case 33: return swapRb ? cv::COLOR_BGR2RGB : -1;
        case 34: return swapRb ? cv::COLOR_BGR2RGBA : cv::COLOR_BGR2BGRA;
        case 41: return swapRb ? cv::COLOR_RGBA2GRAY : cv::COLOR_BGRA2GRAY;
        case 43: return swapRb ? cv::COLOR_BGRA2RGB : cv::COLOR_BGRA2BGR;
        case 44: return swapRb ? cv::COLOR_BGRA2RGBA : -1;
        default: return -1;  // 1 -> 1: a plain copy
    }
}

bool ValidChannels(int c) { return c == 1 || c == 3 || c == 4; }

// The largest picture the loader holds: neither the file nor its pixels at
// four bytes each may be larger.  Any file can be chosen as a photo, and the
// photo box loads it at every paint; a disk image named ".bmp" must cost no
// more than this.
constexpr std::uint64_t kMaxPictureBytes = std::uint64_t{128} << 20;

// All `n` bytes from the file's start; false when it ends sooner.
bool ReadFromStart(int fd, unsigned char* to, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::pread(fd, to + done, n - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// The picture in the open file, once its header has shown it to be one the
// loader will hold; nothing for anything else.
IplImage* LoadOpened(int fd, int iscolor) {
    struct stat st;
    if (::fstat(fd, &st) != 0 || st.st_size <= 0 || static_cast<std::uint64_t>(st.st_size) > kMaxPictureBytes)
        return nullptr;
    const auto fileBytes = static_cast<std::size_t>(st.st_size);
    plat::PictureSize size;
    if (!plat::ReadPictureSize(fd, fileBytes, &size)) return nullptr;
    // Each side is below 2^32, so the product cannot overflow.
    if (static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height) > kMaxPictureBytes / 4)
        return nullptr;
    try {
        std::vector<unsigned char> bytes(fileBytes);
        if (!ReadFromStart(fd, bytes.data(), bytes.size())) return nullptr;
        const int flags = iscolor > 0 ? cv::IMREAD_COLOR
                          : iscolor == 0 ? cv::IMREAD_GRAYSCALE
                                         : cv::IMREAD_UNCHANGED;
        cv::Mat mat = cv::imdecode(bytes, flags);
        if (mat.empty()) return nullptr;
        return CloneToIpl(mat);
    } catch (const std::exception&) {
        // Out of memory (std::bad_alloc, or the library's own error) or a
        // picture the library gives up on: either way there is no picture.
        return nullptr;
    }
}

}  // namespace

IplImage* cvLoadImage(const char* filename, int iscolor) {
    if (!filename || !*filename) return nullptr;
    // Only a regular file can be a picture: opening a pipe would wait for a
    // writer for good, and a device could be read without end.
    const int fd = plat::OpenRegularFile(filename, O_RDONLY);
    if (fd < 0) return nullptr;
    IplImage* image = LoadOpened(fd, iscolor);
    ::close(fd);
    return image;
}

int cvSaveImage(const char* filename, const CvArr* image, const int* params) {
    if (!filename || !*filename || !image) return 0;
    try {
        cv::Mat mat = cv::cvarrToMat(image);
        if (mat.empty()) return 0;
        // A bottom-up image is written the right way up.
        if (CV_IS_IMAGE(image) && static_cast<const IplImage*>(image)->origin == IPL_ORIGIN_BL) {
            cv::Mat flipped;
            cv::flip(mat, flipped, 0);
            mat = flipped;
        }
        std::vector<int> p;
        for (const int* q = params; q && q[0] != 0; q += 2) {
            p.push_back(q[0]);
            p.push_back(q[1]);
        }
        return cv::imwrite(filename, mat, p) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void cvConvertImage(const CvArr* src, CvArr* dst, int flags) {
    if (!src || !dst) return;
    try {
        cv::Mat s = cv::cvarrToMat(src);
        cv::Mat d = cv::cvarrToMat(dst);
        if (s.empty() || s.size() != d.size() || s.depth() != CV_8U || d.depth() != CV_8U ||
            !ValidChannels(s.channels()) || !ValidChannels(d.channels()))
            return;
        uchar* const target = d.data;
        const bool sameBuffer = s.data == d.data;
        // Work through a copy when source and destination share their pixels.
        cv::Mat out = sameBuffer ? cv::Mat() : d;
        const int code = ConversionCode(s.channels(), d.channels(), (flags & CV_CVTIMG_SWAP_RB) != 0);
        if (code >= 0)
            cv::cvtColor(s, out, code);
        else
            s.copyTo(out);
        if (flags & CV_CVTIMG_FLIP) cv::flip(out, out, 0);
        if (sameBuffer) out.copyTo(d);
        CV_Assert(sameBuffer || out.data == target);
    } catch (const cv::Exception&) {
        // A mismatch leaves the destination as it was.
    }
}

