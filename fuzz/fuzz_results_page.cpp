// The page builder on arbitrary answer markup, checked by a tokenizer of its own rather
// than by the builder's rules: whatever the answer holds, the page has only the builder's
// elements and attributes, and every link opens an http, https or ftp address whose scheme
// is written out plainly. Input: the source line, the answer's address line, the markup.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "related/ResultsPage.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

std::string lowered(std::string_view s) {
    std::string out;
    for (char c : s) out += lower(c);
    return out;
}

bool space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// The attributes each element of the page may carry.
bool allowed(const std::string& tag, const std::string& attr) {
    if (tag == "font") return attr == "face" || attr == "size" || attr == "padding-left";
    if (tag == "hr") return attr == "noshade" || attr == "size";
    if (tag == "a") return attr == "href" || attr == "title";
    if (tag == "div") return attr == "style";
    return false;
}

bool knownTag(const std::string& tag) {
    return tag == "font" || tag == "hr" || tag == "a" || tag == "div" || tag == "br";
}

void checkAttribute(const std::string& tag, const std::string& name, std::string_view value) {
    check(allowed(tag, name));
    if (name == "href") {
        // A browser reads the scheme from the raw value after references and blanks: only a
        // plain "http:", "https:" or "ftp:" at the very start is certain to mean that.
        const std::string v = lowered(value.substr(0, 6));
        check(v.rfind("http:", 0) == 0 || v.rfind("https:", 0) == 0 || v.rfind("ftp:", 0) == 0);
    }
    if (name == "style") check(value == "margin-top:8px;");
}

// Walks the page as an HTML tokenizer does (data, tags, attributes, comments).
void checkPage(std::string_view page) {
    std::size_t i = 0;
    while (i < page.size()) {
        if (page[i] != '<') {
            ++i;
            continue;
        }
        if (page.substr(i, 4) == "<!--") {
            const std::size_t end = page.find("-->", i + 4);
            check(end != std::string_view::npos);
            i = end + 3;
            continue;
        }
        std::size_t j = i + 1;
        const bool closing = j < page.size() && page[j] == '/';
        if (closing) ++j;
        // "<" followed by anything but a letter is text to a browser; the page never has it.
        check(j < page.size() &&
              ((page[j] >= 'a' && page[j] <= 'z') || (page[j] >= 'A' && page[j] <= 'Z')));
        std::size_t k = j;
        while (k < page.size() && !space(page[k]) && page[k] != '/' && page[k] != '>') ++k;
        const std::string tag = lowered(page.substr(j, k - j));
        check(knownTag(tag));
        // Attributes up to the tag's end.
        while (true) {
            while (k < page.size() && (space(page[k]) || page[k] == '/')) ++k;
            check(k < page.size());
            if (page[k] == '>') break;
            check(!closing);
            std::size_t n = k;
            while (n < page.size() && !space(page[n]) && page[n] != '/' && page[n] != '>' &&
                   page[n] != '=')
                ++n;
            const std::string name = lowered(page.substr(k, n - k));
            while (n < page.size() && space(page[n])) ++n;
            std::string_view value;
            if (n < page.size() && page[n] == '=') {
                ++n;
                while (n < page.size() && space(page[n])) ++n;
                check(n < page.size());
                if (page[n] == '"' || page[n] == '\'') {
                    const std::size_t close = page.find(page[n], n + 1);
                    check(close != std::string_view::npos);
                    value = page.substr(n + 1, close - n - 1);
                    n = close + 1;
                } else {
                    const std::size_t from = n;
                    while (n < page.size() && !space(page[n]) && page[n] != '>') ++n;
                    value = page.substr(from, n - from);
                }
            }
            checkAttribute(tag, name, value);
            k = n;
        }
        i = k + 1;
    }
}

std::string line(const std::string& input, std::size_t& at) {
    const auto newline = input.find('\n', at);
    const std::string out =
        input.substr(at, newline == std::string::npos ? std::string::npos : newline - at);
    at = newline == std::string::npos ? input.size() : newline + 1;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t at = 0;
    const std::string source = line(input, at);
    const std::string base = line(input, at);
    const std::string markup = input.substr(at);

    surfdeck::PageBuild build;
    build.base = base;
    const std::string page =
        surfdeck::GetRelatedHTML(markup, source, build) + surfdeck::GetCategoryHTML(markup, build);
    checkPage(page);

    const std::string escaped = surfdeck::escapeScraped(markup);
    check(surfdeck::escapeScraped(escaped) == escaped);

    if (size >= 2) {
        const std::string start(1, input[0]);
        const std::string end(1, input[1]);
        const std::string between = surfdeck::GetBetween(markup, start, end);
        check(markup.find(between) != std::string::npos);
    }
    return 0;
}
