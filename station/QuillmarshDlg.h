#pragma once
// The station's main window: a borderless full-screen dialog with the live
// camera view in the middle, the title strip at the top and the row of image
// buttons under the view.  Capture threads, device links, the comparison
// window and the report all reach it (the capture side through g_pMainDlg and
// the frame sink OnFrame).
//
// Threads: everything runs on the user-interface thread except OnFrame, which
// runs on the capture threads.  The last frame m_pFrame is guarded by
// m_frameLock; the save, the paint and the comparison window work on a copy
// taken under it.  The comparison window is detached under the same lock
// before it is deleted, and the whole sink is detached (and unregistered from
// the USB capture) before the window is destroyed, so no frame is ever drawn
// into a window that is going away.
#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <opencv2/core/types_c.h>
#include <wx/bitmap.h>
#include <wx/brush.h>
#include <wx/icon.h>

#include "capture/CaptureDevice.h"
#include "capture/CvvImage.h"
#include "capture/FrameSink.h"
#include "compare/ComPareDlg.h"
#include "controls/GdipButton.h"
#include "controls/PictureEx.h"
#include "platform/FairMutex.h"
#include "platform/FrameSurface.h"
#include "platform/Resources.h"
#include "platform/ScreenMetrics.h"
#include "platform/camera/DeviceMonitor.h"
#include "platform/ui/Dialog.h"
#include "station/BitmapButton.h"
#include "station/DeviceLinks.h"
#include "station/StationLayout.h"

class CMenuEx;
class CNetStreamReader;
class CReportDlg;
class wxMenu;
class wxPaintEvent;
class wxMouseEvent;

namespace plat {
extern const DlgTemplate kStationTemplate;  // 102
extern const DlgTemplate kAboutTemplate;    // 100
}  // namespace plat

constexpr UINT IDM_ABOUTBOX = 0x0010;
constexpr int IDS_ABOUTBOX = 101;

// Timers of the main window.
constexpr UINT kTimerDrag = 10;         // 50 ms while dragging by the title strip
constexpr UINT kTimerMiddleHold = 13;   // 20000 ms middle-button hold
constexpr UINT kTimerCameraStart = 14;  // 1000 ms, once, after start-up

// A press of the USB camera's hardware button, handed from the capture thread
// to the user-interface thread.
constexpr UINT WM_STILL_BUTTON = WM_USER + 40;

class CAboutDlg : public plat::CDialog {
public:
    enum { IDD = 100 };
    explicit CAboutDlg(wxWindow* parent = nullptr) : plat::CDialog(plat::kAboutTemplate, parent) {}

    // The window menu's entry for the box, in the language of the index.
    static wxString MenuText(int language);

protected:
    BOOL OnInitDialog() override;
};

class CQuillmarshDlg : public plat::CDialog, public CCompareHost, private IDeviceLinkHost {
public:
    enum { IDD = 102 };

    explicit CQuillmarshDlg(wxWindow* parent = nullptr);
    ~CQuillmarshDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape are swallowed; Alt+Space opens the window menu.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    // ---- window, layout, colours, dragging
    // Places the window and its controls for the current screen.
    void LayoutControls();
    // The layout for the current screen and the controls' current sizes.
    StationLayout ComputeLayout() const;
    // Colours a control asks for (the WM_CTLCOLOR answer): statics draw
    // transparently with white text; anything else gets the black brush in
    // the full view and the dialog's own otherwise.
    enum { CTLCOLOR_BTN = 3, CTLCOLOR_DLG = 4, CTLCOLOR_STATIC = 6 };
    struct CtlColor {
        bool transparent = false;
        wxColour text;
        wxBrush brush;
    };
    CtlColor OnCtlColor(wxWindow* pWnd, UINT nCtlColor) const;
    BOOL OnEraseBkgnd() { return TRUE; }
    const wxIcon& OnQueryDragIcon() const { return m_hIcon; }
    // The window menu's commands: the About entry runs the About box.
    void OnSysCommand(UINT nID, LPARAM lParam);
    // The window menu (right click on the title strip, Alt+Space): the About
    // entry with `aboutText`; nullptr when that text is empty (no entry, no menu).
    static wxMenu* BuildWindowMenu(const wxString& aboutText);
    // Every picture with words that the window shows in a language: its
    // buttons, the no-device picture and the waiting animation (0-3).
    static std::vector<plat::ResourceRef> LanguagePictures(int language);
    void ShowWindowMenu(const wxPoint& screenPos);
    void OnLButtonDown();
    void OnLButtonUp();
    void OnMButtonDown();
    void OnMButtonUp();
    void OnTimer(UINT nIDEvent) override;

