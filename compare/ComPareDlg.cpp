#include "compare/ComPareDlg.h"

#include <opencv2/imgproc.hpp>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/image.h>
#include <wx/radiobut.h>

#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "capture/CvvImage.h"
#include "compare/WindowShot.h"
#include "platform/Paths.h"
#include "platform/PictureLoader.h"
#include "platform/Resources.h"

namespace {

constexpr int IDC_PEN = 159;

// Resource bitmaps by language index 0..3.
constexpr int kSkinBackground[4] = {147, 205, 186, 258};
constexpr int kHairBackground[4] = {223, 225, 224, 259};
constexpr int kOtherPlaceholder[4] = {165, 206, 187, 260};
// The stand-in for a reference that cannot be loaded says so in words; an
// index outside 0-3 shows index 0's.
constexpr int kStandIn[4] = {174, 290, 291, 292};

// The background pictures are drawn on this grid.
constexpr int kGridWidth = 842;
constexpr int kGridHeight = 400;

bool IsLanguage(int language) { return language >= 0 && language < 4; }

const wchar_t* const kSkinCaptions[4][5] = {
    {L"健康", L"油性", L"干性", L"敏感", L"其他"},
    {L"健康", L"油性", L"乾性", L"敏感", L"其他"},
    {L"Healthy", L"Oily", L"Dry", L"Sensitive", L"Other"},
    {L"건강한", L"유성의", L"건조한", L"민감한", L"다른"},
};
const wchar_t* const kHairCaptions[4][5] = {
    {L"健康", L"受损", L"老化", L"粗硬", L"其他"},
    {L"健康", L"受損", L"老化", L"粗硬", L"其他"},
    {L"Healthy", L"Damaged", L"Aging", L"Irritated", L"Other"},
    {L"건강한", L"손상된", L"노화", L"조잡한", L"다른"},
};
const wchar_t* const kSkinFiles[4] = {L"Healthy.bmp", L"Oily.bmp", L"Dry.bmp", L"Sensitive.bmp"};
const wchar_t* const kHairFiles[4] = {L"Healthy.bmp", L"Damaged.bmp", L"Aging.bmp", L"Irritated.bmp"};

const plat::DlgControl kComPareControls[] = {
    {CComPareDLg::IDC_RADIO_HEALTHY, plat::Ctl::Radio, plat::cs::Group | plat::cs::TabStop, 313, 39, 60, 17,
     L"Radio1"},
    {CComPareDLg::IDC_RADIO_2, plat::Ctl::Radio, 0, 363, 39, 60, 17, L"Radio1"},
    {CComPareDLg::IDC_RADIO_3, plat::Ctl::Radio, 0, 413, 39, 60, 17, L"Radio1"},
    {CComPareDLg::IDC_RADIO_4, plat::Ctl::Radio, 0, 463, 39, 60, 17, L"Radio1"},
    {CComPareDLg::IDC_RADIO_OTHER, plat::Ctl::Radio, 0, 505, 39, 60, 17, L"Radio1"},
    {CComPareDLg::IDC_LEFT_PANE, plat::Ctl::Frame, 0, 20, 61, 265, 181, L""},
    {CComPareDLg::IDC_REFERENCE, plat::Ctl::Frame, plat::cs::Notify, 295, 61, 265, 181, L""},
};

// A picture resource as 8-bit B, G, R; empty when it is not supplied.
cv::Mat ResourcePicture(int id) {
    wxImage image;
    if (!plat::LoadResourceImage(id, plat::RT_BITMAP, image) || !image.IsOk()) return {};
    cv::Mat rgb(image.GetHeight(), image.GetWidth(), CV_8UC3, image.GetData());
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    return bgr;
}

// A picture file as 8-bit B, G, R, reduced to `fit` when larger (none: at
// its own size); empty when the picture loader refuses it.
cv::Mat ReadPictureFile(const wxString& path, cv::Size fit) {
    cv::Mat picture;
    plat::LoadPicture(path.utf8_string().c_str(), 1, fit, &picture);
    return picture;
}

wxImage BgrToImage(const cv::Mat& bgr) {
    wxImage image(bgr.cols, bgr.rows, false);
    cv::Mat rgb(bgr.rows, bgr.cols, CV_8UC3, image.GetData());
    cv::cvtColor(bgr, rgb, cv::COLOR_BGR2RGB);
    return image;
}

}  // namespace

