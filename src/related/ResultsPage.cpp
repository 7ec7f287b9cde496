#include "related/ResultsPage.h"

#include "related/PageAddress.h"

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

// A resolved address holds no references any more: every "&" is a character of its own.
void appendAddress(std::string& out, string_view address) {
    for (char c : address) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
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
            default:
                out += c;
        }
    }
}

// The item's address when it may be listed and still fits the page; leftOut and full
// record why not.
std::string listable(PageBuild& build, const std::string& out, string_view href,
                     std::size_t itemSize) {
    if (build.full) return {};
    std::string address = webAddress(std::string(href), build.base);
    if (address.empty()) {
        build.leftOut.emplace_back(href);
        return {};
    }
    if (out.size() + itemSize + 6 * address.size() > build.budget) {
        build.full = true;
        return {};
    }
    return address;
}

void appendItem(std::string& out, string_view prefix, string_view url, string_view alt,
                string_view title, string_view suffix) {
    out += prefix;
    out += "<A HREF=\"";
    appendAddress(out, url);
    out += "\" Title=\"";
    appendEscaped(out, alt);
    out += "\">";
    appendEscaped(out, title);
    out += "</A>";
    out += suffix;
}

}  // namespace

std::string escapeScraped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

std::string GetBetween(const std::string& text, const std::string& startMarker,
                       const std::string& endMarker) {
    return std::string(between(text, startMarker, endMarker));
}

std::string GetRelatedHTML(const std::string& markup, const std::string& source) {
    PageBuild build;
    return GetRelatedHTML(markup, source, build);
}

std::string GetCategoryHTML(const std::string& markup) {
    PageBuild build;
    return GetCategoryHTML(markup, build);
}

std::string capMarkup(const std::string& markup, std::size_t limit) {
    if (markup.size() <= limit) return markup;
    const std::size_t open = markup.rfind('<', limit);
    return markup.substr(0, open == std::string::npos ? 0 : open);
}

std::string GetRelatedHTML(const std::string& markup, const std::string& source, PageBuild& build) {
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

        // Each scraped character grows to six at most once escaped.
        const std::string address =
            listable(build, out, href, 64 + 6 * (title.size() + shown.size()));
        if (address.empty()) {
            if (build.full) break;
            continue;
        }
        appendItem(out, {}, address, title, shown, "<BR>\r\n");
    }
    out += kRelatedRule;
    return out;
}

std::string GetCategoryHTML(const std::string& markup, PageBuild& build) {
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
        const std::string web = listable(
            build, out, address, 96 + 6 * (address.size() + title.size()) + kCreditFooter.size());
        if (web.empty()) {
            if (build.full) break;
            continue;
        }
        appendItem(out, "<div style=\"margin-top:8px;\">", web, address, title, "</DIV>\r\n");
    }
    out += kCreditFooter;
    return out;
}

}  // namespace surfdeck
