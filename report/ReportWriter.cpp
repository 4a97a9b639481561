// The report document: the form's contents typed into a new document of the
// word processor with fixed formatting, the last picture stored in it, and
// the document saved in the customer's folder.
#include <ctime>

#include <wx/datectrl.h>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"
#include "platform/MessageBox.h"
#include "report/ReportDlg.h"
#include "station/QuillmarshDlg.h"

namespace {

std::function<std::time_t()> g_clock;

// Members the writer reaches without a wrapper method.
constexpr DISPID kSelParagraphFormat = 0x44E, kSelFont = 0x05, kSelInlineShapes = 0x19B, kSelRange = 0x190;
constexpr DISPID kParaAlignment = 0x65, kFontBold = 0x82, kFontSize = 0x8D, kShapesAddPicture = 0x64;
constexpr LONG kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2;
constexpr LONG wdCharacter = 1, wdStory = 6, wdMove = 0;

LPDISPATCH GetObject(COleDispatchDriver& driver, DISPID id) {
    LPDISPATCH result = nullptr;
    driver.InvokeHelper(id, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, VTS_NONE);
    return result;
}

wxString DocumentName(std::time_t now) {
    std::tm t{};
    localtime_r(&now, &t);
    return wxString::Format("%d%02d%02d-%02d%02d%02d.doc", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                            t.tm_min, t.tm_sec);
}

}  // namespace

void report::SetClockForTesting(std::function<std::time_t()> clock) { g_clock = std::move(clock); }

void CReportDlg::WriteWordReport() {
    const wxString symptom = GetDlgItemText(IDC_SYMPTOM);
    const wxString cause = GetDlgItemText(IDC_CAUSE);
    const wxString suggestion = GetDlgItemText(IDC_SUGGESTION);
    const wxString institution = GetDlgItemText(IDC_INSTITUTION);
    wxString date;
    if (auto* picker = GetDlgItemAs<wxDatePickerCtrl>(IDC_DATE)) date = picker->GetValue().Format("%Y/%m/%d");
    const wxString name = GetDlgItemText(IDC_NAME);
    const wxString sex = GetDlgItemText(IDC_SEX);
    const wxString age = GetDlgItemText(IDC_AGE);

    // An application object still held from a write that stopped at a
    // refused call goes before a new one is made.
    m_wordApp.ReleaseDispatch();
    if (!m_wordApp.CreateDispatch(L"Word.Application")) {
        MessageBox(this, theApp.GetLangString(lang::kReportNoOffice), "quillmarsh", MB_OK);
        return;
    }
    m_wordApp.SetVisible(TRUE);

    m_docs = COleDispatchDriver(m_wordApp.GetDocuments());
    {
        const VARIANT templ = VARIANT::Bstr(wxString());
        const VARIANT newTemplate = VARIANT::Bool(false);
        const VARIANT documentType = VARIANT::I4(0);
        const VARIANT visible;
        // The new document is not kept: the saved one is taken later as the
        // active document.
        COleDispatchDriver added(m_docs.Add(&templ, &newTemplate, &documentType, &visible));
    }

    m_selection = COleDispatchDriver(m_wordApp.GetSelection());
    const VARIANT story = VARIANT::I4(wdStory), move = VARIANT::I4(wdMove);
    m_selection.EndKey(&story, &move);

    m_paraFormat = COleDispatchDriver(GetObject(m_selection, kSelParagraphFormat));
    m_font = COleDispatchDriver(GetObject(m_selection, kSelFont));

    auto align = [this](LONG a) { m_paraFormat.InvokeHelper(kParaAlignment, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I4, a); };
    auto bold = [this](LONG on) { m_font.InvokeHelper(kFontBold, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_I4, on); };
    auto size = [this](float points) {
        m_font.InvokeHelper(kFontSize, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_R4, points);
    };
    auto type = [this](const wxString& text) { m_selection.TypeText(text.wc_str()); };
    auto label = [](const char* key) { return theApp.GetLangString(key) + ":"; };

    // Title.
    align(kAlignCenter);
    bold(1);
    size(26);
    type(theApp.GetLangString("IDS_REPORT") + "\n");

    // Customer line, still centred.
    bold(0);
    size(12);
    type(label("IDS_MEMBER_NAME"));
    type(name);
    type("\t\t\t");
    type(label("IDS_MEMBER_SEX"));
    type(sex);
    type("\t\t\t");
    type(label("IDS_MEMBER_AGE"));
    type(age);
    type("\n\n");

    // Symptom type.
    align(kAlignLeft);
    bold(1);
    type(label("IDS_ZZ_TYPE"));
    bold(0);
    size(10);
    type(symptom);
    type("\n");

    // The picture, stored in the document at the insertion point.
    m_inlineShapes = COleDispatchDriver(GetObject(m_selection, kSelInlineShapes));
    CQuillmarshDlg* owner = Owner();
    const wxString lastImage = owner ? owner->m_strLastImage : wxString();
    if (!lastImage.empty()) {
        COleDispatchDriver range(GetObject(m_selection, kSelRange));
        const VARIANT linkToFile = VARIANT::I2(0), saveWithDocument = VARIANT::I2(1);
        const VARIANT where = VARIANT::Dispatch(range.m_lpDispatch);
        static const BYTE parms[] = {kVtsBstr, kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
        LPDISPATCH shape = nullptr;
        m_inlineShapes.InvokeHelper(kShapesAddPicture, DISPATCH_METHOD, VT_DISPATCH, &shape, parms, lastImage,
                                    &linkToFile, &saveWithDocument, &where);
        COleDispatchDriver unused(shape);
    }
    {
        const VARIANT unit = VARIANT::I4(wdCharacter), count = VARIANT::I4(1), extend = VARIANT::I4(wdMove);
        m_selection.MoveRight(&unit, &count, &extend);
    }
    m_selection.TypeParagraph();
    type("\n\n");

    // Cause and suggestion: headings, then the operator's text.
    for (const auto& [key, text] : {std::pair{"IDS_RESON", &cause}, {"IDS_SUGGEST", &suggestion}}) {
        bold(1);
        size(12);
        type(label(key) + "\n");
        bold(0);
        size(10);
        type(*text);
        type("\n\n");
    }

    // Institution, then the date on the right; 10 points from here on.
    bold(1);
    type(label("IDS_JG_NAME"));
    bold(0);
    type(institution);
    type("\n");
    bold(1);
    align(kAlignRight);
    type(label("IDS_DATE"));
    bold(0);
    type(date);

    m_doc = COleDispatchDriver(m_wordApp.GetActiveDocument());

    const wxString folder = owner ? owner->m_strImageDir : wxString();
    const wxString file = DocumentName(g_clock ? g_clock() : std::time(nullptr));
    m_strDocPath = folder.empty() ? file : folder + "/" + file;

    const VARIANT fileName = VARIANT::Bstr(m_strDocPath);
    const VARIANT format = VARIANT::I4(0);
    const VARIANT no = VARIANT::Bool(false), yes = VARIANT::Bool(true);
    const VARIANT noPassword = VARIANT::Bstr(wxString());
    m_doc.SaveAs(&fileName, &format, &no, &noPassword, &yes, &noPassword, &no, &no, &no, &no, &no);

    m_bWritten = TRUE;
}
