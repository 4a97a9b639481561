#include "platform/ado/Variant.h"

#include <cstring>

_variant_t::_variant_t(int v, VARTYPE type) {
    switch (type) {
        case VT_I1: vt = VT_I1; cVal = static_cast<std::int8_t>(v); break;
        case VT_UI1: vt = VT_UI1; bVal = static_cast<BYTE>(v); break;
        case VT_I2: vt = VT_I2; iVal = static_cast<std::int16_t>(v); break;
        case VT_UI2: vt = VT_UI2; uiVal = static_cast<std::uint16_t>(v); break;
        case VT_UI4: vt = VT_UI4; ulVal = static_cast<std::uint32_t>(v); break;
        case VT_INT: vt = VT_INT; intVal = v; break;
        case VT_UINT: vt = VT_UINT; uintVal = static_cast<unsigned int>(v); break;
        default: vt = VT_I4; lVal = v; break;
    }
}

_variant_t _variant_t::Null() {
    _variant_t v;
    v.vt = VT_NULL;
    return v;
}

_variant_t _variant_t::Bytes(const void* data, std::size_t size) {
    _variant_t v;
    v.vt = VT_ARRAY | VT_UI1;
    v.bytes.resize(size);
    if (size) std::memcpy(v.bytes.data(), data, size);
    return v;
}
