#include "platform/file/RegFile.h"

#include <algorithm>

namespace surfdeck::regfile {
namespace {

constexpr std::string_view kEol = "\r\n";

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

// A line without its ending (LF or CR LF).
std::string_view content(std::string_view line) {
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isHeader(std::string_view line) {
    const std::string_view c = content(line);
    return c.size() >= 2 && c.front() == '[' && c.back() == ']';
}

// A quoted string starting at text[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> unquote(std::string_view text, std::size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    ++pos;
    std::string out;
    while (pos < text.size()) {
        const char c = text[pos++];
        if (c == '\\' && pos < text.size()) {
            out += text[pos++];
        } else if (c == '"') {
            return out;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// The entry's name (before "=") and, for a one-line string value, its data.
void understand(Entry& entry) {
    const std::string_view line = content(entry.raw);
    std::size_t pos = 0;
    std::optional<std::string> name;
    if (line.starts_with('@')) {
        pos = 1;
        name = std::string();
    } else {
        name = unquote(line, pos);
    }
    if (!name || pos >= line.size() || line[pos] != '=') return;
    entry.name = std::move(name);
    ++pos;
    std::optional<std::string> data = unquote(line, pos);
    if (data && pos == line.size()) entry.data = std::move(data);
}

std::string valueLine(std::string_view name, std::string_view data) {
    std::string line = name.empty() ? std::string("@") : quote(name);
    line += '=';
    line += quote(data);
    line += kEol;
    return line;
}

// A line gets its ending before anything is put after it. A line that ends in a bare CR
// has half of one already: doubling the CR would change what the line reads as.
void terminate(std::string& line) {
    if (line.empty() || line.back() == '\n') return;
    line.append(line.back() == '\r' ? std::string_view("\n") : kEol);
}

// The last line of the file gets its ending before anything is put after it.
void endLastLine(Document& doc) {
    std::string* last = &doc.head;
    if (!doc.keys.empty()) {
        Key& key = doc.keys.back();
        last = key.entries.empty() ? &key.raw : &key.entries.back().raw;
    }
    terminate(*last);
}

bool isBlankEntry(const Entry& entry) {
    return std::all_of(entry.raw.begin(), entry.raw.end(),
                       [](char c) { return isBlank(c) || c == '\r' || c == '\n'; });
}

}  // namespace

Document parse(std::string_view text) {
    Document doc;
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        const std::size_t n = lf == std::string_view::npos ? text.size() : lf + 1;
        lines.push_back(text.substr(0, n));
        text.remove_prefix(n);
    }
    for (std::size_t i = 0; i < lines.size();) {
        const std::string_view line = lines[i++];
        if (isHeader(line)) {
            const std::string_view c = content(line);
            doc.keys.push_back({std::string(line), std::string(c.substr(1, c.size() - 2)), {}});
            continue;
        }
        if (doc.keys.empty()) {
            doc.head.append(line);
            continue;
        }
        Entry entry{std::string(line), std::nullopt, std::nullopt};
        understand(entry);
        if (!entry.data) {
            // A long binary value goes on over indented lines, each before ending in "\".
            while (content(entry.raw).ends_with('\\') && i < lines.size() && !lines[i].empty() &&
                   isBlank(lines[i].front()))
                entry.raw.append(lines[i++]);
        }
        doc.keys.back().entries.push_back(std::move(entry));
    }
    return doc;
}

std::string format(const Document& doc) {
    std::string out = doc.head;
    for (const Key& key : doc.keys) {
        out += key.raw;
        for (const Entry& entry : key.entries) out += entry.raw;
    }
    return out;
}

Document empty() {
    return Document{"REGEDIT4\r\n", {}};
}

Key* findKey(Document& doc, std::string_view name) {
    for (Key& key : doc.keys) {
        if (sameName(key.name, name)) return &key;
    }
    return nullptr;
}

const Key* findKey(const Document& doc, std::string_view name) {
    return findKey(const_cast<Document&>(doc), name);
}

bool writable(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool addKey(Document& doc, std::string_view name) {
    if (!writable(name)) return false;
    if (findKey(doc, name)) return true;
    endLastLine(doc);
    // A blank line ahead of each key, as the registry editor writes them.
    if (doc.keys.empty()) {
        doc.head.append(kEol);
    } else {
        doc.keys.back().entries.push_back({std::string(kEol), std::nullopt, std::nullopt});
    }
    doc.keys.push_back({"[" + std::string(name) + "]" + std::string(kEol), std::string(name), {}});
    return true;
}

bool setString(Document& doc, std::string_view key, std::string_view name, std::string_view data) {
    if (!writable(key) || !writable(name) || !writable(data)) return false;
    Key* k = findKey(doc, key);
    if (!k) {
        addKey(doc, key);
        k = &doc.keys.back();
    }
    Entry entry{valueLine(name, data), std::string(name), std::string(data)};
    for (Entry& old : k->entries) {
        if (old.name && sameName(*old.name, name)) {
            old = std::move(entry);
            return true;
        }
    }
    auto at = k->entries.end();
    while (at != k->entries.begin() && isBlankEntry(*(at - 1))) --at;
    // The line before it needs its ending.
    std::string& before = at == k->entries.begin() ? k->raw : (at - 1)->raw;
    terminate(before);
    k->entries.insert(at, std::move(entry));
    return true;
}

std::optional<std::string> getString(const Document& doc, std::string_view key,
                                     std::string_view name) {
    const Key* k = findKey(doc, key);
    if (!k) return std::nullopt;
    for (const Entry& entry : k->entries) {
        if (entry.name && sameName(*entry.name, name)) return entry.data;
    }
    return std::nullopt;
}

}  // namespace surfdeck::regfile
