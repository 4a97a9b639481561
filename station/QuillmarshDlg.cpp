#include "station/QuillmarshDlg.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <utility>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "capture/FrameSink.h"
#include "controls/MenuEx.h"
#include "platform/CvCompat.h"
#include "platform/FairMutex.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Sound.h"
#include "station/Overlays.h"
#include "station/StationFiles.h"
#include "station/StationIds.h"

CQuillmarshDlg* g_pMainDlg = nullptr;

namespace {

// Held for the whole of one frame's trip through the sink, and by the window
// while it detaches: once detached, no frame reaches the window any more.
// The detach waits for the frame in flight only, even when frames come back
// to back.
plat::FairMutex g_sinkMutex;
// The window whose sink and still handler are registered with the USB capture.
CQuillmarshDlg* g_sinkOwner = nullptr;

// The sink reads g_pMainDlg on the capture threads under g_sinkMutex, so the
// window writes it under that lock too.
void SetMainDlg(CQuillmarshDlg* dlg) {
    std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
    g_pMainDlg = dlg;
}

constexpr int kShutterSound = 162;

std::function<std::time_t()> g_snapshotClock;
std::function<void()> g_shutterSound;

void PlayShutter() {
    if (g_shutterSound)
        g_shutterSound();
    else
        plat::PlayWaveResource(kShutterSound);
}
constexpr int kSnapshotPathBytes = 260;

// Captions and button pictures of the four built-in languages.
struct LanguageSet {
    const wchar_t* caption;
    int fullView, scale, scaleAlt, save, freeze, freezeAlt, report, hair, skin, back, pen, penAlt, eraser, retry,
        files;
    UINT noDeviceId;
    int waiting;  // the animation's words are in the language too
};
const LanguageSet kLanguages[4] = {
    {L"皮肤/发质分析", 137, 139, 148, 138, 166, 140, 245, 142, 143, 144, 157, 175, 158, 164, 173, IDC_NODEVICE_0,
     131},
    {L"皮膚/髮質分析", 198, 201, 202, 200, 199, 203, 247, 197, 204, 196, 208, 209, 213, 211, 207, IDC_NODEVICE_1,
     287},
    {L"Skin/Hair Analysis", 179, 182, 183, 181, 180, 184, 246, 178, 185, 177, 189, 190, 194, 192, 188,
     IDC_NODEVICE_2, 288},
    {L"머리/피부 분석", 250, 254, 255, 253, 251, 256, 252, 249, 257, 248, 262, 263, 267, 265, 261, IDC_NODEVICE_3,
     289},
};

// The waiting animation of the start page's language; an index outside 0-3
// waits with index 0's.
int WaitingAnimation() {
    const int language = g_pStartPage ? g_pStartPage->m_nLanguage : 0;
    return kLanguages[language >= 0 && language < 4 ? language : 0].waiting;
}

wxBitmap ResourceBitmap(int id) {
    wxImage img;
    if (!plat::LoadResourceImage(id, plat::RT_BITMAP, img)) return wxBitmap();
    return wxBitmap(img);
}

void LoadToggle(CGdipButton& button, int stdId, int altId) {
    button.LoadStdImage(stdId, plat::RT_PNG);
    button.LoadAltImage(altId, plat::RT_PNG);
    button.EnableToggle(TRUE);
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and destruction

CQuillmarshDlg::CQuillmarshDlg(wxWindow* parent) : plat::CDialog(plat::kStationTemplate, parent) {
    wxImage icon;
    if (plat::LoadResourceImage(128, plat::RT_ICON, icon)) m_hIcon.CopyFromBitmap(wxBitmap(icon));
    m_pFrame = cvCreateImage(cvSize(640, 480), IPL_DEPTH_8U, 3);
    if (m_pFrame) cvZero(m_pFrame);

    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CQuillmarshDlg::OnPaint, this);
    Bind(wxEVT_ERASE_BACKGROUND, [this](wxEraseEvent&) { OnEraseBkgnd(); });
    BindClicked(IDC_SCALE, [this] { OnBnClickedScale(); });
    BindClicked(IDC_SAVE, [this] { OnBnClickedSave(); });
    BindClicked(IDC_FREEZE, [this] { OnBnClickedFreeze(); });
    BindClicked(IDC_REPORT, [this] { OnBnClickedReport(); });
    OnMessage(WM_STILL_BUTTON, [this](WPARAM, LPARAM) -> LRESULT {
        // The camera's hardware button acts as the freeze button and repaints it.
        OnBnClickedFreeze();
        m_btnFreeze.Refresh();
        return 0;
    });
    BindDeviceLinks();
    BindCommands();
    BindCameraAndView();
}

CQuillmarshDlg::~CQuillmarshDlg() {
    ReleaseUsbCamera();
    StopDeviceLinks();
    DetachFrameSink();
    KillTimer(kTimerDrag);
    KillTimer(kTimerMiddleHold);
    KillTimer(kTimerCameraStart);
    delete SwapCompareDlg(nullptr);
    delete m_pMagnifyMenu;
    m_pMagnifyMenu = nullptr;
    {
        std::lock_guard<plat::FairMutex> lock(m_frameLock);
        if (m_pFrame) cvReleaseImage(&m_pFrame);
        m_framePixels = nullptr;
    }
    if (g_pMainDlg == this) SetMainDlg(nullptr);
}

void CQuillmarshDlg::DoDataExchange(CDataExchange* pDX) {
    plat::CDialog::DoDataExchange(pDX);
    // The live view becomes a frame surface the capture thread renders into.
    // It is made first so that the controls lying over it (the waiting
    // animation, the scale menu button) stay above it.
    DDX_Control(pDX, IDC_VIEW, m_view);
    DDX_Control(pDX, IDC_WAITING, m_gifWait);
    DDX_Control(pDX, IDC_FULLVIEW, m_btnFullView);
    DDX_Control(pDX, IDC_MINIMIZE, m_btnMinimize);
    DDX_Control(pDX, IDC_CLOSE, m_btnClose);
    DDX_Control(pDX, IDC_SCALE, m_btnScale);
    DDX_Control(pDX, IDC_SAVE, m_btnSave);
    DDX_Control(pDX, IDC_FREEZE, m_btnFreeze);
    DDX_Control(pDX, IDC_HAIR_COMPARE, m_btnHairCompare);
    DDX_Control(pDX, IDC_SKIN_COMPARE, m_btnSkinCompare);
    DDX_Control(pDX, IDC_BACK, m_btnBack);
    DDX_Control(pDX, IDC_ERASER, m_btnEraser);
    DDX_Control(pDX, IDC_PEN, m_btnPen);
    DDX_Control(pDX, IDC_RETRY, m_btnRetry);
    DDX_Control(pDX, IDC_FILES, m_btnFiles);
    DDX_Control(pDX, IDC_SCALE_MENU, m_btnScaleMenu);
    DDX_Control(pDX, IDC_REPORT, m_btnReport);
}

BOOL CQuillmarshDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN) {
        if (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE) return TRUE;
        if (pMsg->wParam == ' ' && wxGetKeyState(WXK_ALT)) {
            wxWindow* strip = GetDlgItem(IDC_TITLE);
            ShowWindowMenu(strip ? strip->GetScreenPosition() : GetScreenPosition());
            return TRUE;
        }
    }
    return plat::CDialog::PreTranslateMessage(pMsg);
}

