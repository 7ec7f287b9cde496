#include "scenario/ScenarioScript.h"

#include <stdexcept>

namespace surfdeck {

std::vector<std::string> splitScriptLine(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    const std::size_t n = line.size();
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (i < n) {
        while (i < n && blank(line[i])) ++i;
        if (i >= n) break;
        // A word runs to the next blank outside quotes; quotes may start anywhere in it
        // (key="two words" is one word), and inside them \" and \\ stand for " and \.
        std::string word;
        while (i < n && !blank(line[i])) {
            if (line[i] != '"') {
                word += line[i++];
                continue;
            }
            ++i;
            bool closed = false;
            while (i < n) {
                char c = line[i++];
                if (c == '\\' && i < n && (line[i] == '"' || line[i] == '\\')) {
                    word += line[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    word += c;
                }
            }
            if (!closed) throw std::invalid_argument("unclosed quote");
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::vector<ScriptLine> readScript(std::istream& in) {
    std::vector<ScriptLine> lines;
    std::string text;
    int number = 0;
    while (std::getline(in, text)) {
        ++number;
        std::size_t first = text.find_first_not_of(" \t\r");
        if (first == std::string::npos || text[first] == '#') continue;
        lines.push_back({number, {}});
        lines.back().words.push_back(text);  // split later, so a bad quote names its line
    }
    return lines;
}

std::string dumpValue(const std::string& value) {
    bool plain = !value.empty();
    for (unsigned char c : value) {
        if (c <= ' ' || c == '"' || c == '\\' || c == 127) {
            plain = false;
            break;
        }
    }
    if (plain) return value;
    std::string out = "\"";
    for (char c : value) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    out += '"';
    return out;
}

}  // namespace surfdeck
