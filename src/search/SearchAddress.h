#pragma once
#include <string>

// The search addresses the panels open: a fixed query template whose upper-case
// placeholder words are filled from the panel's fields. List fields are indexes from 0
// into the panel's lists; an index outside its list counts as 0. Typed text is UTF-8
// (a byte that is not part of well-formed UTF-8 is the ISO-8859-1 character of that
// value); it goes out in ISO-8859-1 when every character of every field fits, otherwise
// in UTF-8, with "ie=UTF-8&oe=UTF-8" in that address.
namespace surfdeck {

// text with every occurrence of word (exact case) replaced by value, from left to right
// without overlaps; the inserted values are not searched again. An empty word changes
// nothing.
std::string ReplaceAll(const std::string& text, const std::string& word, const std::string& value);

// Typed text made safe for a query value: "&", "#", "%", "+", "=", "?", control
// characters and every byte of a non-ASCII character are percent-encoded. Search words
// turn each space into "+"; other fields keep their spaces.
std::string encodeSearchWords(const std::string& text);
std::string encodeQueryField(const std::string& text);

struct WebSearchFields {
    std::string words;
    int matchMode = 0;
    int results = 0;
    int fileFormat = 0;
    int date = 0;
    int occurrences = 0;
    std::string domain;
};
// "http://" + host + "/search?" + the filled web query.
std::string BuildWebSearchAddress(const WebSearchFields& fields, const std::string& host);

struct NewsSearchFields {
    std::string words;
    int matchMode = 0;
    std::string group, subject, author, messageId;
    int results = 0;
    int dates = 0;
    int sort = 0;
};
// "http://" + host + "/groups?" + the filled newsgroup query.
std::string BuildNewsSearchAddress(const NewsSearchFields& fields, const std::string& host);

struct ImageSearchFields {
    std::string words;
    int matchMode = 0;
    int size = 0;
    int fileType = 0;
    int coloration = 0;
    std::string domain;
    int results = 0;
};
// "http://" + host + "/images?" + the filled image query.
std::string BuildImageSearchAddress(const ImageSearchFields& fields, const std::string& host);

// "http://" + host + "/search?as_rq=" + site: the related-pages query.
std::string BuildRelatedQueryAddress(const std::string& site, const std::string& host);

struct SearchHosts {
    std::string web, groups, images;
};
// Section "Search" of iniFile: WebHost, GroupsHost, ImagesHost; an absent or empty key
// gives the service's usual host.
SearchHosts readSearchHosts(const std::string& iniFile);

}  // namespace surfdeck
