#include "platform/PictureLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <exception>
#include <iterator>
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

// `picture` (8-bit B, G, R, A, continuous) drawn over white, in place, as B,
// G, R (`channels` 3) or grey (1) packed at the start of its own memory: a
// picture of 2^25 pixels costs no second one.
cv::Mat OverWhite(cv::Mat picture, int channels) {
    unsigned char* to = picture.data;
    const unsigned char* p = picture.data;
    const std::size_t pixels = picture.total();
    for (std::size_t i = 0; i < pixels; ++i, p += 4) {
        const unsigned a = p[3];
        unsigned c[3];
        for (int k = 0; k < 3; ++k) c[k] = (p[k] * a + 255 * (255 - a) + 127) / 255;
        if (channels == 3) {
            *to++ = static_cast<unsigned char>(c[0]);
            *to++ = static_cast<unsigned char>(c[1]);
            *to++ = static_cast<unsigned char>(c[2]);
        } else {
            *to++ = static_cast<unsigned char>((c[0] * 29 + c[1] * 150 + c[2] * 77 + 128) >> 8);
        }
    }
    return picture.reshape(1, 1).colRange(0, static_cast<int>(pixels) * channels).reshape(channels, picture.rows);
}

// BMP and PNG: OpenCV decodes them only whole, and reads from a file it opens
// by name.  It is given the name of the descriptor itself, which names the
// very file opened and checked whatever has become of its path since: the
// decoder reads it in small pieces, and the file's bytes are never held.
// A picture with an alpha channel asked for in colour or grey is read with
// it and drawn over white: read without it, what lies under the transparent
// parts would show (often black).
cv::Mat DecodeWhole(int fd, int iscolor, bool alpha) {
    int flags = iscolor > 0 ? cv::IMREAD_COLOR : iscolor == 0 ? cv::IMREAD_GRAYSCALE : cv::IMREAD_UNCHANGED;
    if (alpha && iscolor >= 0) flags = cv::IMREAD_UNCHANGED;
    try {
        cv::Mat picture = cv::imread("/proc/self/fd/" + std::to_string(fd), flags);
        if (picture.empty() || iscolor < 0 || !alpha) return picture;
        if (picture.depth() != CV_8U) picture.convertTo(picture, CV_8U, 1.0 / 257);
        if (picture.channels() == 4 && picture.isContinuous()) {
            picture = OverWhite(picture, iscolor > 0 ? 3 : 1);
        } else if (picture.channels() == 1 && iscolor > 0) {
            cv::cvtColor(picture, picture, cv::COLOR_GRAY2BGR);
        } else if (picture.channels() == 3 && iscolor == 0) {
            cv::cvtColor(picture, picture, cv::COLOR_BGR2GRAY);
        }
        return picture;
    } catch (const std::exception&) {
        // Out of memory, or a picture the library gives up on.
        return {};
    }
}

