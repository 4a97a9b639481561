// The station window's full view and the ways out of the window: the close
// button (leaving the full view, or ending the program), the window manager's
// close, the back button (leaving comparison mode, or back to the start page)
// and minimising.
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "app/QuillmarshApp.h"
#include "station/QuillmarshDlg.h"
#include "station/StationIds.h"

namespace {

// What the full view hides and leaving it shows again.
constexpr int kHiddenInFullView[] = {IDC_FILES,        IDC_BACK,     IDC_MINIMIZE, IDC_HAIR_COMPARE, IDC_SKIN_COMPARE,
                                     IDC_FULLVIEW,     IDC_SCALE,    IDC_SAVE,     IDC_REPORT,       IDC_FREEZE};

std::function<void(int)> g_endProcess;

// The widest of the camera's formats; the first of equally wide ones, entry 0
// when there are none.
int WidestFormat(const FormatEntry* formats, int count) {
    int widest = 0;
    for (int i = 1; i < count; ++i)
        if (formats[i].width > formats[widest].width) widest = i;
    return widest;
}

}  // namespace

void CQuillmarshDlg::BindCameraAndView() {
    OnMessage(WM_DEVICECHANGE, [this](WPARAM w, LPARAM l) { return OnDeviceChange(w, l); });
    BindClicked(IDC_FULLVIEW, [this] { OnBnClickedFullScreen(); });
    BindClicked(IDC_CLOSE, [this] { OnBnClickedClose(); });
    BindClicked(IDC_BACK, [this] { OnBnClickedBack(); });
    BindClicked(IDC_MINIMIZE, [this] { OnBnClickedMinimize(); });
}

void CQuillmarshDlg::OnBnClickedFullScreen() {
    if (theApp.m_bCompareMode) return;
    if (theApp.m_bUsbCamera) {
        // The camera again, in YUY2 at its widest size.  Whether it takes
        // that format is not reported; the networked device simply streams on.
        DestroyCapture();
        const FormatEntry& widest = m_formats[WidestFormat(m_formats, std::min<int>(m_nFormats, std::size(m_formats)))];
        FormatEntry request;
        request.width = widest.width;
        request.height = widest.height;
        request.subtype = MEDIASUBTYPE_YUY2;
        OpenCaptureGraph(&request);
    }
    m_bFullView = TRUE;
    for (int id : kHiddenInFullView) ShowDlgItem(id, false);
    const wxRect view = ComputeFullViewRect(wxRect(GetClientSize()));
    MoveDlgItem(IDC_VIEW, view);
    MoveDlgItem(IDC_SCALE_MENU, CornerOf(view, m_btnScaleMenu.GetClientSize()));
    Refresh(true);
}

void CQuillmarshDlg::OnBnClickedClose() {
    if (!m_bFullView) {
        EndProcess();
        return;
    }
    // Back in the default format; the format list stays as it was read.
    if (theApp.m_bUsbCamera) OpenCaptureGraph(nullptr);
    m_bFullView = FALSE;
    for (int id : kHiddenInFullView) ShowDlgItem(id, true);
    SetSize(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYFULLSCREEN));
    const StationLayout layout = ComputeLayout();
    MoveDlgItem(IDC_VIEW, layout.view);
    MoveDlgItem(IDC_SCALE_MENU, layout.scaleMenu);
    Refresh(true);
}

void CQuillmarshDlg::OnClose() { EndProcess(); }

void CQuillmarshDlg::EndProcess() {
    // The process ends at once, with no further clean-up, once nothing of it
    // runs on: the camera, the monitor, the links and the stream reader.  The
    // single-instance guard goes too, or its lock would keep out the next start.
    ReleaseUsbCamera();
    StopDeviceLinks();
    DetachFrameSink();
    theApp.ReleaseSingleInstance();
    if (g_endProcess) {
        g_endProcess(0);
        return;
    }
    std::_Exit(0);
}

void CQuillmarshDlg::OnBnClickedBack() {
    if (theApp.m_bCompareMode) {
        LeaveCompareMode();
        return;
    }
    ReleaseUsbCamera();
    StopDeviceLinks();  // also clears both camera flags
    OnCancel();
}

void CQuillmarshDlg::OnBnClickedMinimize() { Iconize(true); }

namespace station {
void SetProcessEndForTesting(std::function<void(int)> end) { g_endProcess = std::move(end); }
}  // namespace station
