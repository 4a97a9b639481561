// The customer dialog's database side: the empty database, queries, loading
// the customer list, photos in and out of rows, and the status line.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include <wx/listctrl.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "customers/UserDataDlg.h"
#include "platform/CodePages.h"
#include "platform/Crt.h"
#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

constexpr int kDatabaseTemplate = 270;
constexpr std::size_t kPhotoPiece = 1024;

// A photo file's failure, which is no database error: shown as it is,
// without the database error's words before it.
constexpr HRESULT kPhotoFileError = static_cast<HRESULT>(0xA0040001u);

// A photo file's failure in the operator's words: what failed with the path,
// then why on a line of its own.
_com_error PhotoError(const plat::LangText& what, const wxString& path, const wxString& reason) {
    return _com_error(kPhotoFileError, plat::Text(what, path) + "\n" + reason);
}
// Why the system refused, from the pack (the C library's texts are English).
wxString SystemReason(int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR: return plat::Text(lang::kFileGone);
        case EACCES:
        case EPERM: return plat::Text(lang::kFileNoAccess);
        case ENOSPC:
        case EDQUOT: return plat::Text(plat::kDiskFull);
        case EROFS: return plat::Text(plat::kFolderReadOnly);
        default: return plat::Text(lang::kFileSystemError, wxString::Format("%d", error));
    }
}
_com_error PhotoError(const plat::LangText& what, const wxString& path) {
    const int error = errno;
    return PhotoError(what, path, SystemReason(error));
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Writes all of `data` to a new file `path`; false (nothing left behind) on failure.
bool WriteNewFile(const std::string& path, const unsigned char* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) ::unlink(path.c_str());
    return ok;
}

// Moves `from` to `to` unless `to` exists.
bool MoveIntoPlace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    // File systems without that kind of rename: a hard link fails on an
    // existing name too.
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    if (errno == EEXIST) return false;
    // Without hard links either: the last check and the rename are separate.
    return ::access(to.c_str(), F_OK) != 0 && errno == ENOENT && ::rename(from.c_str(), to.c_str()) == 0;
}

