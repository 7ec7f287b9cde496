#include "platform/devtools/RunningBrowser.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

namespace surfdeck::chromium {

namespace {

// A command line longer than this is not a browser's main process worth reading further.
constexpr std::size_t kMaxCommandLine = 128 * 1024;

std::string linkTarget(const std::string& path) {
    std::array<char, 4096> buf{};
    const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    std::string target(buf.data(), static_cast<std::size_t>(n));
    // An executable replaced by an upgrade while running.
    constexpr std::string_view deleted = " (deleted)";
    if (target.size() > deleted.size() && target.ends_with(deleted))
        target.resize(target.size() - deleted.size());
    return target;
}

std::string resolved(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

std::vector<std::string> commandLine(const std::string& path) {
    std::vector<std::string> args;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return args;
    std::string text;
    std::array<char, 8192> buf{};
    ssize_t n = 0;
    while (text.size() < kMaxCommandLine && (n = ::read(fd, buf.data(), buf.size())) > 0)
        text.append(buf.data(), static_cast<std::size_t>(n));
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\0', start);
        if (end == std::string::npos) end = text.size();
        args.emplace_back(text, start, end - start);
        start = end + 1;
    }
    return args;
}

bool hasDevToolsOrIsHelper(const std::vector<std::string>& args) {
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string_view a = args[i];
        for (std::string_view flag :
             {"--type=", "--headless", "--remote-debugging-port", "--remote-debugging-pipe"})
            if (a.starts_with(flag)) return true;
    }
    return false;
}

std::string fileName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

bool isChromiumFamilyBinary(const std::string& name) {
    for (const char* known :
         {"chromium", "chromium-browser", "chrome", "google-chrome", "google-chrome-stable",
          "google-chrome-beta", "google-chrome-unstable", "msedge", "microsoft-edge", "brave",
          "brave-browser", "vivaldi", "vivaldi-bin"})
        if (name == known) return true;
    return false;
}

std::vector<RunningBrowser> browsersWithoutDevTools(const std::string& executable,
                                                    const std::string& procRoot) {
    const std::string configured = executable.empty() ? std::string() : resolved(executable);
    struct CloseDir {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, CloseDir> dir(::opendir(procRoot.c_str()));
    std::vector<RunningBrowser> found;
    if (!dir) return found;
    const uid_t me = ::getuid();
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const std::string process = procRoot + "/" + std::string(name);
        struct stat st {};
        if (::stat(process.c_str(), &st) != 0 || st.st_uid != me) continue;
        const std::string exe = linkTarget(process + "/exe");
        if (exe.empty()) continue;
        if (!isChromiumFamilyBinary(fileName(exe)) && (configured.empty() || exe != configured))
            continue;
        const auto args = commandLine(process + "/cmdline");
        if (args.empty() || hasDevToolsOrIsHelper(args)) continue;
        found.push_back({std::atoi(std::string(name).c_str()), exe});
    }
    return found;
}

}  // namespace surfdeck::chromium
