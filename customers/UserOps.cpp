// The command buttons of the customer records dialog: Add, Modify, Delete,
// Search, All, Start detection and Close.  Every value put into a query goes
// through EscapeSqlQuotes; every database error is shown on the status line
// and changes nothing more.
#include <algorithm>
#include <cstring>
#include <optional>
#include <span>
#include <utility>

#include <wx/listctrl.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "app/StartPageDlg.h"
#include "customers/UserDataDlg.h"
#include "customers/UserForm.h"
#include "platform/Crt.h"
#include "platform/MessageBox.h"
#include "platform/ado/Ado.h"

namespace {

constexpr int IDC_PHOTO = 1037;

bool InRange(int number, int age) { return number >= 1 && number <= 999 && age >= 1 && age <= 99; }

// Whether the form, showing `shown`, shows the stored value as it is.
bool Shows(const _variant_t& stored, const _variant_t& shown) {
    return stored.IsExactText() && stored.text == VariantToString(shown);
}

bool SameValues(const CUserDataDlg::RowValues& a, const CUserDataDlg::RowValues& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (!a[i].SameAs(b[i])) return false;
    return true;
}

}  // namespace

wxString CUserDataDlg::NumberQuery(const wxString& number) {
    return "select * from info where Number='" + EscapeSqlQuotes(number) + "'";
}

bool CUserDataDlg::SeekRow(const _variant_t& bookmark, const _variant_t& number) {
    // Found through the index by its number, not by reading every customer;
    // a number another program stored otherwise (bytes, a number, null) is
    // looked for among every row.
    if (!OpenRecordset(m_pRecordset, number.IsExactText() ? NumberQuery(number.text) : wxString("select * from info")))
        return false;
    try {
        m_pRecordset->PutBookmark(bookmark);
        return true;
    } catch (const _com_error& e) {
        // Stored, but under another number: not the customer listed.
        if (e.Error() == DB_E_BADBOOKMARK)
            ShowStatus(theApp.GetLangString(lang::kRowGone));
        else
            ShowDatabaseError(e);
    }
    CloseRecordset();
    return false;
}

bool CUserDataDlg::HoldsCustomer(const _variant_t& number, const _variant_t& name) {
    try {
        if (m_pRecordset->GetCollect("Number").SameAs(number) && m_pRecordset->GetCollect("Name").SameAs(name))
            return true;
        // The row now holds another customer: the one listed is gone.
        ShowStatus(theApp.GetLangString(lang::kRowGone));
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
    }
    return false;
}

void CUserDataDlg::CloseRecordset() {
    if (!m_pRecordset) return;
    try {
        if (m_pRecordset->GetState() != adStateClosed) m_pRecordset->Close();
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
    }
    m_pRecordset = nullptr;
}

void CUserDataDlg::CloseConnection() {
    if (!m_pConnection) return;
    try {
        if (m_pConnection->GetState() != adStateClosed) m_pConnection->Close();
    } catch (const _com_error&) {
        // The dialog ends: nothing is left to report the failure to.
    }
    m_pConnection = nullptr;
}

CUserDataDlg::RowValues CUserDataDlg::FormValues(const wxString& birthday) const {
    return {_variant_t(form::NumberText(m_nNumber)), _variant_t(m_strName), _variant_t(m_nSex, VT_INT),
            _variant_t(m_strPhone), _variant_t(m_strEmail), _variant_t(m_nAge, VT_INT),
            _variant_t(m_strOperator), _variant_t(m_strRemark), _variant_t(m_strAddress),
            _variant_t(birthday)};
}

