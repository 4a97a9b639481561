#include "capture/CaptureDevice.h"

#include <cstdlib>
#include <cwctype>

using namespace plat::cam;

// Product ids of the UVC microscope cameras the station works with.
const wchar_t* const g_szSupportedCameras[kMaxSupportedCameras] = {
    L"6366",  // Sonix SN9C2xx microscope camera
    L"636b",  // Sonix "USB 2.0 Camera" microscope module
    L"6340",  // Sonix camera module
    L"6300",  // Microdia PC microscope camera
    L"62c0",  // Sonix USB 2.0 camera
    L"9230",  // ARC digital microscope camera
    L"0101",  // Aveo UVC camera
};

namespace {

bool SameIdNoCase(const std::wstring& a, const wchar_t* b) {
    std::size_t n = std::wcslen(b);
    if (a.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

wxString SubtypeName(const GUID& subtype) {
    if (subtype == MEDIASUBTYPE_MJPG) return "MJPG";
    if (subtype == MEDIASUBTYPE_YUY2) return "YUY2";
    if (subtype == MEDIASUBTYPE_RGB24) return "RGB24";
    return wxString();
}

const VIDEOINFOHEADER* VideoInfoOf(const AM_MEDIA_TYPE* mt) {
    if (!mt || mt->formattype != FORMAT_VideoInfo || !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(mt->pbFormat);
}

}  // namespace

BOOL IsSupportedCamera(const wxString& displayName) {
    std::wstring name = displayName.ToStdWstring();
    std::wstring id;
    std::size_t pid = name.find(L"pid");
    if (pid != std::wstring::npos) {
        std::size_t start = pid + 4;  // "pid" and its separator
        if (start < name.size()) id = name.substr(start, 4);
    } else if (name.size() > 3) {
        id = name.substr(3, 4);
    }
    if (id.empty()) return FALSE;
    for (const wchar_t* entry : g_szSupportedCameras)
        if (entry && SameIdNoCase(id, entry)) return TRUE;
    return FALSE;
}

std::vector<DeviceEntry> EnumVideoDevices(int* lastIndex) {
    std::vector<DeviceEntry> devices;
    std::vector<std::shared_ptr<Moniker>> monikers;
    if (EnumVideoInputCategory(&monikers) != S_OK) return devices;
    int position = 0;
    for (const auto& moniker : monikers) {
        const int here = position++;
        const std::string& display = moniker->GetDisplayName();
        if (display.empty()) continue;
        std::wstring friendly;
        if (FAILED(moniker->ReadFriendlyName(&friendly))) continue;
        wxString wdisplay = wxString::FromUTF8(display.c_str());
        if (!IsSupportedCamera(wdisplay)) continue;
        devices.push_back({wdisplay.ToStdWstring(), friendly});
        if (lastIndex) *lastIndex = here;
    }
    return devices;
}

void FreeMediaType(AM_MEDIA_TYPE& mt) {
    if (mt.cbFormat != 0 || mt.pbFormat) {
        CoTaskMemFree(mt.pbFormat);
        mt.cbFormat = 0;
        mt.pbFormat = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* pmt) {
    if (!pmt) return;
    FreeMediaType(*pmt);
    CoTaskMemFree(pmt);
}

// --- CCaptureDevice ------------------------------------------------------------

CCaptureDevice::CCaptureDevice(std::shared_ptr<Moniker> moniker, const std::wstring& displayName, wxWindow* owner,
                               wxWindow* notify, UINT notifyMsg, const FormatEntry* requested)
    : m_strDisplayName(displayName),
      m_hOwner(owner),
      m_hNotify(notify),
      m_nNotifyMsg(notifyMsg),
      m_pMoniker(std::move(moniker)) {
    if (requested) {
        m_requested = *requested;
        m_pRequestedFormat = &*m_requested;
    }
    m_callback.m_pDevice = this;
}

CCaptureDevice* CCaptureDevice::Create(wxWindow* owner, wxWindow* notify, const std::wstring& displayName,
                                       UINT notifyMsg, const FormatEntry* requested) {
    std::shared_ptr<Moniker> moniker;
    if (FAILED(MkParseDisplayName(displayName, &moniker)) || !moniker) return nullptr;
    return new CCaptureDevice(std::move(moniker), displayName, owner, notify, notifyMsg, requested);
}

HRESULT CCaptureDevice::Open() {
    if (m_bPreviewing && !StopPreview()) return E_FAIL;
    if (m_bGraphBuilt) TearDownGraph();
    FreeCapFilters();
    HRESULT hr = InitCapFilters();
    if (FAILED(hr)) return hr;
    hr = BuildGraph();
    if (FAILED(hr)) return hr;
    return StartPreview() ? S_OK : E_FAIL;
}

HRESULT CCaptureDevice::InitCapFilters() {
    if (!m_pBuilder) m_pBuilder = std::make_shared<CaptureGraphBuilder>();
    HRESULT hr = m_pMoniker ? m_pMoniker->BindToObject(&m_pSource) : E_POINTER;
    if (!m_pSource) {
        FreeCapFilters();
        return FAILED(hr) ? hr : E_FAIL;
    }
    if (!m_pGraph) m_pGraph = std::make_shared<FilterGraph>();
    hr = m_pBuilder->SetFiltergraph(m_pGraph);
    if (SUCCEEDED(hr)) hr = m_pGraph->AddFilter(m_pSource, "Source");
    if (FAILED(hr)) {
        FreeCapFilters();
        return hr;
    }
    m_pBuilder->FindStreamConfig(PinCategory::Capture, &MEDIATYPE_Video, m_pSource.get(), &m_pStreamConfig);
    m_pVideoControl = m_pSource->QueryVideoControl();
    return S_OK;
}

HRESULT CCaptureDevice::BuildGraph() {
    if (m_bGraphBuilt) return S_FALSE;
    if (m_bPreviewing) return E_FAIL;
    if (!m_pSource) return E_INVALIDARG;

    m_pGrabberFilter = std::make_shared<SampleGrabber>();
    HRESULT hr = m_pGraph->AddFilter(m_pGrabberFilter, "SampleGrabber");
    if (FAILED(hr)) {
        m_pGrabberFilter.reset();
        return hr;
    }
    SetCaptureFormat(m_pRequestedFormat);
    m_pGrabberFilter->SetOneShot(FALSE);
    m_pGrabberFilter->SetBufferSamples(TRUE);
    m_pGrabberFilter->SetCallback(&m_callback, 1);
    m_callback.m_nWidth = 0;
    m_callback.m_nHeight = 0;
    AM_MEDIA_TYPE* mt = nullptr;
    if (m_pStreamConfig && SUCCEEDED(m_pStreamConfig->GetFormat(&mt))) {
        if (const VIDEOINFOHEADER* vih = VideoInfoOf(mt)) {
            m_callback.m_nWidth = vih->bmiHeader.biWidth;
            m_callback.m_nHeight = vih->bmiHeader.biHeight;
        }
        DeleteMediaType(mt);
    }

    hr = m_pBuilder->RenderStream(PinCategory::Preview, &MEDIATYPE_Video, m_pSource.get(), m_pGrabberFilter.get(),
                                  nullptr);
    if (hr != S_OK && hr != VFW_S_NOPREVIEWPIN) {
        m_bGraphBuilt = FALSE;
        TearDownGraph();
        return hr;
    }

    m_pVideoWindow = m_pGraph->QueryVideoWindow();
    if (!m_pVideoWindow) {
        TearDownGraph();
        return E_NOINTERFACE;
    }
    m_pVideoWindow->put_WindowStyle(0x44000000);  // WS_CHILD | WS_CLIPSIBLINGS
    m_pVideoWindow->put_AutoShow(0);
    m_pVideoWindow->put_Visible(0);

    m_pMediaEvent = m_pGraph->QueryMediaEvent();
    if (m_pMediaEvent) m_pMediaEvent->SetNotifyWindow(m_hNotify, m_nNotifyMsg, 0);

    if (m_pVideoControl) {
        Pin* still = nullptr;
        if (FAILED(m_pBuilder->FindPin(m_pSource.get(), PinDir::Output, PinCategory::Still, FALSE, 0, &still)) ||
            !still) {
            m_pVideoControl.reset();
        } else {
            m_pStillPin = still;
            m_pStillConfig = m_pSource->StreamConfigOf(m_pStillPin);
            if (!m_pStillConfig) {
                m_pVideoControl.reset();
                m_pStillPin = nullptr;
            } else if (!BuildStillBranch()) {
                m_pVideoControl.reset();
                m_pStillPin = nullptr;
                m_pStillConfig.reset();
                m_pStillGrabber.reset();
            }
        }
    }
    m_bGraphBuilt = TRUE;
    return S_OK;
}

BOOL CCaptureDevice::BuildStillBranch() {
    auto nullRender = std::make_shared<NullRenderer>();
    if (FAILED(m_pGraph->AddFilter(nullRender, "NullRender"))) return FALSE;
    m_pStillGrabber = std::make_shared<SampleGrabber>();
    if (FAILED(m_pGraph->AddFilter(m_pStillGrabber, "StillSampleGrabber"))) return FALSE;
    HRESULT hr = m_pBuilder->RenderStream(PinCategory::Still, &MEDIATYPE_Video, m_pSource.get(), m_pStillGrabber.get(),
                                          nullRender.get());
    if (FAILED(hr)) {
        m_pGraph->RemoveFilter(nullRender.get());
        m_pGraph->RemoveFilter(m_pStillGrabber.get());
        return FALSE;
    }
    m_pStillGrabber->SetOneShot(FALSE);
    m_pStillGrabber->SetBufferSamples(FALSE);
    m_pStillGrabber->SetCallback(&m_callback, 0);
    return TRUE;
}

void CCaptureDevice::SetCaptureFormat(const FormatEntry* requested) {
    std::shared_ptr<StreamConfig> config;
    if (!m_pBuilder || FAILED(m_pBuilder->FindStreamConfig(PinCategory::Capture, nullptr, m_pSource.get(), &config)) ||
        !config)
        return;
    AM_MEDIA_TYPE* mt = nullptr;
    if (FAILED(config->GetFormat(&mt)) || !mt) return;
    mt->majortype = MEDIATYPE_Video;
    mt->formattype = FORMAT_VideoInfo;
    // Only a format block that really is a video-info header is written into.
    auto* vih = const_cast<VIDEOINFOHEADER*>(VideoInfoOf(mt));
    if (!requested) {
        mt->subtype = MEDIASUBTYPE_YUY2;
    } else {
        mt->subtype = requested->subtype;
        if (vih) {
            vih->bmiHeader.biWidth = requested->width;
            vih->bmiHeader.biHeight = requested->height;
        }
    }
    // A camera that refuses keeps its format; the frame conversion follows
    // whatever the pin reports.
    config->SetFormat(mt);
    DeleteMediaType(mt);
}

void CCaptureDevice::EnumFormats(FormatEntry* formats, int capacity, int* count) {
    int filled = 0;
    std::shared_ptr<StreamConfig> config;
    if (formats && capacity > 0 && m_pBuilder && m_pSource &&
        SUCCEEDED(m_pBuilder->FindStreamConfig(PinCategory::Capture, &MEDIATYPE_Video, m_pSource.get(), &config)) &&
        config) {
        int caps = 0, size = 0;
        if (SUCCEEDED(config->GetNumberOfCapabilities(&caps, &size)) && size == sizeof(VIDEO_STREAM_CONFIG_CAPS)) {
            for (int i = 0; i < caps && filled < capacity; ++i) {
                VIDEO_STREAM_CONFIG_CAPS scc;
                AM_MEDIA_TYPE* mt = nullptr;
                if (config->GetStreamCaps(i, &mt, reinterpret_cast<BYTE*>(&scc)) != S_OK || !mt) continue;
                if (const VIDEOINFOHEADER* vih = VideoInfoOf(mt)) {
                    FormatEntry& e = formats[filled++];
                    e.width = vih->bmiHeader.biWidth;
                    e.height = vih->bmiHeader.biHeight;
                    e.subtype = mt->subtype;
                    e.name = SubtypeName(mt->subtype);
                }
                DeleteMediaType(mt);
            }
        }
    }
    if (count) *count = filled;
}

BOOL CCaptureDevice::GetCurrentFormat(int* width, int* height, GUID* subtype) {
    if (!m_pStreamConfig) return TRUE;
    AM_MEDIA_TYPE* mt = nullptr;
    if (FAILED(m_pStreamConfig->GetFormat(&mt)) || !mt) return FALSE;
    const VIDEOINFOHEADER* vih = VideoInfoOf(mt);
    if (!vih) {
        DeleteMediaType(mt);
        return FALSE;
    }
    if (width) *width = vih->bmiHeader.biWidth;
    if (height) *height = std::abs(vih->bmiHeader.biHeight);
    if (subtype) *subtype = mt->subtype;
    DeleteMediaType(mt);
    return TRUE;
}

BOOL CCaptureDevice::StartPreview() {
    if (m_bPreviewing) return TRUE;
    if (!m_bGraphBuilt || !m_pGraph) return FALSE;
    if (FAILED(m_pGraph->Run())) {
        m_pGraph->Stop();
        m_bPreviewing = FALSE;
        return FALSE;
    }
    m_bPreviewing = TRUE;
    return TRUE;
}

BOOL CCaptureDevice::StopPreview() {
    if (!m_bPreviewing) return FALSE;
    if (m_pGraph) m_pGraph->Stop();
    m_bPreviewing = FALSE;
    return TRUE;
}

void CCaptureDevice::TearDownGraph() {
    m_pMediaEvent.reset();
    m_pGrabberFilter.reset();
    m_pStillGrabber.reset();
    if (m_pVideoWindow) {
        m_pVideoWindow->put_Owner(nullptr);
        m_pVideoWindow->put_Visible(0);
        m_pVideoWindow.reset();
    }
    if (m_pSource) NukeDownstream(m_pSource.get());
    m_bGraphBuilt = FALSE;
}

void CCaptureDevice::NukeDownstream(Filter* filter) {
    if (!filter || !m_pGraph) return;
    for (const auto& pin : filter->Pins()) {
        Pin* to = pin->ConnectedTo();
        if (!to) continue;
        if (to->Direction() == PinDir::Input) {
            Filter* far = to->GetFilter();
            NukeDownstream(far);
            m_pGraph->Disconnect(to);
            m_pGraph->Disconnect(pin.get());
            m_pGraph->RemoveFilter(far);
        }
    }
}

void CCaptureDevice::FreeCapFilters() {
    m_pGraph.reset();
    m_pBuilder.reset();
    m_pSource.reset();
    m_pStreamConfig.reset();
    m_pGrabberFilter.reset();
    m_pVideoControl.reset();
    m_pStillPin = nullptr;
    m_pStillConfig.reset();
    m_pStillGrabber.reset();
}

bool CCaptureDevice::DeviceLost() const {
    auto* src = dynamic_cast<CameraSource*>(m_pSource.get());
    return src && src->DeviceLost();
}

void CCaptureDevice::Destroy() {
    StopPreview();
    TearDownGraph();
    FreeCapFilters();
    m_pMoniker.reset();
    delete this;
}
