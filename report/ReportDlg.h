#pragma once
// The examination report form: the current customer's name, sex and age, the
// last picture taken at the station, and five fields the operator fills in.
// Its buttons save the report as a word-processor document in the customer's
// folder, print that document and close the form.
//
// The form runs modally over the station window, which must be its parent:
// it reads the station's last picture (m_strLastImage) and the customer's
// folder (m_strImageDir) from there.  All its work runs on the
// user-interface thread; the word processor is waited for in every call.
#include <ctime>
#include <functional>

#include <wx/bitmap.h>
#include <wx/brush.h>

#include "controls/ImgButton.h"
#include "platform/ui/Dialog.h"
#include "report/WordWrappers.h"

class CQuillmarshDlg;
class wxDC;
class wxPaintEvent;

namespace plat {
extern const DlgTemplate kReportTemplate;  // 238
}

class CReportDlg : public plat::CDialog {
public:
    enum { IDD = 238 };
    enum : int {
        IDC_NAME = 1062,
        IDC_SEX = 1063,
        IDC_AGE = 1064,
        IDC_SYMPTOM = 1065,
        IDC_CAUSE = 1066,
        IDC_SUGGESTION = 1067,
        IDC_INSTITUTION = 1068,
        IDC_DATE = 1070,
        IDC_PRINT = 1071,
        IDC_SAVE = 1072,
        IDC_CLOSE = 1073,
        IDC_PICTURE = 1074,
        IDC_TITLE = 1077,
        IDC_SYMPTOM_LABEL = 1088,
        IDC_CAUSE_LABEL = 1089,
        IDC_SUGGESTION_LABEL = 1090,
        IDC_INSTITUTION_LABEL = 1091,
        IDC_DATE_LABEL = 1092,
        IDC_NAME_LABEL = 1093,
        IDC_SEX_LABEL = 1094,
        IDC_AGE_LABEL = 1095,
    };
    explicit CReportDlg(wxWindow* pParent = nullptr);
    ~CReportDlg() override;

    BOOL OnInitDialog() override;
    // The captions from the language pack.
    void LoadTexts();
    // On a screen lower than the form, the controls' tops and bottoms scaled
    // to the screen's height (the title and the window itself stay).
    void ScaleLayout();
    void ScaleControlToScreen(UINT nID);
    // Builds the report in a new document of the word processor and saves it
    // as "%d%02d%02d-%02d%02d%02d.doc" (local time) in the customer's folder.
    // No word processor: a message, nothing else changes.  A call the word
    // processor refuses raises its exception out of here, with what was
    // obtained so far kept in the drivers and m_bWritten unchanged.
    void WriteWordReport();

    // Releases the drivers and writes a new document.
    void OnBnClickedSave();
    // Writes first while nothing was written, then prints the document
    // written last.
    void OnBnClickedPrint();
    // Releases the drivers and ends the form (IDCANCEL).
    void OnBnClickedClose();
    // Enter and Escape (and the close box) end the form, except while a
    // button's work runs: the document in use must stay.
    void OnOK() override;
    void OnCancel() override;

    // Colours the controls ask for: statics transparent with white text,
    // edits white with black text, the dialog its pattern.
    enum { CTLCOLOR_EDIT = 1, CTLCOLOR_BTN = 3, CTLCOLOR_DLG = 4, CTLCOLOR_STATIC = 6 };
    struct CtlColor {
        bool transparent = false;
        wxColour text;
        wxColour background;
        wxBrush brush;
    };
    CtlColor OnCtlColor(wxWindow* pWnd, UINT nCtlColor) const;
    // The dialog's background: the pattern tiled over the client area.
    void OnPaint(wxPaintEvent& event);
    // The picture frame 1074: the station's last picture, loaded anew and
    // stretched over the frame at every paint; the bare frame without one.
    void OnPaintPicture(wxPaintEvent& event);

    // Members in the order of the form's design: the drivers let go of their
    // objects before the buttons and the pattern go.
    wxBrush m_brushBack;
    CImgButton m_btnSave;
    CImgButton m_btnPrint;
    CImgButton m_btnClose;
    _Application m_wordApp;
    Documents m_docs;
    COleDispatchDriver m_inlineShapes;
    Selection m_selection;
    COleDispatchDriver m_paraFormat;
    COleDispatchDriver m_font;
    _Document m_doc;
    wxString m_strDocPath;
    BOOL m_bWritten = FALSE;

private:
    CQuillmarshDlg* Owner() const;
    // The seven drivers let go, in the order the form always used.
    void ReleaseDrivers();
    // The last picture drawn into the frame's client area; false when there
    // is none or it cannot be read.
    bool DrawLastPicture(wxDC& dc, const wxSize& size);
    void ApplyColours();
    // Set while a button's work runs: the word processor's conversion keeps
    // the window alive, and a button reached meanwhile (by whatever path)
    // must neither start a second write nor let go of the document in use.
    bool m_busy = false;
};

namespace report {
// Tests: the clock document names are taken from (std::time without one).
void SetClockForTesting(std::function<std::time_t()> clock);
}  // namespace report
