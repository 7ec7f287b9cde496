#pragma once
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

// The related-sites panel's own page, built from the markup of the search service's
// related-pages answer: a list of related sites, then a list of categories. Pure text;
// strings are UTF-8 and the case-insensitive searches fold ASCII letters only.
namespace surfdeck {

// The text strictly between the first startMarker and the first endMarker that begins
// after it; both searches ignore case. Empty when either marker is missing.
std::string GetBetween(const std::string& text, const std::string& startMarker,
                       const std::string& endMarker);

// What a page is built against, and what the building left out.
struct PageBuild {
    // Relative links are resolved against it (see answerBase); with none they are left out.
    std::string base;
    // Items stop once the page would grow past this many bytes (the fixed pieces and the
    // credit always come).
    std::size_t budget = std::numeric_limits<std::size_t>::max();
    // Filled: every link that was not an http, https or ftp address once resolved.
    std::vector<std::string> leftOut;
    // Set when the budget ended the list early.
    bool full = false;
};

// The related-sites half of the page; source is the site named in its header.
std::string GetRelatedHTML(const std::string& markup, const std::string& source);
std::string GetRelatedHTML(const std::string& markup, const std::string& source, PageBuild& build);

// The category half of the page, ending with the credit footer.
std::string GetCategoryHTML(const std::string& markup);
std::string GetCategoryHTML(const std::string& markup, PageBuild& build);

// The answer markup cut to at most limit bytes, just before the last tag that would not
// fit whole; the markup itself when it fits.
std::string capMarkup(const std::string& markup, std::size_t limit);

// Scraped text made safe for an attribute value or element text: nothing in it can close
// the attribute or open a tag. Well-formed character references ("&amp;", "&#39;") stay.
std::string escapeScraped(const std::string& text);

}  // namespace surfdeck
