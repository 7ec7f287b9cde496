#pragma once
#include <string>

namespace surfdeck {

enum class RegistryRoot { CurrentUser, LocalMachine };

// The root's full name, as the registry editor writes it.
inline std::string registryRootName(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// The system registry: keys of string values.
class Registry {
  public:
    virtual ~Registry() = default;
    // Creates the key (and its parents) or opens it when it exists. False when refused.
    virtual bool createKey(RegistryRoot root, const std::string& path) = 0;
    // Sets a string value of the key, creating the key when needed; an empty name is
    // the key's unnamed value. False when refused.
    virtual bool setString(RegistryRoot root, const std::string& path, const std::string& name,
                           const std::string& value) = 0;
};

}  // namespace surfdeck
