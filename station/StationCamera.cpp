// The station window's USB camera: opened one second after start-up, followed
// as cameras come and go (the device monitor's notifications), and the life
// of its capture graph.  A USB camera that opens takes the view over from the
// networked device.
#include <utility>

#include "app/QuillmarshApp.h"
#include "platform/MessageBox.h"
#include "station/QuillmarshDlg.h"
#include "station/StationIds.h"

namespace {

// The graph's event notifications; the window does not handle them.
constexpr UINT WM_GRAPH_NOTIFY = 0x8001;
constexpr int kFormatCapacity = 50;

std::function<std::unique_ptr<plat::cam::DeviceEventSource>()> g_makeEventSource;

// The supported cameras; the enumeration position of the last one goes to
// the application, which keeps it when none is found.
std::vector<DeviceEntry> ListCameras() {
    int index = theApp.m_nCameraIndex;
    std::vector<DeviceEntry> found = EnumVideoDevices(&index);
    theApp.m_nCameraIndex = index;
    return found;
}

}  // namespace

void CQuillmarshDlg::StartDeviceMonitor() {
    if (m_pDeviceMonitor) return;
    m_pDeviceMonitor = std::make_unique<plat::cam::DeviceMonitor>(g_makeEventSource ? g_makeEventSource() : nullptr);
    // Arrivals and removals alike; the handler runs on the user-interface
    // thread and never after the monitor has stopped.
    if (!m_pDeviceMonitor->Start([this](bool, const std::string&) { SendMessage(WM_DEVICECHANGE); }))
        m_pDeviceMonitor.reset();  // without udev a camera is only found at start-up
}

void CQuillmarshDlg::ReleaseUsbCamera() {
    if (m_pDeviceMonitor) {
        m_pDeviceMonitor->Stop();
        m_pDeviceMonitor.reset();
    }
    DestroyCapture();
}

void CQuillmarshDlg::DestroyCapture() {
    if (!m_pCapture) return;
    m_pCapture->Destroy();
    m_pCapture = nullptr;
}

void CQuillmarshDlg::IdleCapture() {
    if (!m_pCapture) return;
    m_pCapture->StopPreview();
    m_pCapture->TearDownGraph();
    m_pCapture->FreeCapFilters();
}

BOOL CQuillmarshDlg::OpenCaptureGraph(const FormatEntry* requested) {
    DestroyCapture();
    if (m_devices.empty()) return FALSE;
    m_pCapture = CCaptureDevice::Create(this, &m_view, m_devices.front().displayName, WM_GRAPH_NOTIFY, requested);
    if (!m_pCapture) return FALSE;
    if (m_pCapture->Open() != S_OK) {
        // A camera that would not run keeps no hold on its device.
        IdleCapture();
        return FALSE;
    }
    return TRUE;
}

BOOL CQuillmarshDlg::StartUsbCapture() {
    if (!OpenCaptureGraph(nullptr)) return FALSE;
    m_pCapture->EnumFormats(m_formats, kFormatCapacity, &m_nFormats);
    return TRUE;
}

void CQuillmarshDlg::OpenUsbCamera() {
    std::vector<DeviceEntry> found = ListCameras();
    // Without one the presence probe, running since start-up, looks for the
    // networked device.
    if (found.empty()) return;
    m_devices = std::move(found);
    OnUsbCameraOpened(StartUsbCapture());
}

void CQuillmarshDlg::OnUsbCameraOpened(BOOL opened) {
    if (!opened) {
        // The flag is only ever set for a camera that runs: a presence probe
        // that saw it set, even for a moment, would give up the networked
        // device for good.
        theApp.m_bUsbCamera = 0;
        AfxMessageBox(L"USB Camera 初始化失败!");
        return;
    }
    theApp.m_bUsbCamera = 1;
    if (theApp.m_bNetCamera || m_pNetReader) {
        // One source feeds the view: the networked device's stream and button
        // stop; the probe ends at its next look at the USB flag.
        theApp.m_bNetCamera = 0;
        ReleaseNetReader();
        m_links.DropStatus();
    }
    ShowDlgItem(IDC_WAITING, false);
    if (m_nNoDeviceCtrlId) ShowDlgItem(static_cast<int>(m_nNoDeviceCtrlId), false);
    ShowDlgItem(IDC_RETRY, false);
    ShowLiveControls(TRUE);
    Refresh(true);
}

bool CQuillmarshDlg::OpenCameraPresent() const {
    if (!m_pCapture || !m_pCapture->IsPreviewing() || m_pCapture->DeviceLost()) return false;
    for (const DeviceEntry& d : m_devices)
        if (d.displayName == m_pCapture->DisplayName()) return true;
    return false;
}

LRESULT CQuillmarshDlg::OnDeviceChange(WPARAM, LPARAM) {
    if (g_pMainDlg != this) return 0;  // not initialised yet
    m_devices = ListCameras();

    if (m_devices.empty()) {
        // The networked device streaming on is no camera that went away.
        if (theApp.m_bNetCamera && !theApp.m_bUsbCamera) return 0;
        ShowLiveControls(FALSE);  // leaves comparison mode when it is on
        ShowLiveControls(FALSE);  // hides the live controls, frozen
        theApp.m_bUsbCamera = 0;
        // The vanished camera's graph stays until the next open or the
        // window's end, but streams no more and lets go of its device.
        IdleCapture();
        OnBnClickedRetry();  // waiting, and the probe for the networked device
        return 0;
    }

    // A source is active: the networked device, or the USB camera still
    // streaming.  One whose camera went away while another is listed is not.
    if (theApp.m_bNetCamera) return 0;
    if (theApp.m_bUsbCamera && OpenCameraPresent()) return 0;
    OnUsbCameraOpened(StartUsbCapture());
    return 0;
}

namespace station {
void SetDeviceEventSourceForTesting(std::function<std::unique_ptr<plat::cam::DeviceEventSource>()> make) {
    g_makeEventSource = std::move(make);
}
}  // namespace station
