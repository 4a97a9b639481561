#include "report/WordWrappers.h"

void _Application::SetVisible(BOOL bNewValue) {
    InvokeHelper(0x17, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, VTS_BOOL, bNewValue);
}

LPDISPATCH _Application::GetDocuments() {
    LPDISPATCH result = nullptr;
    InvokeHelper(0x6, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, VTS_NONE);
    return result;
}

LPDISPATCH _Application::GetSelection() {
    LPDISPATCH result = nullptr;
    InvokeHelper(0x5, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, VTS_NONE);
    return result;
}

LPDISPATCH _Application::GetActiveDocument() {
    LPDISPATCH result = nullptr;
    InvokeHelper(0x3, DISPATCH_PROPERTYGET, VT_DISPATCH, &result, VTS_NONE);
    return result;
}

LPDISPATCH Documents::Add(const VARIANT* Template, const VARIANT* NewTemplate, const VARIANT* DocumentType,
                          const VARIANT* Visible) {
    LPDISPATCH result = nullptr;
    static const BYTE parms[] = {kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
    InvokeHelper(0xE, DISPATCH_METHOD, VT_DISPATCH, &result, parms, Template, NewTemplate, DocumentType, Visible);
    return result;
}

long Selection::EndKey(const VARIANT* Unit, const VARIANT* Extend) {
    long result = 0;
    static const BYTE parms[] = {kVtsPVariant, kVtsPVariant, 0};
    InvokeHelper(0x1F9, DISPATCH_METHOD, VT_I4, &result, parms, Unit, Extend);
    return result;
}

long Selection::MoveRight(const VARIANT* Unit, const VARIANT* Count, const VARIANT* Extend) {
    long result = 0;
    static const BYTE parms[] = {kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
    InvokeHelper(0x1F5, DISPATCH_METHOD, VT_I4, &result, parms, Unit, Count, Extend);
    return result;
}

void Selection::TypeText(LPCTSTR Text) { InvokeHelper(0x1FB, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_BSTR, Text); }

void Selection::TypeParagraph() { InvokeHelper(0x200, DISPATCH_METHOD, VT_EMPTY, nullptr, VTS_NONE); }

void _Document::SaveAs(const VARIANT* FileName, const VARIANT* FileFormat, const VARIANT* LockComments,
                       const VARIANT* Password, const VARIANT* AddToRecentFiles, const VARIANT* WritePassword,
                       const VARIANT* ReadOnlyRecommended, const VARIANT* EmbedTrueTypeFonts,
                       const VARIANT* SaveNativePictureFormat, const VARIANT* SaveFormsData,
                       const VARIANT* SaveAsAOCELetter) {
    static const BYTE parms[12] = {kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                   kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                   kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
    InvokeHelper(0x66, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, FileName, FileFormat, LockComments, Password,
                 AddToRecentFiles, WritePassword, ReadOnlyRecommended, EmbedTrueTypeFonts, SaveNativePictureFormat,
                 SaveFormsData, SaveAsAOCELetter);
}

void _Document::PrintOut(const VARIANT* Background, const VARIANT* Append, const VARIANT* Range,
                         const VARIANT* OutputFileName, const VARIANT* From, const VARIANT* To, const VARIANT* Item,
                         const VARIANT* Copies, const VARIANT* Pages, const VARIANT* PageType,
                         const VARIANT* PrintToFile, const VARIANT* Collate, const VARIANT* ActivePrinterMacGX,
                         const VARIANT* ManualDuplexPrint, const VARIANT* PrintZoomColumn,
                         const VARIANT* PrintZoomRow, const VARIANT* PrintZoomPaperWidth,
                         const VARIANT* PrintZoomPaperHeight) {
    static const BYTE parms[19] = {kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                   kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                   kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant, kVtsPVariant,
                                   kVtsPVariant, kVtsPVariant, kVtsPVariant, 0};
    InvokeHelper(0x1BC, DISPATCH_METHOD, VT_EMPTY, nullptr, parms, Background, Append, Range, OutputFileName, From,
                 To, Item, Copies, Pages, PageType, PrintToFile, Collate, ActivePrinterMacGX, ManualDuplexPrint,
                 PrintZoomColumn, PrintZoomRow, PrintZoomPaperWidth, PrintZoomPaperHeight);
}