// ---------------------------------------------------------------------------
// Start-up

BOOL CQuillmarshDlg::OnInitDialog() {
    plat::CDialog::OnInitDialog();
    SetMainDlg(this);

    // The window menu's About entry, when there is a text for it.
    m_strAboutText = CAboutDlg::MenuText(g_pStartPage ? g_pStartPage->m_nLanguage : 0);

    if (m_hIcon.IsOk()) SetIcon(m_hIcon);

    ChooseImageFolder();

    m_brushBlack = wxBrush(wxColour(0, 0, 0));

    if (wxWindow* caption = GetDlgItem(IDC_CAPTION)) {
        if (theApp.m_fontTitle.IsOk()) caption->SetFont(theApp.m_fontTitle);
        const CtlColor colour = OnCtlColor(caption, CTLCOLOR_STATIC);
        caption->SetForegroundColour(colour.text);
        caption->Refresh();
    }

    for (int id : {IDC_NODEVICE_0, IDC_NODEVICE_2, IDC_NODEVICE_1, IDC_NODEVICE_3}) ShowDlgItem(id, false);

    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);

    // The sink's handles on what it draws into and repaints; made here, on the
    // user-interface thread, before any producer can start.
    m_viewRef = m_view.GetRef();
    m_repaintScaleMenu = plat::RepaintRequest(&m_btnScaleMenu);
    m_repaintWindow = plat::RepaintRequest(this);

    LayoutControls();

    ShowDlgItem(IDC_RETRY, false);

    m_btnMinimize.SetImage(ResourceBitmap(229));
    m_btnClose.SetImage(ResourceBitmap(228));

    m_btnScaleMenu.LoadStdImage(215, plat::RT_PNG);

    ApplyLanguage(g_pStartPage ? g_pStartPage->m_nLanguage : 0, screenWidth);

    ShowLiveControls(FALSE);

    // The presence probe for the networked camera starts here.
    m_links.StartPresence();

    for (int id : {IDC_PEN, IDC_ERASER, IDC_SCALE_MENU, IDC_SPARE}) ShowDlgItem(id, false);

    m_pMagnifyMenu = new CMenuEx;
    m_pMagnifyMenu->Create(FALSE, this, 0, 2, 4, 0x000000, 0xD2D2D2, 0xFFFFFF, 0xFBCC93, 0xFDF6E5, FALSE);
    m_pMagnifyMenu->AddItem(MenuItemRecord(L" 50  X ", IDM_MAGNIFY_50X, TRUE), 0, -1);
    m_pMagnifyMenu->AddItem(MenuItemRecord(L" 200 X ", IDM_MAGNIFY_200X, TRUE), 1, -1);
    m_repaintMagnifyMenu = plat::RepaintRequest(m_pMagnifyMenu);

    m_nMagnification = 0;

    SetTimer(kTimerCameraStart, 1000);
    StartDeviceMonitor();

    // Mouse presses on the plain statics count as presses on the window.
    BindMouse(this);
    for (int id : {IDC_TITLE, IDC_CAPTION, IDC_SMALL, IDC_VIEW}) {
        if (wxWindow* w = GetDlgItem(id)) BindMouse(w);
    }

    // Frames and hardware-button presses of the USB camera come here from now on.
    {
        std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
        m_bSinkAttached = true;
    }
    g_sinkOwner = this;
    SetFrameSink([](IplImage* frame) { CQuillmarshDlg::OnFrame(frame); },
                 [] {
                     // Frozen, the sink drops every frame.
                     std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
                     return g_pMainDlg && g_pMainDlg->m_bSinkAttached && g_pMainDlg->m_bLive;
                 },
                 [] {
                     // A live frame without the ruler goes into the view as it is.
                     std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
                     CQuillmarshDlg* w = g_pMainDlg;
                     plat::ViewTarget target;
                     if (!w || !w->m_bSinkAttached || !w->m_bLive || w->m_bRuler || theApp.m_bCompareMode)
                         return target;
                     target.size = w->m_viewRef.GetBufferSize();
                     target.display = w->m_viewRef.ReserveDisplayRows(target.size, &target.displayStep);
                     return target;
                 });
    SetStillHandler([] {
        std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
        if (g_pMainDlg && g_pMainDlg->m_bSinkAttached) g_pMainDlg->PostMessage(WM_STILL_BUTTON);
    });

    SetMainDlg(this);
    return TRUE;
}

