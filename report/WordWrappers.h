#pragma once
// Wrappers of the word processor's object model in the class-wizard style:
// each a dispatch driver with one method per member, each method exactly one
// call (the member numbers are the word processor's own).
#include "platform/automation/DispatchDriver.h"

class _Application : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    using COleDispatchDriver::operator=;
    _Application() = default;
    void SetVisible(BOOL bNewValue);
    LPDISPATCH GetDocuments();
    LPDISPATCH GetSelection();
    LPDISPATCH GetActiveDocument();
};

class Documents : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    using COleDispatchDriver::operator=;
    Documents() = default;
    LPDISPATCH Add(const VARIANT* Template, const VARIANT* NewTemplate, const VARIANT* DocumentType,
                   const VARIANT* Visible);
};

class Selection : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    using COleDispatchDriver::operator=;
    Selection() = default;
    long EndKey(const VARIANT* Unit, const VARIANT* Extend);
    long MoveRight(const VARIANT* Unit, const VARIANT* Count, const VARIANT* Extend);
    void TypeText(LPCTSTR Text);
    void TypeParagraph();
};

class _Document : public COleDispatchDriver {
public:
    using COleDispatchDriver::COleDispatchDriver;
    using COleDispatchDriver::operator=;
    _Document() = default;
    void SaveAs(const VARIANT* FileName, const VARIANT* FileFormat, const VARIANT* LockComments,
                const VARIANT* Password, const VARIANT* AddToRecentFiles, const VARIANT* WritePassword,
                const VARIANT* ReadOnlyRecommended, const VARIANT* EmbedTrueTypeFonts,
                const VARIANT* SaveNativePictureFormat, const VARIANT* SaveFormsData,
                const VARIANT* SaveAsAOCELetter);
    void PrintOut(const VARIANT* Background, const VARIANT* Append, const VARIANT* Range,
                  const VARIANT* OutputFileName, const VARIANT* From, const VARIANT* To, const VARIANT* Item,
                  const VARIANT* Copies, const VARIANT* Pages, const VARIANT* PageType, const VARIANT* PrintToFile,
                  const VARIANT* Collate, const VARIANT* ActivePrinterMacGX, const VARIANT* ManualDuplexPrint,
                  const VARIANT* PrintZoomColumn, const VARIANT* PrintZoomRow, const VARIANT* PrintZoomPaperWidth,
                  const VARIANT* PrintZoomPaperHeight);
};
