// The page builder on arbitrary answer markup: whatever the markup holds, every tag and
// every quote of the result is one of the page's own, and no link runs script.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "related/ResultsPage.h"

namespace {

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

void check(bool ok) {
    if (!ok) std::abort();
}

void checkLinks(const std::string& page) {
    const std::string open = "HREF=\"";
    for (auto at = page.find(open); at != std::string::npos; at = page.find(open, at + 1)) {
        const auto from = at + open.size();
        const auto end = page.find('"', from);
        check(end != std::string::npos);
        check(!surfdeck::isScriptAddress(page.substr(from, end - from)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const auto newline = input.find('\n');
    const std::string source = newline == std::string::npos ? "" : input.substr(0, newline);
    const std::string markup = newline == std::string::npos ? input : input.substr(newline + 1);

    const std::string related = surfdeck::GetRelatedHTML(markup, source);
    const std::size_t relatedItems = countOf(related, "<A HREF=");
    // Font, two breaks and the rule of the header, the closing rule; three tags per item.
    check(countOf(related, "<") == 5 + 3 * relatedItems);
    check(countOf(related, "\"") == 2 + 4 * relatedItems);
    checkLinks(related);

    static const std::string empty = surfdeck::GetCategoryHTML("");
    const std::string categories = surfdeck::GetCategoryHTML(markup);
    const std::size_t categoryItems = countOf(categories, "<A HREF=") - countOf(empty, "<A HREF=");
    check(countOf(categories, "<") == countOf(empty, "<") + 4 * categoryItems);
    check(countOf(categories, "\"") == countOf(empty, "\"") + 6 * categoryItems);
    checkLinks(categories);

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
