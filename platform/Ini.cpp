#include "platform/Ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>
#include <string>

namespace plat {

namespace {

constexpr wchar_t kReplacement = 0xFFFD;

void Append(std::wstring& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    out.push_back(static_cast<wchar_t>(cp));
}

std::wstring DecodeUtf16Le(const std::string& bytes, std::size_t pos) {
    std::wstring out;
    out.reserve((bytes.size() - pos) / 2);
    auto unit = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = pos; i + 1 < bytes.size(); i += 2) {
        char16_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            char16_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                Append(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (char32_t(low) - 0xDC00));
                i += 2;
                continue;
            }
        }
        Append(out, u);  // a lone surrogate becomes the replacement character
    }
    return out;
}

// Lenient: a byte that does not start a well-formed sequence becomes U+FFFD,
// so one bad byte in a comment does not lose the whole file.
std::wstring DecodeUtf8(const std::string& bytes, std::size_t pos) {
    std::wstring out;
    out.reserve(bytes.size() - pos);
    const std::size_t n = bytes.size();
    std::size_t i = pos;
    while (i < n) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        int len = 0;
        char32_t cp = 0, min = 0;
        if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
        else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
        else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) ok = false;
            else cp = (cp << 6) | (c & 0x3F);
        }
        if (ok && cp >= min) {
            Append(out, cp);
            i += len;
        } else {
            out.push_back(kReplacement);
            ++i;
        }
    }
    return out;
}

std::optional<std::wstring> ReadText(const wxString& file) {
    const int fd = ::open(file.utf8_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        return DecodeUtf16Le(bytes, 2);
    if (bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xEF &&
        static_cast<unsigned char>(bytes[1]) == 0xBB && static_cast<unsigned char>(bytes[2]) == 0xBF)
        return DecodeUtf8(bytes, 3);
    return DecodeUtf8(bytes, 0);
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring_view Trim(std::wstring_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool SameName(std::wstring_view a, const wxString& b) {
    return wxString(a.data(), a.size()).CmpNoCase(b) == 0;
}

// The raw value of a key: only the first section of that name is searched,
// and the first matching key in it wins.
std::optional<std::wstring> Lookup(const wxString& section, const wxString& key,
                                   const wxString& file) {
    std::optional<std::wstring> text = ReadText(file);
    if (!text) return std::nullopt;
    const std::wstring sectionText = section.ToStdWstring(), keyText = key.ToStdWstring();
    const std::wstring_view sectionName = Trim(sectionText), keyName = Trim(keyText);
    const wxString wantSection(sectionName.data(), sectionName.size());
    const wxString wantKey(keyName.data(), keyName.size());
    std::wstring_view rest(*text);
    bool inSection = false;
    bool seenSection = false;
    while (!rest.empty()) {
        std::size_t eol = rest.find_first_of(L"\r\n");
        std::wstring_view line = rest.substr(0, eol);
        rest = eol == std::wstring_view::npos ? std::wstring_view() : rest.substr(eol + 1);
        line = Trim(line);
        if (line.empty() || line.front() == L';') continue;
        if (line.front() == L'[') {
            if (seenSection) return std::nullopt;
            std::size_t close = line.find(L']');
            std::wstring_view name = Trim(line.substr(1, close == std::wstring_view::npos
                                                              ? std::wstring_view::npos
                                                              : close - 1));
            inSection = SameName(name, wantSection);
            seenSection = inSection;
            continue;
        }
        if (!inSection) continue;
        std::size_t eq = line.find(L'=');
        if (eq == std::wstring_view::npos) continue;
        std::wstring_view name = Trim(line.substr(0, eq));
        if (name.empty() || !SameName(name, wantKey)) continue;
        std::wstring_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        }
        return std::wstring(value);
    }
    return std::nullopt;
}

// What a buffer of `bufferChars` UTF-16 units would hold, without its NUL.  A
// character outside the basic plane that would only half fit is left out.
wxString CutToBuffer(std::wstring_view value, std::size_t bufferChars) {
    std::size_t nul = value.find(L'\0');
    if (nul != std::wstring_view::npos) value = value.substr(0, nul);
    if (bufferChars == 0) return wxString();
    const std::size_t limit = bufferChars - 1;
    std::size_t units = 0, i = 0;
    for (; i < value.size(); ++i) {
        std::size_t w = static_cast<char32_t>(value[i]) > 0xFFFF ? 2 : 1;
        if (units + w > limit) break;
        units += w;
    }
    return wxString(value.data(), i);
}

}  // namespace

wxString GetPrivateProfileString(const wxString& section, const wxString& key,
                                 const wxString& defaultValue, const wxString& file,
                                 std::size_t bufferChars) {
    if (std::optional<std::wstring> value = Lookup(section, key, file))
        return CutToBuffer(*value, bufferChars);
    // The profile functions drop trailing blanks of the default.
    std::wstring def = defaultValue.ToStdWstring();
    while (!def.empty() && IsBlank(def.back())) def.pop_back();
    return CutToBuffer(def, bufferChars);
}

int GetPrivateProfileInt(const wxString& section, const wxString& key, int defaultValue,
                         const wxString& file) {
    std::optional<std::wstring> value = Lookup(section, key, file);
    // An empty value reads as nothing at all, as it does on Windows.
    if (!value || value->empty()) return defaultValue;
    std::wstring_view s = Trim(*value);
    bool negative = false;
    if (!s.empty() && (s.front() == L'-' || s.front() == L'+')) {
        negative = s.front() == L'-';
        s.remove_prefix(1);
    }
    long long n = 0;
    for (wchar_t c : s) {
        if (c < L'0' || c > L'9') break;
        n = n * 10 + (c - L'0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    return static_cast<int>(n);
}

}  // namespace plat
