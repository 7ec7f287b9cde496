#pragma once
#include <functional>
#include <string>
#include <utility>

#include "platform/file/RegFile.h"
#include "ports/Registry.h"

namespace surfdeck {

// The registry kept as a text file in the registry editor's export format (REGEDIT4):
// one bracketed line per key with the root's full name, one "name"="value" line per
// string value, @= for the unnamed value. The file is read at every change and written
// back through files::replaceFile, so a crash never leaves half a file. Whatever the
// file holds besides string values (other value types, comments) is kept byte for byte
// in its place (see regfile). Names and data with a line break or a NUL cannot be
// written in this format: such a change is refused with a line to log.
class FileRegistry : public Registry {
  public:
    using Log = std::function<void(const std::string&)>;
    explicit FileRegistry(std::string path, Log log = {})
        : path_(std::move(path)), log_(std::move(log)) {}

    bool createKey(RegistryRoot root, const std::string& path) override;
    bool setString(RegistryRoot root, const std::string& path, const std::string& name,
                   const std::string& value) override;

    // For reading back: false when the key or value is absent.
    bool hasKey(RegistryRoot root, const std::string& path) const;
    bool getString(RegistryRoot root, const std::string& path, const std::string& name,
                   std::string& value) const;

  private:
    bool load(regfile::Document& doc) const;
    bool save(const regfile::Document& doc) const;
    void log(const std::string& message) const;
    static std::string fullName(RegistryRoot root, const std::string& path);

    std::string path_;
    Log log_;
};

}  // namespace surfdeck
