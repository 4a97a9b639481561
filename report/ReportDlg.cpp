#include "report/ReportDlg.h"

#include <cstring>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "capture/CvvImage.h"
#include "platform/CvCompat.h"
#include "platform/Resources.h"
#include "platform/ScreenMetrics.h"
#include "station/QuillmarshDlg.h"

namespace {

using plat::Ctl;
namespace cs = plat::cs;

constexpr int IDB_REPORT_PATTERN = 239;
constexpr UINT IDB_FACE_UP = 243, IDB_FACE_DOWN = 244;
constexpr COLORREF kCaptionWhite = 0xFFFFFF;
// Screens lower than the form get its controls scaled to their height.
constexpr int kFormHeightPx = 828;
constexpr int kPathBytes = 260;  // MAX_PATH

constexpr unsigned long kEditStyle = cs::Border | cs::TabStop;
constexpr unsigned long kTextAreaStyle = cs::Border | cs::TabStop | cs::Multiline | cs::VScroll;
constexpr unsigned long kButtonStyle = cs::OwnerDraw | cs::TabStop;

// Every caption is replaced at initialisation; these are the designer's.
const plat::DlgControl kReportControls[] = {
    {CReportDlg::IDC_NAME_LABEL, Ctl::Static, 0, 14, 45, 25, 8, L"Name"},
    {CReportDlg::IDC_SEX_LABEL, Ctl::Static, 0, 178, 45, 25, 8, L"Sex"},
    {CReportDlg::IDC_AGE_LABEL, Ctl::Static, 0, 333, 45, 25, 8, L"Age"},
    {CReportDlg::IDC_NAME, Ctl::Static, 0, 45, 45, 75, 8, L"Static"},
    {CReportDlg::IDC_SEX, Ctl::Static, 0, 204, 45, 23, 8, L"Static"},
    {CReportDlg::IDC_AGE, Ctl::Static, 0, 361, 45, 32, 8, L"Static"},
    {CReportDlg::IDC_SYMPTOM_LABEL, Ctl::Static, 0, 14, 67, 41, 8, L"Type:"},
    // Multi-line in look only: Enter here ends the form, as in a one-line field.
    {CReportDlg::IDC_SYMPTOM, Ctl::Edit, kEditStyle, 55, 65, 229, 12, L""},
    {CReportDlg::IDC_CAUSE_LABEL, Ctl::Static, 0, 14, 206, 41, 8, L"Cause:"},
    {CReportDlg::IDC_CAUSE, Ctl::Edit, kTextAreaStyle, 13, 218, 397, 88, L""},
    {CReportDlg::IDC_SUGGESTION_LABEL, Ctl::Static, 0, 14, 314, 41, 8, L"Suggestion:"},
    {CReportDlg::IDC_SUGGESTION, Ctl::Edit, kTextAreaStyle, 13, 327, 398, 97, L""},
    {CReportDlg::IDC_INSTITUTION_LABEL, Ctl::Static, 0, 19, 436, 41, 8, L"Institution:"},
    {CReportDlg::IDC_INSTITUTION, Ctl::Edit, kEditStyle, 61, 434, 136, 14, L""},
    {CReportDlg::IDC_DATE_LABEL, Ctl::Static, 0, 255, 436, 25, 8, L"Date:"},
    {CReportDlg::IDC_DATE, Ctl::DateTime, cs::TabStop, 320, 435, 84, 15, L""},
    {CReportDlg::IDC_SAVE, Ctl::PushButton, kButtonStyle, 37, 467, 50, 18, L"Save"},
    {CReportDlg::IDC_PRINT, Ctl::PushButton, kButtonStyle, 187, 467, 50, 18, L"Print"},
    {CReportDlg::IDC_CLOSE, Ctl::PushButton, kButtonStyle, 337, 467, 50, 18, L"Close"},
    {CReportDlg::IDC_PICTURE, Ctl::Frame, 0, 59, 82, 227, 118, L""},
    {CReportDlg::IDC_TITLE, Ctl::Static, cs::Center, 7, 7, 411, 26, L"Report"},
};

// Marks a button's work for as long as it runs, however it ends.
class Busy {
public:
    explicit Busy(bool& flag) : m_flag(flag) { m_flag = true; }
    ~Busy() { m_flag = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& m_flag;
};

}  // namespace

const plat::DlgTemplate plat::kReportTemplate = {
    CReportDlg::IDD, 425, 509, L"", plat::ds::Popup | plat::ds::SysMenu, L"MS Shell Dlg", 8, kReportControls};

CReportDlg::CReportDlg(wxWindow* pParent) : plat::CDialog(plat::kReportTemplate, pParent) {
    BindClicked(IDC_SAVE, [this] { OnBnClickedSave(); });
    BindClicked(IDC_PRINT, [this] { OnBnClickedPrint(); });
    BindClicked(IDC_CLOSE, [this] { OnBnClickedClose(); });
    Bind(wxEVT_PAINT, &CReportDlg::OnPaint, this);
}

CReportDlg::~CReportDlg() = default;

CQuillmarshDlg* CReportDlg::Owner() const { return dynamic_cast<CQuillmarshDlg*>(GetParentWnd()); }

BOOL CReportDlg::OnInitDialog() {
    plat::CDialog::OnInitDialog();

    if (wxWindow* title = GetDlgItem(IDC_TITLE); title && theApp.m_fontTitle.IsOk()) {
        title->SetFont(theApp.m_fontTitle);
        title->Refresh();
    }

    // The pattern tiles the whole client area; the statics lie over it.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    wxImage pattern;
    if (plat::LoadResourceImage(IDB_REPORT_PATTERN, plat::RT_BITMAP, pattern) && pattern.IsOk())
        m_brushBack = wxBrush(wxBitmap(pattern));

    if (g_pStartPage && g_pStartPage->m_bCustomerChosen == 1) {
        const UserRecord& record = g_pStartPage->m_curRecord;
        SetDlgItemText(IDC_NAME, record::FieldText(record.szName));
        SetDlgItemText(IDC_SEX, record::FieldText(record.szSex));
        SetDlgItemText(IDC_AGE, record::FieldText(record.szAge));
    } else {
        SetDlgItemText(IDC_NAME, theApp.GetLangString(lang::kGuestName));
        SetDlgItemText(IDC_SEX, "-");
        SetDlgItemText(IDC_AGE, "-");
    }

    // Sized to their face before any rescale, which then works on the new sizes.
    for (auto [id, button] : {std::pair{IDC_SAVE, &m_btnSave}, {IDC_PRINT, &m_btnPrint}, {IDC_CLOSE, &m_btnClose}}) {
        if (!SubclassDlgItem(id, *button)) continue;
        button->LoadBitmaps(IDB_FACE_UP, IDB_FACE_DOWN, IDB_FACE_UP, 0);
        button->SizeToContent();
        button->SetTextColor(kCaptionWhite);
    }

    if (GetSystemMetrics(SM_CYSCREEN) < kFormHeightPx) ScaleLayout();

    LoadTexts();
    ApplyColours();

    if (wxWindow* picture = GetDlgItem(IDC_PICTURE)) picture->Bind(wxEVT_PAINT, &CReportDlg::OnPaintPicture, this);
    return TRUE;
}

void CReportDlg::LoadTexts() {
    const std::pair<int, const char*> captions[] = {
        {IDC_TITLE, "IDS_REPORT"},      {IDC_NAME_LABEL, "IDS_MEMBER_NAME"}, {IDC_SEX_LABEL, "IDS_MEMBER_SEX"},
        {IDC_AGE_LABEL, "IDS_MEMBER_AGE"}, {IDC_SYMPTOM_LABEL, "IDS_ZZ_TYPE"}, {IDC_CAUSE_LABEL, "IDS_RESON"},
        {IDC_SUGGESTION_LABEL, "IDS_SUGGEST"}, {IDC_INSTITUTION_LABEL, "IDS_JG_NAME"}, {IDC_DATE_LABEL, "IDS_DATE"},
        {IDC_SAVE, "IDS_SAVE"},         {IDC_PRINT, "IDS_PRINT"},            {IDC_CLOSE, "IDS_CLOSE"},
    };
    for (const auto& [id, key] : captions) {
        wxString text = theApp.GetLangString(key);
        // The five field labels carry a colon; name, sex and age do not.
        if (id >= IDC_SYMPTOM_LABEL && id <= IDC_DATE_LABEL) text += ":";
        SetDlgItemText(id, text);
    }
}

void CReportDlg::ScaleLayout() {
    for (UINT id : {IDC_NAME_LABEL, IDC_SEX_LABEL, IDC_AGE_LABEL, IDC_NAME, IDC_SEX, IDC_AGE, IDC_SYMPTOM_LABEL,
                    IDC_SYMPTOM, IDC_PICTURE, IDC_CAUSE_LABEL, IDC_CAUSE, IDC_SUGGESTION_LABEL, IDC_SUGGESTION,
                    IDC_INSTITUTION_LABEL, IDC_INSTITUTION, IDC_DATE_LABEL, IDC_DATE, IDC_SAVE, IDC_PRINT,
                    IDC_CLOSE})
        ScaleControlToScreen(id);
}

void CReportDlg::ScaleControlToScreen(UINT nID) {
    wxWindow* control = GetDlgItem(static_cast<int>(nID));
    const double screen = GetSystemMetrics(SM_CYSCREEN);
    const double client = GetClientSize().y;
    if (!control || client <= 0) return;
    const wxRect r = control->GetRect();
    const int top = static_cast<int>(r.y / client * screen);
    const int bottom = static_cast<int>((r.y + r.height) / client * screen);
    MoveDlgItem(static_cast<int>(nID), wxRect(r.x, top, r.width, bottom - top));
}

CReportDlg::CtlColor CReportDlg::OnCtlColor(wxWindow* pWnd, UINT nCtlColor) const {
    CtlColor c;
    c.brush = wxBrush(GetBackgroundColour());
    if (nCtlColor == CTLCOLOR_STATIC) {
        c.transparent = true;
        c.text = *wxWHITE;
        c.brush = *wxTRANSPARENT_BRUSH;
    } else if (nCtlColor == CTLCOLOR_EDIT) {
        c.transparent = true;
        c.background = *wxWHITE;
        c.text = *wxBLACK;
    } else if (pWnd == this && m_brushBack.IsOk()) {
        c.brush = m_brushBack;
    }
    return c;
}

void CReportDlg::ApplyColours() {
    for (wxWindow* child : GetChildren()) {
        if (dynamic_cast<wxStaticText*>(child)) {
            child->SetForegroundColour(OnCtlColor(child, CTLCOLOR_STATIC).text);
        } else if (dynamic_cast<wxTextCtrl*>(child)) {
            const CtlColor c = OnCtlColor(child, CTLCOLOR_EDIT);
            child->SetBackgroundColour(c.background);
            child->SetForegroundColour(c.text);
        }
        child->Refresh();
    }
}

void CReportDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(OnCtlColor(this, CTLCOLOR_DLG).brush);
    dc.DrawRectangle(GetClientRect());
}

