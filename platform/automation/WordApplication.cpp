#include "platform/automation/WordApplication.h"

#include <cmath>
#include <memory>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "platform/automation/Office.h"
#include "platform/automation/RtfWriter.h"
#include "platform/automation/WordDocument.h"

namespace plat::word {

namespace {

struct DocEntry {
    Document model;
    wxString fullName;  // where it was saved last; empty before
};

// What every object of one application shares.
struct AppState {
    std::vector<std::shared_ptr<DocEntry>> documents;
    std::shared_ptr<DocEntry> active;
    bool visible = false;
};
using State = std::shared_ptr<AppState>;

// The arguments of one call, read with the conversions the object model
// allows; an argument left out reads as the default.
class Args {
public:
    explicit Args(const DISPPARAMS& params) : m_params(params) {}
    std::size_t Count() const { return m_params.rgvarg.size(); }
    const VARIANT* At(std::size_t i) const {
        if (i >= Count() || m_params.rgvarg[i].IsMissing()) return nullptr;
        return &m_params.rgvarg[i].Deref();
    }
    bool Long(std::size_t i, LONG fallback, LONG& out) const {
        const VARIANT* v = At(i);
        if (!v) return out = fallback, true;
        switch (v->vt) {
            case VT_I4: out = v->lVal; return true;
            case VT_I2: out = v->iVal; return true;
            case VT_BOOL: out = v->boolVal; return true;
            case VT_R4:
                if (!std::isfinite(v->fltVal) || std::fabs(v->fltVal) > 2e9f) return false;
                out = static_cast<LONG>(std::lround(v->fltVal));
                return true;
            default: return false;
        }
    }
    bool Float(std::size_t i, float& out) const {
        const VARIANT* v = At(i);
        if (!v) return false;
        LONG whole = 0;
        if (v->vt == VT_R4) return out = v->fltVal, true;
        if (!Long(i, 0, whole)) return false;
        out = static_cast<float>(whole);
        return true;
    }
    bool Text(std::size_t i, wxString& out) const {
        const VARIANT* v = At(i);
        if (!v) return out.clear(), true;
        if (v->vt != VT_BSTR) return false;
        out = v->bstrVal;
        return true;
    }

private:
    const DISPPARAMS& m_params;
};

bool IsGet(WORD flags) { return (flags & DISPATCH_PROPERTYGET) != 0; }
bool IsPut(WORD flags) { return (flags & DISPATCH_PROPERTYPUT) != 0; }
bool IsMethod(WORD flags) { return (flags & DISPATCH_METHOD) != 0; }

std::u32string ToU32(const wxString& text) {
    std::u32string out;
    out.reserve(text.length());
    for (wxUniChar c : text) out += static_cast<char32_t>(c.GetValue());
    return out;
}

// Hands a new object to the caller's result (which takes its reference).
HRESULT Return(VARIANT* result, IDispatch* object) {
    if (result) {
        result->Clear();
        result->vt = VT_DISPATCH;
        result->pdispVal = object;
    } else {
        object->Release();
    }
    return S_OK;
}

HRESULT ReturnLong(VARIANT* result, LONG value) {
    if (result) *result = VARIANT::I4(value);
    return S_OK;
}

// An object that answers nothing: the picture AddPicture returns.
class InlineShapeObject : public DispatchObject {
public:
    HRESULT Invoke(DISPID, WORD, const DISPPARAMS&, VARIANT*, EXCEPINFO*) override { return DISP_E_MEMBERNOTFOUND; }
};

// A place in one document, as the selection stood when it was asked for.
class RangeObject : public DispatchObject {
public:
    RangeObject(std::shared_ptr<DocEntry> doc, std::size_t start, std::size_t end)
        : m_doc(std::move(doc)), m_start(start), m_end(end) {}
    HRESULT Invoke(DISPID, WORD, const DISPPARAMS&, VARIANT*, EXCEPINFO*) override { return DISP_E_MEMBERNOTFOUND; }
    std::shared_ptr<DocEntry> m_doc;
    std::size_t m_start, m_end;
};

// Base of the objects that act on the active document.
class ActiveObject : public DispatchObject {
public:
    explicit ActiveObject(State state) : m_state(std::move(state)) {}

protected:
    // The active document; nullptr (and the refusal filled in) when none is open.
    DocEntry* Active(EXCEPINFO* info, HRESULT& hr) const {
        if (m_state->active) return m_state->active.get();
        hr = Refuse(info, "This command is not available because no document is open.");
        return nullptr;
    }
    State m_state;
};

class ParagraphFormatObject : public ActiveObject {
public:
    using ActiveObject::ActiveObject;
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT*, EXCEPINFO* info) override {
        if (id != dispid::kParaAlignment || !IsPut(flags)) return DISP_E_MEMBERNOTFOUND;
        Args args(params);
        LONG alignment = 0;
        if (args.Count() != 1 || !args.At(0)) return DISP_E_BADPARAMCOUNT;
        if (!args.Long(0, 0, alignment)) return DISP_E_TYPEMISMATCH;
        if (alignment < kAlignLeft || alignment > kAlignJustify)
            return Refuse(info, wxString::Format("The alignment %d is not one this document knows.", alignment));
        HRESULT hr = S_OK;
        if (DocEntry* doc = Active(info, hr)) doc->model.SetAlignment(alignment);
        return hr;
    }
};

class FontObject : public ActiveObject {
public:
    using ActiveObject::ActiveObject;
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT*, EXCEPINFO* info) override {
        if ((id != dispid::kFontBold && id != dispid::kFontSize) || !IsPut(flags)) return DISP_E_MEMBERNOTFOUND;
        Args args(params);
        if (args.Count() != 1 || !args.At(0)) return DISP_E_BADPARAMCOUNT;
        HRESULT hr = S_OK;
        if (id == dispid::kFontBold) {
            LONG bold = 0;
            if (!args.Long(0, 0, bold)) return DISP_E_TYPEMISMATCH;
            if (DocEntry* doc = Active(info, hr)) doc->model.SetBold(bold != 0);
            return hr;
        }
        float size = 0;
        if (!args.Float(0, size)) return DISP_E_TYPEMISMATCH;
        if (!(size >= 1.0f && size <= 1638.0f))
            return Refuse(info, "The font size must lie between 1 and 1638 points.");
        if (DocEntry* doc = Active(info, hr)) doc->model.SetSize(size);
        return hr;
    }
};

