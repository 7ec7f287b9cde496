#include "related/ResultsPage.h"

#include <cstring>
#include <string_view>
#include <unordered_set>

namespace surfdeck {
namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

// Fixed pieces of the page.
constexpr string_view kRelatedFont = "<FONT FACE=\"Verdana\" SIZE=1 padding-left=100pt>";
constexpr string_view kRelatedRule = "<HR NOSHADE SIZE=1>";
constexpr string_view kCategoryFont = "<FONT FACE=\"Verdana, Arial, Helvetica\" SIZE=1>";
constexpr string_view kCategoryHeading = "Available category<br>";
constexpr string_view kCreditFooter =
    "<br>\r\n<!-- credit -->List made by Surfdeck from a related-pages search on "
    "<A HREF=\"http://www.google.com/\" Title=\"Google\">Google</A><!-- end of credit -->";
constexpr string_view kCrLf = "\r\n";

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool equalsNoCaseAt(string_view hay, std::size_t at, string_view needle) {
    for (std::size_t k = 0; k < needle.size(); ++k) {
        if (foldAscii(hay[at + k]) != foldAscii(needle[k])) return false;
    }
    return true;
}

// First position at or after `from` where needle stands, ASCII letters folded. The
// needles are short markers, so this stays linear in the haystack.
std::size_t findNoCase(string_view hay, string_view needle, std::size_t from = 0) {
    if (from > hay.size()) return npos;
    if (needle.empty()) return from;
    if (hay.size() - from < needle.size()) return npos;
    const std::size_t last = hay.size() - needle.size();
    const char lower = foldAscii(needle[0]);
    const char upper = (lower >= 'a' && lower <= 'z') ? static_cast<char>(lower - 32) : lower;
    std::size_t i = from;
    while (i <= last) {
        if (lower == upper) {
            const void* hit = std::memchr(hay.data() + i, lower, last - i + 1);
            if (hit == nullptr) return npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - hay.data());
        } else if (hay[i] != lower && hay[i] != upper) {
            ++i;
            continue;
        }
        if (equalsNoCaseAt(hay, i + 1, needle.substr(1))) return i;
        ++i;
    }
    return npos;
}

string_view between(string_view text, string_view start, string_view end) {
    const std::size_t s = findNoCase(text, start);
    if (s == npos) return {};
    const std::size_t from = s + start.size();
    const std::size_t e = findNoCase(text, end, from);
    if (e == npos) return {};
    return text.substr(from, e - from);
}

// The text from the second character of the first marker on (the marker's "<" or "h"
// dropped), or the whole text when the marker is missing.
string_view afterFirstChar(string_view text, std::size_t markerAt) {
    return markerAt == npos ? text : text.substr(markerAt + 1);
}

