#include "shell/IniFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace surfdeck::ini {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
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

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool writeAll(std::FILE* f, const std::string& content) {
    if (!content.empty() && std::fwrite(content.data(), 1, content.size(), f) != content.size())
        return false;
    return std::fflush(f) == 0 && std::ferror(f) == 0;
}

bool closeChecked(File file) {
    return std::fclose(file.release()) == 0;
}

// Root may open any file for writing, so the write bits are what mark a file read-only.
bool isWritable(const fs::path& path, fs::perms perms) {
    constexpr fs::perms anyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((perms & anyWrite) == fs::perms::none) return false;
    return File(std::fopen(path.c_str(), "r+b")) != nullptr;
}

enum class TempResult { Done, NoTemporary, Failed };

// perms: the old file's permissions, or unknown for a new file.
TempResult writeViaTemporary(const fs::path& target, const std::string& content, fs::perms perms) {
    std::random_device random;
    fs::path temp;
    File file;
    // A name of its own per write, so two copies of the program never share one.
    for (int attempt = 0; attempt < 4 && !file; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temp = target;
        temp += suffix;
        file.reset(std::fopen(temp.c_str(), "wbx"));
        if (!file && errno != EEXIST) break;
    }
    if (!file) return TempResult::NoTemporary;

    std::error_code ec;
    bool ok = writeAll(file.get(), content);
    ok = closeChecked(std::move(file)) && ok;
    if (ok && perms != fs::perms::unknown) fs::permissions(temp, perms, ec);
    if (ok) {
        fs::rename(temp, target, ec);
        if (!ec) return TempResult::Done;
    }
    fs::remove(temp, ec);
    // The temporary file was made but not renamed: the folder may still refuse renames.
    return ok ? TempResult::NoTemporary : TempResult::Failed;
}

bool writeInPlace(const fs::path& target, const std::string& content) {
    std::error_code ec;
    const auto oldSize = fs::file_size(target, ec);
    File file(std::fopen(target.c_str(), "r+b"));
    if (!file) return false;
    bool ok = writeAll(file.get(), content);
    ok = closeChecked(std::move(file)) && ok;
    if (ok && !ec && content.size() < oldSize) {
        fs::resize_file(target, content.size(), ec);
        ok = !ec;
    }
    return ok;
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
    std::error_code ec;
    // Not a directory or a pipe: those would fail or block.
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::string text;
    char buffer[1 << 16];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) text.append(buffer, n);
    if (std::ferror(file.get())) return std::nullopt;
    return text;
}

bool replaceFile(const std::string& path, const std::string& content) {
    std::error_code ec;
    fs::path target = path;
    // Write through a link to the file it names rather than replacing the link.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = std::move(resolved);
    }
    const fs::file_status status = fs::status(target, ec);
    const bool exists = fs::exists(status);
    if (!exists && ec && ec != std::errc::no_such_file_or_directory) return false;
    if (exists) {
        if (!fs::is_regular_file(status) || !isWritable(target, status.permissions())) return false;
    }
    const fs::perms perms = exists ? status.permissions() : fs::perms::unknown;
    switch (writeViaTemporary(target, content, perms)) {
        case TempResult::Done:
            return true;
        case TempResult::Failed:
            return false;
        case TempResult::NoTemporary:
            break;
    }
    return exists && writeInPlace(target, content);
}

}  // namespace surfdeck::ini