    // ---- live view, freeze, snapshots
    // The frame sink.  Producers call it on their own thread with a frame they
    // own (8-bit, 3 channels, B, G, R, rows top-down); the sink may draw the
    // ruler into it and keeps nothing of it but a copy.
    static void OnFrame(IplImage* frame);
    void ShowLiveControls(BOOL bShow);
    void OnBnClickedFreeze();
    void OnBnClickedScale();
    void OnBnClickedSave();

    // ---- commands: comparison, pen, eraser, files, magnification (StationCommands.cpp)
    // Opens the skin (mode 0) or hair (mode 1) comparison over the view,
    // replacing any open one.  A comparison window that cannot be made leaves
    // the station in the live view and tells the operator.
    void OnBnClickedSkinCompare();
    void OnBnClickedHairCompare();
    // Pen on or off, strokes cleared: only with a comparison window open.
    void OnBnClickedPen();
    void OnBnClickedEraser();
    // The customer's folder in the desktop's file manager (made when missing).
    void OnBnClickedFiles();
    // The magnification menu, just above and left of its button.
    void OnBnClickedScaleMenu();
    // Popup menu commands 3584-7679: 3584 chooses 50X, 3585 200X.
    void OnMenuCommand(UINT nID);
    // The report form, modally over this window (StationReport.cpp).
    void OnBnClickedReport();
    // Leaves comparison mode as the back button does in it: the comparison
    // window goes and the live view's controls come back.
    void LeaveCompareMode();

    // ---- the networked camera: device links and stream reader
    LRESULT OnDeviceStatus(WPARAM wParam, LPARAM lParam);
    LRESULT OnCameraReady(WPARAM wParam, LPARAM lParam);
    LRESULT OnCameraWaiting(WPARAM wParam, LPARAM lParam);
    void OnBnClickedRetry();
    // The window's end (going back to the start page, and the destructor):
    // stops both links and the stream reader and clears both camera flags;
    // returns within a few seconds even when the stream has stalled.
    void StopDeviceLinks();
    void OnPaint(wxPaintEvent& event);

    // ---- camera start, device change, full view and leaving
    // Timer 14: lists the supported USB cameras and opens the first.
    void OpenUsbCamera();
    // A new capture graph of the first listed camera on the view, in the
    // default format; reads its formats.  TRUE when it runs.
    BOOL StartUsbCapture();
    // WM_DEVICECHANGE, sent for every notification of the device monitor:
    // lists the cameras again, opens one when no source is active, falls back
    // to the network device when none is left.
    LRESULT OnDeviceChange(WPARAM wParam, LPARAM lParam);
    void OnBnClickedFullScreen();
    // Leaves the full view, or ends the program.
    void OnBnClickedClose();
    // The window manager's close: ends the program.
    void OnClose() override;
    // Leaves comparison mode, or goes back to the start page.
    void OnBnClickedBack();
    void OnBnClickedMinimize();

    // ---- measuring overlays, calibrated by m_nMagnification
    void DrawRuler(IplImage* frame);
    void DrawGraticule(IplImage* picture);

