#include "platform/ado/Variant.h"

#include <cstring>
#include <string>

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

namespace {

// The length of the UTF-8 sequence at `s` (at most `n` bytes), 0 when it is
// not one: overlong forms, surrogates and values past U+10FFFF included.
std::size_t Utf8Sequence(const unsigned char* s, std::size_t n) {
    const unsigned char c = s[0];
    if (c < 0x80) return 1;
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;  // the bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) len = 2;
    else if (c >= 0xE0 && c <= 0xEF) len = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4) len = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    else return 0;
    if (n < len || s[1] < lo || s[1] > hi) return 0;
    for (std::size_t i = 2; i < len; ++i)
        if ((s[i] & 0xC0) != 0x80) return 0;
    return len;
}

}  // namespace

_variant_t _variant_t::StoredText(const char* data, std::size_t size) {
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    std::string readable;
    bool exact = true;
    for (std::size_t i = 0; i < size;) {
        const std::size_t len = Utf8Sequence(s + i, size - i);
        if (len == 0) {
            readable += "\xEF\xBF\xBD";  // U+FFFD
            exact = false;
            ++i;
        } else {
            readable.append(data + i, len);
            i += len;
        }
    }
    _variant_t v(wxString::FromUTF8(readable));
    // A text the toolkit would not give back byte for byte keeps its bytes too.
    if (exact) {
        const wxScopedCharBuffer back = v.text.utf8_str();
        exact = back.length() == size && std::memcmp(back.data(), data, size) == 0;
    }
    if (!exact) v.bytes.assign(s, s + size);
    return v;
}

bool _variant_t::SameAs(const _variant_t& other) const {
    if (vt != other.vt || text != other.text || bytes != other.bytes) return false;
    return std::memcmp(&decVal, &other.decVal, sizeof decVal) == 0;
}
