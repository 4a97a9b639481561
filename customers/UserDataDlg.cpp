// The customer records dialog itself: template, form and data exchange,
// start-up, language texts, the list click, the photo box and the status
// line.  The command buttons are in UserOps.cpp, the database access in
// UserDataDb.cpp.
#include "customers/UserDataDlg.h"

#include <cstring>

#include <wx/datectrl.h>
#include <wx/dcclient.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "capture/CvvImage.h"
#include "customers/UserForm.h"
#include "platform/Crt.h"
#include "platform/CvCompat.h"
#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

constexpr int IDC_PHOTO = 1037;
constexpr int IDC_NUMBER = 1038;
constexpr int IDC_NAME = 1039;
constexpr int IDC_PHONE = 1041;
constexpr int IDC_EMAIL = 1042;
constexpr int IDC_ADDRESS = 1043;
constexpr int IDC_OPERATOR = 1044;
constexpr int IDC_REMARK = 1045;
constexpr int IDC_AGE = 1047;
constexpr int IDC_LIST = 1048;
constexpr int IDC_ADD = 1049;
constexpr int IDC_BY_NUMBER = 1050;
constexpr int IDC_BY_NAME = 1051;
constexpr int IDC_MODIFY = 1052;
constexpr int IDC_DELETE = 1053;
constexpr int IDC_START = 1054;
constexpr int IDC_SEARCH_TEXT = 1056;
constexpr int IDC_SEARCH = 1057;
constexpr int IDC_ALL = 1058;
constexpr int IDC_MEN = 1059;
constexpr int IDC_WOMEN = 1060;
constexpr int IDC_BIRTHDAY = 1061;
constexpr int IDC_STATUS = 1076;
constexpr int IDC_CLOSE = 1009;

constexpr int IDB_PATTERN = 234;
constexpr UINT IDB_FACE_UP = 243;
constexpr UINT IDB_FACE_DOWN = 244;

constexpr unsigned long kEdit = plat::cs::Border | plat::cs::TabStop;
constexpr unsigned long kButton = plat::cs::OwnerDraw | plat::cs::TabStop;
constexpr unsigned long kLabel = plat::cs::Right;

using plat::Ctl;

const plat::DlgControl kUserDataControls[] = {
    {-1, Ctl::GroupBox, 0, 6, 3, 572, 381, L""},
    {IDC_SEARCH_TEXT, Ctl::Edit, kEdit, 272, 18, 119, 12, L""},
    {IDC_BY_NUMBER, Ctl::Radio, plat::cs::Group, 173, 17, 44, 10, L"序号"},
    {IDC_BY_NAME, Ctl::Radio, 0, 231, 18, 38, 10, L"姓名"},
    {IDC_SEARCH, Ctl::PushButton, kButton, 410, 15, 62, 18, L"搜 索"},
    {IDC_ALL, Ctl::PushButton, kButton, 491, 15, 62, 18, L"全 部"},
    {IDC_ADD, Ctl::PushButton, kButton, 171, 39, 62, 18, L"新 增"},
    {IDC_MODIFY, Ctl::PushButton, kButton, 251, 39, 62, 18, L"修 改"},
    {IDC_DELETE, Ctl::PushButton, kButton, 331, 38, 62, 18, L"删 除"},
    {IDC_START, Ctl::PushButton, kButton, 410, 38, 62, 18, L"开始检测"},
    {IDC_CLOSE, Ctl::PushButton, kButton, 491, 38, 62, 18, L"关 闭"},
    {IDC_NUMBER, Ctl::Edit, kEdit, 54, 126, 79, 12, L""},
    {IDC_NAME, Ctl::Edit, kEdit, 54, 148, 79, 12, L""},
    {IDC_AGE, Ctl::Edit, kEdit, 54, 190, 79, 12, L""},
    {IDC_PHONE, Ctl::Edit, kEdit, 54, 237, 79, 12, L""},
    {IDC_EMAIL, Ctl::Edit, kEdit, 54, 259, 79, 12, L""},
    {IDC_ADDRESS, Ctl::Edit, kEdit, 54, 281, 79, 12, L""},
    {IDC_OPERATOR, Ctl::Edit, kEdit, 54, 303, 79, 12, L""},
    {IDC_REMARK, Ctl::Edit, kEdit, 54, 325, 79, 49, L""},
    {IDC_LIST, Ctl::ListView, plat::cs::Border | plat::cs::TabStop, 167, 83, 400, 289, L""},
    {IDC_PHOTO, Ctl::Frame, plat::cs::Notify, 31, 12, 93, 106, L""},
    {1078, Ctl::Static, kLabel, 4, 126, 46, 8, L"序号："},
    {1079, Ctl::Static, kLabel, 4, 148, 46, 8, L"姓名："},
    {1080, Ctl::Static, kLabel, 4, 170, 46, 8, L"性别："},
    {1082, Ctl::Static, kLabel, 4, 214, 46, 8, L"生日："},
    {1083, Ctl::Static, kLabel, 4, 236, 46, 8, L"电话："},
    {1084, Ctl::Static, kLabel, 4, 258, 46, 8, L"Email："},
    {1085, Ctl::Static, kLabel, 4, 280, 46, 8, L"地址："},
    {1086, Ctl::Static, kLabel, 4, 302, 46, 8, L"操作员："},
    {1087, Ctl::Static, kLabel, 4, 324, 46, 8, L"备注："},
    {1081, Ctl::Static, kLabel, 4, 192, 46, 8, L"年龄："},
    {IDC_MEN, Ctl::Radio, plat::cs::Group, 56, 170, 24, 10, L"男"},
    {IDC_WOMEN, Ctl::Radio, 0, 93, 170, 24, 10, L"女"},
    {IDC_BIRTHDAY, Ctl::DateTime, plat::cs::TabStop, 54, 213, 79, 12, L""},
    // Two lines high: a message, and under it the detail the database gave.
    {IDC_STATUS, Ctl::Static, 0, 174, 60, 377, 22, L""},
};

