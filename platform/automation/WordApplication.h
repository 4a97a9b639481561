#pragma once
// The "Word.Application" automation object: the members of the word
// processor's object model that the report uses, with the word processor's
// own member numbers, working on the documents of plat::word::Document and
// saving and printing them through LibreOffice (plat::office).
//
//   Application  Visible (put), Documents, Selection, ActiveDocument (get)
//   Documents    Add (a new blank document, which becomes the active one)
//   Selection    EndKey (unit: story), MoveRight (unit: character), TypeText,
//                TypeParagraph; ParagraphFormat, Font, InlineShapes, Range (get)
//   ParagraphFormat  Alignment (put: 0 left, 1 centre, 2 right, 3 justified)
//   Font         Bold (put), Size (put, points)
//   InlineShapes AddPicture (a picture file stored in the document)
//   Document     SaveAs (format 0: Word 97), PrintOut (one copy, default printer)
//
// The selection, paragraph format and font act on the active document's
// insertion point at the time of each call.  With Visible true, a document is
// opened in the word processor for the operator once it has been saved.
// Anything else, and values outside these, are refused with a description.
#include "platform/automation/Dispatch.h"

namespace plat::word {

// Member numbers.
namespace dispid {
constexpr DISPID kAppVisible = 0x17, kAppDocuments = 0x06, kAppSelection = 0x05, kAppActiveDocument = 0x03;
constexpr DISPID kDocumentsAdd = 0x0E;
constexpr DISPID kSelEndKey = 0x1F9, kSelMoveRight = 0x1F5, kSelTypeText = 0x1FB, kSelTypeParagraph = 0x200;
constexpr DISPID kSelParagraphFormat = 0x44E, kSelFont = 0x05, kSelInlineShapes = 0x19B, kSelRange = 0x190;
constexpr DISPID kParaAlignment = 0x65, kFontBold = 0x82, kFontSize = 0x8D, kShapesAddPicture = 0x64;
constexpr DISPID kDocSaveAs = 0x66, kDocPrintOut = 0x1BC;
}  // namespace dispid

// Units of EndKey and MoveRight.
constexpr LONG wdCharacter = 1, wdStory = 6;

// A new application object; CO_E_SERVER_EXEC_FAILURE when LibreOffice is not
// installed (no `soffice` on the PATH).
HRESULT CreateApplication(IDispatch** out);

}  // namespace plat::word