class InlineShapesObject : public DispatchObject {
public:
    explicit InlineShapesObject(std::shared_ptr<DocEntry> doc) : m_doc(std::move(doc)) {}
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        if (id != dispid::kShapesAddPicture || !IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
        Args args(params);
        if (args.Count() < 1 || args.Count() > 4) return DISP_E_BADPARAMCOUNT;
        wxString file;
        LONG link = 0, store = 1;
        if (!args.Text(0, file) || !args.Long(1, 0, link) || !args.Long(2, link ? 0 : 1, store))
            return DISP_E_TYPEMISMATCH;
        if (link || !store) return Refuse(info, "Only pictures stored in the document can be inserted.");
        std::size_t start = m_doc->model.SelStart(), end = m_doc->model.SelEnd();
        if (const VARIANT* range = args.At(3)) {
            auto* place = range->vt == VT_DISPATCH ? dynamic_cast<RangeObject*>(range->pdispVal) : nullptr;
            if (!place) return DISP_E_TYPEMISMATCH;
            if (place->m_doc != m_doc) return Refuse(info, "The range lies in another document.");
            start = place->m_start;
            end = place->m_end;
        }
        auto picture = LoadPicture(file);
        if (!picture) return Refuse(info, "The picture file could not be read: " + file);
        m_doc->model.InsertPicture(start, end, std::move(picture));
        return Return(result, new InlineShapeObject);
    }

private:
    static std::shared_ptr<const Picture> LoadPicture(const wxString& file) {
        if (file.empty()) return nullptr;
        const cv::Mat image = cv::imread(std::string(file.utf8_str()), cv::IMREAD_COLOR);
        if (image.empty()) return nullptr;
        auto picture = std::make_shared<Picture>();
        picture->width = image.cols;
        picture->height = image.rows;
        if (!cv::imencode(".png", image, picture->png)) return nullptr;
        return picture;
    }
    std::shared_ptr<DocEntry> m_doc;
};

