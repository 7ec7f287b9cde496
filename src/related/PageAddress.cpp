#include "related/PageAddress.h"

#include <string_view>

#include "base/Text.h"

namespace surfdeck {
namespace {

using std::string_view;
constexpr auto npos = string_view::npos;

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The names a scraped address may plausibly use; any other reference stays as written,
// which can only make the address relative, never give it a scheme.
unsigned long namedReference(string_view name) {
    struct Named {
        string_view name;
        unsigned long cp;
    };
    static constexpr Named kNames[] = {
        {"amp", '&'},    {"lt", '<'},     {"gt", '>'},    {"quot", '"'},     {"apos", '\''},
        {"nbsp", 0xA0},  {"colon", ':'},  {"Tab", '\t'},  {"NewLine", '\n'}, {"sol", '/'},
        {"period", '.'}, {"num", '#'},    {"quest", '?'}, {"equals", '='},   {"percnt", '%'},
        {"bsol", '\\'},  {"commat", '@'}, {"semi", ';'},  {"plus", '+'},     {"comma", ','},
        {"lpar", '('},   {"rpar", ')'},   {"excl", '!'},  {"lowbar", '_'},   {"hyphen", '-'},
        {"AMP", '&'},    {"LT", '<'},     {"GT", '>'},    {"QUOT", '"'},
    };
    for (const auto& n : kNames)
        if (n.name == name) return n.cp;
    return 0;
}

// Character references decoded as a browser decodes an attribute value; only well-formed
// ones (ending in ";") are taken, as the page builder keeps only those.
std::string decodeReferences(string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        std::size_t j = i + 1;
        unsigned long cp = 0;
        bool ok = false;
        if (j < text.size() && text[j] == '#') {
            ++j;
            const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
            if (hex) ++j;
            const std::size_t from = j;
            while (j < text.size() && (hex ? isAsciiHex(text[j]) : isAsciiDigit(text[j]))) {
                const char c = text[j];
                const unsigned long digit =
                    isAsciiDigit(c) ? static_cast<unsigned long>(c - '0')
                                    : static_cast<unsigned long>(lowerAscii(c) - 'a' + 10);
                if (cp <= 0x10FFFF) cp = cp * (hex ? 16 : 10) + digit;
                ++j;
            }
            ok = j > from && j < text.size() && text[j] == ';';
        } else {
            const std::size_t from = j;
            while (j < text.size() && j - from < 32 &&
                   (isAsciiAlpha(text[j]) || isAsciiDigit(text[j])))
                ++j;
            if (j > from && j < text.size() && text[j] == ';') {
                cp = namedReference(text.substr(from, j - from));
                ok = cp != 0;
            }
        }
        if (!ok) {
            out += '&';
            continue;
        }
        appendUtf8(out, cp);
        i = j;
    }
    return out;
}

// The browser's clean-up of an address before it is parsed.
std::string cleaned(string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    std::string out;
    out.reserve(s.size());
    bool inPath = true;  // "\" counts as "/" up to the query or fragment
    for (char c : s) {
        if (c == '\t' || c == '\n' || c == '\r') continue;
        if (c == '?' || c == '#') inPath = false;
        out += (inPath && c == '\\') ? '/' : c;
    }
    return out;
}

// Length of the scheme at the start of an address ("http" in "http://x"), 0 when none.
std::size_t schemeLength(string_view s) {
    if (s.empty() || !isAsciiAlpha(s[0])) return 0;
    for (std::size_t i = 1; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') return i;
        if (!isAsciiAlpha(c) && !isAsciiDigit(c) && c != '+' && c != '-' && c != '.') return 0;
    }
    return 0;
}

std::string lowerScheme(string_view address, std::size_t length) {
    std::string out;
    for (std::size_t i = 0; i < length; ++i) out += lowerAscii(address[i]);
    return out;
}

bool isWebScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ftp";
}

// An absolute address cut into scheme, "//authority" and the rest.
struct Parts {
    std::string scheme;
    string_view authority;  // with its leading "//"
    string_view path;       // up to the query or fragment
    string_view query;      // from "?" up to the fragment
};

