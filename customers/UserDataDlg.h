#pragma once
// The customer records dialog: the list of every stored customer, the form of
// one customer with a photo, and the seven command buttons that add, modify,
// delete, search and list customers, hand the chosen one to the start page or
// close.  The start page runs it modally before the station window.
//
// The dialog itself is UserDataDlg.cpp, the command buttons UserOps.cpp.
// The database side (UserDataDb.cpp): writing the empty database, opening
// queries, loading every row into the record vector and the list, moving a
// photo between a file and a row, and the status line.
#include <array>
#include <optional>
#include <vector>

#include <wx/brush.h>
#include <wx/string.h>

#include "capture/CvvImage.h"
#include "controls/ImgButton.h"
#include "customers/CustomerRows.h"
#include "customers/UserListView.h"
#include "customers/UserRecord.h"
#include "platform/PictureJob.h"
#include "platform/PictureLoader.h"
#include "platform/WinTypes.h"
#include "platform/ado/Ado.h"
#include "platform/ui/Dialog.h"

class wxPaintEvent;

namespace plat {
extern const DlgTemplate kUserDataTemplate;
}

// The text of a field value by its variant type (empty for null, numbers in
// their fixed formats, "[BLOB]" for binary values, "UN_KNOW" for types with
// no text).  A text stored in bytes that are not UTF-8 reads through the
// language pack's code page when they are unambiguously in it.
wxString VariantToString(const _variant_t& var);

class CUserDataDlg : public plat::CDialog {
public:
    enum { IDD = 233 };
    // Controls the database side addresses.
    enum { IDC_USER_LIST = 1048, IDC_STATUS_LINE = 1076 };

    // On the dialog's own template 233.
    explicit CUserDataDlg(wxWindow* parent = nullptr);
    // On another template (tests of the database side): the controls of
    // template 233 are not there, so its start-up is left out.
    explicit CUserDataDlg(const plat::DlgTemplate& tpl, wxWindow* parent = nullptr)
        : plat::CDialog(tpl, parent) {}

    void DoDataExchange(CDataExchange* pDX) override;
    // Enter and Escape neither end the dialog nor press a button.
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    // Control texts from the language pack.
    void ApplyLanguage();
    // Empties the form for the next customer; number, sex and age stay.
    void ClearForm();

    // A mouse click on the list loads the first selected row into the form;
    // so does a key that selects another row.
    void OnNMClickList();
    // A double click on the photo box lets the operator choose a photo file,
    // which is decoded off the user-interface thread and taken once the box
    // shows it; one the box cannot show is said on the status line and not
    // taken.  A newer choice (or a click on a customer) replaces a decode
    // still running.
    void OnStnDblclickPhoto();

    // The command buttons.
    void OnBnClickedAdd();
    void OnBnClickedModify();
    void OnBnClickedDelete();
    void OnBnClickedSearch();
    void OnBnClickedShowAll();
    void OnBnClickedStartDetect();
    void OnBnClickedClose();

    // Writes the empty database template to m_strDbPath when no file is
    // there.  The bytes go to a temporary file beside it that is then moved
    // into place, so no half-written database is ever left; an existing file
    // is never replaced.  FALSE when nothing was written.
    BOOL WriteDatabaseFromResource();
    // Opens `sql` on m_pConnection into `recordset` (releasing what it held).
    // On a database error the status line shows it and FALSE is returned, with
    // `recordset` empty.
    BOOL OpenRecordset(_RecordsetPtr& recordset, const wxString& sql);
    // Every row of table info, as one reading, into m_records and the list
    // (row i shows record i), and the largest number into m_nMaxNumber.  When
    // the rows cannot all be read, the records and the list stay as they were
    // and the status line says why and that the list is the one from before.
    // Leaves m_pRecordset empty.  False when nothing was read.
    bool LoadRecords();
    // Writes the current row's photo to `path` in pieces of 1024 bytes; FALSE
    // (the file untouched) when no photo is stored.  Throws _com_error when the
    // field cannot be read or the file cannot be written (a partly written file
    // is removed).
    static BOOL ReadPhotoFromRecord(_RecordsetPtr& recordset, const wxString& path);
    // Appends the bytes of the file `path` to the current row's photo in
    // pieces of 1024 bytes, the first replacing the stored photo; the caller's
    // Update saves the row.  When the file cannot be read, is no longer the
    // file `shown` (when given) identifies, or a piece cannot be appended,
    // the recordset's pending edit (the whole new or changed row) is given up
    // and _com_error is thrown: the stored row stays as it was.
    static void WritePhotoToRecord(_RecordsetPtr& recordset, wxString path,
                                   const plat::FileIdentity* shown = nullptr);
    // Repaints, with erasing, the dialog's area under control `id`, so that a
    // transparent static shows its new text over the dialog's background.
    void RedrawControl(UINT id);
    // Sets the status line's text and repaints it.
    void ShowStatus(const wxString& text);
    // The status line's database-error message.  What the operator can meet
    // (another program holding the file, changing or deleting the customer)
    // is said in the pack's words, the engine's own text on a line of its
    // own; any other error is the IDS_WARN_CATCH text directly followed by
    // the error's text.
    void ShowDatabaseError(const _com_error& error);
    // The status line showing the language text of `key`.
    void ShowStatusMessage(const char* key);

