// The station window's commands that lead away from the plain live view:
// skin and hair comparison with its pen and eraser, the customer's folder in
// the file manager, and the magnification menu that calibrates the overlays.
#include <new>
#include <type_traits>  // wx/weakref.h uses it without including it

#include <wx/weakref.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "controls/MenuEx.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "station/QuillmarshDlg.h"
#include "station/StationFiles.h"
#include "station/StationIds.h"

namespace {

std::function<CComPareDLg*(int, CQuillmarshDlg*)> g_compareMaker;

CComPareDLg* MakeCompareWindow(int mode, CQuillmarshDlg* parent) {
    if (g_compareMaker) return g_compareMaker(mode, parent);
    CComPareDLg* dlg = new (std::nothrow) CComPareDLg(mode, parent);
    if (!dlg) return nullptr;
    // Without its left pane the window could show no picture: not made.
    if (!dlg->Create(parent) || !dlg->m_paneLive.GetHandle()) {
        delete dlg;
        return nullptr;
    }
    return dlg;
}

}  // namespace

void CQuillmarshDlg::BindCommands() {
    BindClicked(IDC_SKIN_COMPARE, [this] { OnBnClickedSkinCompare(); });
    BindClicked(IDC_HAIR_COMPARE, [this] { OnBnClickedHairCompare(); });
    BindClicked(IDC_PEN, [this] { OnBnClickedPen(); });
    BindClicked(IDC_ERASER, [this] { OnBnClickedEraser(); });
    BindClicked(IDC_FILES, [this] { OnBnClickedFiles(); });
    BindClicked(IDC_SCALE_MENU, [this] { OnBnClickedScaleMenu(); });
    Bind(
        wxEVT_MENU, [this](wxCommandEvent& event) { OnMenuCommand(static_cast<UINT>(event.GetId())); },
        IDM_POPUP_FIRST, IDM_POPUP_LAST);
}

// ---------------------------------------------------------------------------
// Comparison

void CQuillmarshDlg::OnBnClickedSkinCompare() { OpenCompare(0); }

void CQuillmarshDlg::OnBnClickedHairCompare() { OpenCompare(1); }

void CQuillmarshDlg::OpenCompare(int mode) {
    // The window it replaces goes first; the sink is detached from it under
    // the frame lock before it is deleted.
    delete SwapCompareDlg(nullptr);

    CComPareDLg* dlg = MakeCompareWindow(mode, this);
    if (!dlg) {
        // Not half in comparison mode: back to the live view as the back
        // button leaves it, and the operator knows why nothing opened.
        if (theApp.m_bCompareMode) LeaveCompareMode();
        AfxMessageBox(theApp.GetLangString(lang::kCompareOpenFailed), MB_OK | MB_ICONERROR);
        return;
    }
    // Created before it is attached, so no frame is drawn into a window
    // that is not there yet.
    SwapCompareDlg(dlg);
    theApp.m_bCompareMode = 1;
    ShowDlgItem(IDC_VIEW, false);
    dlg->Show();
    for (int id : {IDC_SKIN_COMPARE, IDC_HAIR_COMPARE, IDC_WAITING, IDC_FULLVIEW, IDC_SCALE}) ShowDlgItem(id, false);
    ShowDlgItem(IDC_PEN, true);
    ShowDlgItem(IDC_ERASER, true);
    ShowDlgItem(IDC_SCALE_MENU, false);
    ShowDlgItem(IDC_SPARE, false);
    // The new window's pen is off: so is the button's picture.
    m_btnPen.m_bToggled = FALSE;
    m_btnPen.Refresh();
    Refresh();
}

