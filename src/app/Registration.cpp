#include "app/Registration.h"

#include "base/SafeFile.h"
#include "base/Text.h"
#include "settings/Settings.h"

namespace surfdeck {
namespace {

const char* const kMenuExt = "Software\\Microsoft\\Internet Explorer\\MenuExt";
const char* const kSaveText = "Software\\Microsoft\\Internet Explorer\\MenuExt\\Save text to file";
const char* const kStartButton =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5B0C3E71-2F4A-4D8B-9E16-C4A7D2E05136}";
const char* const kSavedButton =
    "Software\\Microsoft\\Internet Explorer\\Extensions\\{5B0C3E71-2F4A-4D8B-9E16-C4A7D2E05140}";
const char* const kButtonClsid = "{1FBA04EE-3024-11d2-8F1F-0000F87ABD16}";

using Log = std::function<void(const std::string&)>;

void logOddFile(const Log& log, const std::string& what, const std::string& path,
                files::Result result) {
    if (log && (result == files::Result::NotRegular || result == files::Result::TooLarge))
        log("Cannot " + what + " " + path + ": " + files::describe(result));
}

// Opens for binary access, which creates an absent file empty; reads every byte.
std::string ReadTextFile(const std::string& path, const Log& log) {
    std::string text;
    files::Result result = files::appendRegular(path, "");
    if (result != files::Result::NotRegular) result = files::readRegular(path, text);
    logOddFile(log, "read", path, result);
    return text;
}

// Through the safe writer, so the page is always whole; blanks pad an in-place write.
void WriteTextFile(const std::string& path, const std::string& text, const Log& log) {
    logOddFile(log, "write", path, files::replaceFile(path, text, ""));
}

}  // namespace

bool RegisterIEExtensions(Registry& registry, const std::string& programFolder,
                          const std::function<void(const std::string&)>& log) {
    bool allKeys = true;
    auto createKey = [&](RegistryRoot root, const std::string& path) {
        if (registry.createKey(root, path)) return;
        allKeys = false;
        // The entries that could be written stay written; the program goes on starting.
        if (log) {
            log("Cannot create registry key " + registryRootName(root) + "\\" + path);
        }
    };
    auto setString = [&](RegistryRoot root, const std::string& path, const std::string& name,
                         const std::string& value) { registry.setString(root, path, name, value); };
    const std::string folder = programFolder;
    const auto file = [&](const std::string& name) { return programFile(folder, name); };

    createKey(RegistryRoot::CurrentUser, kMenuExt);
    createKey(RegistryRoot::CurrentUser, kSaveText);
    setString(RegistryRoot::CurrentUser, kSaveText, "", file("context1.htm"));

    try {
        std::string page = ReadTextFile(file("c1.h1"), log);
        const std::string placeholder = "%path%";
        auto at = findNoCase(page, placeholder);
        if (at != std::string::npos) page.replace(at, placeholder.size(), file("Fragments"));
        WriteTextFile(file("context1.htm"), page, log);
    } catch (...) {
        // A template or page that cannot be read or written is passed over.
    }

    struct Button {
        const char* key;
        std::string text, exec, status, menu, icon;
    };
    const Button buttons[] = {
        {kStartButton, "Surfdeck", file(kExecutableName), "Start Surfdeck ", "Start Surfdeck",
         file("IE/start.ico")},
        {kSavedButton, "Show saved text", file("Fragments") + "/", "Show saved text",
         "Show saved text", file("ie/saved.ico")},
    };
    for (const Button& b : buttons) {
        createKey(RegistryRoot::LocalMachine, b.key);
        setString(RegistryRoot::LocalMachine, b.key, "ButtonText", b.text);
        setString(RegistryRoot::LocalMachine, b.key, "Clsid", kButtonClsid);
        setString(RegistryRoot::LocalMachine, b.key, "Default Visible", "Yes");
        setString(RegistryRoot::LocalMachine, b.key, "Exec", b.exec);
        setString(RegistryRoot::LocalMachine, b.key, "MenuStatusBar", b.status);
        setString(RegistryRoot::LocalMachine, b.key, "MenuText", b.menu);
        setString(RegistryRoot::LocalMachine, b.key, "HotIcon", b.icon);
        setString(RegistryRoot::LocalMachine, b.key, "Icon", b.icon);
    }
    return allKeys;
}

}  // namespace surfdeck
