#include "platform/CvCompat.h"

#include <exception>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/PictureLoader.h"

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

}  // namespace

IplImage* cvLoadImage(const char* filename, int iscolor) {
    cv::Mat picture;
    if (!plat::Shown(plat::LoadPicture(filename, iscolor, cv::Size(), &picture))) return nullptr;
    try {
        return CloneToIpl(picture);
    } catch (const std::exception&) {
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