void CQuillmarshDlg::LeaveCompareMode() {
    theApp.m_bCompareMode = 0;
    if (CComPareDLg* dlg = SwapCompareDlg(nullptr)) {
        dlg->m_strokes.Clear();
        delete dlg;
        m_btnPen.m_bToggled = FALSE;
    }
    Refresh();
    for (int id : {IDC_VIEW, IDC_SKIN_COMPARE, IDC_HAIR_COMPARE}) ShowDlgItem(id, true);
    ShowDlgItem(IDC_ERASER, false);
    ShowDlgItem(IDC_PEN, false);
    ShowDlgItem(IDC_FULLVIEW, true);
    ShowDlgItem(IDC_SCALE, true);
    ShowDlgItem(IDC_SCALE_MENU, m_bRuler != FALSE);
    ShowDlgItem(IDC_SPARE, false);
}

void CQuillmarshDlg::OnCompareCloseRequest(CComPareDLg* dlg) {
    // The window cannot go inside its own close handler: leave afterwards,
    // unless the comparison has ended or been replaced meanwhile.
    wxWeakRef<CComPareDLg> asked(dlg);
    CallAfter([this, asked] {
        if (asked && asked.get() == m_pCompareDlg && theApp.m_bCompareMode) LeaveCompareMode();
    });
}

void CQuillmarshDlg::OnBnClickedPen() {
    if (!m_pCompareDlg) return;
    m_pCompareDlg->m_bDrawEnabled = !m_pCompareDlg->m_bDrawEnabled;
    // The button flips its own picture only while a camera is the source;
    // it always shows what the pen is.
    m_btnPen.m_bToggled = m_pCompareDlg->m_bDrawEnabled;
    m_btnPen.Refresh();
}

void CQuillmarshDlg::OnBnClickedEraser() {
    // Nothing is repainted: live, the next frame comes without the strokes;
    // frozen, they stay until the comparison window next paints its pane.
    if (m_pCompareDlg) m_pCompareDlg->m_strokes.Clear();
}

// ---------------------------------------------------------------------------
// The customer's folder

void CQuillmarshDlg::OnBnClickedFiles() {
    // The same root the window made the folder under.
    wxString why;
    if (!PrepareCustomerFolder(m_strImageDir, ImageRoot(), &why)) {
        AfxMessageBox(theApp.GetLangString(lang::kFolderOpenFailed) + "\n" + m_strImageDir + "\n" + why, MB_OK | MB_ICONERROR);
        return;
    }
    // The launcher's answer counts, whenever it comes: without a desktop it
    // opens nothing.  One that keeps running is the file manager showing the
    // folder, and the station goes on meanwhile.
    const wxString folder = m_strImageDir;
    auto tell = [folder] {
        AfxMessageBox(theApp.GetLangString(lang::kNoFileManager) + "\n" + folder, MB_OK | MB_ICONERROR);
    };
    if (!plat::OpenFolder(folder, this, tell)) tell();
}

// ---------------------------------------------------------------------------
// Magnification

void CQuillmarshDlg::OnBnClickedScaleMenu() {
    if (!m_pMagnifyMenu) return;
    // The menu's size is known from its rows, so it is placed before it shows.
    const wxRect button = m_btnScaleMenu.GetScreenRect();
    const int height = m_pMagnifyMenu->GetSize().y;
    m_pMagnifyMenu->ShowMenu(button.x - 15, button.y - height - 2, TRUE);
    m_pMagnifyMenu->Refresh();
}

void CQuillmarshDlg::OnMenuCommand(UINT nID) {
    if (nID == IDM_MAGNIFY_50X || nID == IDM_MAGNIFY_200X) {
        const int index = static_cast<int>(nID - IDM_MAGNIFY_50X);
        m_nMagnification = index;
        if (m_pMagnifyMenu) m_pMagnifyMenu->SetCurSel(index);
    }
    // Frozen, the picture is drawn again at once with the new graticule;
    // live, the next frame carries the new ruler.
    if (!m_bLive) {
        Refresh();
        Update();
    }
}

namespace station {
void SetCompareMakerForTesting(std::function<CComPareDLg*(int, CQuillmarshDlg*)> make) {
    g_compareMaker = std::move(make);
}
}  // namespace station