// Control, language key, and whether the text is a label ending in a colon.
struct LanguageText {
    int id;
    const char* key;
    bool colon;
};
const LanguageText kLanguageTexts[] = {
    {1078, "IDS_MEMBER_NUMBER", true},    {1079, "IDS_MEMBER_NAME", true},
    {1081, "IDS_MEMBER_AGE", true},       {1080, "IDS_MEMBER_SEX", true},
    {IDC_MEN, "IDS_MEMBER_SEX_MEN", false}, {IDC_WOMEN, "IDS_MEMBER_SEX_WOMEN", false},
    {1083, "IDS_MEMBER_PHONE", true},     {1084, "IDS_MEMBER_EMAIL", true},
    {1085, "IDS_MEMBER_ADDRESS", true},   {1087, "IDS_MEMBER_REMARK", true},
    {1086, "IDS_MEMBER_OPERATE", true},   {1082, "IDS_MEMBER_BIRTHDAY", true},
    {IDC_ADD, "IDS_ADD", false},          {IDC_DELETE, "IDS_DELETE", false},
    {IDC_MODIFY, "IDS_MODEFY", false},    {IDC_SEARCH, "IDS_SEACH", false},
    {IDC_ALL, "IDS_ALL", false},          {IDC_START, "IDS_STARTDETECT", false},
    {IDC_CLOSE, "IDS_CLOSE", false},      {IDC_BY_NUMBER, "IDS_MEMBER_NUMBER", false},
    {IDC_BY_NAME, "IDS_MEMBER_NAME", false},
};

// Why the photo box cannot show a file, in the operator's words.
wxString RefusalReason(plat::PictureLoad result) {
    switch (result) {
        case plat::PictureLoad::NotTaken: return plat::Text(lang::kPictureNotTaken);
        case plat::PictureLoad::TooLarge: return plat::Text(lang::kPictureTooLarge);
        case plat::PictureLoad::Damaged: return plat::Text(lang::kPictureDamaged);
        case plat::PictureLoad::Unsupported: return plat::Text(lang::kPictureUnsupported);
        case plat::PictureLoad::PathTooLong: return plat::Text(lang::kPicturePathTooLong);
        case plat::PictureLoad::TooManyScans:
            return plat::Text(lang::kPictureTooManyScans, wxString::Format("%d", plat::kMaxJpegScans));
        default: return plat::Text(lang::kPictureUnreadable);
    }
}

// List columns: heading key and width in ninths of the list's client width.
struct Column {
    const char* key;
    int ninths;
};
const Column kColumns[] = {
    {"IDS_MEMBER_NUMBER", 1}, {"IDS_MEMBER_NAME", 2},     {"IDS_MEMBER_SEX", 1},
    {"IDS_MEMBER_AGE", 1},    {"IDS_MEMBER_BIRTHDAY", 2}, {"IDS_MEMBER_PHONE", 2},
};

}  // namespace