const plat::DlgTemplate plat::kComPareTemplate = {
    CComPareDLg::IDD, 583, 258, L"", plat::ds::Child, L"MS Shell Dlg", 8, kComPareControls};

const std::array<int, CComPareDLg::kCategories> CComPareDLg::kRadioIds = {
    IDC_RADIO_HEALTHY, IDC_RADIO_2, IDC_RADIO_3, IDC_RADIO_4, IDC_RADIO_OTHER};

const wxString CComPareDLg::kOtherFilter = plat::kPictureFileFilter;

// ---------------------------------------------------------------------------
// Layout

CompareLayout ComputeCompareLayout(const plat::ScreenMetrics& metrics, const wxSize& radioSize) {
    const int cx = metrics.cxScreen;
    const int cyF = metrics.cyFullScreen;
    CompareLayout l;
    const int x = 3 * cx / 20;
    const int y = 80 * cyF / 720;
    const int w = 17 * cx / 20 - x;
    // The height follows the background's aspect at 70 % of the screen width.
    const int bottom = static_cast<int>(cx * 400 * 0.7 / 842.0 + 110 * cyF / 720);
    const int h = bottom - y;
    l.window = wxRect(x, y, w, h);

    const int top = 86 * h / kGridHeight;
    const int paneBottom = 386 * h / kGridHeight;
    const int leftX = 11 * w / kGridWidth;
    const int leftR = 414 * w / kGridWidth;
    const int rightX = 426 * w / kGridWidth;
    const int rightR = 829 * w / kGridWidth;
    l.leftPane = wxRect(leftX, top, leftR - leftX, paneBottom - top);
    l.rightPane = wxRect(rightX, top, rightR - rightX, paneBottom - top);

    const int rw = radioSize.x;
    const int rh = radioSize.y;
    for (int i = 0; i < CComPareDLg::kCategories; ++i)
        l.radios[i] = wxRect(rightR - (CComPareDLg::kCategories - i) * rw, top - rh, rw, rh);
    return l;
}

// ---------------------------------------------------------------------------
// Right pane

bool CReferencePane::Create(wxWindow* parent, int id, const wxRect& rect, const wxString&, long) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    if (!wxWindow::Create(parent, id, rect.GetPosition(), rect.GetSize(), wxBORDER_NONE)) return false;
    Bind(wxEVT_PAINT, &CReferencePane::OnPaint, this);
    return true;
}

void CReferencePane::SetPicture(const cv::Mat& bgr) {
    if (bgr.data == m_picture.data && bgr.size() == m_picture.size()) return;
    m_picture = bgr;
    m_scaled = wxBitmap();
    Refresh(false);
}

void CReferencePane::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    const wxSize size = GetClientSize();
    if (m_picture.empty() || m_picture.type() != CV_8UC3 || size.x <= 0 || size.y <= 0) {
        // Without a picture only the frame shows, as the template's black frame.
        dc.SetPen(*wxBLACK_PEN);
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRectangle(GetClientRect());
        return;
    }
    if (!m_scaled.IsOk() || m_scaled.GetSize() != size) {
        // Averaged when reduced, interpolated when enlarged: the reference
        // must look smooth at any pane size.
        const bool reduce = size.x < m_picture.cols || size.y < m_picture.rows;
        cv::Mat scaled;
        cv::resize(m_picture, scaled, cv::Size(size.x, size.y), 0, 0, reduce ? cv::INTER_AREA : cv::INTER_LINEAR);
        m_scaled = wxBitmap(BgrToImage(scaled));
    }
    dc.DrawBitmap(m_scaled, 0, 0, false);
}

