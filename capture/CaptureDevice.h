#pragma once
// The USB camera: the list of supported cameras and the capture graph that
// runs one of them.  Frames reach the frame sink through the embedded
// callback object (capture/SampleGrabber.h, capture/FrameSink.h).
//
// Graph: Source -> SampleGrabber -> (default renderer, never shown), and,
// when the camera has a hardware button, Source still pin ->
// StillSampleGrabber -> NullRender.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <wx/string.h>

#include "capture/SampleGrabber.h"
#include "platform/WinTypes.h"
#include "platform/camera/CameraSource.h"
#include "platform/camera/DShow.h"
#include "platform/camera/Graph.h"

class wxWindow;

struct DeviceEntry {
    std::wstring displayName;   // "usb#vid_0c45&pid_6366#/dev/video0"
    std::wstring friendlyName;  // the camera's own name
};

struct FormatEntry {
    int width = 0;
    int height = 0;             // sign as the capability gives it
    GUID subtype = GUID_NULL;
    wxString name;              // "MJPG", "YUY2", "RGB24", or empty for any other subtype
};

// The supported USB product ids: four hexadecimal digits each, compared
// without regard to case; places past the filled ones are empty.
constexpr int kMaxSupportedCameras = 100;
extern const wchar_t* const g_szSupportedCameras[kMaxSupportedCameras];

// Whether the product id in the display name (the four characters after "pid"
// and its separator) is on the supported list.
BOOL IsSupportedCamera(const wxString& displayName);

// The supported cameras in enumeration order.  *lastIndex receives the
// enumeration position (every video device counts) of the last one accepted;
// it is left alone when none is.
std::vector<DeviceEntry> EnumVideoDevices(int* lastIndex);

// Free a media type handed out by a stream configuration: the format block
// only, or the format block and the record.
void FreeMediaType(AM_MEDIA_TYPE& mt);
void DeleteMediaType(AM_MEDIA_TYPE* pmt);

class CCaptureDevice {
public:
    // A device object for the display name, or nullptr when the name names no
    // device.  The caller ends it with Destroy.  `requested` is copied.
    static CCaptureDevice* Create(wxWindow* owner, wxWindow* notify, const std::wstring& displayName, UINT notifyMsg,
                                  const FormatEntry* requested);

    // From any state to previewing; S_OK when the graph runs.
    HRESULT Open();
    void EnumFormats(FormatEntry* formats, int capacity, int* count);
    // The capture pin's current format, height as an absolute value; outputs may be null.
    BOOL GetCurrentFormat(int* width, int* height, GUID* subtype);
    // Stops, tears down, releases everything and deletes the object.
    void Destroy();

    HRESULT InitCapFilters();
    HRESULT BuildGraph();
    BOOL BuildStillBranch();
    void SetCaptureFormat(const FormatEntry* requested);
    BOOL StartPreview();
    BOOL StopPreview();
    void TearDownGraph();
    void NukeDownstream(plat::cam::Filter* filter);
    void FreeCapFilters();

    BOOL IsGraphBuilt() const { return m_bGraphBuilt; }
    BOOL IsPreviewing() const { return m_bPreviewing; }
    bool HasStillBranch() const { return m_pStillGrabber != nullptr; }
    // The camera went away while streaming; its streaming thread has ended.
    bool DeviceLost() const;
    plat::cam::FilterGraph* Graph() const { return m_pGraph.get(); }
    const std::wstring& DisplayName() const { return m_strDisplayName; }

private:
    CCaptureDevice(std::shared_ptr<plat::cam::Moniker> moniker, const std::wstring& displayName, wxWindow* owner,
                   wxWindow* notify, UINT notifyMsg, const FormatEntry* requested);
    ~CCaptureDevice() = default;
    CCaptureDevice(const CCaptureDevice&) = delete;
    CCaptureDevice& operator=(const CCaptureDevice&) = delete;

    std::wstring m_strDisplayName;
    wxWindow* m_hOwner;
    wxWindow* m_hNotify;
    UINT m_nNotifyMsg;
    std::shared_ptr<plat::cam::Moniker> m_pMoniker;
    std::shared_ptr<plat::cam::CaptureGraphBuilder> m_pBuilder;
    std::shared_ptr<plat::cam::MediaEventEx> m_pMediaEvent;
    std::shared_ptr<plat::cam::StreamConfig> m_pStreamConfig;
    std::shared_ptr<plat::cam::Filter> m_pSource;
    std::shared_ptr<plat::cam::VideoControl> m_pVideoControl;
    plat::cam::Pin* m_pStillPin = nullptr;  // belongs to the source
    std::shared_ptr<plat::cam::SampleGrabber> m_pStillGrabber;
    std::shared_ptr<plat::cam::StreamConfig> m_pStillConfig;
    BOOL m_bGraphBuilt = FALSE;
    BOOL m_bPreviewing = FALSE;
    // Points into m_requested: the object keeps its own copy of the request, so
    // a later Open never reads a caller's object that has gone.
    const FormatEntry* m_pRequestedFormat = nullptr;
    std::shared_ptr<plat::cam::VideoRenderer> m_pVideoWindow;
    std::shared_ptr<plat::cam::FilterGraph> m_pGraph;
    SampleGrabberCBImpl m_callback;
    std::optional<FormatEntry> m_requested;
    std::shared_ptr<plat::cam::SampleGrabber> m_pGrabberFilter;
};
