#include "platform/file/FileRegistry.h"

#include "base/SafeFile.h"

namespace surfdeck {
namespace {

// Line breaks shown as text, so that a refused name stays on its one log line.
std::string printable(const std::string& s) {
    std::string out;
    for (const char c : s) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\0') {
            out += "\\0";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string FileRegistry::fullName(RegistryRoot root, const std::string& path) {
    return registryRootName(root) + "\\" + path;
}

void FileRegistry::log(const std::string& message) const {
    if (log_) log_(message);
}

bool FileRegistry::load(regfile::Document& doc) const {
    std::string text;
    const files::Result read = files::readRegular(path_, text);
    if (read == files::Result::Absent) {
        doc = regfile::empty();  // no file yet: an empty registry
        return true;
    }
    if (read != files::Result::Ok) {
        log("Cannot read " + path_ + ": " + files::describe(read));
        return false;
    }
    doc = regfile::parse(text);
    return true;
}

bool FileRegistry::save(const regfile::Document& doc) const {
    const files::Result written = files::replaceFile(path_, regfile::format(doc), ";");
    if (written == files::Result::NotRegular) {
        log("Cannot write " + path_ + ": " + files::describe(written));
    }
    return written == files::Result::Ok;
}

bool FileRegistry::createKey(RegistryRoot root, const std::string& path) {
    regfile::Document doc;
    if (!load(doc)) return false;
    const std::string full = fullName(root, path);
    if (!regfile::addKey(doc, full)) {
        log("Cannot create registry key " + printable(full) + ": line break in its name");
        return false;
    }
    // Opening an existing key still needs the file to be writable, as a registry that
    // refuses the access right refuses the open.
    return save(doc);
}

bool FileRegistry::setString(RegistryRoot root, const std::string& path, const std::string& name,
                             const std::string& value) {
    regfile::Document doc;
    if (!load(doc)) return false;
    const std::string full = fullName(root, path);
    if (!regfile::setString(doc, full, name, value)) {
        log("Cannot set registry value " + printable(full) + "\\" + printable(name) +
            ": line break in its name or data");
        return false;
    }
    return save(doc);
}

bool FileRegistry::hasKey(RegistryRoot root, const std::string& path) const {
    regfile::Document doc;
    return load(doc) && regfile::findKey(doc, fullName(root, path)) != nullptr;
}

bool FileRegistry::getString(RegistryRoot root, const std::string& path, const std::string& name,
                             std::string& value) const {
    regfile::Document doc;
    if (!load(doc)) return false;
    std::optional<std::string> data = regfile::getString(doc, fullName(root, path), name);
    if (!data) return false;
    value = std::move(*data);
    return true;
}

}  // namespace surfdeck