const plat::DlgTemplate plat::kUserDataTemplate = {
    CUserDataDlg::IDD, 585, 391, L"", plat::ds::Popup | plat::ds::SysMenu, L"MS Shell Dlg", 8, kUserDataControls};

CUserDataDlg::CUserDataDlg(wxWindow* parent) : plat::CDialog(plat::kUserDataTemplate, parent) {
    // The pattern is painted under everything; labels and radio buttons are
    // drawn over it without a background of their own.
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CUserDataDlg::OnPaint, this);
    BindClicked(IDC_ADD, [this] { OnBnClickedAdd(); });
    BindClicked(IDC_MODIFY, [this] { OnBnClickedModify(); });
    BindClicked(IDC_DELETE, [this] { OnBnClickedDelete(); });
    BindClicked(IDC_SEARCH, [this] { OnBnClickedSearch(); });
    BindClicked(IDC_ALL, [this] { OnBnClickedShowAll(); });
    BindClicked(IDC_START, [this] { OnBnClickedStartDetect(); });
    BindClicked(IDC_CLOSE, [this] { OnBnClickedClose(); });
    BindDoubleClicked(IDC_PHOTO, [this] { OnStnDblclickPhoto(); });
}

void CUserDataDlg::DoDataExchange(CDataExchange* pDX) {
    plat::CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_LIST, m_listView);
    if (m_listView.GetHandle() && !m_listUsers) {
        m_listUsers = &m_listView;
        m_listView.m_cellText = [this](long item, long column) {
            const long row = ShownRow(item);
            return row < 0 ? wxString() : m_shownRows.ListText(static_cast<std::size_t>(row), static_cast<int>(column));
        };
    }
    DDX_Radio(pDX, IDC_BY_NUMBER, m_nSearchBy);
    DDX_Text(pDX, IDC_NUMBER, m_nNumber);
    DDX_Text(pDX, IDC_NAME, m_strName);
    DDX_Radio(pDX, IDC_MEN, m_nSex);
    DDX_Text(pDX, IDC_AGE, m_nAge);
    DDX_Text(pDX, IDC_PHONE, m_strPhone);
    DDX_Text(pDX, IDC_EMAIL, m_strEmail);
    DDX_Text(pDX, IDC_ADDRESS, m_strAddress);
    DDX_Text(pDX, IDC_OPERATOR, m_strOperator);
    DDX_Text(pDX, IDC_REMARK, m_strRemark);
    DDX_Text(pDX, IDC_SEARCH_TEXT, m_strSearch);
}

BOOL CUserDataDlg::PreTranslateMessage(MSG* pMsg) {
    if (pMsg && pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN))
        return TRUE;
    return plat::CDialog::PreTranslateMessage(pMsg);
}

wxString CUserDataDlg::NoPhotoFile(int language) {
    static const char* const kFiles[4] = {"women.bmp", "women_zh-Hant.bmp", "women_en.bmp", "women_ko.bmp"};
    return wxString("standard/photo/") + kFiles[language >= 0 && language < 4 ? language : 0];
}

BOOL CUserDataDlg::OnInitDialog() {
    plat::CDialog::OnInitDialog();
    if (&GetTemplate() != &plat::kUserDataTemplate) return TRUE;

    wxImage pattern;
    if (plat::LoadResourceImage(IDB_PATTERN, plat::RT_BITMAP, pattern) && pattern.IsOk())
        m_brushBack = wxBrush(wxBitmap(pattern));
    // Labels, radio buttons, the frame and the status line show white text
    // straight over the pattern.
    for (wxWindow* child : GetChildren())
        if (dynamic_cast<wxStaticText*>(child) || dynamic_cast<wxRadioButton*>(child) ||
            dynamic_cast<wxStaticBox*>(child))
            child->SetForegroundColour(*wxWHITE);

    SetupButtons();
    SetupListColumns();
    BindListClicks();
    if (wxWindow* photo = GetDlgItem(IDC_PHOTO)) photo->Bind(wxEVT_PAINT, &CUserDataDlg::PaintPhoto, this);

    const wxString folder = plat::GetExecutableFolder();
    m_strNoPhoto = folder + NoPhotoFile(g_pStartPage ? g_pStartPage->m_nLanguage : 0);
    m_strPhotoTemp = folder + "standard/photo/default.bmp";
    m_strPhotoPath = m_strNoPhoto;
    m_strDbPath = folder + "UserData.mdb";

    // The captions whatever becomes of the database.
    ApplyLanguage();
    if (!OpenDatabase()) return TRUE;
    LoadRecords();
    m_nNumber = m_nMaxNumber + 1;
    ShowNumber();
    return TRUE;
}

