#pragma once
// The dispatch driver: holds at most one reference on an automation object
// and makes calls on it.
//
//   COleDispatchDriver app;
//   if (!app.CreateDispatch(L"Word.Application")) ...;
//   LPDISPATCH docs = nullptr;
//   app.InvokeHelper(0x06, DISPATCH_PROPERTYGET, VT_DISPATCH, &docs, VTS_NONE);
//
// A call through an empty driver returns at once and does nothing.  A call
// the object refuses raises COleDispatchException with the object's own
// description; any other failure raises COleException with its code.
#include <string_view>
#include <vector>

#include "platform/automation/Dispatch.h"

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    // Takes over the caller's reference on `lpDispatch` (released at the end
    // when bAutoRelease is TRUE).
    explicit COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
    // Both drivers hold a reference of their own.
    COleDispatchDriver(const COleDispatchDriver& other);
    const COleDispatchDriver& operator=(const COleDispatchDriver& other);
    ~COleDispatchDriver();

    // Makes an object by its name and holds it (letting go of what the driver
    // held before); FALSE, with the failure code in *pError, when it cannot
    // be made.
    BOOL CreateDispatch(const wxString& progID, SCODE* pError = nullptr);
    void AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease = TRUE);
    // Hands the reference to the caller; the driver is empty afterwards.
    LPDISPATCH DetachDispatch();
    // Lets go of the object; nothing happens when the driver is empty.
    void ReleaseDispatch();

    // One call.  `vtRet` names the result wanted in *pvRet: VT_EMPTY (none),
    // VT_DISPATCH (LPDISPATCH, a reference handed to the caller), VT_I4
    // (long), VT_BOOL (BOOL), VT_R4 (float) or VT_BSTR (wxString).
    // `pbParamInfo` holds one parameter-type byte per argument: VTS_PVARIANT
    // (a const VARIANT*, passed by reference), VTS_BSTR (text), VTS_BOOL,
    // VTS_I4 (integers), VTS_R4 (float).
    template <class... Args>
    void InvokeHelper(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo,
                      const Args&... args) {
        if (!m_lpDispatch) return;
        std::vector<Arg> list;
        list.reserve(sizeof...(args));
        (list.push_back(MakeArg(args)), ...);
        InvokeHelperV(dwDispID, wFlags, vtRet, pvRet, pbParamInfo, list);
    }

    LPDISPATCH m_lpDispatch = nullptr;
    BOOL m_bAutoRelease = TRUE;

private:
    // An argument as the caller gave it, before its parameter-type byte says
    // how it is passed.
    struct Arg {
        enum Kind { Variant, Text, Integer, Real } kind;
        const VARIANT* variant = nullptr;
        wxString text;
        long long integer = 0;
        double real = 0;
    };
    static Arg MakeArg(const VARIANT* v) { return {Arg::Variant, v, {}}; }
    static Arg MakeArg(const wchar_t* s) { return {Arg::Text, nullptr, wxString(s ? s : L"")}; }
    static Arg MakeArg(const wxString& s) { return {Arg::Text, nullptr, s}; }
    static Arg MakeArg(bool v) { return {Arg::Integer, nullptr, {}, v ? 1 : 0}; }
    static Arg MakeArg(int v) { return {Arg::Integer, nullptr, {}, v}; }
    static Arg MakeArg(long v) { return {Arg::Integer, nullptr, {}, v}; }
    static Arg MakeArg(float v) { return {Arg::Real, nullptr, {}, 0, v}; }
    static Arg MakeArg(double v) { return {Arg::Real, nullptr, {}, 0, v}; }
    // Any other pointer would otherwise pass as a BOOL.
    template <class T>
    static Arg MakeArg(const T*) = delete;

    void InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet, const BYTE* pbParamInfo,
                       const std::vector<Arg>& args);
};