bool CUserDataDlg::WriteCurrentRow(bool adding, const RowValues& values, std::optional<RowValues>* stored) {
    // Modify never writes the Number: it is the customer's identity.
    static const char* const kAddOrder[] = {"Number", "Name",    "Sex",      "Age",     "Birthday",
                                            "Phone",  "Email",   "Address",  "Operator", "Remark"};
    static const char* const kModifyOrder[] = {"Name",    "Sex",      "Age",    "Phone",   "Email",
                                               "Address", "Birthday", "Remark", "Operator"};
    try {
        if (adding) m_pRecordset->AddNew();
        const std::span<const char* const> order =
            adding ? std::span<const char* const>(kAddOrder) : std::span<const char* const>(kModifyOrder);
        for (const char* column : order)
            for (std::size_t i = 0; i < values.size(); ++i)
                if (std::strcmp(CustomerRows::kFields[i], column) == 0) m_pRecordset->PutCollect(column, values[i]);
        // Modify stores only a photo the operator chose since the click.
        const wxString photo = adding ? (m_strPhotoPath.empty() ? m_strNoPhoto : m_strPhotoPath)
                                      : (m_bPhotoChosen ? m_strPhotoPath : wxString());
        // Stored only as the photo box showed it.
        if (!photo.empty())
            WritePhotoToRecord(m_pRecordset, photo, photo == m_photoFile && m_photoIdentity ? &*m_photoIdentity : nullptr);
        m_pRecordset->Update();
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
        // The unfinished edit is given up, so that the row stays as it was.
        try {
            m_pRecordset->CancelUpdate();
        } catch (const _com_error&) {
        }
        return false;
    }
    // Read back before the cursor moves on; a copy read halfway is no copy.
    if (stored) {
        RowValues now;
        *stored = ReadRowValues(now) ? std::optional<RowValues>(now) : std::nullopt;
    }
    try {
        m_pRecordset->MoveLast();
    } catch (const _com_error& e) {
        ShowDatabaseError(e);
    }
    return true;
}

void CUserDataDlg::OnBnClickedAdd() {
    // A database that could not be opened is opened again before the form is
    // read, so that the number it then proposes is the one read.  When it
    // still cannot be opened, Add stores nothing and says so in its own words.
    if (!EnsureConnection()) {
        ShowStatusMessage("IDS_OPEN_DATA_FAILED");
        return;
    }
    // A form that cannot be read (a number box without a number) stores nothing.
    if (!UpdateData(TRUE)) return;
    ShowStatus(wxString());
    if (PhotoStillLoading(true)) return;
    const wxString birthday = PickerBirthday();
    if (!InRange(m_nNumber, m_nAge)) {
        ShowStatusMessage("IDS_INPUT_NUMBERERROR");
        return;
    }
    if (m_strName.empty()) {
        ShowStatusMessage("IDS_INPUT_NAMEERROR");
        return;
    }
    const wxString number = form::NumberText(m_nNumber);
    for (std::size_t row = 0; row < m_records.size(); ++row)
        if (m_records.ListText(row, 0) == number) {
            ShowStatusMessage("IDS_INPUT_NUMBEREXIST");
            return;
        }
    // Another program (a second station, a sync tool) may have stored the
    // number since the list was loaded, or may store it while the photo is
    // read: the database is asked and the row inserted in one write
    // transaction, which keeps other writers out until it ends.
    bool written = false;
    {
        WriteStep step(m_pConnection);
        try {
            step.Begin();
        } catch (const _com_error& e) {
            ShowDatabaseError(e);
            return;
        }
        if (!OpenRecordset(m_pRecordset, NumberQuery(number))) {
            ShowStatusMessage("IDS_OPEN_DATA_FAILED");
            return;
        }
        if (!m_pRecordset->GetEOF()) {  // the query just opened: no failure left
            CloseRecordset();
            ShowStatusMessage("IDS_INPUT_NUMBEREXIST");
            return;
        }
        // The new row goes in through the query that found the number free:
        // no reading of every customer for it.
        written = WriteCurrentRow(true, FormValues(birthday));
        CloseRecordset();
        try {
            if (written) step.Commit();
        } catch (const _com_error& e) {
            ShowDatabaseError(e);
            written = false;
        }
    }
    const bool listed = LoadRecords();
    // A row that was not stored keeps the form as typed, so the operator
    // loses nothing and can try again once the error is mended.
    if (!written) return;
    // Stored either way: a list that could not be read again (another program
    // holding the file just then) is said instead of the success, never
    // beside it.
    if (listed)
        AfxMessageBox(theApp.GetLangString("IDS_ADD_SUCCESS"), MB_OK | MB_ICONEXCLAMATION);
    else
        ShowStatus(theApp.GetLangString(lang::kStoredNotListed));

    // Ready for the next customer, by the same operator and with the same photo.
    m_strName.clear();
    m_strEmail.clear();
    m_strPhone.clear();
    m_strAddress.clear();
    m_strBirthday.clear();
    m_strRemark.clear();
    m_nAge = 20;
    m_nNumber = std::max(m_nMaxNumber, m_nNumber) + 1;  // the list may not hold the number yet
    m_nSex = 1;
    m_loaded.reset();  // the form now holds no stored customer
    UpdateData(FALSE);
    ShowNumber();
}

