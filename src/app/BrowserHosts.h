#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/UserFolders.h"

// The browsers' side of the pairing with Surfdeck, written again at every start for the
// user who runs it: for each Chromium-family browser the user has, the native-messaging
// host manifest that lets the extension start surfdeck-bridge, and an External Extensions
// entry that has the browser install the packed extension beside the program; for
// Firefox, its host manifest.
namespace surfdeck {

// The native-messaging host's name, as the extension asks for it.
inline constexpr const char* kBridgeHostName = "org.surfdeck.bridge";
// The host program's file name in the program folder.
inline constexpr const char* kBridgeExecutableName = "surfdeck-bridge";
// The extension's id in Firefox.
inline constexpr const char* kGeckoExtensionId = "surfdeck@surfdeck.local";

// The running user's folders: $HOME (or the password database) and $XDG_CONFIG_HOME.
UserFolders userFoldersFromEnvironment();
// The folders for a given home and XDG_CONFIG_HOME value (unset or empty: "").
UserFolders userFolders(const std::string& home, const std::string& xdgConfigHome);

// The packed extension as the build left it in the program folder's extension/.
struct ExtensionPackage {
    std::string id;       // 32 letters a to p
    std::string version;  // one to four dot-separated numbers
    std::string crxPath;  // absolute path of the .crx
};

// Read from programFolder/extension/extension.ini; nothing when it is missing or holds
// an id, version or file name that a browser would not take.
std::optional<ExtensionPackage> readExtensionPackage(const std::string& programFolder);

// Configuration folders of Chromium-family browsers, relative to the config home.
const std::vector<std::string>& chromiumFamilyFolders();

// The host manifest text for Chromium-family browsers (allowed_origins) and Firefox
// (allowed_extensions).
std::string chromiumHostManifest(const std::string& bridgePath, const std::string& extensionId);
std::string firefoxHostManifest(const std::string& bridgePath);
// The External Extensions entry pointing at the package.
std::string externalExtensionEntry(const ExtensionPackage& package);

// Writes every file above for the browsers whose configuration folder exists (nothing,
// and no log line, when there is none). Each file is written whole (a temporary file
// renamed over it); every failure is one line through log, and the rest is still
// written. Returns the number of files written.
int RegisterBrowserHosts(const std::string& programFolder, const UserFolders& user,
                         const std::function<void(const std::string&)>& log);

}  // namespace surfdeck
