#include "platform/automation/Dispatch.h"

#include <map>
#include <mutex>

#include "platform/automation/WordApplication.h"

// ---------------------------------------------------------------------------
// VARIANT

VARIANT::VARIANT(const VARIANT& other) { *this = other; }

VARIANT& VARIANT::operator=(const VARIANT& other) {
    if (this == &other) return *this;
    if (other.pdispVal) other.pdispVal->AddRef();
    Clear();
    vt = other.vt;
    lVal = other.lVal;
    static_assert(sizeof(lVal) >= sizeof(fltVal) && sizeof(lVal) >= sizeof(scode));
    bstrVal = other.bstrVal;
    pdispVal = other.pdispVal;
    pvarVal = other.pvarVal;
    return *this;
}

VARIANT::~VARIANT() { Clear(); }

void VARIANT::Clear() {
    IDispatch* held = pdispVal;
    pdispVal = nullptr;
    pvarVal = nullptr;
    bstrVal.clear();
    vt = VT_EMPTY;
    lVal = 0;
    if (held) held->Release();
}

VARIANT VARIANT::I2(short v) {
    VARIANT r;
    r.vt = VT_I2;
    r.iVal = v;
    return r;
}

VARIANT VARIANT::I4(LONG v) {
    VARIANT r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}

VARIANT VARIANT::R4(float v) {
    VARIANT r;
    r.vt = VT_R4;
    r.fltVal = v;
    return r;
}

VARIANT VARIANT::Bool(bool v) {
    VARIANT r;
    r.vt = VT_BOOL;
    r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}

VARIANT VARIANT::Bstr(const wxString& v) {
    VARIANT r;
    r.vt = VT_BSTR;
    r.bstrVal = v;
    return r;
}

VARIANT VARIANT::Dispatch(IDispatch* object) {
    VARIANT r;
    r.vt = VT_DISPATCH;
    if (object) object->AddRef();
    r.pdispVal = object;
    return r;
}

VARIANT VARIANT::Error(SCODE code) {
    VARIANT r;
    r.vt = VT_ERROR;
    r.scode = code;
    return r;
}

VARIANT VARIANT::ByRef(const VARIANT* target) {
    VARIANT r;
    r.vt = VT_BYREF | VT_VARIANT;
    r.pvarVal = target;
    return r;
}

bool VARIANT::IsMissing() const {
    const VARIANT& v = Deref();
    return v.vt == VT_EMPTY || (v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND);
}

// ---------------------------------------------------------------------------
// Object classes by name

namespace plat {

namespace {

std::mutex g_registryMutex;

// Keyed by the name in lower case: names match without regard to case, as
// the system registry's do.
std::map<wxString, DispatchFactory>& Registry() {
    static std::map<wxString, DispatchFactory> registry = {
        {"word.application", [](IDispatch** out) { return word::CreateApplication(out); }},
    };
    return registry;
}

}  // namespace

DispatchFactory RegisterProgId(const wxString& progId, DispatchFactory factory) {
    std::lock_guard<std::mutex> lock(g_registryMutex);
    auto& registry = Registry();
    const wxString key = progId.Lower();
    DispatchFactory previous;
    if (auto it = registry.find(key); it != registry.end()) {
        previous = std::move(it->second);
        registry.erase(it);
    }
    if (factory) registry[key] = std::move(factory);
    return previous;
}

HRESULT CreateObject(const wxString& progId, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    DispatchFactory factory;
    {
        std::lock_guard<std::mutex> lock(g_registryMutex);
        auto& registry = Registry();
        if (auto it = registry.find(progId.Lower()); it != registry.end()) factory = it->second;
    }
    if (!factory) return CO_E_CLASSSTRING;
    const HRESULT hr = factory(out);
    if (FAILED(hr) && *out) {
        (*out)->Release();
        *out = nullptr;
    }
    return hr;
}

HRESULT Refuse(EXCEPINFO* info, const wxString& description, SCODE code) {
    if (info) {
        info->wCode = 0;
        info->bstrSource = "Word.Application";
        info->bstrDescription = description;
        info->scode = code;
    }
    return DISP_E_EXCEPTION;
}

}  // namespace plat

// ---------------------------------------------------------------------------
// Exceptions

wxString COleException::DescribeCode(SCODE sc) {
    const wchar_t* text = nullptr;
    switch (sc) {
        case DISP_E_MEMBERNOTFOUND: text = L"Member not found."; break;
        case DISP_E_PARAMNOTFOUND: text = L"Parameter not found."; break;
        case DISP_E_TYPEMISMATCH: text = L"Type mismatch."; break;
        case DISP_E_BADVARTYPE: text = L"Bad variable type."; break;
        case DISP_E_BADPARAMCOUNT: text = L"Invalid number of parameters."; break;
        case CO_E_CLASSSTRING: text = L"Invalid class string."; break;
        case CO_E_SERVER_EXEC_FAILURE: text = L"Server execution failed."; break;
        default: break;
    }
    const wxString code = wxString::Format("0x%08X", static_cast<unsigned>(sc));
    return text ? wxString(text) + " (" + code + ")" : "The automation call failed (" + code + ").";
}

COleException::COleException(SCODE sc) : CException(DescribeCode(sc)), m_sc(sc) {}

COleDispatchException::COleDispatchException(const wxString& description, WORD wCode, SCODE scError,
                                             const wxString& source)
    : CException(description.empty() ? COleException::DescribeCode(scError) : description),
      m_wCode(wCode),
      m_strDescription(description),
      m_strSource(source),
      m_scError(scError) {}
