#include "app/BrowserHosts.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "settings/IniFile.h"
#include "settings/Settings.h"

namespace surfdeck {

namespace fs = std::filesystem;

namespace {

using LogFn = std::function<void(const std::string&)>;

std::string envValue(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// A JSON string literal. Bytes from 0x80 up pass through: paths are UTF-8 here.
std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

bool validId(const std::string& id) {
    if (id.size() != 32) return false;
    for (char c : id)
        if (c < 'a' || c > 'p') return false;
    return true;
}

bool validVersion(const std::string& version) {
    int parts = 0;
    std::size_t digits = 0;
    for (char c : version) {
        if (c >= '0' && c <= '9') {
            if (++digits > 9) return false;
        } else if (c == '.') {
            if (digits == 0) return false;
            ++parts;
            digits = 0;
        } else {
            return false;
        }
    }
    return digits > 0 && parts < 4;
}

bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folder, made if missing (only the last level: its parent is the browser's own).
bool ensureFolder(const std::string& path, const LogFn& log) {
    if (isDirectory(path)) return true;
    if (::mkdir(path.c_str(), 0700) == 0 || (errno == EEXIST && isDirectory(path))) return true;
    log("Browser integration folder not made: " + path + ": " + std::strerror(errno));
    return false;
}

bool writeWhole(const std::string& path, const std::string& content, const LogFn& log) {
    if (ini::replaceFile(path, content)) return true;
    log("Browser integration file not written: " + path);
    return false;
}

std::string absoluteFolder(const std::string& folder) {
    std::error_code ec;
    fs::path p = fs::absolute(folder, ec);
    if (ec) p = folder;
    std::string s = p.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

}  // namespace

UserFolders userFolders(const std::string& home, const std::string& xdgConfigHome) {
    UserFolders u;
    u.home = home;
    while (u.home.size() > 1 && u.home.back() == '/') u.home.pop_back();
    if (u.home.empty() || u.home.front() != '/') return {};
    // A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules say.
    if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/')
        u.configHome = xdgConfigHome;
    else
        u.configHome = u.home + "/.config";
    while (u.configHome.size() > 1 && u.configHome.back() == '/') u.configHome.pop_back();
    return u;
}

UserFolders userFoldersFromEnvironment() {
    std::string home = envValue("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) home = pw->pw_dir;
    }
    return userFolders(home, envValue("XDG_CONFIG_HOME"));
}

std::optional<ExtensionPackage> readExtensionPackage(const std::string& programFolder) {
    const std::string folder = absoluteFolder(programFolder) + "/extension";
    const std::string file = folder + "/extension.ini";
    ExtensionPackage p;
    p.id = ReadIni("Extension", "Id", "", file);
    p.version = ReadIni("Extension", "Version", "", file);
    const std::string crx = ReadIni("Extension", "Crx", "", file);
    if (!validId(p.id) || !validVersion(p.version) || !plainFileName(crx)) return std::nullopt;
    p.crxPath = folder + "/" + crx;
    return p;
}

const std::vector<std::string>& chromiumFamilyFolders() {
    static const std::vector<std::string> folders{
        "chromium",
        "google-chrome",
        "google-chrome-beta",
        "google-chrome-unstable",
        "microsoft-edge",
        "BraveSoftware/Brave-Browser",
        "vivaldi",
    };
    return folders;
}

std::string chromiumHostManifest(const std::string& bridgePath, const std::string& extensionId) {
    return std::string("{\n") + "  \"name\": " + jsonString(kBridgeHostName) + ",\n" +
           "  \"description\": \"Surfdeck bridge\",\n" + "  \"path\": " + jsonString(bridgePath) +
           ",\n" + "  \"type\": \"stdio\",\n" + "  \"allowed_origins\": [" +
           jsonString("chrome-extension://" + extensionId + "/") + "]\n}\n";
}

std::string firefoxHostManifest(const std::string& bridgePath) {
    return std::string("{\n") + "  \"name\": " + jsonString(kBridgeHostName) + ",\n" +
           "  \"description\": \"Surfdeck bridge\",\n" + "  \"path\": " + jsonString(bridgePath) +
           ",\n" + "  \"type\": \"stdio\",\n" + "  \"allowed_extensions\": [" +
           jsonString(kGeckoExtensionId) + "]\n}\n";
}

std::string externalExtensionEntry(const ExtensionPackage& package) {
    return std::string("{\n") + "  \"external_crx\": " + jsonString(package.crxPath) + ",\n" +
           "  \"external_version\": " + jsonString(package.version) + "\n}\n";
}

int RegisterBrowserHosts(const std::string& programFolder, const UserFolders& user,
                         const LogFn& log) {
    if (user.home.empty()) {
        log("Browser integration files not written: no home folder");
        return 0;
    }
    std::vector<std::string> chromiumConfigs;
    for (const std::string& name : chromiumFamilyFolders()) {
        const std::string config = user.configHome + "/" + name;
        if (isDirectory(config)) chromiumConfigs.push_back(config);
    }
    const std::string mozilla = user.home + "/.mozilla";
    const bool firefox = isDirectory(mozilla);
    // A user without these browsers has nothing to hear about.
    if (chromiumConfigs.empty() && !firefox) return 0;

    const std::string folder = absoluteFolder(programFolder);
    const std::string bridge = folder + "/" + kBridgeExecutableName;
    if (::access(bridge.c_str(), X_OK) != 0) log("Browser bridge missing: " + bridge);
    const auto package = readExtensionPackage(folder);
    if (!package && !chromiumConfigs.empty())
        log("Browser extension package missing or unusable: " + folder + "/extension");
    const bool crxPresent = package && fs::is_regular_file(package->crxPath);
    if (package && !crxPresent) log("Browser extension file missing: " + package->crxPath);

    int written = 0;
    if (package) {
        const std::string hostManifest = chromiumHostManifest(bridge, package->id);
        const std::string entry = externalExtensionEntry(*package);
        for (const std::string& config : chromiumConfigs) {
            const std::string hosts = config + "/NativeMessagingHosts";
            if (ensureFolder(hosts, log) &&
                writeWhole(hosts + "/" + kBridgeHostName + ".json", hostManifest, log))
                ++written;
            if (!crxPresent) continue;
            const std::string external = config + "/External Extensions";
            if (ensureFolder(external, log) &&
                writeWhole(external + "/" + package->id + ".json", entry, log))
                ++written;
        }
    }
    // Firefox installs only extensions signed by its add-ons site: only the host is named.
    if (firefox) {
        const std::string hosts = mozilla + "/native-messaging-hosts";
        if (ensureFolder(hosts, log) &&
            writeWhole(hosts + "/" + kBridgeHostName + ".json", firefoxHostManifest(bridge), log))
            ++written;
    }
    return written;
}

}  // namespace surfdeck