class SelectionObject : public ActiveObject {
public:
    using ActiveObject::ActiveObject;
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        HRESULT hr = S_OK;
        Args args(params);
        switch (id) {
            case dispid::kSelEndKey: {
                if (!IsMethod(flags)) break;
                LONG unit = 0, extend = 0;
                if (args.Count() > 2) return DISP_E_BADPARAMCOUNT;
                if (!args.Long(0, 5, unit) || !args.Long(1, 0, extend)) return DISP_E_TYPEMISMATCH;
                if (unit != wdStory) return Refuse(info, "EndKey moves by the whole story (unit 6) only.");
                DocEntry* doc = Active(info, hr);
                return doc ? ReturnLong(result, doc->model.EndOfStory(extend != 0)) : hr;
            }
            case dispid::kSelMoveRight: {
                if (!IsMethod(flags)) break;
                LONG unit = 0, count = 0, extend = 0;
                if (args.Count() > 3) return DISP_E_BADPARAMCOUNT;
                if (!args.Long(0, wdCharacter, unit) || !args.Long(1, 1, count) || !args.Long(2, 0, extend))
                    return DISP_E_TYPEMISMATCH;
                if (unit != wdCharacter) return Refuse(info, "MoveRight moves by characters (unit 1) only.");
                if (count < 0) return Refuse(info, "MoveRight takes no negative count.");
                DocEntry* doc = Active(info, hr);
                return doc ? ReturnLong(result, doc->model.MoveRight(count, extend != 0)) : hr;
            }
            case dispid::kSelTypeText: {
                if (!IsMethod(flags)) break;
                wxString text;
                if (args.Count() != 1) return DISP_E_BADPARAMCOUNT;
                if (!args.Text(0, text)) return DISP_E_TYPEMISMATCH;
                if (DocEntry* doc = Active(info, hr)) doc->model.TypeText(ToU32(text));
                return hr;
            }
            case dispid::kSelTypeParagraph:
                if (!IsMethod(flags)) break;
                if (args.Count() != 0) return DISP_E_BADPARAMCOUNT;
                if (DocEntry* doc = Active(info, hr)) doc->model.TypeParagraph();
                return hr;
            case dispid::kSelParagraphFormat:
                if (!IsGet(flags)) break;
                return Return(result, new ParagraphFormatObject(m_state));
            case dispid::kSelFont:
                if (!IsGet(flags)) break;
                return Return(result, new FontObject(m_state));
            case dispid::kSelInlineShapes:
                if (!IsGet(flags)) break;
                if (!Active(info, hr)) return hr;
                return Return(result, new InlineShapesObject(m_state->active));
            case dispid::kSelRange: {
                if (!IsGet(flags)) break;
                DocEntry* doc = Active(info, hr);
                if (!doc) return hr;
                return Return(result, new RangeObject(m_state->active, doc->model.SelStart(), doc->model.SelEnd()));
            }
            default: break;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

class DocumentObject : public DispatchObject {
public:
    DocumentObject(State state, std::shared_ptr<DocEntry> doc) : m_state(std::move(state)), m_doc(std::move(doc)) {}
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT*, EXCEPINFO* info) override {
        if (!IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
        if (id == dispid::kDocSaveAs) return SaveAs(Args(params), info);
        if (id == dispid::kDocPrintOut) return PrintOut(Args(params), info);
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    HRESULT SaveAs(const Args& args, EXCEPINFO* info) {
        if (args.Count() > 16) return DISP_E_BADPARAMCOUNT;
        wxString file, password, writePassword;
        LONG format = 0;
        if (!args.Text(0, file) || !args.Long(1, 0, format) || !args.Text(3, password) ||
            !args.Text(5, writePassword))
            return DISP_E_TYPEMISMATCH;
        if (file.empty()) return Refuse(info, "SaveAs needs the file name to save under.");
        if (format != 0) return Refuse(info, wxString::Format("The file format %d is not supported.", format));
        if (!password.empty() || !writePassword.empty())
            return Refuse(info, "Documents with a password are not supported.");
        wxString error;
        if (!office::SaveAsWord97(WriteRtf(m_doc->model.Paragraphs()), file, &error)) return Refuse(info, error);
        m_doc->fullName = file;
        if (m_state->visible) office::OpenForOperator(file);
        return S_OK;
    }

    HRESULT PrintOut(const Args& args, EXCEPINFO* info) {
        if (args.Count() > 18) return DISP_E_BADPARAMCOUNT;
        LONG copies = 1;
        if (!args.Long(7, 1, copies)) return DISP_E_TYPEMISMATCH;
        if (copies != 1) return Refuse(info, "Only one copy can be printed at a time.");
        // Background (the first) changes nothing: printing always waits.
        for (std::size_t i = 1; i < args.Count(); ++i)
            if (i != 7 && args.At(i))
                return Refuse(info, wxString::Format("Print option %zu is not supported.", i + 1));
        wxString error;
        if (!office::Print(WriteRtf(m_doc->model.Paragraphs()), &error)) return Refuse(info, error);
        return S_OK;
    }

    State m_state;
    std::shared_ptr<DocEntry> m_doc;
};

class DocumentsObject : public DispatchObject {
public:
    explicit DocumentsObject(State state) : m_state(std::move(state)) {}
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        if (id != dispid::kDocumentsAdd || !IsMethod(flags)) return DISP_E_MEMBERNOTFOUND;
        Args args(params);
        if (args.Count() > 4) return DISP_E_BADPARAMCOUNT;
        wxString templ;
        LONG type = 0;
        if (!args.Text(0, templ) || !args.Long(2, 0, type)) return DISP_E_TYPEMISMATCH;
        if (!templ.empty()) return Refuse(info, "Documents from templates are not supported.");
        if (type != 0) return Refuse(info, "Only blank documents (type 0) can be added.");
        auto doc = std::make_shared<DocEntry>();
        m_state->documents.push_back(doc);
        m_state->active = doc;
        return Return(result, new DocumentObject(m_state, doc));
    }

private:
    State m_state;
};

class ApplicationObject : public DispatchObject {
public:
    HRESULT Invoke(DISPID id, WORD flags, const DISPPARAMS& params, VARIANT* result, EXCEPINFO* info) override {
        switch (id) {
            case dispid::kAppVisible: {
                if (!IsPut(flags)) break;
                Args args(params);
                LONG visible = 0;
                if (args.Count() != 1 || !args.At(0)) return DISP_E_BADPARAMCOUNT;
                if (!args.Long(0, 0, visible)) return DISP_E_TYPEMISMATCH;
                m_state->visible = visible != 0;
                return S_OK;
            }
            case dispid::kAppDocuments:
                if (!IsGet(flags)) break;
                return Return(result, new DocumentsObject(m_state));
            case dispid::kAppSelection:
                if (!IsGet(flags)) break;
                return Return(result, new SelectionObject(m_state));
            case dispid::kAppActiveDocument:
                if (!IsGet(flags)) break;
                if (!m_state->active)
                    return Refuse(info, "This command is not available because no document is open.");
                return Return(result, new DocumentObject(m_state, m_state->active));
            default: break;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

private:
    State m_state = std::make_shared<AppState>();
};

}  // namespace

HRESULT CreateApplication(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (office::FindOffice().empty()) return CO_E_SERVER_EXEC_FAILURE;
    *out = new ApplicationObject;
    return S_OK;
}

}  // namespace plat::word
