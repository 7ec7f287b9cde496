#include "settings/IniFile.h"

#include "base/SafeFile.h"
#include "base/Text.h"

namespace surfdeck::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Names and values lose the blanks around them.
std::string_view trim(std::string_view s) {
    return surfdeck::trim(s, " \t");
}

bool sameName(std::string_view a, std::string_view b) {
    return equalsNoCase(a, b);
}

// One line of the text: its content is [begin, contentEnd), its ending (LF, CR LF or
// nothing on a last line) is [contentEnd, end).
struct Line {
    std::size_t begin = 0;
    std::size_t contentEnd = 0;
    std::size_t end = 0;
};

Line lineAt(std::string_view text, std::size_t begin) {
    Line line{begin, text.size(), text.size()};
    const std::size_t lf = text.find('\n', begin);
    if (lf != std::string_view::npos) {
        line.end = lf + 1;
        line.contentEnd = (lf > begin && text[lf - 1] == '\r') ? lf - 1 : lf;
    }
    return line;
}

enum class Kind { Other, Section, Key };

struct Parsed {
    Kind kind = Kind::Other;
    std::string_view name;
    std::string_view value;
    std::size_t equals = 0;  // offset of the key line's "=" in the text
};

Parsed parseLine(std::string_view text, const Line& line) {
    std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
    std::size_t offset = line.begin;
    if (line.begin == 0 && content.starts_with(kBom)) {
        content.remove_prefix(kBom.size());
        offset += kBom.size();
    }
    const std::string_view lead = trim(content);
    if (lead.empty() || lead.front() == ';') return {};
    if (lead.front() == '[') {
        const std::string_view inside = lead.substr(1);
        return {Kind::Section, trim(inside.substr(0, inside.find(']'))), {}, 0};
    }
    const std::size_t equals = content.find('=');
    if (equals == std::string_view::npos) return {};
    return {Kind::Key, trim(content.substr(0, equals)), trim(content.substr(equals + 1)),
            offset + equals};
}

// Where a key is, or where it would go.
struct Location {
    bool sectionFound = false;
    bool keyFound = false;
    Line keyLine;            // when keyFound
    std::size_t equals = 0;  // when keyFound
    Line lastLine;           // the section's header or its last key line, when sectionFound
};

Location locate(std::string_view text, std::string_view section, std::string_view key) {
    Location where;
    bool inSection = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const Line line = lineAt(text, pos);
        pos = line.end;
        const Parsed parsed = parseLine(text, line);
        if (parsed.kind == Kind::Section) {
            // Only the first section of that name counts.
            if (where.sectionFound) break;
            inSection = sameName(parsed.name, section);
            if (inSection) {
                where.sectionFound = true;
                where.lastLine = line;
            }
        } else if (parsed.kind == Kind::Key && inSection) {
            where.lastLine = line;
            if (sameName(parsed.name, key)) {
                where.keyFound = true;
                where.keyLine = line;
                where.equals = parsed.equals;
                return where;
            }
        }
    }
    return where;
}

// The file's own line ending, taken from its first line; CR LF for a new file.
std::string_view lineEnding(std::string_view text) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos || (lf > 0 && text[lf - 1] == '\r')) return "\r\n";
    return "\n";
}

bool hasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool writableSection(std::string_view section) {
    return !section.empty() && !hasLineBreakOrNul(section) && section.find(']') == section.npos;
}

bool writableKey(std::string_view key) {
    return !key.empty() && !hasLineBreakOrNul(key) && key.find('=') == key.npos &&
           key.front() != '[' && key.front() != ';';
}

}  // namespace

std::optional<std::string> get(std::string_view text, std::string_view section,
                               std::string_view key) {
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty()) return std::nullopt;
    const Location where = locate(text, section, key);
    if (!where.keyFound) return std::nullopt;
    // A NUL ends a value: the values are 8-bit text.
    const Parsed parsed = parseLine(text, where.keyLine);
    std::string_view value = parsed.value;
    return std::string(trim(value.substr(0, value.find('\0'))));
}

std::optional<std::string> put(std::string_view text, std::string_view section,
                               std::string_view key, std::string_view value) {
    section = trim(section);
    key = trim(key);
    if (!writableSection(section) || !writableKey(key)) return std::nullopt;
    std::string clean(value);
    for (char& c : clean) {
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    const std::string_view eol = lineEnding(text);
    const Location where = locate(text, section, key);

    std::string out;
    out.reserve(text.size() + section.size() + key.size() + clean.size() + 8);
    if (where.keyFound) {
        // Keep the line's place, its spelling of the key and its ending.
        out.append(text.substr(0, where.equals + 1));
        out.append(clean);
        out.append(text.substr(where.keyLine.contentEnd));
        return out;
    }
    if (where.sectionFound) {
        const Line& after = where.lastLine;
        out.append(text.substr(0, after.end));
        if (after.end == after.contentEnd) out.append(eol);  // a last line with no ending
        out.append(key).append("=").append(clean).append(eol);
        out.append(text.substr(after.end));
        return out;
    }
    out.append(text);
    if (!text.empty() && text.back() != '\n') out.append(eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(key).append("=").append(clean).append(eol);
    return out;
}

std::optional<std::string> readFile(const std::string& path) {
    std::string text;
    if (files::readRegular(path, text) != files::Result::Ok) return std::nullopt;
    return text;
}

bool replaceFile(const std::string& path, const std::string& content) {
    return files::replaceFile(path, content, ";") == files::Result::Ok;
}

}  // namespace surfdeck::ini
