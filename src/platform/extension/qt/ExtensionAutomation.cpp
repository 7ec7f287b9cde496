#include "platform/extension/qt/ExtensionAutomation.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QEventLoop>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>

#include "platform/devtools/BrowserSettings.h"
#include "platform/devtools/RunningBrowser.h"
#include "platform/extension/ExtensionQuery.h"
#include "platform/extension/ExtensionShellWindows.h"
#include "settings/Log.h"
#include "settings/Settings.h"

namespace surfdeck::extension {

namespace {

// Connections one Surfdeck serves at once; each is one browser profile.
constexpr std::size_t kMaxPeers = 64;

ExtensionSettings readSettings(const std::string& programFolder) {
    ExtensionSettings s;
    s.homePage = chromium::readBrowserSettings(programFolder).homePage;
    s.fragmentsFolder = programFile(programFolder, "Fragments");
    return s;
}

bool fillAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    path.copy(address.sun_path, path.size());
    return true;
}

}  // namespace

ExtensionAutomation::ExtensionAutomation(const std::string& programFolder)
    : ExtensionAutomation(readSettings(programFolder),
                          [path = programFile(programFolder, "log.txt")](const std::string& line) {
                              WriteLog(path, line);
                          }) {}

ExtensionAutomation::ExtensionAutomation(ExtensionSettings settings, LogFn log)
    : settings_(std::move(settings)), log_(std::move(log)), context_(std::make_unique<QObject>()) {
    HubOptions options;
    options.callTimeoutMs = settings_.callTimeoutMs;
    options.homePage = settings_.homePage;
    options.prepareUrl = [](const std::string& url, std::string* refused) {
        *refused = chromium::refusedScheme(url);
        const std::string target = chromium::navigableUrl(url);
        if (refused->empty()) *refused = chromium::refusedScheme(target);
        return target;
    };
    hub_ = std::make_shared<ExtensionHub>(static_cast<HubHost&>(*this), std::move(options));
    hub_->onSaveText = [this](const std::string& text) { saveText(text); };
    hub_->onOpenFolder = [this] { openFolder(); };
    if (settings_.useWindowSystem) x11_ = std::make_shared<X11ActiveWindow>();
    listen();
}

void ExtensionAutomation::setStatusHandler(BrowserStatusFn fn) {
    hub_->onStatus = fn;
    if (!fn || listenFd_ < 0) return;
    // A browser the user runs that never says hello has no extension (or has it turned
    // off): said once, since nothing else would tell the user why nothing is tracked.
    QTimer::singleShot(kExtensionGraceMs, context_.get(), [this, fn] {
        if (hub_->peerCount() > 0) return;
        const auto running = chromium::browsersWithoutDevTools("");
        if (running.empty()) return;
        log("Browser extension not installed: " + running.front().executable + " runs without it");
        fn({BrowserStatus::State::ExtensionMissing, running.front().executable, "extension"});
    });
}

ExtensionAutomation::~ExtensionAutomation() {
    for (auto& [id, socket] : sockets_) {
        socket->disconnect(context_.get());
        socket->abort();
    }
    sockets_.clear();
    if (listenFd_ >= 0) {
        delete acceptor_;
        close(listenFd_);
        // Only our own socket file goes: another Surfdeck may have replaced it meanwhile.
        struct stat st {};
        if (lstat(socketPath_.c_str(), &st) == 0 && st.st_ino == socketInode_)
            unlink(socketPath_.c_str());
    }
    hub_.reset();
}

void ExtensionAutomation::log(const std::string& line) {
    if (log_) log_(line);
}

void ExtensionAutomation::listen() {
    const std::string folder =
        settings_.socketFolder.empty() ? wire::socketFolder() : settings_.socketFolder;
    socketPath_ = folder + "/socket";
    std::string why;
    if (!wire::prepareSocketFolder(folder, &why)) {
        log("Browser extension socket not used: " + why);
        return;
    }
    sockaddr_un address;
    if (!fillAddress(socketPath_, address)) {
        log("Browser extension socket not used: the path is too long: " + socketPath_);
        return;
    }
    // Something answering there is another Surfdeck: its socket is never taken over.
    const int probe = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0) return;
    const int probed = connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int probeError = errno;
    close(probe);
    if (probed == 0 || (probeError != ECONNREFUSED && probeError != ENOENT)) {
        log("Another Surfdeck is tracking the browser; this one tracks nothing");
        return;
    }
    if (probeError == ECONNREFUSED) unlink(socketPath_.c_str());  // left by one that ended

    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        chmod(socketPath_.c_str(), 0600) != 0 || ::listen(fd, 16) != 0) {
        log("Browser extension socket not used: " + socketPath_ + ": " + wire::errorText(errno));
        if (fd >= 0) close(fd);
        return;
    }
    struct stat st {};
    if (lstat(socketPath_.c_str(), &st) == 0) socketInode_ = st.st_ino;
    listenFd_ = fd;
    acceptor_ = new QSocketNotifier(fd, QSocketNotifier::Read, context_.get());
    QObject::connect(acceptor_, &QSocketNotifier::activated, context_.get(), [this] { accept(); });
}

