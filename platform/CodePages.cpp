#include "platform/CodePages.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

namespace plat {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    // The whole input converted; nothing when a byte does not convert.
    std::optional<std::string> Convert(const char* data, std::size_t size) {
        std::string out(size * 4 + 16, '\0');
        char* in = const_cast<char*>(data);
        std::size_t inLeft = size;
        char* to = out.data();
        std::size_t outLeft = out.size();
        if (::iconv(m_cd, &in, &inLeft, &to, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0)
            return std::nullopt;
        // Flush whatever state the converter keeps.
        if (::iconv(m_cd, nullptr, nullptr, &to, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

bool Unshowable(wxUniChar c) {
    const unsigned long u = c.GetValue();
    return (u >= 0x80 && u < 0xA0) || (u >= 0xE000 && u <= 0xF8FF) || u >= 0xF0000 || u == 0xFFFD;
}

// The bytes read in `codePage` when the reading is clean (see the header).
std::optional<wxString> CleanReading(const char* bytes, std::size_t size, const char* codePage) {
    Converter in("UTF-8", codePage);
    Converter back(codePage, "UTF-8");
    if (!in.Ok() || !back.Ok()) return std::nullopt;
    const std::optional<std::string> utf8 = in.Convert(bytes, size);
    if (!utf8) return std::nullopt;
    const std::optional<std::string> again = back.Convert(utf8->data(), utf8->size());
    if (!again || *again != std::string(bytes, size)) return std::nullopt;
    const wxString text = wxString::FromUTF8(*utf8);
    for (wxUniChar c : text)
        if (Unshowable(c)) return std::nullopt;
    return text;
}

bool IsAsciiAlnum(wxUniChar c) { return c.IsAscii() && std::isalnum(static_cast<unsigned char>(c.GetValue())); }

// Latin text keeps its letters beyond ASCII inside words; a double-byte
// text read one byte at a time gives runs of them instead.
bool LooksLatin(const wxString& text) {
    for (std::size_t i = 0; i < text.length(); ++i) {
        if (text[i].IsAscii()) continue;
        const bool before = i > 0 && IsAsciiAlnum(text[i - 1]);
        const bool after = i + 1 < text.length() && IsAsciiAlnum(text[i + 1]);
        if (!before && !after) return false;
    }
    return true;
}

constexpr const char* kChineseCodePage = "CP936";

}  // namespace

wxString ReadCodePageText(const char* bytes, std::size_t size, const char* codePage) {
    if (!bytes || size == 0) return wxString();
    const std::optional<wxString> own = codePage ? CleanReading(bytes, size, codePage) : std::nullopt;
    // One character a byte: a single-byte code page's reading.
    if (own && (own->length() != size || LooksLatin(*own))) return *own;
    if (!codePage || std::strcmp(codePage, kChineseCodePage) != 0)
        if (const std::optional<wxString> chinese = CleanReading(bytes, size, kChineseCodePage)) return *chinese;
    return own.value_or(wxString());
}

}  // namespace plat
