#include "platform/automation/DispatchDriver.h"

#include <cstring>

COleDispatchDriver::COleDispatchDriver(LPDISPATCH lpDispatch, BOOL bAutoRelease)
    : m_lpDispatch(lpDispatch), m_bAutoRelease(bAutoRelease) {}

COleDispatchDriver::COleDispatchDriver(const COleDispatchDriver& other) : m_lpDispatch(other.m_lpDispatch) {
    if (m_lpDispatch) m_lpDispatch->AddRef();
}

const COleDispatchDriver& COleDispatchDriver::operator=(const COleDispatchDriver& other) {
    if (this != &other) {
        LPDISPATCH held = other.m_lpDispatch;
        if (held) held->AddRef();
        ReleaseDispatch();
        m_lpDispatch = held;
        m_bAutoRelease = TRUE;
    }
    return *this;
}

COleDispatchDriver::~COleDispatchDriver() { ReleaseDispatch(); }

BOOL COleDispatchDriver::CreateDispatch(const wxString& progID, SCODE* pError) {
    ReleaseDispatch();
    LPDISPATCH object = nullptr;
    const HRESULT hr = plat::CreateObject(progID, &object);
    if (FAILED(hr) || !object) {
        if (pError) *pError = FAILED(hr) ? hr : E_FAIL;
        return FALSE;
    }
    AttachDispatch(object, TRUE);
    return TRUE;
}

void COleDispatchDriver::AttachDispatch(LPDISPATCH lpDispatch, BOOL bAutoRelease) {
    ReleaseDispatch();
    m_lpDispatch = lpDispatch;
    m_bAutoRelease = bAutoRelease;
}

LPDISPATCH COleDispatchDriver::DetachDispatch() {
    LPDISPATCH held = m_lpDispatch;
    m_lpDispatch = nullptr;
    return held;
}

void COleDispatchDriver::ReleaseDispatch() {
    LPDISPATCH held = m_lpDispatch;
    m_lpDispatch = nullptr;
    if (held && m_bAutoRelease) held->Release();
}

void COleDispatchDriver::InvokeHelperV(DISPID dwDispID, WORD wFlags, VARTYPE vtRet, void* pvRet,
                                       const BYTE* pbParamInfo, const std::vector<Arg>& args) {
    if (!m_lpDispatch) return;
    const std::size_t count = pbParamInfo ? std::strlen(reinterpret_cast<const char*>(pbParamInfo)) : 0;
    if (count != args.size()) throw COleException(DISP_E_BADPARAMCOUNT);

    DISPPARAMS params;
    params.rgvarg.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Arg& a = args[i];
        switch (pbParamInfo[i]) {
            case kVtsPVariant:
                if (a.kind != Arg::Variant || !a.variant) throw COleException(DISP_E_TYPEMISMATCH);
                params.rgvarg.push_back(VARIANT::ByRef(a.variant));
                break;
            case kVtsBstr:
                if (a.kind != Arg::Text) throw COleException(DISP_E_TYPEMISMATCH);
                params.rgvarg.push_back(VARIANT::Bstr(a.text));
                break;
            case kVtsBool:
                if (a.kind != Arg::Integer) throw COleException(DISP_E_TYPEMISMATCH);
                params.rgvarg.push_back(VARIANT::Bool(a.integer != 0));
                break;
            case kVtsI4:
                if (a.kind != Arg::Integer) throw COleException(DISP_E_TYPEMISMATCH);
                params.rgvarg.push_back(VARIANT::I4(static_cast<LONG>(a.integer)));
                break;
            case kVtsR4:
                if (a.kind == Arg::Real)
                    params.rgvarg.push_back(VARIANT::R4(static_cast<float>(a.real)));
                else if (a.kind == Arg::Integer)
                    params.rgvarg.push_back(VARIANT::R4(static_cast<float>(a.integer)));
                else
                    throw COleException(DISP_E_TYPEMISMATCH);
                break;
            default: throw COleException(DISP_E_BADVARTYPE);
        }
    }

    VARIANT result;
    EXCEPINFO info;
    const HRESULT hr = m_lpDispatch->Invoke(dwDispID, wFlags, params, vtRet == VT_EMPTY ? nullptr : &result, &info);
    if (hr == DISP_E_EXCEPTION) throw COleDispatchException(info.bstrDescription, info.wCode, info.scode, info.bstrSource);
    if (FAILED(hr)) throw COleException(hr);
    if (vtRet == VT_EMPTY || !pvRet) return;

    // The result as the caller asked for it; a result of another kind is a
    // type mismatch, as the framework's conversion would find.
    switch (vtRet) {
        case VT_DISPATCH: {
            if (result.vt != VT_DISPATCH && result.vt != VT_EMPTY) throw COleException(DISP_E_TYPEMISMATCH);
            // The result's reference goes to the caller.
            *static_cast<LPDISPATCH*>(pvRet) = result.pdispVal;
            result.pdispVal = nullptr;
            break;
        }
        case VT_I4:
            if (result.vt == VT_I4) *static_cast<long*>(pvRet) = result.lVal;
            else if (result.vt == VT_I2) *static_cast<long*>(pvRet) = result.iVal;
            else throw COleException(DISP_E_TYPEMISMATCH);
            break;
        case VT_BOOL:
            if (result.vt != VT_BOOL) throw COleException(DISP_E_TYPEMISMATCH);
            *static_cast<BOOL*>(pvRet) = result.boolVal != VARIANT_FALSE;
            break;
        case VT_R4:
            if (result.vt != VT_R4) throw COleException(DISP_E_TYPEMISMATCH);
            *static_cast<float*>(pvRet) = result.fltVal;
            break;
        case VT_BSTR:
            if (result.vt != VT_BSTR) throw COleException(DISP_E_TYPEMISMATCH);
            *static_cast<wxString*>(pvRet) = result.bstrVal;
            break;
        default: throw COleException(DISP_E_BADVARTYPE);
    }
}