void CUserDataDlg::OnBnClickedModify() {
    ShowStatus(wxString());
    if (!EnsureConnection()) return;
    // The form is written back where it was loaded from, not to the selected
    // row: a selection made without a click did not load the form.
    if (!m_loaded) {
        ShowStatusMessage("IDS_SELECT_FIRST");
        return;
    }
    if (PhotoStillLoading(false)) return;
    if (!UpdateData(TRUE)) return;
    const wxString birthday = PickerBirthday();
    if (!InRange(m_nNumber, m_nAge)) {
        ShowStatusMessage("IDS_INPUT_NUMBERERROR");
        return;
    }
    const RowValues shown = FormValues(birthday);  // before Modify's own rules
    m_strName = form::RemoveSpaces(m_strName);
    m_strEmail = form::RemoveSpaces(m_strEmail);
    if (m_strName.empty()) {
        ShowStatusMessage("IDS_INPUT_NAMEERROR");
        return;
    }
    RowValues values = FormValues(birthday);
    // What the operator left as the click showed it goes back as stored, its
    // type included (a Sex stored as text stays text where the column does
    // not make it so), unless Modify's own rules changed a text the form
    // showed as stored.
    for (std::size_t i = 0; i < values.size(); ++i)
        if (shown[i].SameAs(m_shownValues[i]) &&
            (!Shows(m_loadedValues[i], m_shownValues[i]) || Shows(m_loadedValues[i], values[i])))
            values[i] = m_loadedValues[i];
    if (!SeekRow(*m_loaded, m_loadedValues[0])) return;
    // Written only over what the operator saw: a change another program made
    // since the click would otherwise be lost without a word.  The form keeps
    // what was typed; a click on the row shows the stored values.
    RowValues stored;
    if (ReadRowValues(stored)) {
        std::optional<RowValues> written;
        if (!SameValues(stored, m_loadedValues)) {
            ShowStatus(theApp.GetLangString(lang::kChangedByOther));
        } else if (WriteCurrentRow(false, values, &written)) {
            m_bPhotoChosen = false;
            // Unread, the next click loads it again.
            if (written) {
                m_loadedValues = *written;
                m_shownValues = shown;
            } else {
                m_loaded.reset();
            }
        }
    }
    CloseRecordset();
    LoadRecords();
}

