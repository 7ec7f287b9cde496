#pragma once
#include <string>

// The related-sites panel's own page, built from the markup of the search service's
// related-pages answer: a list of related sites, then a list of categories. Pure text;
// strings are UTF-8 and the case-insensitive searches fold ASCII letters only.
namespace surfdeck {

// The text strictly between the first startMarker and the first endMarker that begins
// after it; both searches ignore case. Empty when either marker is missing.
std::string GetBetween(const std::string& text, const std::string& startMarker,
                       const std::string& endMarker);

// The related-sites half of the page; source is the site named in its header.
std::string GetRelatedHTML(const std::string& markup, const std::string& source);

// The category half of the page, ending with the credit footer.
std::string GetCategoryHTML(const std::string& markup);

// Scraped text made safe for an attribute value or element text: nothing in it can close
// the attribute or open a tag. Well-formed character references ("&amp;", "&#39;") stay.
std::string escapeScraped(const std::string& text);

// True when a browser would run the address as script (javascript:, vbscript:, data:),
// after the browser's own clean-up: leading blanks and control characters dropped, tabs
// and line breaks ignored, character references decoded, scheme case ignored.
bool isScriptAddress(const std::string& address);

}  // namespace surfdeck
