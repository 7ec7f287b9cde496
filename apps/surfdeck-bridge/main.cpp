// surfdeck-bridge: the native-messaging host. The browser starts it and talks to it over
// its standard streams; it relays every message to the running Surfdeck over a Unix
// socket, and back. It keeps the browser's hello for every new connection, reconnects
// while Surfdeck is away, and starts Surfdeck when the toolbar button asks for it.
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "platform/extension/wire/Wire.h"

namespace {

using namespace surfdeck::wire;
using Clock = std::chrono::steady_clock;

constexpr auto kReconnect = std::chrono::milliseconds(200);
// While no Surfdeck listens, the socket folder is watched: a change in it starts quick
// attempts for a while (a socket appears before it listens), and otherwise the bridge
// only looks now and then, so an idle browser keeps it asleep.
constexpr auto kQuickAttempts = std::chrono::seconds(2);
constexpr auto kSlowAttempt = std::chrono::seconds(10);
constexpr auto kLaunchPause = std::chrono::seconds(10);
// Bytes for Surfdeck that may wait while it does not read; beyond that it is stuck.
constexpr std::size_t kMaxPending = 64 * 1024 * 1024;

void log(const std::string& line) {
    // The browser shows a host's error stream in its own log: one line per event.
    const std::string text = "surfdeck-bridge: " + line + "\n";
    (void)!write(2, text.data(), text.size());
}

// Writes everything, waiting as long as the browser takes to read.
bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string ownFolder() {
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.rfind('/'));
}

class Bridge {
  public:
    int run();

  private:
    void fromBrowser(const std::string& text);
    void fromSurfdeck(const std::string& text);
    void toBrowser(const std::string& json);
    void toSurfdeck(const std::string& json);
    bool connectSurfdeck();
    void disconnect(const std::string& why);
    void launchSurfdeck();
    bool readSocket();
    bool flushSocket();
    void watchFolder(const std::string& folder);
    void folderChanged();

    int sock_ = -1;
    int watch_ = -1;  // inotify on the socket folder; -1: none, attempts stay quick
    Clock::time_point quickUntil_ = Clock::now() + kQuickAttempts;
    FrameDecoder browserIn_{kMaxFromBrowser};
    FrameDecoder surfdeckIn_{kMaxToBrowser};
    std::optional<std::string> hello_;
    std::string pending_;  // bytes for Surfdeck not written yet
    bool launchPending_ = false;
    std::optional<Clock::time_point> lastLaunch_;
    Clock::time_point nextAttempt_ = Clock::now();
};

void Bridge::watchFolder(const std::string& folder) {
    if (watch_ >= 0) return;
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ < 0) return;
    if (inotify_add_watch(watch_, folder.c_str(),
                          IN_CREATE | IN_ATTRIB | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF) <
        0) {
        close(watch_);
        watch_ = -1;
    }
}

void Bridge::folderChanged() {
    char events[4096];
    bool gone = false;
    for (;;) {
        const ssize_t n = read(watch_, events, sizeof events);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(events + at);
            if (e->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) gone = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
        }
    }
    // A folder made afresh is watched afresh at the next attempt.
    if (gone) {
        close(watch_);
        watch_ = -1;
    }
    quickUntil_ = Clock::now() + kQuickAttempts;
    nextAttempt_ = Clock::now();
}

bool Bridge::connectSurfdeck() {
    const std::string folder = socketFolder();
    std::string why;
    if (!prepareSocketFolder(folder, &why)) return false;
    watchFolder(folder);
    const std::string path = folder + "/socket";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    path.copy(address.sun_path, path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return false;
    }
    // Only this user's Surfdeck hears the browser.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
        log("socket answered by another user, not used: " + path);
        close(fd);
        return false;
    }
    sock_ = fd;
    surfdeckIn_ = FrameDecoder(kMaxToBrowser);
    pending_.clear();
    if (hello_) toSurfdeck(*hello_);
    // The extension answers with its whole state, so the new Surfdeck starts complete.
    toBrowser(R"({"type":"resync"})");
    if (launchPending_) {
        launchPending_ = false;
        toSurfdeck(R"({"type":"launch"})");
    }
    return true;
}

void Bridge::disconnect(const std::string& why) {
    if (sock_ < 0) return;
    if (!why.empty()) log(why);
    close(sock_);
    sock_ = -1;
    pending_.clear();
    quickUntil_ = Clock::now() + kQuickAttempts;
    nextAttempt_ = Clock::now() + kReconnect;
}

void Bridge::launchSurfdeck() {
    const auto now = Clock::now();
    // Pressing the button again while Surfdeck comes up starts no second one.
    if (lastLaunch_ && now - *lastLaunch_ < kLaunchPause) return;
    lastLaunch_ = now;
    const std::string program = ownFolder() + "/surfdeck";
    if (spawnDetached(program, {}))
        log("started " + program);
    else
        log("could not start " + program);
}

