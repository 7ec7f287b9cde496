#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"

namespace surfdeck {

// The registry kept as a text file in the registry editor's export format (REGEDIT4):
// one bracketed line per key with the root's full name, one "name"="value" line per
// string value, @= for the unnamed value. The file is read at every change, rewritten
// whole beside itself and renamed into place, so a crash never leaves half a file.
class FileRegistry : public Registry {
  public:
    explicit FileRegistry(std::string path) : path_(std::move(path)) {}

    bool createKey(RegistryRoot root, const std::string& path) override;
    bool setString(RegistryRoot root, const std::string& path, const std::string& name,
                   const std::string& value) override;

    // For reading back: false when the key or value is absent.
    bool hasKey(RegistryRoot root, const std::string& path) const;
    bool getString(RegistryRoot root, const std::string& path, const std::string& name,
                   std::string& value) const;

  private:
    struct Key {
        std::string fullName;  // as written between the brackets
        std::vector<std::pair<std::string, std::string>> values;
    };
    std::vector<Key> load(bool& ok) const;
    bool save(const std::vector<Key>& keys) const;
    static std::string fullName(RegistryRoot root, const std::string& path);

    std::string path_;
};

}  // namespace surfdeck
