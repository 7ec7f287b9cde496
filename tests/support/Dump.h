#pragma once
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "scenario/ScenarioScript.h"

namespace surfdeck::testing {

// One line of a dump: "kind name key=value ...", values unquoted and unescaped. A word
// without "=" is kept as a key with an empty value.
struct DumpLine {
    std::string kind;
    std::string name;
    std::multimap<std::string, std::string> values;
    std::vector<std::string> words;  // every word after the kind, as split
    std::string get(const std::string& key) const {
        auto it = values.find(key);
        return it == values.end() ? std::string("<absent>") : it->second;
    }
};

namespace dump_detail {
// The splitter undid the quotes, \" and \\; only \r \n \t are left.
inline std::string unescape(const std::string& v) {
    std::string out;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] == '\\' && i + 1 < v.size()) {
            const char c = v[++i];
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        } else {
            out += v[i];
        }
    }
    return out;
}
}  // namespace dump_detail

inline std::vector<DumpLine> parseDump(const std::string& text) {
    std::vector<DumpLine> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto words = splitScriptLine(line);
        if (words.size() < 2) continue;
        DumpLine d{words[0], words[1], {}, {}};
        for (std::size_t i = 1; i < words.size(); ++i) {
            d.words.push_back(dump_detail::unescape(words[i]));
            if (i == 1) continue;
            const auto eq = words[i].find('=');
            if (eq == std::string::npos) {
                d.values.emplace(words[i], "");
            } else {
                d.values.emplace(words[i].substr(0, eq),
                                 dump_detail::unescape(words[i].substr(eq + 1)));
            }
        }
        lines.push_back(std::move(d));
    }
    return lines;
}

}  // namespace surfdeck::testing
