// Case-blind comparison on arbitrary bytes: never reads past either text, and behaves as
// an equality (reflexive, symmetric) that ASCII letter case never changes. The input is
// split at its first zero byte into the two texts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/FoldCase.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::string asciiUpper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const auto zero = all.find('\0');
    // Copies of exact size, so that a read past the end shows under the sanitizer.
    const std::string a(all.substr(0, zero));
    const std::string b(zero == std::string_view::npos ? std::string_view() : all.substr(zero + 1));

    const bool same = surfdeck::equalsIgnoringCase(a, b);
    check(same == surfdeck::equalsIgnoringCase(b, a));
    check(surfdeck::equalsIgnoringCase(a, a));
    check(surfdeck::equalsIgnoringCase(a, asciiUpper(a)));
    check(same == surfdeck::equalsIgnoringCase(asciiUpper(a), b));
    if (a == b) check(same);
    return 0;
}
