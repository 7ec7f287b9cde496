#include "related/ResultsPage.h"

#include "base/Text.h"
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
    appendHtmlEscaped(out, url);
    out += "\" Title=\"";
    appendHtmlEscaped(out, alt, true);
    out += "\">";
    appendHtmlEscaped(out, title, true);
    out += "</A>";
    out += suffix;
}

}  // namespace

std::string escapeScraped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text, true);
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
    appendHtmlEscaped(out, source, true);
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

        string_view href = trim(between(block, "=", ">"));
        if (!href.empty() && href.front() == '"') href.remove_prefix(1);
        if (!href.empty() && href.back() == '"') href.remove_suffix(1);
        const string_view title = between(block, ">", "<");
        string_view shown = href;
        if (startsWithNoCase(shown, "http://")) shown.remove_prefix(7);
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
