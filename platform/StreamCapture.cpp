// cvCreateFileCapture / cvQueryFrame / cvReleaseCapture over cv::VideoCapture
// (FFmpeg) with open and read time-outs.
//
// A network stream is the device's live picture, so its end is not the end:
// a stream that closed, stalled past the read time-out or stopped decoding is
// opened again on a later query, at most once a second.  One query waits for
// either an open or a read, never both, so nothing holds a query longer than
// one time-out.  MJPEG streams hand over their pictures undecoded and each is
// decoded here by libjpeg straight into B, G, R at its own size: FFmpeg's
// scaler keeps the first size and goes on returning a stale picture after
// the device changes its frame size.
#include <atomic>
#include <chrono>
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "platform/CvCompat.h"
#include "platform/FrameTurn.h"
#include "platform/JpegDecode.h"

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int> g_openTimeoutMs{5000};
std::atomic<int> g_readTimeoutMs{5000};

// The shortest time between two opens of a network stream.
constexpr auto kReopenInterval = std::chrono::seconds(1);

bool IsNetworkAddress(const std::string& address) {
    return address.find("://") != std::string::npos && address.rfind("file:", 0) != 0;
}

bool IsMjpeg(cv::VideoCapture& capture) {
    const int fourcc = static_cast<int>(capture.get(cv::CAP_PROP_FOURCC));
    std::string text;
    for (int i = 0; i < 3; ++i) text += static_cast<char>(std::tolower((fourcc >> (8 * i)) & 0xFF));
    return text == "mjp";
}

unsigned char* RowsOfMat(void* context, int width, int height, int components, std::size_t* rowStep) {
    if (components != 1 && components != 3) return nullptr;
    cv::Mat* m = static_cast<cv::Mat*>(context);
    m->create(height, width, components == 3 ? CV_8UC3 : CV_8UC1);
    *rowStep = m->step[0];
    return m->data;
}

// `*image` made, or made anew, as an 8-bit B, G, R image of that size.
bool FitImage(IplImage** image, int width, int height) {
    if (*image && (*image)->width == width && (*image)->height == height && (*image)->nChannels == 3 &&
        (*image)->depth == IPL_DEPTH_8U && !(*image)->roi)
        return true;
    if (*image) cvReleaseImage(image);
    *image = cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, 3);
    return *image != nullptr;
}

// The caller's image that a query writes its picture into; none at all
// (`image` null) when the picture is only to be passed over.
struct CopyTarget {
    IplImage** image;
    bool turned;
    plat::JpegRowSink* seen = nullptr;
};

unsigned char* RowsOfCopy(void* context, int width, int height, int components, std::size_t* rowStep) {
    const CopyTarget* t = static_cast<const CopyTarget*>(context);
    if (components != 3 || !FitImage(t->image, width, height)) return nullptr;
    *rowStep = static_cast<std::size_t>((*t->image)->widthStep);
    return reinterpret_cast<unsigned char*>((*t->image)->imageData);
}

}  // namespace

struct CvCapture {
    std::string address;
    bool network = false;
    bool packets = false;      // MJPEG pictures come undecoded and are decoded here
    cv::VideoCapture capture;  // not opened while a network stream waits to be reopened
    Clock::time_point lastOpen;
    Clock::time_point lastPicture;  // the last picture decoded, or the last open
    cv::Mat packet, frame, converted;
    IplImage header;

    bool Open() {
        lastOpen = lastPicture = Clock::now();
        const std::vector<int> params = {cv::CAP_PROP_OPEN_TIMEOUT_MSEC, g_openTimeoutMs.load(),
                                         cv::CAP_PROP_READ_TIMEOUT_MSEC, g_readTimeoutMs.load()};
        if (!capture.open(address, cv::CAP_FFMPEG, params) || !capture.isOpened()) {
            capture.release();
            return false;
        }
        packets = network && IsMjpeg(capture) && capture.set(cv::CAP_PROP_FORMAT, -1);
        return true;
    }

    // The next picture as 8-bit B, G, R: true with the picture in `*held`, or,
    // when it was decoded straight into the caller's `target`, with `*held`
    // null.  A network stream that ended, or whose pictures have not decoded
    // for a while, is let go so that the next queries open it again.
    bool Next(cv::Mat** held, const CopyTarget* target = nullptr) {
        *held = nullptr;
        if (!capture.isOpened()) {
            if (network && Clock::now() - lastOpen >= kReopenInterval) Open();
            return false;
        }
        const bool skip = target && !target->image;
        const bool got = skip      ? Skipped()
                         : packets ? Decoded(held, target)
                                   : (*held = Read()) != nullptr;
        if (got) {
            lastPicture = Clock::now();
        } else if (network && (!packets || packet.empty() || Clock::now() - lastPicture >= kReopenInterval)) {
            capture.release();
        }
        return got;
    }

