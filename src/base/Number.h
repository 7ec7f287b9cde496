#pragma once
#include <cstdint>
#include <string>

// Numbers as the settings file and the windows' positions write them.
namespace surfdeck {

// The leading decimal number of text: blanks anywhere skipped, "." and an exponent
// accepted; 0 when there is none ("1200px" 1200, "12,5" 12, "abc" 0).
double Val(const std::string& text);
// Rounded to the nearest whole number, halves to even, into 32 bits (saturating).
std::int32_t RoundHalfEven32(double value);
// Rounded the same way into 16 bits (saturating).
std::int16_t RoundHalfEven16(double value);
// A position or size in twips as trimmed decimal text ("1515", "-30", "12.5").
std::string FormatNumber(double value);

}  // namespace surfdeck