void ExtensionAutomation::accept() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        ucred peer{};
        socklen_t size = sizeof peer;
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
            log("Browser connection refused: it comes from another user (uid " +
                std::to_string(peer.uid) + ")");
            close(fd);
            continue;
        }
        if (sockets_.size() >= kMaxPeers) {
            log("Browser connection refused: " + std::to_string(kMaxPeers) +
                " browsers are connected already");
            close(fd);
            continue;
        }
        auto* socket = new QLocalSocket(context_.get());
        if (!socket->setSocketDescriptor(fd)) {
            close(fd);
            delete socket;
            continue;
        }
        const PeerId id = ++nextPeer_;
        sockets_[id] = socket;
        hub_->connected(id);
        QObject::connect(socket, &QLocalSocket::readyRead, context_.get(), [this, id, socket] {
            // Whole messages are queued by the hub, so this never waits here.
            while (socket->bytesAvailable() > 0) {
                const QByteArray bytes = socket->read(64 * 1024);
                if (bytes.isEmpty()) break;
                hub_->received(id, bytes.constData(), static_cast<std::size_t>(bytes.size()));
                if (!sockets_.count(id)) return;  // dropped for what it sent
            }
        });
        QObject::connect(socket, &QLocalSocket::disconnected, context_.get(), [this, id, socket] {
            if (sockets_.erase(id)) {
                socket->deleteLater();
                hub_->disconnected(id);
            }
        });
    }
}

void ExtensionAutomation::sendFrame(PeerId peer, const std::string& frame) {
    const auto it = sockets_.find(peer);
    if (it == sockets_.end()) return;
    // A bridge that stops reading is given up before its backlog eats our memory.
    if (it->second->bytesToWrite() > 64 * 1024 * 1024) {
        log("Browser connection dropped: its bridge does not read");
        dropPeer(peer);
        hub_->disconnected(peer);
        return;
    }
    it->second->write(frame.data(), static_cast<qint64>(frame.size()));
}

void ExtensionAutomation::dropPeer(PeerId peer) {
    const auto it = sockets_.find(peer);
    if (it == sockets_.end()) return;
    QLocalSocket* socket = it->second;
    sockets_.erase(it);
    socket->disconnect(context_.get());
    socket->abort();
    socket->deleteLater();
}

void ExtensionAutomation::postDrain() {
    if (drainPosted_) return;
    drainPosted_ = true;
    std::weak_ptr<ExtensionHub> weak = hub_;
    QMetaObject::invokeMethod(
        context_.get(),
        [this, weak] {
            drainPosted_ = false;
            if (auto hub = weak.lock()) hub->drain();
        },
        Qt::QueuedConnection);
}

bool ExtensionAutomation::waitFor(const std::function<bool()>& done, int timeoutMs) {
    // The timer's own signal ends the wait: a coarse timer may fire a little early, and a
    // clock check after it would then wait on with nothing left to wake the loop.
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
    timer.start(timeoutMs);
    // Events go on being handed out while we wait, including to handlers that make calls
    // of their own. (Not exec(): once the application is quitting, exec() returns at once.)
    QEventLoop loop;
    while (!done()) {
        if (timedOut) return false;
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void ExtensionAutomation::saveText(const std::string& text) {
    std::string why;
    const std::string path = saveFragment(settings_.fragmentsFolder, text, &why);
    if (path.empty())
        log("Text not saved: " + why);
    else
        log("Text saved: " + path);
}

void ExtensionAutomation::openFolder() {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    const std::string folder = settings_.fragmentsFolder;
    if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
        log("Saved text folder not opened: " + folder + ": " + wire::errorText(errno));
        return;
    }
    if (opener.isEmpty() || !wire::spawnDetached(opener.toStdString(), {folder}))
        log("Saved text folder not opened: xdg-open could not be started");
}

std::shared_ptr<ShellWindows> ExtensionAutomation::createShellWindows() {
    return ExtensionShellWindows::create(hub_);
}

std::shared_ptr<EmbeddedBrowser> ExtensionAutomation::createEmbeddedBrowser(EmbeddedRole role) {
    if (role != EmbeddedRole::Query)
        throw AutomationError(automation_error::Failed,
                              "The results view is not shown by the browser backend");
    // One lookup browser serves every showing of the panel.
    if (!query_) query_ = std::make_shared<ExtensionQueryBrowser>(hub_);
    return query_;
}

std::shared_ptr<Foreground> ExtensionAutomation::foreground() {
    return std::make_shared<ExtensionForeground>(hub_, x11_);
}

}  // namespace surfdeck::extension
