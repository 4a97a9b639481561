#pragma once
// Automation: objects reached through one late-bound call (a member number,
// a call kind and a list of tagged values), the values passed to them, the
// exceptions a failed call raises, and the table of object classes by their
// programmatic names ("Word.Application").  All objects live in this process;
// the word processor behind "Word.Application" is reached by the object
// itself.  Objects are used from one thread at a time.
#include <atomic>
#include <functional>
#include <vector>

#include <wx/string.h>

#include "platform/Exception.h"
#include "platform/VariantTypes.h"
#include "platform/WinTypes.h"

using DISPID = LONG;
using SCODE = LONG;
using ULONG = std::uint32_t;
using LPCTSTR = const wchar_t*;

// Call kinds.
constexpr WORD DISPATCH_METHOD = 0x1;
constexpr WORD DISPATCH_PROPERTYGET = 0x2;
constexpr WORD DISPATCH_PROPERTYPUT = 0x4;

constexpr SCODE DISP_E_MEMBERNOTFOUND = static_cast<SCODE>(0x80020003u);
constexpr SCODE DISP_E_PARAMNOTFOUND = static_cast<SCODE>(0x80020004u);
constexpr SCODE DISP_E_TYPEMISMATCH = static_cast<SCODE>(0x80020005u);
constexpr SCODE DISP_E_BADVARTYPE = static_cast<SCODE>(0x80020008u);
constexpr SCODE DISP_E_EXCEPTION = static_cast<SCODE>(0x80020009u);
constexpr SCODE DISP_E_BADPARAMCOUNT = static_cast<SCODE>(0x8002000Eu);
constexpr SCODE CO_E_CLASSSTRING = static_cast<SCODE>(0x800401F3u);
constexpr SCODE CO_E_SERVER_EXEC_FAILURE = static_cast<SCODE>(0x80080005u);

// Parameter-type bytes of InvokeHelper: one per argument, in a NUL-ended string.
#define VTS_NONE reinterpret_cast<const BYTE*>("")
#define VTS_I4 reinterpret_cast<const BYTE*>("\x03")
#define VTS_R4 reinterpret_cast<const BYTE*>("\x04")
#define VTS_BSTR reinterpret_cast<const BYTE*>("\x08")
#define VTS_BOOL reinterpret_cast<const BYTE*>("\x0B")
#define VTS_PVARIANT reinterpret_cast<const BYTE*>("\x4C")
constexpr BYTE kVtsI4 = 0x03, kVtsR4 = 0x04, kVtsBstr = 0x08, kVtsBool = 0x0B, kVtsPVariant = 0x4C;

class IDispatch;
using LPDISPATCH = IDispatch*;

// A tagged value.  It owns what it holds: its text, and one reference on the
// object of a VT_DISPATCH value.  A by-reference argument (VT_BYREF |
// VT_VARIANT) points at the caller's value and owns nothing.
class VARIANT {
public:
    VARTYPE vt = VT_EMPTY;
    union {
        LONG lVal = 0;
        short iVal;
        float fltVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
    };
    wxString bstrVal;
    IDispatch* pdispVal = nullptr;
    const VARIANT* pvarVal = nullptr;

    VARIANT() = default;
    VARIANT(const VARIANT& other);
    VARIANT& operator=(const VARIANT& other);
    ~VARIANT();

    static VARIANT I2(short v);
    static VARIANT I4(LONG v);
    static VARIANT R4(float v);
    static VARIANT Bool(bool v);
    static VARIANT Bstr(const wxString& v);
    // Adds a reference on `object` (none for nullptr).
    static VARIANT Dispatch(IDispatch* object);
    // VT_ERROR; DISP_E_PARAMNOTFOUND marks an optional argument left out.
    static VARIANT Error(SCODE code);
    static VARIANT Missing() { return Error(DISP_E_PARAMNOTFOUND); }
    static VARIANT ByRef(const VARIANT* target);

    // What a by-reference value points at; the value itself otherwise.
    const VARIANT& Deref() const { return (vt == (VT_BYREF | VT_VARIANT) && pvarVal) ? *pvarVal : *this; }
    // Left out: empty, or the error value of an omitted argument.
    bool IsMissing() const;
    void Clear();
};

// The arguments of one call, first argument first.
struct DISPPARAMS {
    std::vector<VARIANT> rgvarg;
};

// What an object tells about a call it refused.
struct EXCEPINFO {
    WORD wCode = 0;
    wxString bstrSource;
    wxString bstrDescription;
    SCODE scode = 0;
};

// The one call interface of automation objects.  A new object comes with one
// reference; Release of the last one deletes it.
class IDispatch {
public:
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;
    // S_OK, DISP_E_EXCEPTION with *pExcepInfo filled (a refused call), or
    // another failure code.  *pVarResult receives the result of a get or a
    // method (may be nullptr when the caller wants none).
    virtual HRESULT Invoke(DISPID dispid, WORD wFlags, const DISPPARAMS& params, VARIANT* pVarResult,
                           EXCEPINFO* pExcepInfo) = 0;

protected:
    virtual ~IDispatch() = default;
};

namespace plat {

// Reference counting for the objects of this layer.
class DispatchObject : public IDispatch {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> m_refs{1};
};

// Makes a new object of a class; S_OK with *out set, or a failure code.
using DispatchFactory = std::function<HRESULT(IDispatch** out)>;

// The maker of objects named `progId`; an empty function removes the name.
// Returns the maker it replaces (tests put recording objects in place of the
// word processor and give the old one back afterwards).
DispatchFactory RegisterProgId(const wxString& progId, DispatchFactory factory);
// Makes an object by name: CO_E_CLASSSTRING for a name nobody registered.
HRESULT CreateObject(const wxString& progId, IDispatch** out);

// Fills `info` for a refused call and returns DISP_E_EXCEPTION.
HRESULT Refuse(EXCEPINFO* info, const wxString& description, SCODE code = static_cast<SCODE>(0x80004005u));

}  // namespace plat

// A call that failed without a description of its own: the failure code.
class COleException : public CException {
public:
    explicit COleException(SCODE sc);
    // A text for a failure code.
    static wxString DescribeCode(SCODE sc);
    SCODE m_sc;
};

// A call the object refused, with the object's own description.
class COleDispatchException : public CException {
public:
    COleDispatchException(const wxString& description, WORD wCode, SCODE scError, const wxString& source = {});
    WORD m_wCode;
    wxString m_strDescription;
    wxString m_strSource;
    SCODE m_scError;
};