// ---------------------------------------------------------------------------
// The comparison window

CComPareDLg::CComPareDLg(int mode, wxWindow* parent) : plat::CDialog(plat::kComPareTemplate, parent), m_nMode(mode) {
    for (int id : kRadioIds) BindClicked(id, [this] { OnBnClickedRadio(); });
    Bind(wxEVT_PAINT, &CComPareDLg::PaintBackground, this);
    BindPaneMouse(this);
}

CComPareDLg::~CComPareDLg() = default;

void CComPareDLg::DoDataExchange(CDataExchange* pDX) {
    plat::CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_RADIO_HEALTHY, m_radioHealthy);
    DDX_Control(pDX, IDC_LEFT_PANE, m_paneLive);
    DDX_Control(pDX, IDC_REFERENCE, m_paneReference);
    DDX_Radio(pDX, IDC_RADIO_HEALTHY, m_nRadio);
}

int CComPareDLg::Language() { return g_pStartPage ? g_pStartPage->m_nLanguage : 0; }

CCompareHost* CComPareDLg::Host() const { return dynamic_cast<CCompareHost*>(GetParentWnd()); }

wxString CComPareDLg::CategoryCaption(int mode, int language, int index) {
    if (!IsLanguage(language) || index < 0 || index >= kCategories) return wxString();
    return mode == 0 ? kSkinCaptions[language][index] : kHairCaptions[language][index];
}

std::vector<plat::ResourceRef> CComPareDLg::LanguagePictures(int language) {
    if (!IsLanguage(language)) language = 0;
    return {{kSkinBackground[language], plat::RT_BITMAP},
            {kHairBackground[language], plat::RT_BITMAP},
            {kOtherPlaceholder[language], plat::RT_BITMAP},
            {kStandIn[language], plat::RT_BITMAP}};
}

wxString CComPareDLg::ReferenceFileName(int mode, int index) {
    if (index < 0 || index >= kOther) return wxString();
    return mode == 0 ? kSkinFiles[index] : kHairFiles[index];
}

wxString CComPareDLg::ReferenceFolder(const wxString& base, int mode) {
    return base + (mode == 0 ? "/Scalp" : "/Hair");
}

cv::Mat CComPareDLg::StandInPicture() {
    const int language = Language();
    return ResourcePicture(kStandIn[IsLanguage(language) ? language : 0]);
}

bool CComPareDLg::LoadBitmapFromFile(wxString path, cv::Mat* bitmap, cv::Size fit) {
    if (!bitmap) return false;
    bitmap->release();
    cv::Mat picture = ReadPictureFile(path, fit);
    if (picture.empty()) picture = StandInPicture();
    if (picture.empty()) return false;
    *bitmap = picture;
    return true;
}