    // A picture the device sent, decoded (into `target` when there is one and
    // the picture is in colour); false at the end of the stream (packet left
    // empty) or for a picture that does not decode.
    bool Decoded(cv::Mat** held, const CopyTarget* target) {
        if (!capture.read(packet) || packet.empty()) {
            packet.release();
            return false;
        }
        const std::size_t length = packet.total() * packet.elemSize();
        if (target && plat::DecodeJpeg(packet.data, length, plat::JpegPixelOrder::BGR, RowsOfCopy,
                                       const_cast<CopyTarget*>(target), target->turned, target->seen))
            return true;
        if (!plat::DecodeJpeg(packet.data, length, plat::JpegPixelOrder::BGR, RowsOfMat, &frame)) return false;
        if (frame.channels() == 3) {
            *held = &frame;
            return true;
        }
        cv::cvtColor(frame, converted, cv::COLOR_GRAY2BGR);
        *held = &converted;
        return true;
    }

    // The next picture passed over: read, not decoded when it can be helped.
    bool Skipped() {
        if (!packets) return capture.grab();
        if (capture.read(packet) && !packet.empty()) return true;
        packet.release();
        return false;
    }

    cv::Mat* Read() {
        if (!capture.read(frame) || frame.empty()) return nullptr;
        if (frame.depth() == CV_8U && frame.channels() == 3) return &frame;
        cv::Mat eight;
        if (frame.depth() != CV_8U)
            frame.convertTo(eight, CV_8U);
        else
            eight = frame;
        if (eight.channels() == 1)
            cv::cvtColor(eight, converted, cv::COLOR_GRAY2BGR);
        else if (eight.channels() == 4)
            cv::cvtColor(eight, converted, cv::COLOR_BGRA2BGR);
        else
            return nullptr;
        return &converted;
    }
};

CvCapture* cvCreateFileCapture(const char* filename) {
    if (!filename || !*filename) return nullptr;
    try {
        // Owned here until it is handed out, so a throwing open loses nothing.
        auto c = std::make_unique<CvCapture>();
        c->address = filename;
        c->network = IsNetworkAddress(c->address);
        if (!c->Open()) return nullptr;
        return c.release();
    } catch (...) {
        return nullptr;
    }
}

IplImage* cvQueryFrame(CvCapture* capture) {
    if (!capture) return nullptr;
    try {
        cv::Mat* picture = nullptr;
        if (!capture->Next(&picture) || !picture) return nullptr;
        capture->header = cvIplImage(*picture);
        return &capture->header;
    } catch (...) {
        return nullptr;
    }
}

void cvReleaseCapture(CvCapture** capture) {
    if (!capture || !*capture) return;
    try {
        (*capture)->capture.release();
    } catch (...) {
    }
    delete *capture;
    *capture = nullptr;
}

namespace plat {

bool QueryFrameCopy(CvCapture* capture, IplImage** copy, bool turned, JpegRowSink* seen) {
    if (!capture || !copy) return false;
    try {
        const CopyTarget target{copy, turned, seen};
        cv::Mat* picture = nullptr;
        if (!capture->Next(&picture, &target)) return false;
        if (!picture) return true;  // decoded straight into the copy
        if (!FitImage(copy, picture->cols, picture->rows)) return false;
        IplImage header = cvIplImage(*picture);
        if (!turned) {
            cvCopy(&header, *copy, nullptr);
        } else if (!CopyTurnedHalfWayRound(&header, *copy)) {
            cvCopy(&header, *copy, nullptr);
            cvFlip(*copy, nullptr, -1);
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool CopyLastPicturesData(CvCapture* capture, std::vector<unsigned char>* data) {
    if (!capture || !data || !capture->packets || capture->packet.empty()) return false;
    const unsigned char* first = capture->packet.data;
    data->assign(first, first + capture->packet.total() * capture->packet.elemSize());
    return true;
}

bool DecodePictureInto(const std::vector<unsigned char>& data, IplImage* into, bool turned) {
    if (!into || data.empty()) return false;
    struct Into {
        IplImage* image;
        static unsigned char* Rows(void* context, int width, int height, int components, std::size_t* rowStep) {
            IplImage* image = static_cast<Into*>(context)->image;
            if (components != 3 || image->width != width || image->height != height || image->nChannels != 3 ||
                image->depth != IPL_DEPTH_8U || image->roi || !image->imageData)
                return nullptr;
            *rowStep = static_cast<std::size_t>(image->widthStep);
            return reinterpret_cast<unsigned char*>(image->imageData);
        }
    } target{into};
    return DecodeJpeg(data.data(), data.size(), JpegPixelOrder::BGR, &Into::Rows, &target, turned);
}

bool SkipFrame(CvCapture* capture) {
    if (!capture) return false;
    try {
        const CopyTarget none{nullptr, false};
        cv::Mat* picture = nullptr;
        return capture->Next(&picture, &none);
    } catch (...) {
        return false;
    }
}

void SetCaptureTimeouts(int openMs, int readMs) {
    g_openTimeoutMs = openMs;
    g_readTimeoutMs = readMs;
}
}  // namespace plat
