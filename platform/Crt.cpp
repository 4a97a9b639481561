#include "platform/Crt.h"

#include <climits>

int _wtoi(const wxString& text) {
    auto it = text.begin();
    while (it != text.end() && (*it == ' ' || *it == '\t' || *it == '\n' || *it == '\r' || *it == '\v' ||
                                *it == '\f'))
        ++it;
    bool negative = false;
    if (it != text.end() && (*it == '-' || *it == '+')) {
        negative = *it == '-';
        ++it;
    }
    long long n = 0;
    for (; it != text.end() && *it >= '0' && *it <= '9'; ++it) {
        n = n * 10 + ((*it).GetValue() - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) return INT_MAX;
    return static_cast<int>(n);
}
