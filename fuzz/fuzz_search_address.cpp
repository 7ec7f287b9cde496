// The three search address builders (and the related-pages query) on arbitrary field
// text and list indexes. Every address is "http://" + host + the service's path + "?" +
// a query whose keys are exactly the template's, in its order; every value is one field,
// with nothing in it that could end it or start another key; ASCII words decode back to
// what was typed. The ie/oe pair (character set) may read ISO-8859-1 or UTF-8.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "search/SearchAddress.h"

namespace {

using namespace surfdeck;

void check(bool ok, const char* what, const std::string& address) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n%s\n", what, address.c_str());
        std::abort();
    }
}

struct Pair {
    std::string key, value;
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A query value as a server reads it: "+" is a space, "%XX" a byte.
std::optional<std::string> decode(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '+') {
            out += ' ';
        } else if (value[i] == '%') {
            if (i + 2 >= value.size()) return std::nullopt;
            const int hi = hexDigit(value[i + 1]);
            const int lo = hexDigit(value[i + 2]);
            if (hi < 0 || lo < 0) return std::nullopt;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// The address split as a URL parser would: scheme, host, path, then key=value pairs.
std::vector<Pair> parse(const std::string& address, const std::string& host,
                        const std::string& path) {
    for (const char c : address) {
        const auto b = static_cast<unsigned char>(c);
        // A blank may stand in a field other than the words; a browser sends it as %20.
        check(b >= 0x20 && b < 0x7f, "a control or 8-bit byte", address);
    }
    check(address.find('#') == std::string::npos, "a fragment mark", address);
    const std::string start = "http://" + host + path + "?";
    check(address.starts_with(start), "not http://host/path?", address);
    std::vector<Pair> pairs;
    std::string query = address.substr(start.size());
    check(query.find('?') == std::string::npos, "a second ?", address);
    std::size_t from = 0;
    for (;;) {
        const std::size_t amp = query.find('&', from);
        const std::string piece = query.substr(from, amp == std::string::npos ? amp : amp - from);
        const std::size_t eq = piece.find('=');
        check(eq != std::string::npos, "a query piece without =", address);
        check(piece.find('=', eq + 1) == std::string::npos, "a value holding =", address);
        check(decode(piece.substr(eq + 1)).has_value(), "a broken % escape", address);
        pairs.push_back({piece.substr(0, eq), piece.substr(eq + 1)});
        if (amp == std::string::npos) break;
        from = amp + 1;
    }
    return pairs;
}

// The keys without the character-set pair, which must come together and agree.
std::vector<std::string> keysOf(const std::vector<Pair>& pairs, const std::string& address) {
    std::vector<std::string> keys;
    std::optional<std::string> ie, oe;
    for (const Pair& p : pairs) {
        if (p.key == "ie") {
            ie = p.value;
        } else if (p.key == "oe") {
            oe = p.value;
        } else {
            keys.push_back(p.key);
        }
    }
    check(ie == oe, "ie and oe disagree", address);
    check(!ie || *ie == "ISO-8859-1" || *ie == "UTF-8", "an unknown character set", address);
    return keys;
}

const std::string* valueOf(const std::vector<Pair>& pairs, const std::string& key) {
    for (const Pair& p : pairs) {
        if (p.key == key) return &p.value;
    }
    return nullptr;
}

bool isAscii(const std::string& s) {
    for (const char c : s) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Typed ASCII text comes back from the value as it was typed.
void checkField(const std::vector<Pair>& pairs, const std::string& key, const std::string& typed,
                const std::string& address) {
    if (!isAscii(typed)) return;
    const std::string* value = valueOf(pairs, key);
    check(value != nullptr, "the field's key is missing", address);
    check(decode(*value) == typed, "a field does not decode to what was typed", address);
}

const char* const kMatchKeys[] = {"as_q", "as_epq", "as_oq", "as_eq"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const char* const kHosts[] = {"www.google.com", "127.0.0.1:8080", "h"};
    const std::string host = kHosts[in.ConsumeIntegral<std::uint8_t>() % std::size(kHosts)];
    const auto number = [&in] {
        return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-1, 8) : in.ConsumeIntegral<int>();
    };
    const auto text = [&in] { return in.ConsumeRandomLengthString(48); };

    WebSearchFields web{text(), number(), number(), number(), number(), number(), text()};
    const std::string webAddress = BuildWebSearchAddress(web, host);
    const auto webPairs = parse(webAddress, host, "/search");
    check(keysOf(webPairs, webAddress) ==
              std::vector<std::string>{"as_q", "num", "hl", "btnG", "as_epq", "as_oq", "as_eq",
                                       "lr", "as_ft", "as_filetype", "as_qdr", "as_occt", "as_dt",
                                       "as_sitesearch", "safe"},
          "web keys", webAddress);
    const int webMode = web.matchMode >= 0 && web.matchMode < 4 ? web.matchMode : 0;
    checkField(webPairs, kMatchKeys[webMode], web.words, webAddress);
    checkField(webPairs, "as_sitesearch", web.domain, webAddress);

    NewsSearchFields news{text(), number(), text(),   text(),  text(),
                          text(), number(), number(), number()};
    const std::string newsAddress = BuildNewsSearchAddress(news, host);
    const auto newsPairs = parse(newsAddress, host, "/groups");
    std::vector<std::string> newsKeys = {"as_q",        "num",         "as_ugroup",
                                         "as_usubject", "as_uauthors", "as_umsgid",
                                         "as_drrb",     "as_qdr",      "hl"};
    // The other match modes add their own key after the template, and newest-first
    // sorting one more.
    const int newsMode = news.matchMode >= 0 && news.matchMode < 4 ? news.matchMode : 0;
    if (newsMode != 0) newsKeys.push_back(kMatchKeys[newsMode]);
    if (news.sort == 1) newsKeys.push_back("scoring");
    check(keysOf(newsPairs, newsAddress) == newsKeys, "newsgroup keys", newsAddress);
    checkField(newsPairs, kMatchKeys[newsMode], news.words, newsAddress);

    ImageSearchFields image{text(), number(), number(), number(), number(), text(), number()};
    const std::string imageAddress = BuildImageSearchAddress(image, host);
    const auto imagePairs = parse(imageAddress, host, "/images");
    check(keysOf(imagePairs, imageAddress) ==
              std::vector<std::string>{"as_q", "svnum", "hl", "imgsafe", "btnG", "as_epq", "as_oq",
                                       "as_eq", "imgsz", "as_filetype", "imgc", "as_sitesearch",
                                       "imgsafe"},
          "image keys", imageAddress);
    const int imageMode = image.matchMode >= 0 && image.matchMode < 4 ? image.matchMode : 0;
    checkField(imagePairs, kMatchKeys[imageMode], image.words, imageAddress);
    checkField(imagePairs, "as_sitesearch", image.domain, imageAddress);

    const std::string site = text();
    const std::string relatedAddress = BuildRelatedQueryAddress(site, host);
    const auto relatedPairs = parse(relatedAddress, host, "/search");
    check(keysOf(relatedPairs, relatedAddress) == std::vector<std::string>{"as_rq"}, "related keys",
          relatedAddress);
    checkField(relatedPairs, "as_rq", site, relatedAddress);
    return 0;
}
