#include "base/FoldCase.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace surfdeck {
namespace {

// A run of capitals: every character from first to last moves by delta; with alternate
// set, only those at an even distance from first do (upper and lower case interleaved).
struct FoldRange {
    char32_t first;
    char32_t last;
    std::int32_t delta;
    bool alternate;
};

// Unicode 14's simple case folding (the one-character mappings of CaseFolding.txt, with
// the dotted capital I folded to i), sorted by first character.
constexpr FoldRange kFolds[] = {
    {0x0041, 0x005A, 32, false},     {0x00B5, 0x00B5, 775, false},
    {0x00C0, 0x00D6, 32, false},     {0x00D8, 0x00DE, 32, false},
    {0x0100, 0x012E, 1, true},       {0x0130, 0x0130, -199, false},
    {0x0132, 0x0136, 1, true},       {0x0139, 0x0147, 1, true},
    {0x014A, 0x0176, 1, true},       {0x0178, 0x0178, -121, false},
    {0x0179, 0x017D, 1, true},       {0x017F, 0x017F, -268, false},
    {0x0181, 0x0181, 210, false},    {0x0182, 0x0184, 1, true},
    {0x0186, 0x0186, 206, false},    {0x0187, 0x0187, 1, false},
    {0x0189, 0x018A, 205, false},    {0x018B, 0x018B, 1, false},
    {0x018E, 0x018E, 79, false},     {0x018F, 0x018F, 202, false},
    {0x0190, 0x0190, 203, false},    {0x0191, 0x0191, 1, false},
    {0x0193, 0x0193, 205, false},    {0x0194, 0x0194, 207, false},
    {0x0196, 0x0196, 211, false},    {0x0197, 0x0197, 209, false},
    {0x0198, 0x0198, 1, false},      {0x019C, 0x019C, 211, false},
    {0x019D, 0x019D, 213, false},    {0x019F, 0x019F, 214, false},
    {0x01A0, 0x01A4, 1, true},       {0x01A6, 0x01A6, 218, false},
    {0x01A7, 0x01A7, 1, false},      {0x01A9, 0x01A9, 218, false},
    {0x01AC, 0x01AC, 1, false},      {0x01AE, 0x01AE, 218, false},
    {0x01AF, 0x01AF, 1, false},      {0x01B1, 0x01B2, 217, false},
    {0x01B3, 0x01B5, 1, true},       {0x01B7, 0x01B7, 219, false},
    {0x01B8, 0x01B8, 1, false},      {0x01BC, 0x01BC, 1, false},
    {0x01C4, 0x01C4, 2, false},      {0x01C5, 0x01C5, 1, false},
    {0x01C7, 0x01C7, 2, false},      {0x01C8, 0x01C8, 1, false},
    {0x01CA, 0x01CA, 2, false},      {0x01CB, 0x01DB, 1, true},
    {0x01DE, 0x01EE, 1, true},       {0x01F1, 0x01F1, 2, false},
    {0x01F2, 0x01F4, 1, true},       {0x01F6, 0x01F6, -97, false},
    {0x01F7, 0x01F7, -56, false},    {0x01F8, 0x021E, 1, true},
    {0x0220, 0x0220, -130, false},   {0x0222, 0x0232, 1, true},
    {0x023A, 0x023A, 10795, false},  {0x023B, 0x023B, 1, false},
    {0x023D, 0x023D, -163, false},   {0x023E, 0x023E, 10792, false},
    {0x0241, 0x0241, 1, false},      {0x0243, 0x0243, -195, false},
    {0x0244, 0x0244, 69, false},     {0x0245, 0x0245, 71, false},
    {0x0246, 0x024E, 1, true},       {0x0345, 0x0345, 116, false},
    {0x0370, 0x0372, 1, true},       {0x0376, 0x0376, 1, false},
    {0x037F, 0x037F, 116, false},    {0x0386, 0x0386, 38, false},
    {0x0388, 0x038A, 37, false},     {0x038C, 0x038C, 64, false},
    {0x038E, 0x038F, 63, false},     {0x0391, 0x03A1, 32, false},
    {0x03A3, 0x03AB, 32, false},     {0x03C2, 0x03C2, 1, false},
    {0x03CF, 0x03CF, 8, false},      {0x03D0, 0x03D0, -30, false},
    {0x03D1, 0x03D1, -25, false},    {0x03D5, 0x03D5, -15, false},
    {0x03D6, 0x03D6, -22, false},    {0x03D8, 0x03EE, 1, true},
    {0x03F0, 0x03F0, -54, false},    {0x03F1, 0x03F1, -48, false},
    {0x03F4, 0x03F4, -60, false},    {0x03F5, 0x03F5, -64, false},
    {0x03F7, 0x03F7, 1, false},      {0x03F9, 0x03F9, -7, false},
    {0x03FA, 0x03FA, 1, false},      {0x03FD, 0x03FF, -130, false},
    {0x0400, 0x040F, 80, false},     {0x0410, 0x042F, 32, false},
    {0x0460, 0x0480, 1, true},       {0x048A, 0x04BE, 1, true},
    {0x04C0, 0x04C0, 15, false},     {0x04C1, 0x04CD, 1, true},
    {0x04D0, 0x052E, 1, true},       {0x0531, 0x0556, 48, false},
    {0x10A0, 0x10C5, 7264, false},   {0x10C7, 0x10C7, 7264, false},
    {0x10CD, 0x10CD, 7264, false},   {0x13F8, 0x13FD, -8, false},
    {0x1C80, 0x1C80, -6222, false},  {0x1C81, 0x1C81, -6221, false},
    {0x1C82, 0x1C82, -6212, false},  {0x1C83, 0x1C84, -6210, false},
    {0x1C85, 0x1C85, -6211, false},  {0x1C86, 0x1C86, -6204, false},
    {0x1C87, 0x1C87, -6180, false},  {0x1C88, 0x1C88, 35267, false},
    {0x1C90, 0x1CBA, -3008, false},  {0x1CBD, 0x1CBF, -3008, false},
    {0x1E00, 0x1E94, 1, true},       {0x1E9B, 0x1E9B, -58, false},
    {0x1EA0, 0x1EFE, 1, true},       {0x1F08, 0x1F0F, -8, false},
    {0x1F18, 0x1F1D, -8, false},     {0x1F28, 0x1F2F, -8, false},
    {0x1F38, 0x1F3F, -8, false},     {0x1F48, 0x1F4D, -8, false},
    {0x1F59, 0x1F5F, -8, true},      {0x1F68, 0x1F6F, -8, false},
    {0x1FB8, 0x1FB9, -8, false},     {0x1FBA, 0x1FBB, -74, false},
    {0x1FBE, 0x1FBE, -7173, false},  {0x1FC8, 0x1FCB, -86, false},
    {0x1FD8, 0x1FD9, -8, false},     {0x1FDA, 0x1FDB, -100, false},
    {0x1FE8, 0x1FE9, -8, false},     {0x1FEA, 0x1FEB, -112, false},
    {0x1FEC, 0x1FEC, -7, false},     {0x1FF8, 0x1FF9, -128, false},
    {0x1FFA, 0x1FFB, -126, false},   {0x2126, 0x2126, -7517, false},
    {0x212A, 0x212A, -8383, false},  {0x212B, 0x212B, -8262, false},
    {0x2132, 0x2132, 28, false},     {0x2160, 0x216F, 16, false},
    {0x2183, 0x2183, 1, false},      {0x24B6, 0x24CF, 26, false},
    {0x2C00, 0x2C2F, 48, false},     {0x2C60, 0x2C60, 1, false},
    {0x2C62, 0x2C62, -10743, false}, {0x2C63, 0x2C63, -3814, false},
    {0x2C64, 0x2C64, -10727, false}, {0x2C67, 0x2C6B, 1, true},
    {0x2C6D, 0x2C6D, -10780, false}, {0x2C6E, 0x2C6E, -10749, false},
    {0x2C6F, 0x2C6F, -10783, false}, {0x2C70, 0x2C70, -10782, false},
    {0x2C72, 0x2C72, 1, false},      {0x2C75, 0x2C75, 1, false},
    {0x2C7E, 0x2C7F, -10815, false}, {0x2C80, 0x2CE2, 1, true},
    {0x2CEB, 0x2CED, 1, true},       {0x2CF2, 0x2CF2, 1, false},
    {0xA640, 0xA66C, 1, true},       {0xA680, 0xA69A, 1, true},
    {0xA722, 0xA72E, 1, true},       {0xA732, 0xA76E, 1, true},
    {0xA779, 0xA77B, 1, true},       {0xA77D, 0xA77D, -35332, false},
    {0xA77E, 0xA786, 1, true},       {0xA78B, 0xA78B, 1, false},
    {0xA78D, 0xA78D, -42280, false}, {0xA790, 0xA792, 1, true},
    {0xA796, 0xA7A8, 1, true},       {0xA7AA, 0xA7AA, -42308, false},
    {0xA7AB, 0xA7AB, -42319, false}, {0xA7AC, 0xA7AC, -42315, false},
    {0xA7AD, 0xA7AD, -42305, false}, {0xA7AE, 0xA7AE, -42308, false},
    {0xA7B0, 0xA7B0, -42258, false}, {0xA7B1, 0xA7B1, -42282, false},
    {0xA7B2, 0xA7B2, -42261, false}, {0xA7B3, 0xA7B3, 928, false},
    {0xA7B4, 0xA7C2, 1, true},       {0xA7C4, 0xA7C4, -48, false},
    {0xA7C5, 0xA7C5, -42307, false}, {0xA7C6, 0xA7C6, -35384, false},
    {0xA7C7, 0xA7C9, 1, true},       {0xA7D0, 0xA7D0, 1, false},
    {0xA7D6, 0xA7D8, 1, true},       {0xA7F5, 0xA7F5, 1, false},
    {0xAB70, 0xABBF, -38864, false}, {0xFF21, 0xFF3A, 32, false},
    {0x10400, 0x10427, 40, false},   {0x104B0, 0x104D3, 40, false},
    {0x10570, 0x1057A, 39, false},   {0x1057C, 0x1058A, 39, false},
    {0x1058C, 0x10592, 39, false},   {0x10594, 0x10595, 39, false},
    {0x10C80, 0x10CB2, 64, false},   {0x118A0, 0x118BF, 32, false},
    {0x16E40, 0x16E5F, 32, false},   {0x1E900, 0x1E921, 34, false},
};

// Stands for a byte that begins no well-formed sequence; above every character.
constexpr char32_t kStrayByte = 0x110000;

char32_t nextChar(std::string_view s, std::size_t& i) {
    char32_t c = 0;
    return nextUtf8(s, i, c) ? c : kStrayByte + c;
}

}  // namespace

bool nextUtf8(std::string_view s, std::size_t& i, char32_t& c) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    c = b0;
    if (b0 < 0x80) {
        ++i;
        return true;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2, c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3, c = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4, c = b0 & 0x07;
    }
    bool ok = len != 0 && s.size() - i >= len;
    for (std::size_t k = 1; ok && k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        ok = (b & 0xC0) == 0x80;
        c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past the last character are not text.
    static constexpr char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || c < kMin[len] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = b0;
        ++i;
        return false;
    }
    i += len;
    return true;
}

char32_t foldCase(char32_t c) {
    // The last range that starts at or before c.
    const auto after = std::upper_bound(std::begin(kFolds), std::end(kFolds), c,
                                        [](char32_t v, const FoldRange& r) { return v < r.first; });
    if (after == std::begin(kFolds)) return c;
    const FoldRange& r = *std::prev(after);
    if (c > r.last || (r.alternate && (c - r.first) % 2 != 0)) return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + r.delta);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = nextChar(a, i);
        const char32_t cb = nextChar(b, j);
        if (ca != cb && (ca >= kStrayByte || cb >= kStrayByte || foldCase(ca) != foldCase(cb)))
            return false;
    }
    return i == a.size() && j == b.size();
}

}  // namespace surfdeck
