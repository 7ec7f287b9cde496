#include "base/Text.h"

#include <cstring>

namespace surfdeck {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool equalsNoCaseAt(std::string_view text, std::size_t at, std::string_view needle) {
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (lowerAscii(text[at + k]) != lowerAscii(needle[k])) return false;
    }
    return true;
}

// Length of the well-formed character reference at text[at] ("&amp;", "&#39;",
// "&#x27;"), or 0 when the "&" does not start one.
std::size_t referenceLength(std::string_view text, std::size_t at) {
    constexpr std::size_t kLongest = 40;  // longer than any entity name
    std::size_t i = at + 1;
    if (i < text.size() && text[i] == '#') {
        ++i;
        bool hex = false;
        if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
            hex = true;
            ++i;
        }
        const std::size_t digitsFrom = i;
        while (i < text.size() && i - at < kLongest &&
               (hex ? isAsciiHex(text[i]) : isAsciiDigit(text[i])))
            ++i;
        if (i == digitsFrom) return 0;
    } else {
        if (i >= text.size() || !isAsciiAlpha(text[i])) return 0;
        while (i < text.size() && i - at < kLongest &&
               (isAsciiAlpha(text[i]) || isAsciiDigit(text[i])))
            ++i;
    }
    return (i < text.size() && text[i] == ';') ? i + 1 - at : 0;
}

}  // namespace

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && equalsNoCaseAt(a, 0, b);
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCaseAt(text, 0, prefix);
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) return npos;
    if (needle.empty()) return from;
    if (text.size() - from < needle.size()) return npos;
    const std::size_t last = text.size() - needle.size();
    const char lower = lowerAscii(needle[0]);
    const char upper =
        (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 'a' + 'A') : lower;
    std::size_t i = from;
    while (i <= last) {
        if (lower == upper) {
            const void* hit = std::memchr(text.data() + i, lower, last - i + 1);
            if (hit == nullptr) return npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        } else if (text[i] != lower && text[i] != upper) {
            ++i;
            continue;
        }
        if (equalsNoCaseAt(text, i + 1, needle.substr(1))) return i;
        ++i;
    }
    return npos;
}

std::string_view trim(std::string_view text, std::string_view blanks) {
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

void appendHtmlEscaped(std::string& out, std::string_view text, bool keepReferences) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            case '&': {
                const std::size_t len = keepReferences ? referenceLength(text, i) : 0;
                if (len == 0) {
                    out += "&amp;";
                } else {
                    out.append(text.substr(i, len));
                    i += len - 1;
                }
                break;
            }
            default:
                out += c;
        }
    }
}

std::string htmlEscaped(std::string_view text, bool keepReferences) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text, keepReferences);
    return out;
}

}  // namespace surfdeck