void CUserDataDlg::SetupButtons() {
    const std::pair<int, CImgButton*> buttons[] = {
        {IDC_ADD, &m_btnAdd},     {IDC_DELETE, &m_btnDelete}, {IDC_MODIFY, &m_btnModify},
        {IDC_SEARCH, &m_btnSearch}, {IDC_ALL, &m_btnAll},       {IDC_START, &m_btnStartDetect},
        {IDC_CLOSE, &m_btnClose},
    };
    for (auto [id, button] : buttons) {
        if (!SubclassDlgItem(id, *button)) continue;
        button->LoadBitmaps(IDB_FACE_UP, IDB_FACE_DOWN, IDB_FACE_UP, 0);
        button->SizeToContent();
        button->SetTextColor(RGB(255, 255, 255));
    }
}

void CUserDataDlg::SetupListColumns() {
    if (!m_listUsers) return;
    const int width = m_listUsers->GetClientSize().x;
    long column = 0;
    for (const Column& c : kColumns)
        m_listUsers->InsertColumn(column++, theApp.GetLangString(c.key), wxLIST_FORMAT_CENTRE,
                                  width * c.ninths / 9);
    // Full-row selection is the list's own way here; grid lines between rows and columns.
    m_listUsers->SetWindowStyleFlag(m_listUsers->GetWindowStyleFlag() | wxLC_HRULES | wxLC_VRULES);
}

void CUserDataDlg::BindListClicks() {
    if (!m_listUsers) return;
    // A click of the mouse on the rows loads a customer, and so does a key
    // that selects another row: the selected row is the customer Modify,
    // Delete and Start detection act on, however it was selected.  The rows
    // lie in an inner window of the list (the one it scrolls), which handles
    // the press and the key itself first: the selection is read after it.
    wxWindow* rows = m_listUsers->GetTargetWindow();
    if (!rows) return;
    rows->Bind(wxEVT_LEFT_DOWN, [this](wxMouseEvent& event) {
        event.Skip();
        CallAfter([this] { OnNMClickList(); });  // dropped if the dialog goes first
    });
    rows->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
        event.Skip();
        CallAfter([this] { OnListKey(); });
    });
}

void CUserDataDlg::OnListKey() {
    const long row = SelectedRow();
    // A key that leaves the first selected row where it was (another row
    // added to the selection, a letter) reloads nothing: the form may hold edits.
    if (row >= 0 && row != m_loadedListRow) OnNMClickList();
}

void CUserDataDlg::ApplyLanguage() {
    for (const LanguageText& t : kLanguageTexts) {
        wxString text = theApp.GetLangString(t.key);
        if (t.colon) text += ":";
        if (wxWindow* w = GetDlgItem(t.id)) {
            w->SetLabel(text);
            w->Refresh();
        }
    }
}

void CUserDataDlg::ShowNumber() { SetDlgItemText(IDC_NUMBER, form::NumberText(m_nNumber)); }

void CUserDataDlg::ClearForm() {
    m_strName.clear();
    m_strOperator.clear();
    m_strPhone.clear();
    m_strRemark.clear();
    m_strEmail.clear();
    m_strBirthday.clear();
    m_strAddress.clear();
    m_loaded.reset();
    UpdateData(FALSE);
    SetDlgItemText(IDC_NUMBER, wxString());
    m_strPhotoPath = m_strNoPhoto;
    m_bPhotoChosen = false;
}

long CUserDataDlg::SelectedRow() const {
    if (!m_listUsers) return -1;
    return m_listUsers->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
}

wxString CUserDataDlg::PickerBirthday() const {
    auto* picker = GetDlgItemAs<wxDatePickerCtrl>(IDC_BIRTHDAY);
    const wxDateTime date = picker ? picker->GetValue() : wxDateTime::Today();
    return form::FormatBirthday(date.IsValid() ? date : wxDateTime::Today());
}

