#pragma once
// The customer records dialog: the customer list and its form over the
// customer database "UserData.mdb".
//
// The database side (UserDataDb.cpp): writing the empty database, opening
// queries, loading every row into the record vector and the list, moving a
// photo between a file and a row, and the status line.
#include <vector>

#include <wx/string.h>

#include "customers/UserRecord.h"
#include "platform/WinTypes.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Dialog.h"

class wxListCtrl;

// The text of a field value by its variant type (empty for null, numbers in
// their fixed formats, "[BLOB]" for binary values, "UN_KNOW" for types with
// no text).
wxString VariantToString(const _variant_t& var);

class CUserDataDlg : public plat::CDialog {
public:
    enum { IDD = 233 };
    // Controls the database side addresses.
    enum { IDC_USER_LIST = 1048, IDC_STATUS_LINE = 1076 };

    explicit CUserDataDlg(const plat::DlgTemplate& tpl, wxWindow* parent = nullptr)
        : plat::CDialog(tpl, parent) {}

    // Writes the empty database template to m_strDbPath when no file is
    // there.  The bytes go to a temporary file beside it that is then moved
    // into place, so no half-written database is ever left; an existing file
    // is never replaced.  FALSE when nothing was written.
    BOOL WriteDatabaseFromResource();
    // Opens `sql` on m_pConnection into `recordset` (releasing what it held).
    // On a database error the status line shows it and FALSE is returned, with
    // `recordset` empty.
    BOOL OpenRecordset(_RecordsetPtr& recordset, const wxString& sql);
    // Every row of table info into m_records and the list (row i shows record
    // i), and the largest number into m_nMaxNumber.  A failed query leaves
    // both as they were; an error while reading keeps the rows read so far.
    // Uses m_pRecordset and leaves it empty.
    void LoadRecords();
    // Writes the current row's photo to `path` in pieces of 1024 bytes; FALSE
    // (the file untouched) when no photo is stored.  Throws _com_error when the
    // field cannot be read or the file cannot be written (a partly written file
    // is removed).
    static BOOL ReadPhotoFromRecord(_RecordsetPtr& recordset, const wxString& path);
    // Appends the bytes of the file `path` to the current row's photo in
    // pieces of 1024 bytes, the first replacing the stored photo; the caller's
    // Update saves the row.  When the file cannot be read or a piece cannot be
    // appended, the recordset's pending edit (the whole new or changed row) is
    // given up and _com_error is thrown: the stored row stays as it was.
    static void WritePhotoToRecord(_RecordsetPtr& recordset, wxString path);
    // Repaints, with erasing, the dialog's area under control `id`, so that a
    // transparent static shows its new text over the dialog's background.
    void RedrawControl(UINT id);
    // Sets the status line's text and repaints it.
    void ShowStatus(const wxString& text);
    // The status line's database-error message: the IDS_WARN_CATCH text
    // directly followed by the error's text.
    void ShowDatabaseError(const _com_error& error);

    wxListCtrl* m_listUsers = nullptr;  // list view 1048, report mode with six columns
    std::vector<UserRecord> m_records;
    wxString m_strDbPath;
    _ConnectionPtr m_pConnection;
    _RecordsetPtr m_pRecordset;
    int m_nMaxNumber = 0;
};
