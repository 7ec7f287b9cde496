#pragma once
#include <istream>
#include <string>
#include <vector>

namespace surfdeck {

// One command line of a scenario script, split into words.
struct ScriptLine {
    int number = 0;  // 1-based line number in the script
    std::vector<std::string> words;
};

// Splits a line into words: blanks separate them; a word in double quotes may hold
// blanks and the escapes \" and \\. Throws std::invalid_argument on an unclosed quote.
std::vector<std::string> splitScriptLine(const std::string& line);

// Every command line of a script; blank lines and lines starting with "#" are skipped.
std::vector<ScriptLine> readScript(std::istream& in);

// A value as the dump prints it: bare when it is a plain word, otherwise in double
// quotes with \" \\ \r \n \t escaped.
std::string dumpValue(const std::string& value);

}  // namespace surfdeck