void CUserDataDlg::ShowStatusMessage(const char* key) { ShowStatus(theApp.GetLangString(key)); }

void CUserDataDlg::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    if (!m_brushBack.IsOk()) return;
    // The pattern repeats from the client area's top-left corner.
    dc.SetBrush(m_brushBack);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.DrawRectangle(wxPoint(0, 0), GetClientSize());
}

void CUserDataDlg::StartPhotoDecode(const wxString& file, PhotoRequest request) {
    const wxWindow* photo = GetDlgItem(IDC_PHOTO);
    if (!photo) return;
    m_photoRequest = request;
    const wxSize box = photo->GetClientSize();
    m_photoSize = box;
    char path[260];
    theApp.WideToAnsi(file, path, sizeof path);
    if (wxString::FromUTF8(path) != file) {
        // Cut to fit, it would name another file.
        m_photoJob.Stop();
        PhotoDecoded(request, {file.utf8_string(), plat::PictureLoad::PathTooLong, {}, {}});
        return;
    }
    m_photoJob.Start(path, CV_LOAD_IMAGE_COLOR, cv::Size(box.x, box.y),
                     [this, request](const plat::PictureJobResult& result) { PhotoDecoded(request, result); });
}

void CUserDataDlg::PhotoDecoded(PhotoRequest request, const plat::PictureJobResult& result) {
    const wxString file = wxString::FromUTF8(result.path);
    const bool shown = plat::Shown(result.load);
    const bool incomplete = result.load == plat::PictureLoad::Incomplete;
    switch (request) {
        case PhotoRequest::Chosen:
            // A file the box cannot show leaves the photo that was chosen
            // before, so Add and Modify never store it.
            if (!shown) {
                ShowStatus(plat::Text(lang::kPhotoNotShown, wxFileName(file).GetFullName()) + " " +
                           RefusalReason(result.load));
                return;
            }
            m_strPhotoPath = file;
            m_bPhotoChosen = true;
            if (incomplete) ShowStatus(plat::Text(lang::kPhotoIncomplete, wxFileName(file).GetFullName()));
            break;
        case PhotoRequest::Stored:
            if (!shown) {
                // Stored by an earlier version or another program: kept as
                // stored (Modify writes no photo unless one is chosen), but
                // not shown, and not stored again by Add.
                ShowStatus(plat::Text(lang::kStoredPhotoNotShown) + " " + RefusalReason(result.load));
                m_strPhotoPath.clear();
                StartPhotoDecode(PhotoFile(), PhotoRequest::Shown);
                return;
            }
            if (incomplete) ShowStatus(plat::Text(lang::kStoredPhotoIncomplete));
            break;
        case PhotoRequest::Shown: break;
    }
    HoldPhoto(file, result.picture, shown ? std::optional<plat::FileIdentity>(result.identity) : std::nullopt);
    RepaintPhoto();
}

void CUserDataDlg::HoldPhoto(const wxString& file, const cv::Mat& picture,
                             const std::optional<plat::FileIdentity>& identity) {
    m_photoFile = file;
    m_photoIdentity = identity;
    m_photo.Destroy();
    if (picture.empty()) return;
    IplImage header = cvIplImage(picture);
    m_photo.CopyOf(&header, 1);
}

void CUserDataDlg::RepaintPhoto() {
    if (wxWindow* photo = GetDlgItem(IDC_PHOTO)) {
        photo->Refresh(false);
        photo->Update();
    }
}

bool CUserDataDlg::PhotoStillLoading(bool adding) {
    // A chosen file, or a customer's stored photo, may yet be refused, and
    // another photo stored in its place; the file the box is to show is
    // stored as it is either way.
    const bool changes = m_photoRequest == PhotoRequest::Chosen || (adding && m_photoRequest == PhotoRequest::Stored);
    if (!m_photoJob.Busy() || !changes) return false;
    ShowStatus(plat::Text(lang::kPhotoStillLoading));
    return true;
}

void CUserDataDlg::PaintPhoto(wxPaintEvent& event) {
    auto* photo = static_cast<wxWindow*>(event.GetEventObject());
    wxPaintDC dc(photo);
    const wxSize size = photo->GetClientSize();
    dc.SetPen(*wxBLACK_PEN);
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(wxPoint(0, 0), size);
    // The photo was set without being drawn (the form cleared), or the box
    // has another size: decoded once, the box showing its frame meanwhile.
    // A decode already running is for the file the box is to show.
    if ((PhotoFile() != m_photoFile || size != m_photoSize) && !m_photoJob.Busy())
        StartPhotoDecode(PhotoFile(), PhotoRequest::Shown);
    if (PhotoFile() != m_photoFile) return;
    RECT box{0, 0, size.x, size.y};
    m_photo.DrawToHDC(&dc, &box);
}

