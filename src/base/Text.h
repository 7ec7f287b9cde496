#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Text helpers for the ASCII markers, names and addresses the program reads and writes.
// Letters outside ASCII are left as they are: see FoldCase.h for the full folding.
namespace surfdeck {

// ASCII character classes; bytes outside ASCII are none of them.
constexpr bool isAsciiAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
constexpr bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}
constexpr bool isAsciiHex(char c) {
    return isAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The letter in lower case, for A to Z; any other byte unchanged.
char lowerAscii(char c);
std::string lowerAscii(std::string_view text);
// Equal when A to Z are taken as a to z.
bool equalsNoCase(std::string_view a, std::string_view b);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
// The first position at or after from where needle stands, A to Z taken as a to z;
// npos when there is none. Linear in the text for the short markers it is used with.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);

// text without the leading and trailing characters that are in blanks.
std::string_view trim(std::string_view text, std::string_view blanks = " ");

// text with "<", ">", "&", '"' and "'" written as character references, so that it
// stands as text in markup or in a quoted attribute. With keepReferences, an "&" that
// already starts a well-formed reference ("&amp;", "&#39;", "&#x27;") is kept as it is.
void appendHtmlEscaped(std::string& out, std::string_view text, bool keepReferences = false);
std::string htmlEscaped(std::string_view text, bool keepReferences = false);

}  // namespace surfdeck