wxString CQuillmarshDlg::ImageRoot() {
    return theApp.m_strImageRoot.empty() ? plat::GetExecutableFolder() + "Guests-Image" : theApp.m_strImageRoot;
}

void CQuillmarshDlg::ChooseImageFolder() {
    const wxString root = ImageRoot();
    const bool chosen = g_pStartPage && g_pStartPage->m_bCustomerChosen == 1;
    m_strLastImage.clear();
    if (chosen) {
        const wxString name = record::FieldText(g_pStartPage->m_curRecord.szName);
        m_strImageDir = root + "/" + ImageFolderName(name);
        if (!plat::PathFileExists(m_strImageDir)) plat::CreateDirectory(m_strImageDir);
        const std::vector<wxString> found = plat::FindFiles(m_strImageDir, "*.bmp");
        if (!found.empty()) m_strLastImage = m_strImageDir + "/" + found.back();
    } else {
        m_strImageDir = root + "/" + "Guest";
        if (!plat::PathFileExists(m_strImageDir)) plat::CreateDirectory(m_strImageDir);
    }
}

void CQuillmarshDlg::ApplyLanguage(int language, int screenWidth) {
    if (language < 0 || language > 3) return;
    const LanguageSet& set = kLanguages[language];
    SetDlgItemText(IDC_CAPTION, set.caption);
    MoveDlgItem(IDC_CAPTION, StationCaptionRect(screenWidth, language));
    m_btnFullView.LoadStdImage(set.fullView, plat::RT_PNG);
    LoadToggle(m_btnScale, set.scale, set.scaleAlt);
    m_btnSave.LoadStdImage(set.save, plat::RT_PNG);
    LoadToggle(m_btnFreeze, set.freeze, set.freezeAlt);
    m_btnReport.LoadStdImage(set.report, plat::RT_PNG);
    m_btnHairCompare.LoadStdImage(set.hair, plat::RT_PNG);
    m_btnSkinCompare.LoadStdImage(set.skin, plat::RT_PNG);
    m_btnBack.LoadStdImage(set.back, plat::RT_PNG);
    LoadToggle(m_btnPen, set.pen, set.penAlt);
    m_btnEraser.LoadStdImage(set.eraser, plat::RT_PNG);
    m_btnRetry.LoadStdImage(set.retry, plat::RT_PNG);
    m_btnFiles.LoadStdImage(set.files, plat::RT_PNG);
    m_nNoDeviceCtrlId = set.noDeviceId;
}