bool CUserDataDlg::AskPhotoFile(wxString& path) {
    wxFileDialog dialog(nullptr, wxEmptyString, wxEmptyString, wxEmptyString, plat::kPictureFileFilter, wxFD_OPEN);
    if (dialog.ShowModal() != wxID_OK) return false;
    path = dialog.GetPath();
    return true;
}

void CUserDataDlg::OnStnDblclickPhoto() {
    wxString path;
    if (!AskPhotoFile(path)) return;
    ShowStatus(wxString());
    StartPhotoDecode(path, PhotoRequest::Chosen);
}

bool CUserDataDlg::OpenDatabase() {
    if (!plat::PathFileExists(m_strDbPath)) WriteDatabaseFromResource();
    try {
        m_pConnection = nullptr;
        m_pConnection.CreateInstance();
        const wxString connect = wxString::Format("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s", m_strDbPath);
        m_pConnection->Open(connect, "", "", 0);
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
        return false;
    }
    return true;
}

bool CUserDataDlg::EnsureConnection() {
    if (m_pConnection && m_pConnection->GetState() != adStateClosed) return true;
    if (!OpenDatabase()) return false;
    LoadRecords();
    if (_wtoi(GetDlgItemText(IDC_NUMBER)) == 0) {
        m_nNumber = m_nMaxNumber + 1;
        ShowNumber();
    }
    return true;
}

bool CUserDataDlg::ReadRowValues(RowValues& values) {
    try {
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = m_pRecordset->GetCollect(CustomerRows::kFields[i]);
        return true;
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
        return false;
    }
}

void CUserDataDlg::OnNMClickList() {
    if (!EnsureConnection()) return;
    const long row = SelectedRow();
    const long index = ShownRow(row);
    if (index < 0) return;
    m_loadedListRow = row;
    // A click that loads nothing leaves no customer loaded: Modify and Delete
    // must not act on the one loaded before, which the list no longer marks.
    m_loaded.reset();
    const _variant_t bookmark = m_shownRows.Bookmark(static_cast<std::size_t>(index));
    const RowValues listed = m_shownRows.Stored(static_cast<std::size_t>(index));
    if (!SeekRow(bookmark, listed[0])) return;
    // The row is read whole before the form changes, so that a failed read
    // leaves the form as it was.
    RowValues values;
    if (!HoldsCustomer(listed[0], listed[1]) || !ReadRowValues(values)) {
        CloseRecordset();
        return;
    }
    std::array<wxString, 10> text;
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = VariantToString(values[i]);
    m_nNumber = _wtoi(text[0]);
    m_strName = text[1];
    m_nSex = text[2] == "0" ? 0 : 1;
    m_strPhone = text[3];
    m_strEmail = text[4];
    m_nAge = _wtoi(text[5]);
    m_strOperator = text[6];
    m_strRemark = text[7];
    m_strAddress = text[8];
    m_strBirthday = text[9];
    m_loaded = bookmark;
    m_loadedValues = values;
    UpdateData(FALSE);
    ShowNumber();

    wxDateTime birthday;
    if (form::ParseBirthday(m_strBirthday, birthday))
        if (auto* picker = GetDlgItemAs<wxDatePickerCtrl>(IDC_BIRTHDAY)) picker->SetValue(birthday);
    // What the controls show, which is not always what they were given.
    UpdateData(TRUE);
    m_shownValues = FormValues(PickerBirthday());
    m_bPhotoChosen = false;

    try {
        m_strPhotoPath = ReadPhotoFromRecord(m_pRecordset, m_strPhotoTemp) ? m_strPhotoTemp : m_strNoPhoto;
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
        // The stored photo could not be taken out: no file stands for it, so
        // Modify keeps the stored one; the box shows the no-photo picture.
        m_strPhotoPath.clear();
    }
    StartPhotoDecode(PhotoFile(), m_strPhotoPath == m_strPhotoTemp ? PhotoRequest::Stored : PhotoRequest::Shown);
    CloseRecordset();
}
