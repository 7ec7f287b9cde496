#include "search/SearchAddress.h"

#include "base/Text.h"

#include <array>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "base/FoldCase.h"
#include "settings/Settings.h"

namespace surfdeck {
namespace {

using std::string_view;

constexpr string_view kWebTemplate =
    "as_q=TEXT1&num=RESULTNUM&hl=en&ie=ISO-8859-1&oe=ISO-8859-1&btnG=Google+Search&as_epq="
    "TEXT2&as_oq=TEXT3&as_eq=TEXT4&lr=&as_ft=i&as_filetype=FILETYPE&as_qdr=DATE&as_occt="
    "OCCURANCE&as_dt=i&as_sitesearch=DOMAIN&safe=off";
constexpr string_view kNewsTemplate =
    "as_q=TEXT1&num=RESULTNUM&as_ugroup=GROUP&as_usubject=SUBJECT&as_uauthors=AUTHOR&as_"
    "umsgid=MESSAGEID&as_drrb=b&as_qdr=DATE&hl=en";
constexpr string_view kImageTemplate =
    "as_q=TEXT1&svnum=RESULTNUM&hl=en&imgsafe=off&btnG=Google+Search&as_epq=TEXT2&as_oq=TEXT3&"
    "as_eq=TEXT4&imgsz=IMAGESIZE&as_filetype=FILETYPE&imgc=IMAGECOLOR&as_sitesearch=DOMAIN&"
    "imgsafe=off";

constexpr std::array<string_view, 4> kWordPlaceholders = {"TEXT1", "TEXT2", "TEXT3", "TEXT4"};
constexpr std::array<string_view, 5> kResults = {"10", "20", "30", "50", "100"};
constexpr std::array<string_view, 7> kWebFileFormats = {"",    "pdf", "ps", "doc",
                                                        "xls", "ppt", "rtf"};
constexpr std::array<string_view, 4> kWebDates = {"all", "m3", "m6", "y"};
constexpr std::array<string_view, 5> kWebOccurrences = {"any", "title", "body", "url", "links"};
constexpr std::array<string_view, 7> kNewsDates = {"", "d", "w", "m", "m3", "m6", "y"};
// The Groups query has only as_q in its template; the other match modes add their key.
constexpr std::array<string_view, 4> kNewsMatchKeys = {"", "as_epq", "as_oq", "as_eq"};
constexpr std::array<string_view, 7> kImageSizes = {"",      "icon",   "small",  "medium",
                                                    "large", "xlarge", "xxlarge"};
constexpr std::array<string_view, 3> kImageFileTypes = {"", "jpg", "gif"};
constexpr std::array<string_view, 4> kImageColors = {"", "mono", "gray", "color"};

template <std::size_t N>
std::size_t indexIn(const std::array<string_view, N>&, int index) {
    return (index >= 0 && static_cast<std::size_t>(index) < N) ? static_cast<std::size_t>(index)
                                                               : 0;
}

template <std::size_t N>
string_view pick(const std::array<string_view, N>& table, int index) {
    return table[indexIn(table, index)];
}

struct Step {
    string_view word;
    std::string value;
};

// The template filled by the placeholder steps in their order. Applying the steps one
// after another to the growing address would let a later step rewrite what an earlier
// one inserted (words "SAVE THE DATE" would lose "DATE" to the date value), so every
// placeholder of the template takes the value of the first step that names it, and the
// values are never searched. For values free of placeholder words both ways agree.
std::string fillTemplate(string_view tmpl, std::initializer_list<Step> steps) {
    std::string out;
    std::size_t i = 0;
    while (i < tmpl.size()) {
        const Step* hit = nullptr;
        for (const Step& step : steps) {
            if (!step.word.empty() && tmpl.compare(i, step.word.size(), step.word) == 0) {
                hit = &step;
                break;
            }
        }
        if (hit != nullptr) {
            out += hit->value;
            i += hit->word.size();
        } else {
            out += tmpl[i++];
        }
    }
    return out;
}

bool needsEncoding(unsigned char c) {
    return c < 0x20 || c >= 0x7f || c == '&' || c == '#' || c == '%' || c == '+' || c == '=' ||
           c == '?';
}

std::string encode(string_view text, bool spaceAsPlus) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ' && spaceAsPlus) {
            out += '+';
        } else if (needsEncoding(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0f];
        } else {
            out += ch;
        }
    }
    return out;
}

// The characters of typed text: well-formed UTF-8 as it stands; any other byte is taken as
// the ISO-8859-1 character of that value, as an 8-bit conf.ini may hold it.
template <typename Visit>
void forEachChar(string_view s, Visit visit) {
    std::size_t i = 0;
    char32_t c = 0;
    while (i < s.size()) {
        nextUtf8(s, i, c);
        visit(c);
    }
}

bool fitsLatin1(string_view s) {
    bool fits = true;
    forEachChar(s, [&](char32_t c) { fits = fits && c <= 0xFF; });
    return fits;
}