    // ---- for the comparison window, the capture side and the window's end
    // What the comparison window reads of its parent.
    bool IsViewLive() const override { return m_bLive != FALSE; }
    // A copy of m_pFrame taken under the frame lock.
    cv::Mat CopyLastFrame() const override;
    wxString GetImageDir() const override { return m_strImageDir; }
    // The window manager's close of the comparison window `dlg` leaves
    // comparison mode as the back button does, once the close has returned.
    void OnCompareCloseRequest(CComPareDLg* dlg) override;
    CvSize GetFrameSize() const;
    // Attaches a new comparison window (owned from then on) and returns the
    // one it replaces, detached, for the caller to delete; nullptr detaches
    // only.  The swap happens under the frame lock, so the sink never draws
    // into a comparison window after it has been detached.
    CComPareDLg* SwapCompareDlg(CComPareDLg* dlg);
    // Stops frames and hardware-button presses from reaching this window:
    // unregisters from the USB capture and waits for a frame in flight.  Done
    // by the destructor at the latest; never from inside the sink.
    void DetachFrameSink();
    plat::CFrameSurface& GetView() { return m_view; }

    // Members, in the order of the window's design.
    wxIcon m_hIcon;
    BOOL m_bDragging = FALSE;
    wxPoint m_ptDragCursor{0, 0};
    wxPoint m_ptDragOrigin{0, 0};
    // The open comparison window; owned; read by the sink under m_frameLock.
    CComPareDLg* m_pCompareDlg = nullptr;
    CPictureEx m_gifWait;
    CReportDlg* m_pReportDlg = nullptr;
    // The presence probe and the status link, each with its socket
    // (m_links.m_hPresenceThread, m_links.m_hStatusThread).
    CDeviceLinks m_links{*this};
    CNetStreamReader* m_pNetReader = nullptr;
    UINT m_nNoDeviceCtrlId = 0;
    CGdipButton m_btnFullView, m_btnScale, m_btnSave, m_btnFreeze, m_btnReport;
    CBitmapButton m_btnMinimize, m_btnClose;
    CGdipButton m_btnHairCompare, m_btnSkinCompare, m_btnBack, m_btnEraser, m_btnPen, m_btnRetry, m_btnFiles,
        m_btnScaleMenu;
    BOOL m_bFullView = FALSE;
    std::atomic<BOOL> m_bRuler{FALSE};
    wxBrush m_brushBlack;
    std::atomic<BOOL> m_bLive{FALSE};
    wxString m_strSnapName;
    CMenuEx* m_pMagnifyMenu = nullptr;
    std::vector<DeviceEntry> m_devices;
    CCaptureDevice* m_pCapture = nullptr;
    // Camera hot-plug notifications, from OnInitDialog to the window's end.
    std::unique_ptr<plat::cam::DeviceMonitor> m_pDeviceMonitor;
    std::atomic<int> m_nMagnification{0};
    IplImage* m_pFrame = nullptr;  // guarded by m_frameLock
    // Writes m_pFrame's pixels when its producer left them unwritten (the
    // live view went straight onto the screen); empty once they are there.
    // Guarded by m_frameLock; see MakeFramePixels.
    mutable FramePixels m_framePixels;
    int m_nFormats = 0;
    FormatEntry m_formats[50];
    wxString m_strImageDir;
    wxString m_strLastImage;

    // The live view 1011: the capture thread renders into its buffer.
    plat::CFrameSurface m_view;

private:
    // The network side's message-table entries (constructor).
    void BindDeviceLinks();
    // Stops and deletes the stream reader; one that outlasts the window's
    // bound on a stalled stream is let go and deletes itself when its query
    // returns.
    void ReleaseNetReader();
    // What the link threads ask of the window.
    LRESULT DeviceStatus(LPARAM lParam) override;
    std::atomic<BOOL>& LiveFlag() override { return m_bLive; }
    void PostFreezeButtonUpdate() override;