std::vector<plat::ResourceRef> CQuillmarshDlg::LanguagePictures(int language) {
    const LanguageSet& set = kLanguages[language >= 0 && language < 4 ? language : 0];
    std::vector<plat::ResourceRef> pictures;
    for (int id : {set.fullView, set.scale, set.scaleAlt, set.save, set.freeze, set.freezeAlt, set.report, set.hair,
                   set.skin, set.back, set.pen, set.penAlt, set.eraser, set.retry, set.files})
        pictures.push_back({id, plat::RT_PNG});
    for (const plat::DlgControl& c : plat::kStationTemplate.controls)
        if (c.id == static_cast<int>(set.noDeviceId)) pictures.push_back({c.image, plat::RT_BITMAP});
    pictures.push_back({set.waiting, plat::RT_GIF});
    return pictures;
}

// ---------------------------------------------------------------------------
// Layout

StationLayout CQuillmarshDlg::ComputeLayout() const {
    StationLayoutInputs in;
    if (wxWindow* picture = GetDlgItem(IDC_NODEVICE_0)) in.noDevice = picture->GetSize();
    in.waiting = m_gifWait.GetClientSize();
    in.scaleMenu = m_btnScaleMenu.GetClientSize();
    // The window has no caption: what its frame adds to the client area is
    // the border, alike above and below.  (Computed from sizes, which are
    // known before the window is first shown.)
    in.clientTopOnScreen = (GetSize().y - GetClientSize().y) / 2;
    return ComputeStationLayout(plat::GetScreenMetrics(), in);
}

void CQuillmarshDlg::LayoutControls() {
    const StationLayout first = ComputeLayout();
    SetSize(first.window);

    // The waiting animation starts before it is placed, at its own size.
    if (m_gifWait.Load(WaitingAnimation(), plat::RT_GIF)) m_gifWait.Draw();

    const StationLayout l = ComputeLayout();
    MoveDlgItem(IDC_VIEW, l.view);
    for (int id : {IDC_NODEVICE_0, IDC_NODEVICE_2, IDC_NODEVICE_1, IDC_NODEVICE_3}) MoveDlgItem(id, l.noDevice);
    MoveDlgItem(IDC_RETRY, l.retry);
    MoveDlgItem(IDC_SMALL, l.small);
    ShowDlgItem(IDC_SMALL, false);
    MoveDlgItem(IDC_WAITING, l.waiting);

    MoveDlgItem(IDC_TITLE, l.titleStrip);
    // The strip's picture is drawn for a 960-pixel screen: stretch it over the strip.
    if (auto* strip = GetDlgItemAs<wxStaticBitmap>(IDC_TITLE); strip && l.titleStrip.width > 0) {
        wxImage img;
        if (plat::LoadResourceImage(130, plat::RT_BITMAP, img)) {
            img.Rescale(l.titleStrip.width, l.titleStrip.height, wxIMAGE_QUALITY_BILINEAR);
            strip->SetBitmap(wxBitmap(img));
            strip->SetSize(l.titleStrip);
        }
    }
    MoveDlgItem(IDC_MINIMIZE, l.minimize);
    MoveDlgItem(IDC_CLOSE, l.close);

    MoveDlgItem(IDC_FILES, l.files);
    MoveDlgItem(IDC_FULLVIEW, l.fullView);
    MoveDlgItem(IDC_PEN, l.fullView);
    MoveDlgItem(IDC_SCALE, l.scale);
    MoveDlgItem(IDC_ERASER, l.scale);
    MoveDlgItem(IDC_SAVE, l.save);
    MoveDlgItem(IDC_FREEZE, l.freeze);
    MoveDlgItem(IDC_REPORT, l.report);

    MoveDlgItem(IDC_SKIN_COMPARE, l.skinCompare);
    MoveDlgItem(IDC_HAIR_COMPARE, l.hairCompare);

    MoveDlgItem(IDC_SCALE_MENU, l.scaleMenu);
}

CQuillmarshDlg::CtlColor CQuillmarshDlg::OnCtlColor(wxWindow*, UINT nCtlColor) const {
    CtlColor c;
    c.brush = wxBrush(GetBackgroundColour());
    if (nCtlColor == CTLCOLOR_STATIC) {
        c.transparent = true;
        c.text = wxColour(255, 255, 255);
        c.brush = *wxTRANSPARENT_BRUSH;
        return c;
    }
    if (m_bFullView) c.brush = m_brushBlack;
    return c;
}

// ---------------------------------------------------------------------------
// Window menu, dragging, middle-button hold, timers

wxMenu* CQuillmarshDlg::BuildWindowMenu(const wxString& aboutText) {
    if (aboutText.empty()) return nullptr;
    auto* menu = new wxMenu;
    menu->Append(static_cast<int>(IDM_ABOUTBOX), aboutText);
    return menu;
}

