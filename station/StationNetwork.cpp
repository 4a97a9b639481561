// The station window's side of the networked camera: the device-status and
// stream messages, the waiting / no-device / retry states of the view, and
// the stop of the links and the stream reader at the window's end.
#include "app/QuillmarshApp.h"
#include "capture/NetStreamReader.h"
#include "platform/Resources.h"
#include "station/QuillmarshDlg.h"

namespace {

constexpr int kIdWaiting = 1013;
constexpr int kIdRetry = 1022;

// The device's button pressed: the freeze button follows the live flag.
constexpr UINT WM_DEVICE_BUTTON = WM_USER + 41;

// How long the window waits for the links when it ends, and for a reader it
// lets go of (at its end, at a new find, when a USB camera takes over).  The
// links answer a stop within one 50 ms turn; a reader in the middle of a
// query on a stalled stream is left to finish by itself after this.
constexpr auto kLinkStopBound = std::chrono::seconds(2);
constexpr auto kReaderStopBound = std::chrono::seconds(2);

}  // namespace

void CQuillmarshDlg::BindDeviceLinks() {
    OnMessage(WM_DEVICE_STATUS, [this](WPARAM w, LPARAM l) { return OnDeviceStatus(w, l); });
    OnMessage(WM_CAMERA_READY, [this](WPARAM w, LPARAM l) { return OnCameraReady(w, l); });
    OnMessage(WM_CAMERA_WAITING, [this](WPARAM w, LPARAM l) { return OnCameraWaiting(w, l); });
    OnMessage(WM_DEVICE_BUTTON, [this](WPARAM, LPARAM) -> LRESULT {
        m_btnFreeze.m_bToggled = m_bLive.load();
        m_btnFreeze.Refresh(true);
        return 0;
    });
    BindClicked(kIdRetry, [this] { OnBnClickedRetry(); });
}

LRESULT CQuillmarshDlg::DeviceStatus(LPARAM lParam) { return SendMessage(WM_DEVICE_STATUS, 0, lParam); }

void CQuillmarshDlg::PostFreezeButtonUpdate() { PostMessage(WM_DEVICE_BUTTON); }

void CQuillmarshDlg::ReleaseNetReader() {
    // A reader whose query on a stalled stream outlasts the bound deletes
    // itself once that query returns.
    CNetStreamReader::StopAndDelete(m_pNetReader, kReaderStopBound);
    m_pNetReader = nullptr;
}

LRESULT CQuillmarshDlg::OnDeviceStatus(WPARAM, LPARAM lParam) {
    // A probe that spoke just as a USB camera opened: the camera keeps the
    // view (no second source, no no-device picture over its picture), and the
    // probe ends at its next look at the USB flag.
    if (theApp.m_bUsbCamera) return 0;
    if (lParam == 0) {
        theApp.m_bNetCamera = 1;
        ReleaseNetReader();
        m_pNetReader = new CNetStreamReader(
            [this](UINT msg, WPARAM w, LPARAM l) -> LRESULT { return SendMessage(msg, w, l); });
        m_pNetReader->Start();
        // Stops a status link left from an earlier find before the new one.
        m_links.RestartStatus();
        // The waiting animation stays until the stream is open.
        return 0;
    }
    theApp.m_bNetCamera = 0;
    ShowDlgItem(kIdWaiting, false);
    if (m_nNoDeviceCtrlId) ShowDlgItem(static_cast<int>(m_nNoDeviceCtrlId), true);
    ShowDlgItem(kIdRetry, true);
    Refresh(true);
    ShowLiveControls(FALSE);
    // The device is gone: its status link too (the thread then ends and closes it).
    m_links.DropStatus();
    return 0;
}

LRESULT CQuillmarshDlg::OnCameraReady(WPARAM, LPARAM) {
    ShowDlgItem(kIdWaiting, false);
    ShowLiveControls(TRUE);
    Refresh(true);
    return 0;
}

LRESULT CQuillmarshDlg::OnCameraWaiting(WPARAM, LPARAM) {
    ShowLiveControls(FALSE);
    ShowDlgItem(kIdWaiting, true);
    if (m_gifWait.Load(131, plat::RT_GIF)) m_gifWait.Draw();
    return 0;
}

void CQuillmarshDlg::OnBnClickedRetry() {
    // A probe still running stays in charge; the view changes all the same.
    m_links.StartPresence();
    if (m_nNoDeviceCtrlId) ShowDlgItem(static_cast<int>(m_nNoDeviceCtrlId), false);
    ShowDlgItem(kIdRetry, false);
    ShowDlgItem(kIdWaiting, true);
}

void CQuillmarshDlg::StopDeviceLinks() {
    // The reader is asked together with the links, so that it sends nothing
    // more to the ending window while the links are waited for.
    if (m_pNetReader) m_pNetReader->m_bStop = true;
    m_links.StopAll(kLinkStopBound);
    ReleaseNetReader();
    theApp.m_bNetCamera = 0;
    theApp.m_bUsbCamera = 0;
}
