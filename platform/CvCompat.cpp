#include "platform/CvCompat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/Paths.h"

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

// The bytes of a regular file, read through the one descriptor that was
// checked to be one; false for anything else.
bool ReadRegularFile(const char* filename, std::vector<unsigned char>& bytes) {
    const int fd = plat::OpenRegularFile(filename, O_RDONLY);
    if (fd < 0) return false;
    struct stat st;
    const bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
    }
    ::close(fd);
    return ok && !bytes.empty();
}

}  // namespace

IplImage* cvLoadImage(const char* filename, int iscolor) {
    if (!filename || !*filename) return nullptr;
    // Only a regular file can be a picture: opening a pipe would wait for a
    // writer for good, and a device could be read without end.
    std::vector<unsigned char> bytes;
    if (!ReadRegularFile(filename, bytes)) return nullptr;
    try {
        const int flags = iscolor > 0 ? cv::IMREAD_COLOR
                          : iscolor == 0 ? cv::IMREAD_GRAYSCALE
                                         : cv::IMREAD_UNCHANGED;
        cv::Mat mat = cv::imdecode(bytes, flags);
        if (mat.empty()) return nullptr;
        return CloneToIpl(mat);
    } catch (const cv::Exception&) {
        return nullptr;
    }
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