    wxBrush m_brushBack;                // the pattern of bitmap 234
    CUserListView m_listView;           // list view 1048, report mode with six columns
    wxListCtrl* m_listUsers = nullptr;  // m_listView once the dialog has its controls
    int m_nSearchBy = 1;                // 0 by number, 1 by name
    // The rows of the last load; a record is made of one when asked for.
    CustomerRows m_records;
    wxString m_strDbPath;
    _ConnectionPtr m_pConnection;
    _RecordsetPtr m_pRecordset;
    int m_nNumber = 0;
    wxString m_strName;
    int m_nSex = 1;  // 0 male, 1 female
    int m_nAge = 20;
    wxString m_strBirthday;  // the last loaded customer's, as stored
    wxString m_strPhone;
    wxString m_strEmail;
    wxString m_strAddress;
    wxString m_strOperator = "Operator";
    wxString m_strRemark;
    int m_nMaxNumber = 0;
    wxString m_strSearch;
    wxString m_strPhotoTemp;  // where a loaded customer's photo is written to be shown
    wxString m_strNoPhoto;    // the picture of a customer without a photo
    // The no-photo picture of a language, relative to the executable's folder
    // (its caption is in that language); an index outside 0-3 takes index 0's.
    static wxString NoPhotoFile(int language);
    // The photo shown, and stored by Add, and by Modify when the operator
    // chose it; empty when a customer's stored photo could not be taken out
    // or cannot be shown (the no-photo picture shows and Add stores it).  A
    // file the box cannot show is never put here.
    wxString m_strPhotoPath;
    // Whether the operator chose m_strPhotoPath since the form was loaded:
    // otherwise Modify leaves the stored photo as it is, which another program
    // may have changed since the click.
    bool m_bPhotoChosen = false;
    // The photo box's picture: the file it shows decoded at the box's size
    // once, when the file was set (or at the first paint after, when it was
    // set without being drawn); a paint only draws it.
    CvvImage m_photo;
    wxString m_photoFile;  // the file m_photo was decoded from
    wxSize m_photoSize;    // the box's size it was decoded at
    // m_photoFile as it was decoded: Add and Modify store it only while it is
    // still that file with those bytes.
    std::optional<plat::FileIdentity> m_photoIdentity;
    // What a decode in flight is for: a file the operator chose, a customer's
    // stored photo taken out into m_strPhotoTemp, or the file the box shows.
    enum class PhotoRequest { Chosen, Stored, Shown };
    PhotoRequest m_photoRequest = PhotoRequest::Shown;
    plat::PictureJob m_photoJob;
    CImgButton m_btnAdd, m_btnDelete, m_btnModify, m_btnSearch, m_btnAll, m_btnStartDetect, m_btnClose;