// An automation date as "%Y-%m-%d %H:%M:%S"; empty outside the years 100 to 9999.
wxString FormatDate(DATE d) {
    if (!(d >= -657434.0 && d < 2958466.0)) return wxString();
    using namespace std::chrono;
    // The whole part counts days from 1899-12-30; the fraction, taken without
    // its sign, is the time of day.
    const double whole = std::trunc(d);
    long seconds = std::lround(std::fabs(d - whole) * 86400.0);
    long dayCount = static_cast<long>(whole);
    if (seconds >= 86400) seconds -= 86400, ++dayCount;
    const year_month_day date{sys_days{year{1899} / December / 30} + days{dayCount}};
    return wxString::Format("%04d-%02u-%02u %02ld:%02ld:%02ld", int(date.year()), unsigned(date.month()),
                            unsigned(date.day()), seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// A currency amount as the system writes it: no thousands separators, the
// fraction without trailing zeros.
wxString FormatCurrency(CY cy) {
    const bool negative = cy.int64 < 0;
    const unsigned long long magnitude =
        negative ? 0ull - static_cast<unsigned long long>(cy.int64) : static_cast<unsigned long long>(cy.int64);
    wxString text = wxString::Format("%s%llu", negative ? "-" : "", magnitude / 10000);
    unsigned fraction = static_cast<unsigned>(magnitude % 10000);
    if (fraction) {
        wxString digits = wxString::Format("%04u", fraction);
        while (digits.EndsWith("0")) digits.RemoveLast();
        text += "." + digits;
    }
    return text;
}

double DecimalToDouble(const DECIMAL& dec) {
    double value = static_cast<double>(dec.Hi32) * 18446744073709551616.0 + static_cast<double>(dec.Lo64);
    value /= std::pow(10.0, dec.scale);
    return (dec.sign & 0x80) ? -value : value;
}

// The photo file as a stream; only a regular file is taken.  Opened for
// writing, it is emptied.
File OpenPhotoFile(const wxString& path, bool writing) {
    const plat::LangText& what = writing ? lang::kPhotoNotWritten : lang::kPhotoNotRead;
    const int fd = plat::OpenRegularFile(path.utf8_str(), writing ? O_WRONLY | O_CREAT : O_RDONLY);
    if (fd < 0 && errno == EINVAL) throw PhotoError(what, path, plat::Text(lang::kPhotoNotRegular));
    if (fd < 0) throw PhotoError(what, path);
    File file(!writing || ::ftruncate(fd, 0) == 0 ? ::fdopen(fd, writing ? "wb" : "rb") : nullptr);
    if (!file) {
        const _com_error error = PhotoError(what, path);
        ::close(fd);
        throw error;
    }
    return file;
}

// A text another program stored in the code page of the station's language
// (the Windows program's "ANSI" texts), or in the Chinese one; empty when
// neither reads it cleanly.
wxString CodePageReading(const std::vector<BYTE>& bytes) {
    return plat::ReadCodePageText(reinterpret_cast<const char*>(bytes.data()), bytes.size(), theApp.GetAnsiCodePage());
}

}  // namespace

wxString VariantToString(const _variant_t& var) {
    switch (var.vt) {
        case VT_EMPTY:
        case VT_NULL: return wxString();
        case VT_I2: return wxString::Format("%d", var.iVal);
        case VT_UI2: return wxString::Format("%d", var.uiVal);
        case VT_I1:
        case VT_UI1: return wxString::Format("%d", var.bVal);
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT: return wxString::Format("%d", var.lVal);
        case VT_I8:
        case VT_UI8: return wxString::Format("%d", static_cast<std::int32_t>(var.llVal & 0xFFFFFFFF));
        case VT_R4: return wxString::Format("%.4f", var.fltVal);
        case VT_R8: return wxString::Format("%.8f", var.dblVal);
        case VT_DECIMAL: return wxString::Format("%.8f", DecimalToDouble(var.decVal));
        case VT_CY: return FormatCurrency(var.cyVal);
        case VT_DATE: return FormatDate(var.date);
        case VT_BSTR:
        case VT_LPSTR:
        case VT_LPWSTR:
            // Bytes that are not UTF-8: a code page reads them best, else
            // the reading with replacement marks.
            if (!var.bytes.empty())
                if (const wxString reading = CodePageReading(var.bytes); !reading.empty()) return reading;
            return var.text;
        case VT_BOOL: return var.boolVal ? "TRUE" : "FALSE";
        case VT_VOID: return wxString::Format("%8x", var.ulVal);
        case VT_BLOB:
        case VT_BLOB_OBJECT:
        case VT_ARRAY | VT_UI1: return "[BLOB]";
        default: return "UN_KNOW";
    }
}

BOOL CUserDataDlg::WriteDatabaseFromResource() {
    if (m_strDbPath.empty()) return FALSE;
    const plat::ResourceBlob blob = plat::FindResource(kDatabaseTemplate, plat::RT_MDB);
    if (!blob) return FALSE;
    const std::string target(m_strDbPath.utf8_str());
    if (::access(target.c_str(), F_OK) == 0) return FALSE;  // never over a database that exists
    const std::string temp = target + ".new-" + std::to_string(::getpid());
    ::unlink(temp.c_str());  // left by an earlier run that stopped halfway
    if (!WriteNewFile(temp, blob.data, blob.size)) return FALSE;
    if (MoveIntoPlace(temp, target)) {
        ::unlink(temp.c_str());  // still there when a hard link did the move
        return TRUE;
    }
    ::unlink(temp.c_str());
    return FALSE;
}

BOOL CUserDataDlg::OpenRecordset(_RecordsetPtr& recordset, const wxString& sql) {
    try {
        recordset.Release();
        recordset.CreateInstance();
        recordset->Open(sql, m_pConnection, adOpenDynamic, adLockOptimistic, adCmdText);
        return TRUE;
    } catch (const _com_error& e) {
        recordset.Release();
        ShowDatabaseError(e);
        return FALSE;
    }
}

bool CUserDataDlg::ReadEveryRow(ado::ReadingPtr& reading, const wxString& after) {
    _RecordsetPtr rows;
    try {
        rows.CreateInstance();
        rows->Open("select * from info", m_pConnection, adOpenDynamic, adLockOptimistic, adCmdText);
        reading = rows->GetReading();
        rows->Close();
        return true;
    } catch (const _com_error& e) {
        if (after.empty()) {
            ShowDatabaseError(e);
        } else {
            // The error on one line (another program holding the file said in
            // the pack's words), what became of the list on the next.
            const wxString what = e.Error() == adErrResourceLocked ? theApp.GetLangString(lang::kDatabaseBusy)
                                                                   : e.ErrorMessage();
            ShowStatus(theApp.GetLangString("IDS_WARN_CATCH") + what + "\n" + after);
        }
        return false;
    }
}

bool CUserDataDlg::LoadRecords() {
    m_pRecordset = nullptr;
    // One reading or none: a list that cannot be read whole keeps the one it had.
    ado::ReadingPtr reading;
    if (!ReadEveryRow(reading, theApp.GetLangString(lang::kListKept))) return false;
    m_records = CustomerRows(reading, theApp.GetLangString("IDS_MEMBER_SEX_MEN"),
                             theApp.GetLangString("IDS_MEMBER_SEX_WOMEN"));
    m_nMaxNumber = m_records.MaxNumber();
    if (m_loaded && m_records.Find(*m_loaded) < 0) m_loaded.reset();
    std::vector<std::uint32_t> all(m_records.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint32_t>(i);
    ShowRows(m_records, std::move(all));
    return true;
}

void CUserDataDlg::ShowRows(const CustomerRows& rows, std::vector<std::uint32_t> index) {
    m_shownRows = rows;
    m_shownIndex = std::move(index);
    m_loadedListRow = -1;
    if (!m_listUsers) return;
    // Emptied first: the selection goes with the rows it marked.
    m_listUsers->DeleteAllItems();
    m_listUsers->SetItemCount(static_cast<long>(m_shownIndex.size()));
    m_listUsers->Refresh();
}

long CUserDataDlg::ShownRow(long row) const {
    if (row < 0 || row >= static_cast<long>(m_shownIndex.size())) return -1;
    return static_cast<long>(m_shownIndex[static_cast<std::size_t>(row)]);
}

BOOL CUserDataDlg::ReadPhotoFromRecord(_RecordsetPtr& recordset, const wxString& path) {
    FieldPtr photo = recordset->GetFields()->GetItem("Photo");
    long remaining = photo->GetActualSize();
    if (remaining <= 0) return FALSE;
    const std::string target(path.utf8_str());
    File file = OpenPhotoFile(path, true);
    try {
        while (remaining > 0) {
            const long k = std::min<long>(remaining, kPhotoPiece);
            _variant_t piece = photo->GetChunk(k);
            if (!piece.IsByteArray() || piece.bytes.empty()) break;  // the value ended early
            if (std::fwrite(piece.bytes.data(), 1, piece.bytes.size(), file.get()) != piece.bytes.size())
                throw PhotoError(lang::kPhotoNotWritten, path);
            remaining -= static_cast<long>(piece.bytes.size());
        }
        if (std::fclose(file.release()) != 0) throw PhotoError(lang::kPhotoNotWritten, path);
    } catch (...) {
        file.reset();
        std::remove(target.c_str());
        throw;
    }
    return TRUE;
}

void CUserDataDlg::WritePhotoToRecord(_RecordsetPtr& recordset, wxString path, const plat::FileIdentity* shown) {
    // Whatever fails, the row being written is given up whole, so that no row
    // is saved with a cut photo.
    auto giveUp = [&recordset] {
        try {
            if (recordset) recordset->CancelUpdate();
        } catch (const _com_error&) {
        }
    };
    try {
        FieldPtr photo = recordset->GetFields()->GetItem("Photo");
        // The room the row leaves it: a photo that cannot fit is refused
        // before a byte of it is read.
        const long limit = photo->GetDefinedSize();
        File file = OpenPhotoFile(path, false);
        struct stat st;
        if (::fstat(::fileno(file.get()), &st) != 0) throw PhotoError(lang::kPhotoNotRead, path);
        // Another file in its place, or the file written again, since the
        // photo box showed it: what would be stored is not what was shown.
        plat::FileIdentity now;
        if (shown && (!plat::ReadFileIdentity(::fileno(file.get()), &now) || now != *shown))
            throw PhotoError(lang::kPhotoNotRead, path, plat::Text(lang::kPhotoChangedSinceShown));
        if (st.st_size > limit)
            throw PhotoError(lang::kPhotoNotRead, path,
                             plat::Text(lang::kPhotoTooLarge, wxString::Format("%ld", limit)));
        unsigned char buffer[kPhotoPiece];
        long long total = 0;
        for (;;) {
            const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
            if (std::ferror(file.get())) throw PhotoError(lang::kPhotoNotRead, path);
            if (n == 0) break;
            total += static_cast<long long>(n);
            // Another program writing the file meanwhile: what was read is
            // not the photo as it was checked, nor as it is now.
            if (total > st.st_size) break;
            photo->AppendChunk(_variant_t::Bytes(buffer, n));
            if (n < sizeof buffer) break;
        }
        if (total != st.st_size || std::fgetc(file.get()) != EOF)
            throw PhotoError(lang::kPhotoNotRead, path, plat::Text(lang::kPhotoChanged));
    } catch (const _com_error&) {
        giveUp();
        throw;
    }
}

void CUserDataDlg::RedrawControl(UINT id) {
    if (!GetDlgItem(static_cast<int>(id))) return;
    RefreshRect(GetDlgItemRect(static_cast<int>(id)), true);
}

void CUserDataDlg::ShowStatus(const wxString& text) {
    SetDlgItemText(IDC_STATUS_LINE, text);
    RedrawControl(IDC_STATUS_LINE);
}

void CUserDataDlg::ShowDatabaseError(const _com_error& error) {
    switch (error.Error()) {
        case DB_E_CONCURRENCYVIOLATION: ShowStatus(theApp.GetLangString(lang::kChangedByOther)); return;
        case DB_E_DELETEDROW: ShowStatus(theApp.GetLangString(lang::kRowGone)); return;
        case kPhotoFileError: ShowStatus(error.ErrorMessage()); return;
        case adErrResourceLocked:
            ShowStatus(theApp.GetLangString("IDS_WARN_CATCH") + theApp.GetLangString(lang::kDatabaseBusy) + "\n" +
                       error.ErrorMessage());
            return;
        default: ShowStatus(wxString::Format("%s%s", theApp.GetLangString("IDS_WARN_CATCH"), error.ErrorMessage()));
    }
}
