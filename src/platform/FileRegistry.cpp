#include "platform/FileRegistry.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace surfdeck {
namespace {

const char* const kHeader = "REGEDIT4";

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// Reads a quoted string starting at line[pos] == '"'; pos ends after the closing quote.
bool unquote(const std::string& line, std::size_t& pos, std::string& out) {
    if (pos >= line.size() || line[pos] != '"') return false;
    ++pos;
    out.clear();
    while (pos < line.size()) {
        char c = line[pos++];
        if (c == '\\' && pos < line.size()) {
            out += line[pos++];
        } else if (c == '"') {
            return true;
        } else {
            out += c;
        }
    }
    return false;
}

}  // namespace

std::string FileRegistry::fullName(RegistryRoot root, const std::string& path) {
    return registryRootName(root) + "\\" + path;
}

std::vector<FileRegistry::Key> FileRegistry::load(bool& ok) const {
    ok = true;
    std::vector<Key> keys;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return keys;  // no file yet: an empty registry
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line == kHeader) continue;
        if (line.front() == '[' && line.back() == ']') {
            keys.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        if (keys.empty()) continue;
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (!unquote(line, pos, name)) {
            continue;  // a line we do not understand is dropped rather than kept broken
        }
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        std::string value;
        if (!unquote(line, pos, value)) continue;
        keys.back().values.emplace_back(name, value);
    }
    return keys;
}

bool FileRegistry::save(const std::vector<Key>& keys) const {
    std::ostringstream out;
    out << kHeader << "\r\n";
    for (const Key& k : keys) {
        out << "\r\n[" << k.fullName << "]\r\n";
        for (const auto& [name, value] : k.values) {
            if (name.empty()) {
                out << "@=";
            } else {
                out << '"' << escape(name) << "\"=";
            }
            out << '"' << escape(value) << "\"\r\n";
        }
    }
    const std::string tmp = path_ + ".tmp";
    {
        std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
        if (!f) return false;
        const std::string text = out.str();
        f.write(text.data(), static_cast<std::streamsize>(text.size()));
        f.flush();
        if (!f) {
            f.close();
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path_.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

bool FileRegistry::createKey(RegistryRoot root, const std::string& path) {
    bool ok = false;
    std::vector<Key> keys = load(ok);
    const std::string full = fullName(root, path);
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const Key& k) { return lower(k.fullName) == lower(full); });
    if (it == keys.end()) keys.push_back({full, {}});
    // Opening an existing key still needs the file to be writable, as a registry that
    // refuses the access right refuses the open.
    return save(keys);
}

bool FileRegistry::setString(RegistryRoot root, const std::string& path, const std::string& name,
                             const std::string& value) {
    bool ok = false;
    std::vector<Key> keys = load(ok);
    const std::string full = fullName(root, path);
    auto it = std::find_if(keys.begin(), keys.end(),
                           [&](const Key& k) { return lower(k.fullName) == lower(full); });
    if (it == keys.end()) {
        keys.push_back({full, {}});
        it = keys.end() - 1;
    }
    auto v = std::find_if(it->values.begin(), it->values.end(),
                          [&](const auto& p) { return lower(p.first) == lower(name); });
    if (v == it->values.end()) {
        it->values.emplace_back(name, value);
    } else {
        v->second = value;
    }
    return save(keys);
}

bool FileRegistry::hasKey(RegistryRoot root, const std::string& path) const {
    bool ok = false;
    const std::string full = lower(fullName(root, path));
    for (const Key& k : load(ok)) {
        if (lower(k.fullName) == full) return true;
    }
    return false;
}

bool FileRegistry::getString(RegistryRoot root, const std::string& path, const std::string& name,
                             std::string& value) const {
    bool ok = false;
    const std::string full = lower(fullName(root, path));
    for (const Key& k : load(ok)) {
        if (lower(k.fullName) != full) continue;
        for (const auto& [n, v] : k.values) {
            if (lower(n) == lower(name)) {
                value = v;
                return true;
            }
        }
    }
    return false;
}

}  // namespace surfdeck