    // What the list shows: rows of the last load, or of a search's reading;
    // list row i is row m_shownIndex[i] of m_shownRows.
    CustomerRows m_shownRows;
    std::vector<std::uint32_t> m_shownIndex;
    // The row the form was loaded from by a click or a key, which Modify
    // writes to and Delete deletes: the selection may have moved since
    // without loading (Shift and an arrow key, a reload), and writing there
    // would overwrite another customer.  None after a load that loaded
    // nothing, after the form was cleared or reset, or once a reload no
    // longer lists that row.
    std::optional<_variant_t> m_loaded;
    // The list row the form was last loaded from (or a load was tried for);
    // -1 once the list was filled again.
    long m_loadedListRow = -1;
    // One value per column of CustomerRows::kFields.
    using RowValues = CustomerRows::Values;
    // That row's values as stored when the form was loaded (or last written):
    // Modify writes only over what the operator saw.
    RowValues m_loadedValues;
    // What the form showed of them, as Modify would write it before its own
    // rules (spaces taken out): a stored value the form cannot show as it is
    // (not UTF-8, bytes, null, a number written otherwise) is written back as
    // stored while the form still shows it so.
    RowValues m_shownValues;

protected:
    // Asks for a photo file; false when the operator cancels.
    virtual bool AskPhotoFile(wxString& path);

private:
    static wxString NumberQuery(const wxString& number);
    // Opens the rows stored with `number` (every row when it is no plain
    // text) into m_pRecordset and stands on the one `bookmark` names; false,
    // with the reason on the status line and no recordset, when it is gone or
    // holds another number.
    bool SeekRow(const _variant_t& bookmark, const _variant_t& number);
    // Every row of table info as one reading; false with the reason on the
    // status line (followed by `after`, when given, on a line of its own).
    bool ReadEveryRow(ado::ReadingPtr& reading, const wxString& after = wxString());
    // The list showing row `index[i]` of `rows` as its row i; nothing selected.
    void ShowRows(const CustomerRows& rows, std::vector<std::uint32_t> index);
    // The row of m_shownRows that list row `row` shows; -1 for none.
    long ShownRow(long row) const;
    // After a key in the list: a row the keys selected is loaded as a click loads it.
    void OnListKey();
    // Whether the current row still holds `number` and `name` as stored;
    // false, with the reason on the status line, when not.
    bool HoldsCustomer(const _variant_t& number, const _variant_t& name);
    // The form's values in the order of CustomerRows::kFields, with `birthday`.
    RowValues FormValues(const wxString& birthday) const;
    // Puts `values` into the recordset's current row (a new one when adding)
    // and saves it; on an error the row is left as it was and the error shown.
    // `stored`, when given, gets the row as saved, or nothing when it cannot
    // be read back.
    bool WriteCurrentRow(bool adding, const RowValues& values, std::optional<RowValues>* stored = nullptr);
    void CloseRecordset();
    void CloseConnection();

    // Writes the empty database when the file is missing and opens the
    // connection; false (with the error on the status line) when it failed.
    bool OpenDatabase();
    // The connection, opened again when it could not be before (another
    // program held the file); once opened, the list is loaded and, when the
    // number box holds no number, the next one is proposed, as at start-up.
    // False with the error on the status line.
    bool EnsureConnection();
    // The current row's values; false with the error on the status line.
    bool ReadRowValues(RowValues& values);
    void OnPaint(wxPaintEvent& event);
    void PaintPhoto(wxPaintEvent& event);
    // The file the photo box shows.
    const wxString& PhotoFile() const { return m_strPhotoPath.empty() ? m_strNoPhoto : m_strPhotoPath; }
    // Starts decoding `file` at the photo box's size for `request`, in place
    // of any decode still running.
    void StartPhotoDecode(const wxString& file, PhotoRequest request);
    // A decode is done: the file taken or refused as `request` wants.
    void PhotoDecoded(PhotoRequest request, const plat::PictureJobResult& result);
    // Makes `picture`, decoded from `file`, the photo box's (an empty one: only
    // the frame shows).
    void HoldPhoto(const wxString& file, const cv::Mat& picture, const std::optional<plat::FileIdentity>& identity);
    // A decode in flight may change what Add (`adding`) or Modify stores:
    // said on the status line.
    bool PhotoStillLoading(bool adding);
    void RepaintPhoto();
    void SetupButtons();
    void SetupListColumns();
    void BindListClicks();
    // The number box showing m_nNumber with four digits.
    void ShowNumber();
    // The first selected list row from the top, -1 when none.
    long SelectedRow() const;
    // The birthday picker's date as the form stores it.
    wxString PickerBirthday() const;
};