// The bytes of text in the charset the address declares.
std::string transcode(string_view s, bool latin1) {
    std::string out;
    out.reserve(s.size());
    forEachChar(s, [&](char32_t c) {
        if (latin1 || c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    });
    return out;
}

// One address carries one charset: ISO-8859-1, which the services read by default, when
// every field fits it, otherwise UTF-8, declared in the address.
class QueryCharset {
  public:
    explicit QueryCharset(std::initializer_list<string_view> fields) {
        for (string_view f : fields) latin1_ = latin1_ && fitsLatin1(f);
    }
    bool latin1() const { return latin1_; }
    std::string words(string_view s) const { return encodeSearchWords(transcode(s, latin1_)); }
    std::string field(string_view s) const { return encodeQueryField(transcode(s, latin1_)); }

  private:
    bool latin1_ = true;
};

constexpr string_view kLatin1Declared = "ie=ISO-8859-1&oe=ISO-8859-1";
constexpr string_view kUtf8Declared = "ie=UTF-8&oe=UTF-8";

std::string trimSpaces(string_view s) {
    return std::string(trim(s));
}

std::string address(string_view host, string_view path, const std::string& query) {
    std::string out = "http://";
    out += host;
    out += path;
    out += '?';
    out += query;
    return out;
}

std::string hostOr(const std::string& iniFile, const std::string& key, const std::string& def) {
    std::string host = ReadIni("Search", key, def, iniFile);
    return host.empty() ? def : host;
}

}  // namespace

std::string ReplaceAll(const std::string& text, const std::string& word, const std::string& value) {
    if (word.empty()) return text;
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, from)) {
        out.append(text, from, at - from);
        out += value;
        from = at + word.size();
    }
    out.append(text, from);
    return out;
}

std::string encodeSearchWords(const std::string& text) {
    return encode(text, true);
}
std::string encodeQueryField(const std::string& text) {
    return encode(text, false);
}

std::string BuildWebSearchAddress(const WebSearchFields& fields, const std::string& host) {
    const QueryCharset charset{fields.words, fields.domain};
    const std::string query = fillTemplate(
        kWebTemplate,
        {
            {pick(kWordPlaceholders, fields.matchMode), charset.words(fields.words)},
            {"TEXT1", ""},
            {"TEXT2", ""},
            {"TEXT3", ""},
            {"TEXT4", ""},
            {"RESULTNUM", std::string(pick(kResults, fields.results))},
            {"FILETYPE", std::string(pick(kWebFileFormats, fields.fileFormat))},
            {"DATE", std::string(pick(kWebDates, fields.date))},
            {"OCCURANCE", std::string(pick(kWebOccurrences, fields.occurrences))},
            {"DOMAIN", charset.field(fields.domain)},
            {kLatin1Declared, std::string(charset.latin1() ? kLatin1Declared : kUtf8Declared)},
        });
    return address(host, "/search", query);
}

std::string BuildNewsSearchAddress(const NewsSearchFields& fields, const std::string& host) {
    const std::string group = trimSpaces(fields.group), subject = trimSpaces(fields.subject),
                      author = trimSpaces(fields.author), messageId = trimSpaces(fields.messageId);
    const QueryCharset charset{fields.words, group, subject, author, messageId};
    const std::string words = charset.words(fields.words);
    const std::size_t mode = indexIn(kNewsMatchKeys, fields.matchMode);
    std::string query =
        fillTemplate(kNewsTemplate, {
                                        {"TEXT1", mode == 0 ? words : std::string()},
                                        {"RESULTNUM", std::string(pick(kResults, fields.results))},
                                        {"GROUP", charset.field(group)},
                                        {"SUBJECT", charset.field(subject)},
                                        {"AUTHOR", charset.field(author)},
                                        {"MESSAGEID", charset.field(messageId)},
                                        {"DATE", std::string(pick(kNewsDates, fields.dates))},
                                    });
    if (mode != 0) {
        query += '&';
        query += kNewsMatchKeys[mode];
        query += '=';
        query += words;
    }
    if (fields.sort == 1) query += "&scoring=d";
    if (!charset.latin1()) (query += '&') += kUtf8Declared;
    return address(host, "/groups", query);
}

std::string BuildImageSearchAddress(const ImageSearchFields& fields, const std::string& host) {
    const QueryCharset charset{fields.words, fields.domain};
    std::string query =
        fillTemplate(kImageTemplate,
                     {
                         {pick(kWordPlaceholders, fields.matchMode), charset.words(fields.words)},
                         {"TEXT1", ""},
                         {"TEXT2", ""},
                         {"TEXT3", ""},
                         {"TEXT4", ""},
                         {"RESULTNUM", std::string(pick(kResults, fields.results))},
                         {"IMAGESIZE", std::string(pick(kImageSizes, fields.size))},
                         {"FILETYPE", std::string(pick(kImageFileTypes, fields.fileType))},
                         {"IMAGECOLOR", std::string(pick(kImageColors, fields.coloration))},
                         {"DOMAIN", charset.field(fields.domain)},
                     });
    if (!charset.latin1()) (query += '&') += kUtf8Declared;
    return address(host, "/images", query);
}

std::string BuildRelatedQueryAddress(const std::string& site, const std::string& host) {
    return address(host, "/search", fillTemplate("as_rq=SITE", {{"SITE", encodeQueryField(site)}}));
}

SearchHosts readSearchHosts(const std::string& iniFile) {
    SearchHosts hosts;
    hosts.web = hostOr(iniFile, "WebHost", "www.google.com");
    hosts.groups = hostOr(iniFile, "GroupsHost", "groups.google.com");
    hosts.images = hostOr(iniFile, "ImagesHost", "images.google.com");
    return hosts;
}

}  // namespace surfdeck
