#include "platform/extension/ExtensionShellWindows.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/extension/ExtensionTab.h"

namespace surfdeck::extension {

std::shared_ptr<ExtensionShellWindows> ExtensionShellWindows::create(
    const std::shared_ptr<ExtensionHub>& hub) {
    auto list = std::make_shared<ExtensionShellWindows>(hub);
    hub->addListener(list);
    return list;
}

int ExtensionShellWindows::Count() {
    auto hub = hub_.lock();
    return hub ? static_cast<int>(hub->tabs().size()) : 0;
}

std::shared_ptr<BrowserWindow> ExtensionShellWindows::Item(int index) {
    if (auto hub = hub_.lock()) {
        const auto tabs = hub->tabs();
        if (index >= 0 && index < static_cast<int>(tabs.size()))
            return tabs[static_cast<std::size_t>(index)];
    }
    throw AutomationError(automation_error::Disconnected, "The browser window has closed");
}

void ExtensionShellWindows::tabRegistered(Hwnd handle) {
    sinks_.forEach([handle](ShellWindowsEvents& s) { s.WindowRegistered(handle); });
}

void ExtensionShellWindows::tabRevoked(Hwnd handle) {
    sinks_.forEach([handle](ShellWindowsEvents& s) { s.WindowRevoked(handle); });
}

std::string saveFragment(const std::string& folder, const std::string& text, std::string* why) {
    auto fail = [why](const std::string& reason) {
        if (why) *why = reason;
        return std::string();
    };
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
        return fail(folder + ": " + wire::errorText(errno));
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    for (int n = 1; n <= 1000; ++n) {
        const std::string path = folder + "/fragment-" + stamp +
                                 (n == 1 ? std::string() : "-" + std::to_string(n)) + ".txt";
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) return fail(path + ": " + wire::errorText(errno));
        std::size_t done = 0;
        int error = 0;
        while (done < text.size() && error == 0) {
            const ssize_t w = write(fd, text.data() + done, text.size() - done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                error = w < 0 ? errno : ENOSPC;
            else
                done += static_cast<std::size_t>(w);
        }
        // A full disk may show only when the data reaches it.
        if (error == 0 && fsync(fd) != 0) error = errno;
        if (close(fd) != 0 && error == 0) error = errno;
        if (error != 0) {
            unlink(path.c_str());
            return fail(path + ": " + wire::errorText(error));
        }
        return path;
    }
    return fail(folder + ": no free file name");
}

}  // namespace surfdeck::extension