bool CReportDlg::DrawLastPicture(wxDC& dc, const wxSize& size) {
    CQuillmarshDlg* owner = Owner();
    if (!owner || owner->m_strLastImage.empty()) return false;
    // A path that does not fit the buffer whole would name another file.
    if (std::strlen(owner->m_strLastImage.utf8_str()) >= static_cast<std::size_t>(kPathBytes)) return false;
    char path[kPathBytes];
    theApp.WideToAnsi(owner->m_strLastImage, path, kPathBytes);
    IplImage* image = cvLoadImage(path, 1);
    if (!image) return false;
    CvvImage picture;
    picture.CopyOf(image, 1);
    RECT rc{0, 0, size.x, size.y};
    picture.DrawToHDC(&dc, &rc);
    cvReleaseImage(&image);
    return true;
}

void CReportDlg::OnPaintPicture(wxPaintEvent& event) {
    auto* frame = static_cast<wxWindow*>(event.GetEventObject());
    wxPaintDC dc(frame);
    if (DrawLastPicture(dc, frame->GetClientSize())) return;
    // No picture: the black frame alone.
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(frame->GetClientRect());
}

void CReportDlg::ReleaseDrivers() {
    m_inlineShapes.ReleaseDispatch();
    m_selection.ReleaseDispatch();
    m_doc.ReleaseDispatch();
    m_docs.ReleaseDispatch();
    m_font.ReleaseDispatch();
    m_paraFormat.ReleaseDispatch();
    m_wordApp.ReleaseDispatch();
}

void CReportDlg::OnBnClickedSave() {
    if (m_busy) return;
    const wxBusyCursor busy;
    const Busy guard(m_busy);
    ReleaseDrivers();
    WriteWordReport();
}

void CReportDlg::OnBnClickedPrint() {
    if (m_busy) return;
    const wxBusyCursor busy;
    const Busy guard(m_busy);
    if (!m_bWritten) WriteWordReport();
    const VARIANT background = VARIANT::I2(0);
    const VARIANT copies = VARIANT::I4(1);
    const VARIANT missing = VARIANT::Missing();
    m_doc.PrintOut(&background, &missing, &missing, &missing, &missing, &missing, &missing, &copies, &missing,
                   &missing, &missing, &missing, &missing, &missing, &missing, &missing, &missing, &missing);
}

void CReportDlg::OnBnClickedClose() {
    if (m_busy) return;
    ReleaseDrivers();
    OnCancel();
}

void CReportDlg::OnOK() {
    if (!m_busy) plat::CDialog::OnOK();
}

void CReportDlg::OnCancel() {
    if (!m_busy) plat::CDialog::OnCancel();
}
