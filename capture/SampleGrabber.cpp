#include "capture/SampleGrabber.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "capture/CaptureDevice.h"
#include "capture/FrameSink.h"
#include "platform/CvCompat.h"

HRESULT SampleGrabberCBImpl::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISampleGrabberCB) {
        *ppv = this;
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT SampleGrabberCBImpl::SampleCB(double, IMediaSample*) {
    DeliverStillToHandler();
    return S_OK;
}

HRESULT SampleGrabberCBImpl::BufferCB(double, BYTE* buffer, long length) {
    if (m_nHeight < 0) m_nHeight = -m_nHeight;
    const int width = m_nWidth;
    const int height = m_nHeight;
    if (width <= 0 || height <= 0 || !buffer || length <= 0) return S_OK;
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3;

    // The frame buffer is sized from the graph's frame size; a frame in any
    // other size (the pin's format changed, a torn or foreign-sized frame) is
    // dropped rather than written past the buffer's end or shown misread.
    int curWidth = 0, curHeight = 0;
    GUID subtype = GUID_NULL;
    if (!m_pDevice || !m_pDevice->GetCurrentFormat(&curWidth, &curHeight, &subtype)) return S_OK;
    if (curWidth != width || curHeight != height) return S_OK;

    // A frozen view drops every frame: nothing is decoded for it.
    if (!SinkTakesFrames()) return S_OK;

    // The frame buffer belongs to an image of the image library when its rows
    // are packed anyway (width x 3 a multiple of 4): the sink may then keep
    // its pixels instead of copying them, as the frame is released right after.
    const bool packed = (static_cast<std::size_t>(width) * 3) % 4 == 0;
    IplImage* owned = packed ? cvCreateImage(cvSize(width, height), IPL_DEPTH_8U, 3) : nullptr;
    std::unique_ptr<BYTE[]> loose(owned ? nullptr : new (std::nothrow) BYTE[size]);
    BYTE* frame = owned ? reinterpret_cast<BYTE*>(owned->imageData) : loose.get();
    if (!frame) return S_OK;
    struct Release {
        IplImage*& img;
        ~Release() {
            if (img) cvReleaseImage(&img);
        }
    } release{owned};
    const std::size_t have = static_cast<std::size_t>(length);
    bool bottomUp = true;
    cv::Mat* view = nullptr;
    bool mjpg = false;
    FramePixels later;

    if (subtype == MEDIASUBTYPE_MJPG) {
        // Decoded straight into B, G, R rows top-down: the same picture as
        // decoding R, G, B, swapping and flipping twice, at the cost of one pass.
        // A frame whose view goes straight onto the screen's rows is left
        // unwritten when the sink can keep it as it is: it is decoded again,
        // from a copy of the sample, only if its pixels are wanted.
        m_view.Prepare(SinkViewTarget(), false, owned != nullptr);
        if (!DecodeMjpgFrameBGR(frame, size, buffer, have, &m_view)) return S_OK;
        bottomUp = false;
        view = m_view.Result();
        mjpg = true;
        if (m_view.LeftFrame() && m_view.OnDisplay().empty()) {
            // The view was not made after all: the frame is wanted now.
            if (!DecodeMjpgFrameBGR(frame, size, buffer, have)) return S_OK;
        } else if (m_view.LeftFrame()) {
            auto sample = std::make_shared<const std::vector<BYTE>>(buffer, buffer + have);
            later = [sample, width, height, size](IplImage* into) {
                const bool fits = into && into->width == width && into->height == height && into->nChannels == 3 &&
                                  into->depth == IPL_DEPTH_8U &&
                                  static_cast<std::size_t>(into->widthStep) == 3 * static_cast<std::size_t>(width);
                return fits && DecodeMjpgFrameBGR(reinterpret_cast<BYTE*>(into->imageData), size, sample->data(),
                                                  sample->size());
            };
        }
    } else if (subtype == MEDIASUBTYPE_YUY2) {
        if (have < static_cast<std::size_t>(width) * height * 2) return S_OK;
        // An odd last pixel of a row is not converted: keep it black.
        if (width % 2) std::memset(frame, 0, size);
        ConvertYUY2ToBGR24(buffer, frame, width, height);
    } else if (subtype == MEDIASUBTYPE_RGB24) {
        // A short sample would leave part of the frame unwritten.
        if (have != size) return S_OK;
        std::memcpy(frame, buffer, size);
    } else {
        return S_OK;
    }

    if (owned) {
        if (bottomUp) cvFlip(owned, nullptr, 0);
        DeliverFrameToSink(owned, true, view, mjpg ? m_view.OnDisplay() : cv::Size(), std::move(later));
        return S_OK;
    }
    IplImage* img = cvCreateImageHeader(cvSize(width, height), IPL_DEPTH_8U, 3);
    if (!img) return S_OK;
    cvSetData(img, frame, width * 3);
    if (bottomUp) cvFlip(img, nullptr, 0);
    DeliverFrameToSink(img, false, view, mjpg ? m_view.OnDisplay() : cv::Size());
    cvReleaseImageHeader(&img);
    return S_OK;
}
