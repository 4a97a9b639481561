#pragma once
// The tagged value that database fields are read and written as: a type tag
// (the automation variant types, with their usual numbers) and the value.
// Only what the customer records need is carried: scalars, texts and byte
// arrays.  Other tags may be set by hand; they carry no value of their own.
#include <cstddef>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "platform/VariantTypes.h"
#include "platform/WinTypes.h"

// Currency: the amount times 10000.
struct CY {
    std::int64_t int64;
};

// A 96-bit integer with a sign and a power-of-ten scale.
struct DECIMAL {
    std::uint16_t wReserved;
    BYTE scale;  // 0 to 28 decimal places
    BYTE sign;   // 0x80 for negative
    std::uint32_t Hi32;
    std::uint64_t Lo64;
};

class _variant_t {
public:
    VARTYPE vt = VT_EMPTY;
    union {
        DECIMAL decVal{};
        std::int8_t cVal;
        BYTE bVal;
        std::int16_t iVal;
        std::uint16_t uiVal;
        std::int32_t lVal;
        std::uint32_t ulVal;
        int intVal;
        unsigned int uintVal;
        std::int64_t llVal;
        std::uint64_t ullVal;
        float fltVal;
        double dblVal;
        DATE date;
        VARIANT_BOOL boolVal;
        CY cyVal;
        void* byref;
        void* pdispVal;
    };
    // The text of VT_BSTR, VT_LPSTR and VT_LPWSTR.
    wxString text;
    // The bytes of VT_ARRAY | VT_UI1, VT_BLOB and VT_BLOB_OBJECT.  A text
    // stored in bytes that are not UTF-8 (another program's encoding) keeps
    // them here too, `text` being only a reading of them: written, the bytes
    // go back as they were.
    std::vector<BYTE> bytes;

    _variant_t() = default;
    _variant_t(const wxString& s) : vt(VT_BSTR), text(s) {}
    _variant_t(const char* s) : vt(VT_BSTR), text(wxString::FromUTF8(s)) {}
    _variant_t(const wchar_t* s) : vt(VT_BSTR), text(s) {}
    // An integer as VT_I4 or, when asked, as any other integer tag of 32 bits
    // or less (VT_INT, VT_I2, VT_UI1, ...); the value is cut to that size.
    _variant_t(int v, VARTYPE type = VT_I4);
    _variant_t(std::int64_t v) : vt(VT_I8) { llVal = v; }
    _variant_t(float v) : vt(VT_R4) { fltVal = v; }
    // VT_R8, or VT_DATE when asked.
    _variant_t(double v, VARTYPE type = VT_R8) : vt(type == VT_DATE ? VT_DATE : VT_R8) { dblVal = v; }
    _variant_t(bool v) : vt(VT_BOOL) { boolVal = v ? VARIANT_TRUE : VARIANT_FALSE; }

    static _variant_t Null();
    // A byte array (VT_ARRAY | VT_UI1) holding a copy of `size` bytes.
    static _variant_t Bytes(const void* data, std::size_t size);

    // A stored text: `text` when `data` is UTF-8, else a reading with a
    // replacement mark for each byte that is not, the bytes kept in `bytes`.
    static _variant_t StoredText(const char* data, std::size_t size);

    // The same type and the same value, bytes and all.
    bool SameAs(const _variant_t& other) const;
    // A text that is exactly its characters (not a reading of other bytes).
    bool IsExactText() const { return vt == VT_BSTR && bytes.empty(); }
    bool IsNull() const { return vt == VT_NULL; }
    bool IsByteArray() const { return vt == (VT_ARRAY | VT_UI1); }
};