BOOL CComPareDLg::OnInitDialog() {
    plat::CDialog::OnInitDialog();

    // The background is painted whole; the captions stand on it in white.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    for (int id : kRadioIds) {
        wxWindow* radio = GetDlgItem(id);
        if (!radio) continue;
        if (theApp.m_fontLabel.IsOk()) radio->SetFont(theApp.m_fontLabel);
        radio->SetForegroundColour(*wxWHITE);
    }

    const wxString base = plat::GetExecutableFolder() + "standard";

    const int language = Language();
    if (IsLanguage(language))
        for (int i = 0; i < kCategories; ++i) SetDlgItemText(kRadioIds[i], CategoryCaption(m_nMode, language, i));

    const wxString folder = ReferenceFolder(base, m_nMode);
    for (int i = 0; i < kOther; ++i)
        LoadBitmapFromFile(folder + "/" + ReferenceFileName(m_nMode, i), &m_bmpReference[i]);
    if (IsLanguage(language)) m_bmpReference[kOther] = ResourcePicture(kOtherPlaceholder[language]);

    const plat::DlgControl* radio = FindTemplateControl(IDC_RADIO_HEALTHY);
    const wxSize radioSize = plat::DluToPx(radio->x, radio->y, radio->cx, radio->cy).GetSize();
    const CompareLayout layout = ComputeCompareLayout(plat::GetScreenMetrics(), radioSize);
    SetSize(layout.window);
    MoveDlgItem(IDC_LEFT_PANE, layout.leftPane);
    MoveDlgItem(IDC_REFERENCE, layout.rightPane);
    for (int i = 0; i < kCategories; ++i) MoveDlgItem(kRadioIds[i], layout.radios[i]);

    m_liveRef = m_paneLive.GetRef();
    BindPaneMouse(&m_paneLive);
    m_paneReference.Bind(wxEVT_LEFT_DCLICK, [this](wxMouseEvent&) { OnStnDblclickReference(); });

    wxImage pen;
    if (plat::LoadResourceImage(IDC_PEN, plat::RT_CURSOR, pen) && pen.IsOk()) m_penCursor = wxCursor(pen);
    if (!m_penCursor.IsOk()) m_penCursor = *wxCROSS_CURSOR;
    SetCursor(*wxSTANDARD_CURSOR);

    OnPaint();
    return TRUE;
}

BOOL CComPareDLg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE))
        return TRUE;
    return plat::CDialog::PreTranslateMessage(pMsg);
}

void CComPareDLg::OnClose() {
    if (CCompareHost* host = Host()) host->OnCompareCloseRequest(this);
}

void CComPareDLg::PaintBackground(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetBackground(wxBrush(GetBackgroundColour()));
    dc.Clear();
    const int language = Language();
    if (!IsLanguage(language)) return;
    const int id = m_nMode == 0 ? kSkinBackground[language] : kHairBackground[language];
    const wxSize client = GetClientSize();
    if (client.x <= 0 || client.y <= 0) return;
    // Stretched from its full size over the whole client area; kept while
    // neither the picture nor the size changes.
    if (id != m_backgroundId || !m_background.IsOk() || m_background.GetSize() != client) {
        m_backgroundId = id;
        m_background = wxBitmap();
        wxImage picture;
        if (plat::LoadResourceImage(id, plat::RT_BITMAP, picture) && picture.IsOk()) {
            picture.Rescale(client.x, client.y, wxIMAGE_QUALITY_NEAREST);
            m_background = wxBitmap(picture);
        }
    }
    if (m_background.IsOk()) dc.DrawBitmap(m_background, 0, 0, false);
}

void CComPareDLg::OnPaint() {
    UpdateData(TRUE);
    const int category = m_nRadio >= 0 && m_nRadio < kCategories ? m_nRadio : 0;
    m_paneReference.SetPicture(m_bmpReference[category]);
    if (CCompareHost* host = Host(); host && !host->IsViewLive()) DrawFrozenPane();
}

void CComPareDLg::RenderLeftPane(IplImage* picture) {
    CvvImage image;
    if (picture) image.CopyOf(picture, 1);
    m_liveRef.Render([&](cv::Mat& buffer) {
        RECT rc{0, 0, buffer.cols, buffer.rows};
        image.DrawToHDC(buffer, &rc);
        m_strokes.Draw(buffer);
    });
}

void CComPareDLg::DrawFrozenPane() {
    CCompareHost* host = Host();
    if (!host) return;
    const cv::Mat frame = host->CopyLastFrame();
    IplImage header;
    if (!frame.empty()) header = cvIplImage(frame);
    RenderLeftPane(frame.empty() ? nullptr : &header);
}

void CComPareDLg::DrawLiveFrame(IplImage* frame) {
    if (frame) RenderLeftPane(frame);
}

BOOL CComPareDLg::SaveWindowAsBmp(const wxString& path) { return ::SaveWindowAsBmp(this, path); }

void CComPareDLg::OnBnClickedRadio() { OnPaint(); }