// Whether the BMP or PNG at `fd` may carry transparency: a PNG with an alpha
// channel or a transparency chunk before its pixels, a 32-bit bitmap.
bool MayBeTransparent(int fd, std::uint64_t fileBytes, PictureFormat format) {
    unsigned char h[33];
    if (fileBytes < sizeof h || ::pread(fd, h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) return false;
    if (format == PictureFormat::Bmp) return (h[28] | (h[29] << 8)) == 32;
    if (h[25] == 4 || h[25] == 6) return true;  // grey or colour with alpha
    // Chunks after the header, up to the pixels, for a transparency chunk.
    std::uint64_t at = 33;
    for (int chunks = 0; chunks < 64 && at + 8 <= fileBytes; ++chunks) {
        unsigned char c[8];
        if (::pread(fd, c, 8, static_cast<off_t>(at)) != 8) return false;
        if (std::memcmp(c + 4, "tRNS", 4) == 0) return true;
        if (std::memcmp(c + 4, "IDAT", 4) == 0) return false;
        at += 12 + ((std::uint64_t{c[0]} << 24) | (c[1] << 16) | (c[2] << 8) | c[3]);
    }
    return false;
}

PictureLoad FromJpeg(JpegFileResult result) {
    switch (result) {
        case JpegFileResult::Decoded: return PictureLoad::Loaded;
        case JpegFileResult::Incomplete: return PictureLoad::Incomplete;
        case JpegFileResult::TooLarge: return PictureLoad::TooLarge;
        case JpegFileResult::TooManyScans: return PictureLoad::TooManyScans;
        case JpegFileResult::Unsupported: return PictureLoad::Unsupported;
        case JpegFileResult::Cancelled: return PictureLoad::Cancelled;
        case JpegFileResult::Damaged: break;
    }
    return PictureLoad::Damaged;
}

// The frames libjpeg decodes: baseline, extended and progressive, Huffman
// or arithmetic coded, 8 bits a sample.
bool JpegKindTaken(const PictureSize& size) {
    static const unsigned kTaken[] = {0xC0, 0xC1, 0xC2, 0xC9, 0xCA};
    return size.jpegPrecision == 8 && std::find(std::begin(kTaken), std::end(kTaken), size.jpegFrame) != std::end(kTaken);
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

PictureLoad LoadOpened(int fd, int iscolor, cv::Size fit, cv::Mat* picture, const std::atomic<bool>* cancel) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return PictureLoad::Unreadable;
    if (st.st_size <= 0) return PictureLoad::NotTaken;
    const auto fileBytes = static_cast<std::uint64_t>(st.st_size);
    // A file past the limit is looked at no further than the limit: enough
    // to tell a large picture from a file that is none.
    PictureSize size;
    switch (ReadPictureSize(fd, std::min(fileBytes, kMaxPictureFileBytes), &size)) {
        case HeaderRead::Picture: break;
        case HeaderRead::NotPicture: return PictureLoad::NotTaken;
        case HeaderRead::Damaged: return PictureLoad::Damaged;
    }
    if (size.format == PictureFormat::Jpeg && !JpegKindTaken(size)) return PictureLoad::Unsupported;
    if (fileBytes > kMaxPictureFileBytes) return PictureLoad::TooLarge;

    cv::Mat decoded;
    PictureLoad result = PictureLoad::Loaded;
    if (size.format == PictureFormat::Jpeg) {
        ++g_decoded;
        result = FromJpeg(DecodeJpegFile(fd, fileBytes, iscolor, fit, kMaxWholePixels, kMaxJpegScans, cancel, &decoded));
        if (!Shown(result)) return result;
    } else {
        // Each side is below 2^32, so the product cannot overflow.
        if (static_cast<std::uint64_t>(size.width) * static_cast<std::uint64_t>(size.height) > kMaxWholePixels)
            return PictureLoad::TooLarge;
        ++g_decoded;
        decoded = DecodeWhole(fd, iscolor, MayBeTransparent(fd, fileBytes, size.format));
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
    return result;
}

}  // namespace

bool ReadFileIdentity(int fd, FileIdentity* identity) {
    struct stat st;
    if (::fstat(fd, &st) != 0) return false;
    identity->device = st.st_dev;
    identity->inode = st.st_ino;
    identity->size = static_cast<std::uint64_t>(st.st_size);
    identity->modified = std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    identity->changed = std::int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
    return true;
}

PictureLoad LoadPicture(const char* path, int iscolor, cv::Size fit, cv::Mat* picture, FileIdentity* identity,
                        const std::atomic<bool>* cancel) {
    if (!path || !*path || !picture) return PictureLoad::Unreadable;
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) return errno == ENAMETOOLONG ? PictureLoad::PathTooLong : PictureLoad::Unreadable;
    FileIdentity before;
    cv::Mat decoded;
    PictureLoad result = ReadFileIdentity(fd, &before) ? LoadOpened(fd, iscolor, fit, &decoded, cancel)
                                                       : PictureLoad::Unreadable;
    // Written while it was decoded: what shows is neither the file as it was
    // nor as it is.
    FileIdentity after;
    if (Shown(result) && (!ReadFileIdentity(fd, &after) || after != before)) result = PictureLoad::Unreadable;
    if (Shown(result)) *picture = decoded;
    if (identity) *identity = before;
    ::close(fd);
    return result;
}

std::uint64_t PicturesDecoded() { return g_decoded.load(); }

}  // namespace plat
