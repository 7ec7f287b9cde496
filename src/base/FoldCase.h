#pragma once
#include <string_view>

namespace surfdeck {

// Whether two UTF-8 texts are equal without regard to letter case, in every alphabet
// that has two cases (Latin, Greek, Cyrillic, Armenian, Georgian, Cherokee, Glagolitic,
// Coptic, Deseret and others), one character for one character. Needs no locale. A byte
// that does not begin a well-formed sequence stands for itself and equals only itself.
bool equalsIgnoringCase(std::string_view a, std::string_view b);

// The character c with its case folded (mostly to its lower-case form).
char32_t foldCase(char32_t c);

// Reads the character of s that starts at i (i < s.size()) into c and moves i past it.
// False for a byte that begins no well-formed UTF-8 sequence (a cut, overlong or
// surrogate form, or 8-bit text of another charset): c is then that byte, and i moves
// by one.
bool nextUtf8(std::string_view s, std::size_t& i, char32_t& c);

}  // namespace surfdeck