void CComPareDLg::OnStnDblclickReference() {
    UpdateData(TRUE);
    if (m_nRadio != kOther) return;
    CCompareHost* host = Host();
    wxString path;
    // The file dialog runs its own loop, in which the station may end the
    // comparison and delete this window (a camera unplugged meanwhile).
    const std::weak_ptr<bool> alive = m_alive;
    if (!AskOtherFile(host ? host->GetImageDir() : wxString(), path) || alive.expired()) return;
    // Decoded at the size the pane shows it: a large photo costs no more.
    const wxSize pane = m_paneReference.GetClientSize();
    m_otherJob.Start(path.utf8_string(), 1, cv::Size(pane.x, pane.y),
                     [this](const plat::PictureJobResult& result) { OtherDecoded(result); });
}

void CComPareDLg::OtherDecoded(const plat::PictureJobResult& result) {
    m_strOtherPath = wxString::FromUTF8(result.path);
    m_bmpReference[kOther] = plat::Shown(result.load) ? result.picture : StandInPicture();
    if (m_bmpReference[kOther].empty()) {
        m_strOtherPath.clear();
        return;
    }
    m_nRadio = kOther;
    UpdateData(FALSE);
    Refresh(true);
    OnPaint();
}

bool CComPareDLg::AskOtherFile(const wxString& folder, wxString& path) {
    wxFileDialog dialog(nullptr, wxEmptyString, folder, wxEmptyString, kOtherFilter, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = dialog.GetPath();
    return true;
}

// ---------------------------------------------------------------------------
// Strokes with the mouse

bool CComPareDLg::InLeftPane(const wxPoint& screen, wxPoint* pane) const {
    if (!m_paneLive.GetHandle()) return false;
    const wxPoint p = m_paneLive.ScreenToClient(screen);
    const wxSize size = m_paneLive.GetSize();
    if (p.x < 0 || p.y < 0 || p.x >= size.x || p.y >= size.y) return false;
    if (pane) *pane = p;
    return true;
}

void CComPareDLg::BindPaneMouse(wxWindow* window) {
    auto toScreen = [window](const wxMouseEvent& event) { return window->ClientToScreen(event.GetPosition()); };
    window->Bind(wxEVT_LEFT_DOWN, [this, toScreen](wxMouseEvent& event) {
        OnLButtonDown(toScreen(event));
        event.Skip();
    });
    window->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
        OnLButtonUp();
        event.Skip();
    });
    window->Bind(wxEVT_MOTION, [this, toScreen](wxMouseEvent& event) {
        const wxPoint screen = toScreen(event);
        OnSetCursor(screen);
        OnMouseMove(screen);
        event.Skip();
    });
    window->Bind(wxEVT_ENTER_WINDOW, [this, toScreen](wxMouseEvent& event) {
        OnSetCursor(toScreen(event));
        event.Skip();
    });
}

void CComPareDLg::OnLButtonDown(const wxPoint& screen) {
    wxPoint p;
    if (m_bDrawEnabled && InLeftPane(screen, &p)) {
        m_strokes.BeginStroke(p.x, p.y);
        m_bStroking = TRUE;
    }
}

void CComPareDLg::OnMouseMove(const wxPoint& screen) {
    wxPoint p;
    if (!m_bStroking || !InLeftPane(screen, &p)) return;
    m_strokes.AddPoint(p.x, p.y);
    // While live the next frame shows the new point.
    if (CCompareHost* host = Host(); host && !host->IsViewLive()) DrawFrozenPane();
}

void CComPareDLg::OnLButtonUp() { m_bStroking = FALSE; }

BOOL CComPareDLg::OnSetCursor(const wxPoint& screen) {
    const bool pen = m_bDrawEnabled && InLeftPane(screen);
    const wxCursor& want = pen ? m_penCursor : *wxSTANDARD_CURSOR;
    if (m_paneLive.GetHandle() && !m_paneLive.GetCursor().IsSameAs(want)) m_paneLive.SetCursor(want);
    return TRUE;
}
