#pragma once
// The customer records dialog: the list of every stored customer, the form of
// one customer with a photo, and the seven command buttons that add, modify,
// delete, search and list customers, hand the chosen one to the start page or
// close.  The start page runs it modally before the station window.
#include <memory>
#include <vector>

#include <wx/brush.h>
#include <wx/datetime.h>

#include "controls/ImgButton.h"
#include "customers/UserRecord.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Dialog.h"

class wxListCtrl;
class wxPaintEvent;

namespace plat {
extern const DlgTemplate kUserDataTemplate;
}

// The text of a field's value.
wxString VariantToString(const _variant_t& value);

class CUserDataDlg : public plat::CDialog {
public:
    enum { IDD = 233 };
    explicit CUserDataDlg(wxWindow* parent = nullptr);
    ~CUserDataDlg() override;

    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape neither end the dialog nor press a button.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    // Control texts from the language pack.
    void ApplyLanguage();
    // Empties the form for the next customer; number, sex and age stay.
    void ClearForm();

    // A mouse click on the list loads the first selected row into the form.
    void OnNMClickList();
    // A double click on the photo box lets the operator choose a photo file.
    void OnStnDblclickPhoto();

    // The command buttons.
    void OnBnClickedAdd();
    void OnBnClickedModify();
    void OnBnClickedDelete();
    void OnBnClickedSearch();
    void OnBnClickedShowAll();
    void OnBnClickedStartDetect();
    void OnBnClickedClose();

    // Database access.
    BOOL WriteDatabaseFromResource();
    BOOL OpenRecordset(_RecordsetPtr& recordset, const wxString& sql);
    void LoadRecords();
    BOOL ReadPhotoFromRecord(_RecordsetPtr& recordset, const wxString& path);
    void WritePhotoToRecord(_RecordsetPtr& recordset, wxString path);

    // The status line (static 1076): the text, then the area under it
    // repainted so that the background shows through again.
    void SetStatus(const wxString& text);
    // The status line showing the language text of `key`.
    void ShowStatusMessage(const char* key);
    // Repaints, with erasing, the dialog's area under control `id`.
    void RedrawControl(UINT id);
    // Draws the photo box from m_strPhotoPath at once.
    void DrawPhoto();

    wxBrush m_brushBack;
    wxListCtrl* m_listUsers = nullptr;
    int m_nSearchBy = 1;
    std::vector<UserRecord> m_records;
    wxString m_strDbPath;
    _ConnectionPtr m_pConnection;
    _RecordsetPtr m_pRecordset;
    int m_nNumber = 0;
    wxString m_strName;
    int m_nSex = 1;
    int m_nAge = 20;
    wxString m_strBirthday;
    wxString m_strPhone;
    wxString m_strEmail;
    wxString m_strAddress;
    wxString m_strOperator = "Operator";
    wxString m_strRemark;
    int m_nMaxNumber = 0;
    wxString m_strSearch;
    wxString m_strPhotoTemp;
    wxString m_strNoPhoto;
    wxString m_strPhotoPath;
    CImgButton m_btnAdd, m_btnDelete, m_btnModify, m_btnSearch, m_btnAll, m_btnStartDetect, m_btnClose;

protected:
    // Asks for a photo file; false when the operator cancels.
    virtual bool AskPhotoFile(wxString& path);

    // A list row's identity in the table: its stored Number and Name, whole.
    struct RowKey {
        wxString number;
        wxString name;
    };
    // One key per list row, in list order (the list shows texts cut to the
    // record's fields, which would find no row).
    std::vector<RowKey> m_listKeys;

private:
    static wxString KeyQuery(const RowKey& key);
    RowKey ListRowKey(long row) const;
    // The loaded record of a list row's customer; nullptr when none.
    const UserRecord* FindRecord(const RowKey& key) const;
    // The status line showing a database error: the language's prefix and `reason`.
    void ShowDatabaseError(const wxString& reason);
    // False, with the reason on the status line, when the photo to store cannot be read.
    bool CheckPhotoReadable();
    // Whether the open query stands on a row; when not, the status line says so.
    bool RowPresent();
    // Puts the form into the recordset's current row (a new one when adding)
    // and saves it; on an error the row is left as it was and the error shown.
    bool WriteCurrentRow(bool adding, const wxString& birthday);
    void CloseRecordset();
    void CloseConnection();

    // Writes the empty database when the file is missing and opens the
    // connection; false (with the error on the status line) when it failed.
    bool OpenDatabase();
    void OnPaint(wxPaintEvent& event);
    void PaintPhoto(wxPaintEvent& event);
    void SetupButtons();
    void SetupListColumns();
    void BindListClicks();
    // The number box showing m_nNumber with four digits.
    void ShowNumber();
    // The first selected list row from the top, -1 when none.
    long SelectedRow() const;
    // The birthday picker's date as the form stores it.
    wxString PickerBirthday() const;

    // Expires with the dialog: calls queued for later check it.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