string_view trimSpaces(string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isHex(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Length of the well-formed character reference at text[at] ("&amp;", "&#39;",
// "&#x27;"), or 0 when the "&" does not start one.
std::size_t referenceLength(string_view text, std::size_t at) {
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
        while (i < text.size() && i - at < kLongest && (hex ? isHex(text[i]) : isDigit(text[i])))
            ++i;
        if (i == digitsFrom) return 0;
    } else {
        if (i >= text.size() || !isAlpha(text[i])) return 0;
        while (i < text.size() && i - at < kLongest && (isAlpha(text[i]) || isDigit(text[i]))) ++i;
    }
    return (i < text.size() && text[i] == ';') ? i + 1 - at : 0;
}

void appendEscaped(std::string& out, string_view text) {
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
                const std::size_t len = referenceLength(text, i);
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

// The character a kept reference stands for, as far as a scheme check needs it: ASCII
// as itself, anything else as a byte no scheme holds.
char decodeReference(string_view ref) {
    constexpr char kOther = '\x7f';
    const string_view body = ref.substr(1, ref.size() - 2);
    if (body.empty()) return kOther;
    if (body[0] == '#') {
        const bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        unsigned long value = 0;
        for (char c : body.substr(hex ? 2 : 1)) {
            const unsigned digit = isDigit(c) ? static_cast<unsigned>(c - '0')
                                              : static_cast<unsigned>(foldAscii(c) - 'a' + 10);
            value = value * (hex ? 16 : 10) + digit;
            if (value > 0x10FFFF) return kOther;
        }
        return value < 0x7f ? static_cast<char>(value) : kOther;
    }
    if (body == "colon") return ':';
    if (body == "Tab") return '\t';
    if (body == "NewLine") return '\n';
    return kOther;
}

void appendItem(std::string& out, string_view prefix, string_view url, string_view alt,
                string_view title, string_view suffix) {
    out += prefix;
    out += "<A HREF=\"";
    appendEscaped(out, url);
    out += "\" Title=\"";
    appendEscaped(out, alt);
    out += "\">";
    appendEscaped(out, title);
    out += "</A>";
    out += suffix;
}

bool runsScript(string_view address) {
    // Only the first few characters can make up one of the schemes; the cap keeps a
    // long address from being decoded whole.
    constexpr std::size_t kEnough = 64;
    std::string scheme;
    bool leading = true;
    for (std::size_t i = 0; i < address.size() && scheme.size() < kEnough; ++i) {
        char c = address[i];
        if (c == '&') {
            const std::size_t len = referenceLength(address, i);
            if (len != 0) {
                c = decodeReference(address.substr(i, len));
                i += len - 1;
            }
        }
        const auto byte = static_cast<unsigned char>(c);
        if (leading && byte <= 0x20) continue;
        leading = false;
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (c == ':') {
            return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
        }
        scheme += foldAscii(c);
    }
    return false;
}

}  // namespace

std::string escapeScraped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

bool isScriptAddress(const std::string& address) {
    return runsScript(address);
}

std::string GetBetween(const std::string& text, const std::string& startMarker,
                       const std::string& endMarker) {
    return std::string(between(text, startMarker, endMarker));
}

std::string GetRelatedHTML(const std::string& markup, const std::string& source) {
    constexpr string_view kLink = "<p><a";
    string_view s = markup;
    s = afterFirstChar(s, findNoCase(s, "<body"));
    s = afterFirstChar(s, findNoCase(s, kLink));

    std::string out;
    out += kRelatedFont;
    out += "Sites related to:<br>";
    appendEscaped(out, source);
    out += "<br><HR NOSHADE SIZE=1>";
    out += kCrLf;

    // s now starts inside the first link, so the piece before the first split point
    // holds it and is not used.
    std::size_t at = findNoCase(s, kLink);
    while (at != npos) {
        const std::size_t from = at + kLink.size();
        const std::size_t next = findNoCase(s, kLink, from);
        const string_view block = s.substr(from, next == npos ? npos : next - from);
        at = next;

        string_view href = trimSpaces(between(block, "=", ">"));
        if (!href.empty() && href.front() == '"') href.remove_prefix(1);
        if (!href.empty() && href.back() == '"') href.remove_suffix(1);
        const string_view title = between(block, ">", "<");
        string_view shown = href;
        if (shown.size() >= 7 && equalsNoCaseAt(shown, 0, "http://")) shown.remove_prefix(7);
        if (!shown.empty() && shown.back() == '/') shown.remove_suffix(1);

        if (runsScript(href)) continue;
        appendItem(out, {}, href, title, shown, "<BR>\r\n");
    }
    out += kRelatedRule;
    return out;
}

std::string GetCategoryHTML(const std::string& markup) {
    constexpr string_view kSplit = ">Category:";
    constexpr string_view kHttp = "http://";
    const string_view s = afterFirstChar(markup, string_view(markup).find("<body"));

    std::string out;
    out += kCategoryFont;
    out += kCategoryHeading;

    // Repeats are recognised by the whole address: a link that merely ends like an
    // earlier one (a redirect carrying it as a parameter) is still a new category.
    std::unordered_set<std::string> shown;
    std::size_t at = s.find(kSplit);
    while (at != npos) {
        const std::size_t from = at + kSplit.size();
        const std::size_t next = s.find(kSplit, from);
        const string_view block = s.substr(from, next == npos ? npos : next - from);
        at = next;

        std::string address(kHttp);
        address += between(block, kHttp, ">");
        const string_view rest = afterFirstChar(block, block.find(kHttp));
        std::string title;
        const string_view rawTitle = between(rest, ">", "<");
        for (std::size_t i = 0; i < rawTitle.size();) {
            if (rawTitle.compare(i, 6, "&nbsp;") == 0) {
                title += ' ';
                i += 6;
            } else {
                title += rawTitle[i++];
            }
        }

        if (!shown.insert(address).second) continue;
        appendItem(out, "<div style=\"margin-top:8px;\">", address, address, title, "</DIV>\r\n");
    }
    out += kCreditFooter;
    return out;
}

}  // namespace surfdeck
