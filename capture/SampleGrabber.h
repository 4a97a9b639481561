#pragma once
// The callback object of the capture graph's two sample grabbers: the
// preview grabber hands every frame to BufferCB, the still grabber every
// press of the camera's button to SampleCB.  Embedded in its CCaptureDevice;
// it keeps no reference count.
#include "capture/FrameConvert.h"
#include "platform/ViewBuilder.h"
#include "platform/WinTypes.h"
#include "platform/camera/DShow.h"

class CCaptureDevice;

class SampleGrabberCBImpl final : public ISampleGrabberCB {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG_PTR AddRef() override { return 2; }
    ULONG_PTR Release() override { return 1; }
    // One still-pin sample = one press: calls the registered freeze toggle.
    HRESULT SampleCB(double sampleTime, IMediaSample* sample) override;
    // One preview frame: converted to B, G, R rows top-down and handed to the
    // registered frame sink.  A frame that does not match the frame size the
    // graph reported is dropped.
    HRESULT BufferCB(double sampleTime, BYTE* buffer, long length) override;

    int m_nWidth = 0;
    int m_nHeight = 0;
    CCaptureDevice* m_pDevice = nullptr;

private:
    plat::ViewBuilder m_view;  // the view's picture of an MJPG frame; the streaming thread's
};