    // The camera's and the view's message-table entries (constructor).
    void BindCameraAndView();
    void StartDeviceMonitor();
    // The window's end: no more device changes, the graph destroyed.
    void ReleaseUsbCamera();
    void DestroyCapture();
    // Destroys any graph, then creates the first listed camera's graph into
    // m_pCapture (which keeps it even when it does not run) and opens it.
    BOOL OpenCaptureGraph(const FormatEntry* requested);
    // Lets go of a graph that does not stream: its device node is closed,
    // the object stays until the next open or the window's end.
    void IdleCapture();
    // The outcome of opening a camera at start or after a device change.
    void OnUsbCameraOpened(BOOL opened);
    // The open graph's camera is still there and streams.
    bool OpenCameraPresent() const;
    // Stops every thread of the window, lets go of the single-instance guard
    // and ends the process with code 0.
    void EndProcess();
    // The commands' message-table entries (constructor).
    void BindCommands();
    void OpenCompare(int mode);

    void SinkFrame(IplImage* frame);
    // Under m_frameLock, in the sink: makes m_pFrame the frame's copy by taking
    // the frame's pixels when its producer spares them; false when it cannot.
    bool KeepPixelsOf(IplImage* frame);
    // Under m_frameLock: m_pFrame's pixels made if they are still to be made.
    // Everything that reads them calls it first.
    void MakeFramePixels() const;
    // The folder the customers' folders lie in: the application's image
    // root, or "Guests-Image" beside the program when it has none.
    static wxString ImageRoot();
    void ChooseImageFolder();
    void ApplyLanguage(int language, int screenWidth);
    void BindMouse(wxWindow* w);
    void DrawBackground(wxDC& dc, const wxSize& client);
    const wxBitmap& ScaledBitmap(int id, const wxSize& size, wxBitmap& cache);
    void TellSaveFailed(const wxString& path, const wxString& reason);

    // Fair: the sink takes it for every frame, the window to paint, save and
    // close the comparison window.
    mutable plat::FairMutex m_frameLock;
    // Counts the frames copied into m_pFrame (and those drawn into the view
    // after it froze); guarded by m_frameLock.
    std::uint64_t m_nFrameCount = 0;
    // What the view holds of the frozen picture (user-interface thread): the
    // frame by its count, the overlays and the view's size it was drawn with.
    struct FrozenPicture {
        std::uint64_t frame = 0;
        BOOL ruler = FALSE;
        int magnification = 0;
        cv::Size size;
        bool operator==(const FrozenPicture&) const = default;
    };
    std::optional<FrozenPicture> m_viewFrozen;
    // Sink-side state (capture threads, one call at a time under the sink lock).
    plat::FrameSurfaceRef m_viewRef;
    plat::RepaintRequest m_repaintScaleMenu;
    plat::RepaintRequest m_repaintMagnifyMenu;
    plat::RepaintRequest m_repaintWindow;
    bool m_bSinkAttached = false;  // guarded by the sink lock

    wxString m_strAboutText;
    wxBitmap m_bmpBackground, m_bmpCompareBackground, m_bmpViewFrame;
};

extern CQuillmarshDlg* g_pMainDlg;

namespace station {
// Tests: the clock snapshots are named by (std::time without one) and what
// plays the shutter sound (WAVE resource 162 without one).
void SetSnapshotClockForTesting(std::function<std::time_t()> clock);
void SetShutterSoundForTesting(std::function<void()> play);
// Tests: where the device monitor's notifications come from (udev without
// one), and what ends the process (std::_Exit without one).
void SetDeviceEventSourceForTesting(std::function<std::unique_ptr<plat::cam::DeviceEventSource>()> make);
void SetProcessEndForTesting(std::function<void(int)> end);
// Tests: what makes and creates the comparison window (a created window, or
// nullptr when it could not be made).
void SetCompareMakerForTesting(std::function<CComPareDLg*(int mode, CQuillmarshDlg* parent)> make);
}  // namespace station
