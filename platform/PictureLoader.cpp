#include "platform/PictureLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/JpegFile.h"
#include "platform/Paths.h"
#include "platform/PictureHeader.h"

namespace plat {

const char* const kPictureFileFilter =
    "Picture file(*.bmp;*.png;*.jpg;*.jpeg)|*.bmp;*.png;*.jpg;*.jpeg;*.BMP;*.PNG;*.JPG;*.JPEG";

namespace {

std::atomic<std::uint64_t> g_decoded{0};

// BMP and PNG: OpenCV decodes them only whole, and reads from a file it opens
// by name.  It is given the name of the descriptor itself, which names the
// very file opened and checked whatever has become of its path since: the
// decoder reads it in small pieces, and the file's bytes are never held.
cv::Mat DecodeWhole(int fd, int iscolor) {
    const int flags = iscolor > 0 ? cv::IMREAD_COLOR : iscolor == 0 ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED;
    try {
        return cv::imread("/proc/self/fd/" + std::to_string(fd), flags);
    } catch (const std::exception&) {
        // Out of memory, or a picture the library gives up on.
        return {};
    }
}

// `picture` area-averaged to `fit`.  Averaging at an uneven ratio is slow on
// a large picture, so whole blocks are averaged first (the library's fast
// path), leaving out at most one block less a pixel at the far edges, and the
// small rest of the reduction follows.
cv::Mat Reduced(const cv::Mat& picture, cv::Size fit) {
    cv::Mat reduced;
    const int k = std::min(picture.cols / fit.width, picture.rows / fit.height);
    if (k < 2) {
        cv::resize(picture, reduced, fit, 0, 0, cv::INTER_AREA);
        return reduced;
    }
    cv::Mat blocks;
    cv::resize(picture(cv::Rect(0, 0, picture.cols / k * k, picture.rows / k * k)), blocks,
               cv::Size(picture.cols / k, picture.rows / k), 0, 0, cv::INTER_AREA);
    cv::resize(blocks, reduced, fit, 0, 0, cv::INTER_AREA);
    return reduced;
}

PictureLoad LoadOpened(int fd, int iscolor, cv::Size fit, cv::Mat* picture) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return PictureLoad::Unreadable;
    if (st.st_size <= 0) return PictureLoad::NotTaken;
    const auto fileBytes = static_cast<std::uint64_t>(st.st_size);
    // A file past the limit is looked at no further than the limit: enough
    // to tell a large picture from a file that is none.
    PictureSize size;
    if (!ReadPictureSize(fd, std::min(fileBytes, kMaxPictureFileBytes), &size)) return PictureLoad::NotTaken;
    if (fileBytes > kMaxPictureFileBytes) return PictureLoad::TooLarge;

    cv::Mat decoded;
    if (size.format == PictureFormat::Jpeg) {
        ++g_decoded;
        switch (DecodeJpegFile(fd, fileBytes, iscolor, fit, kMaxWholePixels, &decoded)) {
            case JpegFileResult::Decoded: break;
            case JpegFileResult::TooLarge: return PictureLoad::TooLarge;
            case JpegFileResult::Damaged: return PictureLoad::Damaged;
        }
    } else {
        // Each side is below 2^32, so the product cannot overflow.
        if (static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height) > kMaxWholePixels)
            return PictureLoad::TooLarge;
        ++g_decoded;
        decoded = DecodeWhole(fd, iscolor);
        if (decoded.empty()) return PictureLoad::Damaged;
    }
    if (fit.width > 0 && fit.height > 0 && (decoded.cols > fit.width || decoded.rows > fit.height)) {
        try {
            decoded = Reduced(decoded, fit);
        } catch (const std::exception&) {
            return PictureLoad::TooLarge;
        }
    }
    *picture = decoded;
    return PictureLoad::Loaded;
}

}  // namespace

PictureLoad LoadPicture(const char* path, int iscolor, cv::Size fit, cv::Mat* picture) {
    if (!path || !*path || !picture) return PictureLoad::Unreadable;
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return PictureLoad::Unreadable;
    const PictureLoad result = LoadOpened(fd, iscolor, fit, picture);
    ::close(fd);
    return result;
}

std::uint64_t PicturesDecoded() { return g_decoded.load(); }

}  // namespace plat