void CQuillmarshDlg::ShowWindowMenu(const wxPoint& screenPos) {
    std::unique_ptr<wxMenu> menu(BuildWindowMenu(m_strAboutText));
    if (!menu) return;
    const int id = GetPopupMenuSelectionFromUser(*menu, ScreenToClient(screenPos));
    if (id != wxID_NONE) OnSysCommand(static_cast<UINT>(id), 0);
}

void CQuillmarshDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg dlgAbout(this);
        dlgAbout.DoModal();
    }
}

void CQuillmarshDlg::BindMouse(wxWindow* w) {
    const std::pair<wxEventTypeTag<wxMouseEvent>, void (CQuillmarshDlg::*)()> buttons[] = {
        {wxEVT_LEFT_DOWN, &CQuillmarshDlg::OnLButtonDown},
        {wxEVT_LEFT_UP, &CQuillmarshDlg::OnLButtonUp},
        {wxEVT_MIDDLE_DOWN, &CQuillmarshDlg::OnMButtonDown},
        {wxEVT_MIDDLE_UP, &CQuillmarshDlg::OnMButtonUp},
    };
    for (const auto& [type, handler] : buttons) {
        w->Bind(type, [this, handler = handler](wxMouseEvent& e) {
            (this->*handler)();
            e.Skip();
        });
    }
    w->Bind(wxEVT_RIGHT_UP, [this](wxMouseEvent& e) {
        e.Skip();
        wxWindow* strip = GetDlgItem(IDC_TITLE);
        const wxPoint cursor = wxGetMousePosition();
        if (strip && strip->GetScreenRect().Contains(cursor)) ShowWindowMenu(cursor);
    });
}

void CQuillmarshDlg::OnLButtonDown() {
    wxWindow* strip = GetDlgItem(IDC_TITLE);
    const wxPoint cursor = wxGetMousePosition();
    const wxRect rect = strip ? strip->GetScreenRect() : wxRect();
    if (rect.Contains(cursor)) {
        m_ptDragOrigin = rect.GetTopLeft();
        m_ptDragCursor = cursor;
        m_bDragging = TRUE;
        SetTimer(kTimerDrag, 50);
    } else {
        m_bDragging = FALSE;
    }
}

void CQuillmarshDlg::OnLButtonUp() {
    if (m_bDragging) {
        m_bDragging = FALSE;
        KillTimer(kTimerDrag);
    }
}

void CQuillmarshDlg::OnMButtonDown() { SetTimer(kTimerMiddleHold, 20000); }

void CQuillmarshDlg::OnMButtonUp() { KillTimer(kTimerMiddleHold); }

void CQuillmarshDlg::OnTimer(UINT nIDEvent) {
    switch (nIDEvent) {
        case kTimerDrag:
            if (m_bDragging) {
                const wxPoint cursor = wxGetMousePosition();
                Move(m_ptDragOrigin + (cursor - m_ptDragCursor));
                Refresh();
            }
            break;
        case kTimerCameraStart:
            KillTimer(kTimerCameraStart);
            OpenUsbCamera();
            break;
        case kTimerMiddleHold: {
            KillTimer(kTimerMiddleHold);
            CCopyRight dlg(this);
            dlg.DoModal();
            break;
        }
        default: break;
    }
    plat::CDialog::OnTimer(nIDEvent);
}

// ---------------------------------------------------------------------------
// The frame sink

void CQuillmarshDlg::OnFrame(IplImage* frame) {
    if (!frame) return;
    std::lock_guard<plat::FairMutex> sink(g_sinkMutex);
    CQuillmarshDlg* w = g_pMainDlg;
    if (!w || !w->m_bSinkAttached) return;
    w->SinkFrame(frame);
}

