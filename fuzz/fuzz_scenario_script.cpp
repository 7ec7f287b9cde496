// The simulator's script reader on arbitrary script text. Splitting a line is total: it
// gives words or says "unclosed quote", nothing else. Every word, quoted again, reads back
// as that one word, and the words joined that way read back as the same list. A value
// the dump prints reads back as itself unless it holds a control character the dump
// writes as an escape. Reading a whole script keeps every command line, numbered in order.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "scenario/ScenarioScript.h"

namespace {

using namespace surfdeck;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The word in double quotes with its own quotes and backslashes escaped.
std::string quoted(const std::string& word) {
    std::string out = "\"";
    for (const char c : word) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::optional<std::vector<std::string>> split(const std::string& line) {
    try {
        return splitScriptLine(line);
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    std::istringstream in(text);
    const std::vector<ScriptLine> lines = readScript(in);
    int previous = 0;
    std::size_t commandLines = 0;
    {
        std::istringstream again(text);
        std::string raw;
        while (std::getline(again, raw)) {
            const auto first = raw.find_first_not_of(" \t\r");
            commandLines += first != std::string::npos && raw[first] != '#';
        }
    }
    check(lines.size() == commandLines, "a command line lost or a blank one kept");

    for (const ScriptLine& line : lines) {
        check(line.number > previous, "line numbers out of order");
        previous = line.number;
        check(line.words.size() == 1, "a line not kept whole for later splitting");

        const auto words = split(line.words.front());
        if (!words) {
            check(line.words.front().find('"') != std::string::npos, "unclosed quote without one");
            continue;
        }
        std::string requoted;
        for (const std::string& word : *words) {
            check(split(quoted(word)) == std::vector<std::string>{word},
                  "a quoted word reads back otherwise");
            requoted += quoted(word) + (word.size() % 2 ? " " : "\t");
            if (word.find_first_of("\r\n\t") == std::string::npos) {
                check(split(dumpValue(word)) == std::vector<std::string>{word},
                      "a dumped value reads back otherwise");
            }
        }
        check(split(requoted) == *words, "quoted words read back as another list");
    }
    return 0;
}