void Bridge::toBrowser(const std::string& json) {
    if (!writeAll(1, encodeFrame(json))) {
        // A closed pipe is the browser letting us go, as when it closes our input.
        if (errno == EPIPE) std::_Exit(0);
        log("the browser stopped reading, ending");
        std::_Exit(1);
    }
}

void Bridge::toSurfdeck(const std::string& json) {
    if (sock_ < 0) return;
    pending_ += encodeFrame(json);
    if (pending_.size() > kMaxPending) {
        disconnect("Surfdeck is not reading; connection dropped");
        return;
    }
    flushSocket();
}

bool Bridge::flushSocket() {
    while (!pending_.empty()) {
        const ssize_t n = send(sock_, pending_.data(), pending_.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n <= 0) {
            disconnect("connection to Surfdeck lost");
            return false;
        }
        pending_.erase(0, static_cast<std::size_t>(n));
    }
    return true;
}

void Bridge::fromBrowser(const std::string& text) {
    std::string why;
    auto message = parseMessage(text, &why);
    if (!message) {
        log("message from the browser dropped: " + why);
        return;
    }
    const std::string type = messageType(*message);
    if (type == "hello") {
        (*message)["bridgePid"] = static_cast<long long>(getpid());
        (*message)["browserPid"] = static_cast<long long>(getppid());
        hello_ = serialize(*message);
        toSurfdeck(*hello_);
        return;
    }
    if (type == "launch" && sock_ < 0 && !connectSurfdeck()) {
        launchSurfdeck();
        launchPending_ = true;
        return;
    }
    // Without Surfdeck the rest is dropped: the extension sends its state on resync.
    toSurfdeck(text);
}

void Bridge::fromSurfdeck(const std::string& text) {
    std::string why;
    if (!parseMessage(text, &why)) {
        log("message from Surfdeck dropped: " + why);
        return;
    }
    toBrowser(text);
}

bool Bridge::readSocket() {
    char buffer[65536];
    const ssize_t n = recv(sock_, buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    if (n <= 0) {
        disconnect("connection to Surfdeck lost");
        return false;
    }
    if (!surfdeckIn_.feed(buffer, static_cast<std::size_t>(n))) {
        disconnect("message from Surfdeck over " + std::to_string(kMaxToBrowser) +
                   " bytes; connection dropped");
        return false;
    }
    while (auto text = surfdeckIn_.next()) fromSurfdeck(*text);
    return true;
}

int Bridge::run() {
    std::signal(SIGPIPE, SIG_IGN);
    for (;;) {
        if (sock_ < 0 && Clock::now() >= nextAttempt_) {
            if (!connectSurfdeck()) {
                const bool quick = watch_ < 0 || Clock::now() < quickUntil_;
                nextAttempt_ = Clock::now() + (quick ? Clock::duration(kReconnect)
                                                     : Clock::duration(kSlowAttempt));
            }
        }
        // The socket while connected, else the folder's watch.
        const int second = sock_ >= 0 ? sock_ : watch_;
        pollfd fds[2] = {{0, POLLIN, 0}, {second, POLLIN, 0}};
        if (sock_ >= 0)
            fds[1].events = static_cast<short>(POLLIN | (pending_.empty() ? 0 : POLLOUT));
        int timeout = -1;
        if (sock_ < 0) {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextAttempt_ - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, wait.count())) + 1;
        }
        if (poll(fds, second >= 0 ? 2 : 1, timeout) < 0) {
            if (errno == EINTR) continue;
            log("poll failed: " + errorText(errno));
            return 1;
        }
        if (sock_ < 0 && watch_ >= 0 && (fds[1].revents & POLLIN)) folderChanged();
        if (sock_ >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) readSocket();
        if (sock_ >= 0 && (fds[1].revents & POLLOUT)) flushSocket();
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            char buffer[65536];
            const ssize_t n = read(0, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                // The browser has let us go; what is still queued for Surfdeck goes out.
                if (sock_ >= 0 && !pending_.empty()) {
                    // Blocking now, but never for more than a second.
                    const timeval limit{1, 0};
                    setsockopt(sock_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
                    fcntl(sock_, F_SETFL, fcntl(sock_, F_GETFL) & ~O_NONBLOCK);
                    flushSocket();
                }
                if (browserIn_.partial()) log("the browser ended in the middle of a message");
                return 0;
            }
            if (!browserIn_.feed(buffer, static_cast<std::size_t>(n))) {
                // The stream cannot be picked up again after a length we refuse.
                log("message from the browser of " + std::to_string(browserIn_.refusedLength()) +
                    " bytes is over the limit of " + std::to_string(kMaxFromBrowser) + "; ending");
                return 1;
            }
            while (auto text = browserIn_.next()) fromBrowser(*text);
        }
    }
}

}  // namespace

int main() {
    Bridge bridge;
    return bridge.run();
}
