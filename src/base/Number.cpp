#include "base/Number.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/Text.h"

namespace surfdeck {

namespace {

// Whole number nearest to value, halves to the even neighbour, saturated to [lo, hi].
template <class Int>
Int roundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    constexpr Int lo = std::numeric_limits<Int>::min();
    constexpr Int hi = std::numeric_limits<Int>::max();
    double whole = std::floor(value);
    const double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole <= static_cast<double>(lo)) return lo;
    if (whole >= static_cast<double>(hi)) return hi;
    return static_cast<Int>(whole);
}

}  // namespace

double Val(const std::string& text) {
    // Gather the number's characters, skipping blanks wherever they are.
    std::string digits;
    bool negative = false;
    bool signSeen = false;
    bool pointSeen = false;
    bool mantissaDigit = false;
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < text.size() &&
               (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r'))
            ++i;
    };
    for (skipBlanks(); i < text.size(); ++i, skipBlanks()) {
        const char c = text[i];
        if ((c == '+' || c == '-') && !signSeen && digits.empty() && !pointSeen) {
            signSeen = true;
            negative = c == '-';
        } else if (isAsciiDigit(c)) {
            digits += c;
            mantissaDigit = true;
        } else if (c == '.' && !pointSeen) {
            pointSeen = true;
            digits += c;
        } else {
            break;
        }
    }
    if (!mantissaDigit) return 0.0;
    // An exponent counts only when at least one digit follows it.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::string exponent = "e";
        std::size_t j = i + 1;
        const auto skip = [&] {
            while (j < text.size() &&
                   (text[j] == ' ' || text[j] == '\t' || text[j] == '\n' || text[j] == '\r'))
                ++j;
        };
        skip();
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponent += text[j];
            ++j;
        }
        bool exponentDigit = false;
        for (skip(); j < text.size() && isAsciiDigit(text[j]); ++j, skip()) {
            exponent += text[j];
            exponentDigit = true;
        }
        if (exponentDigit) digits += exponent;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Too large keeps the largest finite number, too small is 0: callers never see
        // an infinity.
        const std::size_t e = digits.find('e');
        const bool tiny = e != std::string::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

std::int32_t RoundHalfEven32(double value) {
    return roundHalfEven<std::int32_t>(value);
}

std::int16_t RoundHalfEven16(double value) {
    return roundHalfEven<std::int16_t>(value);
}

std::string FormatNumber(double value) {
    if (!std::isfinite(value) || value == 0.0) return "0";
    // Shortest text that reads back as the same number, never in exponent form.
    char buffer[400];
    const auto [end, error] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc()) return "0";
    return std::string(buffer, end);
}

}  // namespace surfdeck
