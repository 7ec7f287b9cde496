#pragma once
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/extension/ExtensionHub.h"
#include "platform/extension/qt/ExtensionAutomation.h"
#include "support/TempFolder.h"

namespace surfdeck::extension::test {

using wire::Json;

// Runs Qt events until cond holds; false after ms.
inline bool waitUntil(const std::function<bool()>& cond, int ms = 3000) {
    QElapsedTimer t;
    t.start();
    while (!cond()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        usleep(1000);
    }
    return true;
}

// A scratch folder, removed at the end; XDG_RUNTIME_DIR points into it.
struct Scratch {
    surfdeck::testing::TempFolder temp;
    std::filesystem::path dir{temp.path()};
    Scratch() { setenv("XDG_RUNTIME_DIR", dir.c_str(), 1); }
    std::string socketFolder() const { return (dir / "surfdeck").string(); }
};

// The browser side of one connection, on this thread: what it receives is kept, and calls
// are answered by respond (no answer when it returns nothing).
class FakePeer {
  public:
    explicit FakePeer(const std::string& socketPath) {
        fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        socketPath.copy(a.sun_path, socketPath.size());
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        out_ = fd_;
        listen();
    }
    // Over two pipes: the browser's end of a bridge's standard streams.
    FakePeer(int readFd, int writeFd) : fd_(readFd), out_(writeFd), connected_(true) { listen(); }
    ~FakePeer() { close(); }
    bool connected() const { return connected_; }
    void close() {
        // May run inside the notifier's own signal: it goes later.
        if (notifier_) {
            notifier_->setEnabled(false);
            notifier_.release()->deleteLater();
        }
        if (out_ >= 0 && out_ != fd_) ::close(out_);
        if (fd_ >= 0) ::close(fd_);
        fd_ = out_ = -1;
    }
    void sendRaw(const std::string& bytes) { (void)!::write(out_, bytes.data(), bytes.size()); }
    void send(const Json& j) { sendRaw(wire::encodeFrame(j.dump())); }
    void hello(long long pid = 4242) {
        send({{"type", "hello"}, {"protocol", 1}, {"browser", "chromium"}, {"browserPid", pid}});
    }
    int count(const std::string& type) const {
        int n = 0;
        for (const auto& m : received)
            if (wire::messageType(m) == type) ++n;
        return n;
    }
    const Json* last(const std::string& type) const {
        for (auto it = received.rbegin(); it != received.rend(); ++it)
            if (wire::messageType(*it) == type) return &*it;
        return nullptr;
    }

    std::vector<Json> received;
    std::function<std::optional<Json>(const Json& call)> respond;
    // Sees every other message as it arrives.
    std::function<void(const Json& message)> onMessage;

  private:
    void listen() {
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readSome(); });
    }
    void readSome() {
        char buffer[65536];
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            notifier_->setEnabled(false);
            return;
        }
        decoder_.feed(buffer, static_cast<std::size_t>(n));
        while (auto text = decoder_.next()) {
            Json m = Json::parse(*text);
            received.push_back(m);
            if (wire::messageType(m) == "call" && respond) {
                if (auto result = respond(m))
                    send({{"type", "reply"}, {"id", m["id"]}, {"ok", true}, {"result", *result}});
                if (fd_ < 0) return;
            } else if (onMessage) {
                onMessage(m);
                if (fd_ < 0) return;
            }
        }
    }
    int fd_ = -1;
    int out_ = -1;
    bool connected_ = false;
    wire::FrameDecoder decoder_{wire::kMaxToBrowser};
    std::unique_ptr<QSocketNotifier> notifier_;
};

// A Tab of the protocol.
inline Json tab(int id, int window, int index, const std::string& url, bool back = false,
                bool forward = false) {
    return {{"id", id},
            {"windowId", window},
            {"index", index},
            {"active", index == 0},
            {"url", url},
            {"title", url},
            {"status", "complete"},
            {"canGoBack", back},
            {"canGoForward", forward}};
}
inline Json window(int id, std::vector<Json> tabs, bool focused = false) {
    return {{"id", id}, {"focused", focused}, {"state", "normal"}, {"title", ""}, {"tabs", tabs}};
}
inline Json state(std::vector<Json> windows) {
    return {{"type", "state"}, {"windows", windows}};
}

// Every event of one tab, as lines: "before http://a/", "begin", "navigated http://a/",
// "complete http://a/", "end", "command 2 1".
struct Recorder : BrowserEvents {
    std::vector<std::string> lines;
    std::function<void(BeforeNavigateArgs&)> onBefore;
    void BeforeNavigate2(BeforeNavigateArgs& a) override {
        lines.push_back("before " + a.url);
        if (onBefore) onBefore(a);
    }
    void NavigateComplete2(Dispatch*, const std::string& url) override {
        lines.push_back("navigated " + url);
    }
    void DocumentComplete(Dispatch*, const std::string& url) override {
        lines.push_back("complete " + url);
    }
    void DownloadBegin() override { lines.push_back("begin"); }
    void DownloadComplete() override { lines.push_back("end"); }
    void CommandStateChange(std::int32_t c, bool e) override {
        lines.push_back("command " + std::to_string(c) + " " + std::to_string(e));
    }
};

// A backend on a scratch socket, with its log lines kept.
struct Backend {
    std::vector<std::string> log;
    std::unique_ptr<ExtensionAutomation> automation;
    explicit Backend(const Scratch& s, int timeoutMs = 2000) {
        ExtensionSettings settings;
        settings.socketFolder = s.socketFolder();
        settings.fragmentsFolder = (s.dir / "Fragments").string();
        settings.callTimeoutMs = timeoutMs;
        settings.useWindowSystem = false;
        automation = std::make_unique<ExtensionAutomation>(
            settings, [this](const std::string& line) { log.push_back(line); });
    }
    bool logged(const std::string& part) const {
        for (const auto& l : log)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
};

}  // namespace surfdeck::extension::test