void CUserDataDlg::OnBnClickedDelete() {
    ShowStatus(wxString());
    if (!EnsureConnection()) return;
    // The selected row, when the form was loaded from it: what the operator
    // sees highlighted and in the form is what goes.
    const long shown = ShownRow(SelectedRow());
    if (shown < 0 || !m_loaded || !m_shownRows.Bookmark(static_cast<std::size_t>(shown)).SameAs(*m_loaded)) {
        ShowStatusMessage("IDS_SELECT_FIRST");
        return;
    }
    const _variant_t bookmark = *m_loaded;
    const RowValues seen = m_loadedValues;
    if (AfxMessageBox(theApp.GetLangString("IDS_DELETE_MAKESURE"), MB_YESNO | MB_ICONQUESTION) != IDYES) return;

    // The row leaves the list with the reload that follows its deletion from
    // the database, not before: a Delete that fails keeps it listed.
    if (!SeekRow(bookmark, seen[0])) return;
    bool deleted = false;
    // Only the customer the form shows: a row that holds anything else now
    // (another program changed it, or gave its place to another customer)
    // is not deleted.
    RowValues stored;
    if (ReadRowValues(stored)) {
        if (!SameValues(stored, seen)) {
            ShowStatus(theApp.GetLangString(lang::kRowGone));
        } else {
            try {
                m_pRecordset->Delete(adAffectCurrent);
                deleted = true;
            } catch (const _com_error& e) {
                ShowDatabaseError(e);
            }
        }
    }
    CloseRecordset();
    if (deleted) {
        ClearForm();
        // The no-photo picture shows at the box's next paint.
        if (wxWindow* photo = GetDlgItem(IDC_PHOTO)) photo->Refresh(false);
    }
    LoadRecords();
}

void CUserDataDlg::OnBnClickedSearch() {
    ShowStatus(wxString());
    if (!EnsureConnection()) return;
    // A form that cannot be read leaves the search text unread: no search.
    if (!UpdateData(TRUE)) return;
    if (m_strSearch.empty()) return;
    // Every customer as one reading, searched as the list shows them: a name
    // another program stored in its own code page is found by its reading.
    ado::ReadingPtr reading;
    if (!ReadEveryRow(reading)) return;
    const CustomerRows rows(reading, theApp.GetLangString("IDS_MEMBER_SEX_MEN"),
                            theApp.GetLangString("IDS_MEMBER_SEX_WOMEN"));
    std::vector<std::uint32_t> found = m_nSearchBy == 0 ? rows.Matching(0, form::NumberText(_wtoi(m_strSearch)))
                                                        : rows.Matching(1, m_strSearch);
    // A search that finds nothing leaves the list as it was.
    if (found.empty())
        ShowStatusMessage("IDS_SEARCH_FAIL");
    else
        ShowRows(rows, std::move(found));
}

void CUserDataDlg::OnBnClickedShowAll() {
    ShowStatus(wxString());
    if (!EnsureConnection()) return;
    LoadRecords();
}

void CUserDataDlg::OnBnClickedStartDetect() {
    ShowStatus(wxString());
    const long shown = ShownRow(SelectedRow());
    if (shown < 0) {
        ShowStatusMessage("IDS_SELECT_FIRST");
        if (g_pStartPage) g_pStartPage->m_bCustomerChosen = 0;
        return;
    }
    // The customer the operator sees: as the form was loaded from the row,
    // or as the list read it.  Handed over only while the row still holds
    // exactly that; a row gone, changed, or given to another customer since
    // keeps the dialog open.
    const _variant_t bookmark = m_shownRows.Bookmark(static_cast<std::size_t>(shown));
    const RowValues seen = m_loaded && m_loaded->SameAs(bookmark) ? m_loadedValues
                                                                  : m_shownRows.Stored(static_cast<std::size_t>(shown));
    if (g_pStartPage) g_pStartPage->m_bCustomerChosen = 0;
    if (!EnsureConnection() || !SeekRow(bookmark, seen[0])) return;
    RowValues stored;
    const bool read = ReadRowValues(stored);
    const bool same = read && SameValues(stored, seen);
    CloseRecordset();
    if (!same) {
        if (read) ShowStatus(theApp.GetLangString(lang::kRowGone));
        return;
    }
    const UserRecord chosen = m_shownRows.Record(seen);
    CloseConnection();
    if (g_pStartPage) {
        g_pStartPage->m_curRecord = chosen;
        g_pStartPage->m_bCustomerChosen = 1;
    }
    // The form is not read again: nothing of it is used after this, and a
    // number box without a number must not keep the dialog open.
    EndDialog(IDOK);
}

void CUserDataDlg::OnBnClickedClose() {
    ShowStatus(wxString());
    CloseConnection();
    if (g_pStartPage) g_pStartPage->m_bCustomerChosen = 0;
    EndDialog(IDCANCEL);
}
