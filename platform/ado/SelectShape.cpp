// Reads just enough of a query's text to tell whether its rows are rows of one
// table: the top-level words, with literals, quoted names, comments and
// parenthesised parts skipped.
#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

#include "platform/ado/Database.h"

namespace ado {
namespace {

bool IsWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

// Where a quoted part that starts at `i` ends (one past its closing quote),
// or the text's end when it is not closed.
std::size_t SkipQuoted(const std::string& s, std::size_t i, char close) {
    for (++i; i < s.size(); ++i) {
        if (s[i] != close) continue;
        if (close != ']' && i + 1 < s.size() && s[i + 1] == close) {
            ++i;  // a doubled quote stands for itself
            continue;
        }
        return i + 1;
    }
    return s.size();
}

}  // namespace

SelectShape AnalyseSelect(const std::string& sql) {
    static constexpr std::array<std::string_view, 8> kNotPlain = {
        "DISTINCT", "GROUP", "UNION", "INTERSECT", "EXCEPT", "JOIN", "HAVING", "WINDOW"};
    SelectShape shape;
    bool first = true;
    int depth = 0;
    std::size_t i = 0;
    while (i < sql.size()) {
        const char c = sql[i];
        if (c == '\'' || c == '"' || c == '`') {
            i = SkipQuoted(sql, i, c);
        } else if (c == '[') {
            i = SkipQuoted(sql, i, ']');
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            i = sql.find('\n', i);
            if (i == std::string::npos) i = sql.size();
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            i = sql.find("*/", i + 2);
            i = i == std::string::npos ? sql.size() : i + 2;
        } else if (c == '(') {
            ++depth, ++i;
        } else if (c == ')') {
            --depth, ++i;
        } else if (c == ';' && depth == 0) {
            shape.end = i;
            return shape;  // the rest is not part of this statement
        } else if (IsWordChar(static_cast<unsigned char>(c)) && !std::isdigit(static_cast<unsigned char>(c))) {
            std::size_t end = i;
            while (end < sql.size() && IsWordChar(static_cast<unsigned char>(sql[end]))) ++end;
            if (depth == 0) {
                std::string word = sql.substr(i, end - i);
                std::transform(word.begin(), word.end(), word.begin(),
                               [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
                if (first) {
                    if (word != "SELECT") return SelectShape{};
                    shape.plainSelect = true;
                    shape.afterSelect = end;
                    first = false;
                } else if (std::find(kNotPlain.begin(), kNotPlain.end(), word) != kNotPlain.end()) {
                    shape.plainSelect = false;
                } else if (word == "ORDER") {
                    shape.ordered = true;
                } else if (word == "FROM" && shape.from == 0) {
                    shape.from = i;
                } else if (word == "LIMIT" && shape.limit == 0) {
                    shape.limit = i;
                }
            }
            i = end;
        } else {
            ++i;
        }
    }
    shape.end = sql.size();
    return shape;
}

}  // namespace ado