void CQuillmarshDlg::SinkFrame(IplImage* frame) {
    if (!m_bLive) return;  // frozen: the frame is dropped
    // Anything but the frame contract would be copied wrongly: drop it.
    if (frame->depth != IPL_DEPTH_8U || frame->nChannels != 3 || frame->width <= 0 || frame->height <= 0) return;

    const bool ruler = m_bRuler;
    bool compare = false;
    // The frame's pixels once the copy is made: m_pFrame's when the frame's
    // own went into it.  Only the sink writes m_pFrame (one call at a time),
    // so reading it after the lock is let go is safe.
    IplImage* shown = frame;
    // The frame's pixels, when its producer left them to be made: the view's
    // picture is on the screen's rows already.
    FramePixels& later = SinkFramePixelsLater();
    {
        std::lock_guard<plat::FairMutex> lock(m_frameLock);
        if (frame != m_pFrame && (!m_pFrame || m_pFrame->width != frame->width || m_pFrame->height != frame->height)) {
            if (m_pFrame) cvReleaseImage(&m_pFrame);
            m_framePixels = nullptr;
            m_pFrame = cvCreateImage(cvSize(frame->width, frame->height), IPL_DEPTH_8U, 3);
        }
        compare = theApp.m_bCompareMode && m_pCompareDlg;
        // A frame drawn on, drawn from or copied here has its pixels made now;
        // one that cannot be made is dropped, the last frame staying whole.
        auto makeNow = [&later, frame] { return !later || std::exchange(later, nullptr)(frame); };
        if ((compare || ruler) && !makeNow()) return;
        if (!compare && ruler) DrawRuler(frame);
        if (m_pFrame && frame != m_pFrame) {
            if (KeepPixelsOf(frame)) {
                shown = m_pFrame;
                m_framePixels = std::exchange(later, nullptr);
            } else {
                if (!makeNow()) return;
                m_framePixels = nullptr;
                cvCopy(frame, m_pFrame);
            }
        } else if (frame == m_pFrame) {
            m_framePixels = std::exchange(later, nullptr);
        } else if (!makeNow()) {
            return;
        }
        ++m_nFrameCount;
        // The comparison pane is drawn under the lock: a comparison window
        // being closed is detached under it first.
        if (compare) m_pCompareDlg->DrawLiveFrame(shown);
    }
    if (!compare) {
        // Drawn as a CvvImage copy of the frame would draw, straight from the
        // frame: the copy was a whole-frame pass that only fed the drawing.
        // The producer may have made the view's picture of the frame already,
        // from rows still in the cache; it is the same picture, made cheaper.
        // It may even be on the screen's rows already; where the view's size
        // changed meanwhile, the frame is drawn as ever.
        cv::Mat* made = ruler ? nullptr : SinkFrameView();
        const cv::Size onDisplay = ruler ? cv::Size() : SinkFrameOnDisplay();
        if (onDisplay.empty() || !m_viewRef.ShowDisplayRows(onDisplay)) {
            if (shown == m_pFrame) {
                std::lock_guard<plat::FairMutex> lock(m_frameLock);
                MakeFramePixels();
            }
            m_viewRef.Render([shown, made](cv::Mat& buffer) {
                if (made && made->size() == buffer.size() && made->type() == buffer.type()) {
                    std::swap(*made, buffer);
                    return;
                }
                RECT r{0, 0, buffer.cols, buffer.rows};
                DrawImageToBuffer(shown, buffer, &r);
            });
        }
        if (!m_bLive) {
            // Frozen while this frame was on its way: a frozen paint may have
            // drawn its picture (with the graticule) before this drawing went
            // over it, and would take the view for done.  A new count makes
            // the next paint draw the frozen picture again.
            {
                std::lock_guard<plat::FairMutex> lock(m_frameLock);
                ++m_nFrameCount;
            }
            m_repaintWindow.Post(false);
        }
    }
    if (ruler) {
        // Both lie over the view that was just drawn.
        m_repaintScaleMenu.Post(false);
        m_repaintMagnifyMenu.Post(true);
    }
}

bool CQuillmarshDlg::KeepPixelsOf(IplImage* frame) {
    // The copy into m_pFrame is made by exchanging pixel buffers when the
    // producer spares the frame's pixels and both images own pixels of the
    // same layout: a whole-frame copy less, which is most of the sink's time.
    if (!SinkMayKeepPixels() || !frame->imageDataOrigin || !m_pFrame->imageDataOrigin || frame->roi ||
        m_pFrame->roi || frame->imageData != frame->imageDataOrigin ||
        m_pFrame->imageData != m_pFrame->imageDataOrigin || frame->widthStep != m_pFrame->widthStep ||
        frame->imageSize != m_pFrame->imageSize || frame->origin != m_pFrame->origin)
        return false;
    std::swap(frame->imageData, m_pFrame->imageData);
    std::swap(frame->imageDataOrigin, m_pFrame->imageDataOrigin);
    return true;
}

void CQuillmarshDlg::MakeFramePixels() const {
    if (!m_framePixels) return;
    // Made once; a frame that cannot be made (it decoded once already, so
    // only memory could fail it) shows black rather than an older picture.
    if (!std::exchange(m_framePixels, nullptr)(m_pFrame)) cvZero(m_pFrame);
}

void CQuillmarshDlg::DetachFrameSink() {
    if (g_sinkOwner == this) {
        SetFrameSink(nullptr);
        SetStillHandler(nullptr);
        g_sinkOwner = nullptr;
    }
    std::lock_guard<plat::FairMutex> lock(g_sinkMutex);
    m_bSinkAttached = false;
}

cv::Mat CQuillmarshDlg::CopyLastFrame() const {
    std::lock_guard<plat::FairMutex> lock(m_frameLock);
    if (!m_pFrame) return cv::Mat();
    MakeFramePixels();
    return cv::cvarrToMat(m_pFrame).clone();
}