bool split(string_view base, Parts& p) {
    const std::size_t n = schemeLength(base);
    if (n == 0 || base.substr(n + 1, 2) != "//") return false;
    p.scheme = lowerScheme(base, n);
    string_view rest = base.substr(n + 1);
    std::size_t end = rest.find_first_of("/?#", 2);
    p.authority = rest.substr(0, end);
    rest = end == npos ? string_view{} : rest.substr(end);
    end = rest.find_first_of("?#");
    p.path = rest.substr(0, end);
    rest = end == npos ? string_view{} : rest.substr(end);
    p.query = rest.substr(0, rest.find('#'));
    return true;
}

}  // namespace

bool isWebAddress(const std::string& address) {
    const std::string s = cleaned(address);
    const std::size_t n = schemeLength(s);
    return n != 0 && isWebScheme(lowerScheme(s, n));
}

std::string resolveAddress(const std::string& href, const std::string& base) {
    const std::string ref = cleaned(decodeReferences(href));
    const std::size_t n = schemeLength(ref);
    if (n != 0) return lowerScheme(ref, n) + ref.substr(n);

    Parts b;
    const std::string baseText = cleaned(base);
    if (!split(baseText, b)) return {};
    std::string out = b.scheme + ":";
    if (ref.rfind("//", 0) == 0) return out + ref;
    out += b.authority;
    if (!ref.empty() && ref[0] == '/') return out + ref;
    if (ref.empty() || ref[0] == '#') return out.append(b.path).append(b.query) + ref;
    if (ref[0] == '?') return out.append(b.path) + ref;
    const std::size_t slash = b.path.rfind('/');
    out += slash == npos ? string_view("/") : b.path.substr(0, slash + 1);
    return out + ref;
}

std::string webAddress(const std::string& href, const std::string& base) {
    std::string resolved = resolveAddress(href, base);
    const std::size_t n = schemeLength(resolved);
    if (n == 0 || !isWebScheme(resolved.substr(0, n))) return {};
    return resolved;
}

std::string answerBase(const std::string& markup, const std::string& pageAddress) {
    // The first <base ...> tag (not <basefont>) with an href; scraped markup is the
    // browser's own serialization, so attributes are quoted or plain words.
    for (std::size_t at = 0; (at = markup.find('<', at)) != std::string::npos; ++at) {
        if (markup.size() - at < 6) break;
        std::string name;
        for (std::size_t k = 1; k <= 4; ++k) name += lowerAscii(markup[at + k]);
        const char after = markup[at + 5];
        if (name != "base" || !(after == ' ' || after == '\t' || after == '\n' || after == '\r' ||
                                after == '/' || after == '>'))
            continue;
        const std::size_t close = markup.find('>', at);
        const string_view tag =
            string_view(markup).substr(at, close == std::string::npos ? npos : close - at);
        for (std::size_t h = 5; h + 5 <= tag.size(); ++h) {
            const char before = tag[h - 1];
            if (!(before == ' ' || before == '\t' || before == '\n' || before == '\r' ||
                  before == '/'))
                continue;
            std::string attr;
            for (std::size_t k = 0; k < 4; ++k) attr += lowerAscii(tag[h + k]);
            std::size_t v = h + 4;
            while (v < tag.size() && tag[v] == ' ') ++v;
            if (attr != "href" || v >= tag.size() || tag[v] != '=') continue;
            ++v;
            while (v < tag.size() && tag[v] == ' ') ++v;
            string_view value = tag.substr(v);
            if (!value.empty() && (value[0] == '"' || value[0] == '\'')) {
                const char quote = value[0];
                value =
                    value.substr(1, value.find(quote, 1) == npos ? npos : value.find(quote, 1) - 1);
            } else {
                value = value.substr(0, value.find_first_of(" \t\r\n"));
            }
            const std::string resolved = resolveAddress(std::string(value), pageAddress);
            return resolved.empty() ? pageAddress : resolved;
        }
    }
    return pageAddress;
}

std::string logText(const std::string& text, std::size_t limit) {
    std::string out = text.substr(0, limit);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') c = ' ';
    if (text.size() > limit) out += "...";
    return out;
}

}  // namespace surfdeck
