#pragma once
#include <string>

// Addresses taken from a scraped page, read the way a browser reads an href: character
// references decoded, blanks and control characters around it dropped, tabs and line
// breaks anywhere ignored, "\" as "/", resolved against the page's base address.
namespace surfdeck {

// The address resolved against base; empty when it has no scheme of its own and base is
// not an absolute address with an authority to resolve it against.
std::string resolveAddress(const std::string& href, const std::string& base);

// The resolved address when its scheme is http, https or ftp (written in lower case), else
// empty: script, local and browser-internal pages are never opened on a page's behalf.
std::string webAddress(const std::string& href, const std::string& base);

// True when an address a browser gives (already absolute, references long decoded) has
// the scheme http, https or ftp, read the way the browser reads it.
bool isWebAddress(const std::string& address);

// The page's base address: the href of its first <base> element resolved against the
// page's own address, else that address.
std::string answerBase(const std::string& markup, const std::string& pageAddress);

// The text on one line and at most limit bytes long, for a log line.
std::string logText(const std::string& text, std::size_t limit = 200);

}  // namespace surfdeck