CvSize CQuillmarshDlg::GetFrameSize() const {
    std::lock_guard<plat::FairMutex> lock(m_frameLock);
    return m_pFrame ? cvSize(m_pFrame->width, m_pFrame->height) : cvSize(0, 0);
}

CComPareDLg* CQuillmarshDlg::SwapCompareDlg(CComPareDLg* dlg) {
    std::lock_guard<plat::FairMutex> lock(m_frameLock);
    CComPareDLg* old = m_pCompareDlg;
    m_pCompareDlg = dlg;
    return old;
}

// ---------------------------------------------------------------------------
// Live controls, freeze, scale, save

void CQuillmarshDlg::ShowLiveControls(BOOL bShow) {
    if (theApp.m_bCompareMode) {
        if (bShow) return;
        // Hiding the live controls leaves comparison mode; live or frozen stays.
        theApp.m_bCompareMode = FALSE;
        Refresh();
        for (int id : {IDC_VIEW, IDC_SKIN_COMPARE, IDC_HAIR_COMPARE, IDC_ERASER, IDC_PEN, IDC_FULLVIEW, IDC_SCALE})
            ShowDlgItem(id, false);
        m_bRuler = FALSE;
        ShowDlgItem(IDC_SCALE_MENU, false);
        ShowDlgItem(IDC_SPARE, false);
        delete SwapCompareDlg(nullptr);
        return;
    }
    for (int id : {IDC_VIEW, IDC_HAIR_COMPARE, IDC_SKIN_COMPARE, IDC_FULLVIEW, IDC_SCALE, IDC_SAVE, IDC_REPORT,
                   IDC_FREEZE, IDC_FILES}) {
        ShowDlgItem(id, bShow != FALSE);
        if (id != IDC_VIEW) {
            if (wxWindow* w = GetDlgItem(id)) w->Refresh();
        }
    }
    m_bLive = bShow;
    m_btnFreeze.m_bToggled = bShow;
    Refresh();
}

void CQuillmarshDlg::OnBnClickedFreeze() {
    m_bLive = !m_bLive;
    m_btnFreeze.m_bToggled = m_bLive;
}

void CQuillmarshDlg::OnBnClickedScale() {
    if (!m_bRuler) {
        m_bRuler = TRUE;
        ShowDlgItem(IDC_SCALE_MENU, true);
        ShowDlgItem(IDC_SPARE, false);
        return;
    }
    m_bRuler = FALSE;
    ShowDlgItem(IDC_SCALE_MENU, false);
    ShowDlgItem(IDC_SPARE, false);
    // The last frame again, now without the ruler (nothing happens while
    // frozen).  The sink gets a copy: m_pFrame is only touched under its lock.
    IplImage* last = nullptr;
    {
        std::lock_guard<plat::FairMutex> lock(m_frameLock);
        MakeFramePixels();
        if (m_pFrame) last = cvCloneImage(m_pFrame);
    }
    if (last) {
        OnFrame(last);
        cvReleaseImage(&last);
    }
}

void CQuillmarshDlg::TellSaveFailed(const wxString& path, const wxString& reason) {
    AfxMessageBox(theApp.GetLangString(lang::kSnapshotFailed) + "\n" + path + "\n" + reason, MB_OK | MB_ICONERROR);
}

void CQuillmarshDlg::OnBnClickedSave() {
    const std::time_t now = g_snapshotClock ? g_snapshotClock() : std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    m_strSnapName = SnapshotFileName(local);
    const wxString path = m_strImageDir + "/" + m_strSnapName;

    CComPareDLg* compare = nullptr;
    {
        std::lock_guard<plat::FairMutex> lock(m_frameLock);
        if (theApp.m_bCompareMode) compare = m_pCompareDlg;
    }
    if (compare) {
        // The comparison window's screenshot; it tells the operator itself
        // when it cannot be written.
        if (!compare->SaveWindowAsBmp(path)) return;
        m_strLastImage = path;
        PlayShutter();
        return;
    }

    char ansi[kSnapshotPathBytes];
    theApp.WideToAnsi(path, ansi, sizeof ansi);
    if (std::strlen(ansi) + 1 >= sizeof ansi && wxString::FromUTF8(ansi) != path) {
        // Cut to fit, the path would name another file.
        TellSaveFailed(path, theApp.GetLangString(lang::kPathTooLong));
        return;
    }

    IplImage* copy = nullptr;
    {
        std::lock_guard<plat::FairMutex> lock(m_frameLock);
        MakeFramePixels();
        if (m_pFrame) copy = cvCloneImage(m_pFrame);
    }
    if (!copy) {
        TellSaveFailed(path, theApp.GetLangString(lang::kNoPicture));
        return;
    }
    const std::uint64_t expected = Bmp24FileSize(copy->width, copy->height);
    errno = 0;
    const int saved = cvSaveImage(ansi, copy);
    const int saveErr = errno;
    cvReleaseImage(&copy);

    // The image library does not notice every failed write (a full disk):
    // the file must be all there.
    struct stat st {};
    const bool complete = saved && ::stat(ansi, &st) == 0 && S_ISREG(st.st_mode) &&
                          static_cast<std::uint64_t>(st.st_size) == expected;
    if (!complete) {
        if (saved && ::stat(ansi, &st) == 0 && S_ISREG(st.st_mode)) ::unlink(ansi);  // a partial picture
        wxString reason = saveErr ? wxString(std::strerror(saveErr)) : theApp.GetLangString(lang::kFileNotWritten);
        if (!plat::PathFileExists(m_strImageDir)) reason = theApp.GetLangString(lang::kFolderMissing);
        TellSaveFailed(path, reason);
        return;
    }
    m_strLastImage = path;
    PlayShutter();
}

// ---------------------------------------------------------------------------
// Painting

const wxBitmap& CQuillmarshDlg::ScaledBitmap(int id, const wxSize& size, wxBitmap& cache) {
    if (cache.IsOk() && cache.GetSize() == size) return cache;
    cache = wxBitmap();
    wxImage img;
    if (size.x > 0 && size.y > 0 && plat::LoadResourceImage(id, plat::RT_BITMAP, img)) {
        img.Rescale(size.x, size.y, wxIMAGE_QUALITY_BILINEAR);
        cache = wxBitmap(img);
    }
    return cache;
}

void CQuillmarshDlg::DrawBackground(wxDC& dc, const wxSize& client) {
    if (theApp.m_bCompareMode) {
        const wxBitmap& bg = ScaledBitmap(145, client, m_bmpCompareBackground);
        if (bg.IsOk()) dc.DrawBitmap(bg, 0, 0, false);
        return;
    }
    const wxBitmap& bg = ScaledBitmap(129, client, m_bmpBackground);
    if (bg.IsOk()) dc.DrawBitmap(bg, 0, 0, false);
    if (!m_bFullView) {
        const wxRect view = GetDlgItemRect(IDC_VIEW);
        const wxRect frame(view.x - 14, view.y - 12, view.width + 28, view.height + 24);
        const wxBitmap& border = ScaledBitmap(231, frame.GetSize(), m_bmpViewFrame);
        if (border.IsOk()) dc.DrawBitmap(border, frame.x, frame.y, false);
    }
}

void CQuillmarshDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize client = GetClientSize();
    if (IsIconized()) {
        if (m_hIcon.IsOk())
            dc.DrawIcon(m_hIcon, (client.x - m_hIcon.GetWidth() + 1) / 2, (client.y - m_hIcon.GetHeight() + 1) / 2);
        return;
    }
    DrawBackground(dc, client);

    if (!m_bLive) {
        // The frozen picture, with the graticule on a copy when the scale is
        // on.  It goes into the view only when the view holds something else:
        // the view's repaint paints this window under it too (GTK 3), so
        // drawing it at every paint asked for the next paint without end.
        FrozenPicture drawn{0, m_bRuler.load(), m_nMagnification.load(), m_view.GetBufferSize()};
        IplImage* copy = nullptr;
        {
            std::lock_guard<plat::FairMutex> lock(m_frameLock);
            const bool compare = theApp.m_bCompareMode && m_pCompareDlg;
            drawn.frame = m_nFrameCount;
            if (m_pFrame && !compare && m_viewFrozen != drawn) {
                MakeFramePixels();
                copy = cvCloneImage(m_pFrame);
            }
        }
        if (copy) {
            if (drawn.ruler) DrawGraticule(copy);
            CvvImage picture;
            picture.CopyOf(copy, 1);
            m_view.Render([&picture](cv::Mat& buffer) {
                RECT r{0, 0, buffer.cols, buffer.rows};
                picture.DrawToHDC(buffer, &r);
            });
            cvReleaseImage(&copy);
            m_viewFrozen = drawn;
            // It lies over the view just drawn.
            m_btnScaleMenu.Refresh();
        }
    }
}

// ---------------------------------------------------------------------------
// Overlays

void CQuillmarshDlg::DrawRuler(IplImage* frame) { ::DrawRuler(frame, m_nMagnification); }

void CQuillmarshDlg::DrawGraticule(IplImage* picture) { ::DrawGraticule(picture, m_nMagnification); }

namespace station {
void SetSnapshotClockForTesting(std::function<std::time_t()> clock) { g_snapshotClock = std::move(clock); }
void SetShutterSoundForTesting(std::function<void()> play) { g_shutterSound = std::move(play); }
}  // namespace station
