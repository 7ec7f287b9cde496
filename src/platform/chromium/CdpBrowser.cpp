#include "platform/chromium/CdpBrowser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>
#include <algorithm>

#include "platform/chromium/BrowserLauncher.h"
#include "platform/chromium/CdpConnection.h"
#include "platform/chromium/CdpTab.h"
#include "platform/chromium/LoopbackHttp.h"

namespace surfdeck::chromium {

namespace {

// A configured text goes into the log on one line, whatever it holds.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    return text;
}

}  // namespace

CdpBrowser::CdpBrowser(BrowserSettings settings, LogFn log)
    : settings_(std::move(settings)),
      log_(std::move(log)),
      context_(std::make_unique<QObject>()),
      connection_(std::make_unique<CdpConnection>(settings_.callTimeoutMs)) {
    http_ = new LoopbackHttp;
    http_->setParent(context_.get());
    retry_ = new QTimer(context_.get());
    retry_->setSingleShot(true);
    QObject::connect(retry_, &QTimer::timeout, context_.get(), [this] { probe(); });
    connection_->setLog([this](const std::string& line) { this->log(line); });
    connection_->setOpenedHandler([this] { onOpened(); });
    connection_->setClosedHandler([this] { onClosed(); });
    connection_->setEventHandler(
        [this](const QString& method, const QJsonObject& params, const QString& session) {
            onEvent(method, params, session);
        });
}

CdpBrowser::~CdpBrowser() {
    for (auto& tab : tabs_) tab->setClosed();
}

void CdpBrowser::log(const std::string& line) const {
    if (log_) log_(line);
}

void CdpBrowser::start() {
    if (started_) return;
    started_ = true;
    endpoint_ = parseLoopbackEndpoint(settings_.address);
    if (!endpoint_) {
        // The endpoint gives full control of the browser: never anywhere but this machine.
        log("Browser address refused, not a loopback address: " + oneLine(settings_.address));
        reportFailure(BrowserStatus::State::Refused);
        return;
    }
    probe();
}

bool CdpBrowser::connected() const {
    return connection_->isOpen();
}

void CdpBrowser::scheduleProbe(int ms) {
    if (ms > 0) retry_->start(ms);
}

void CdpBrowser::probe() {
    if (connection_->isOpen()) return;
    const QString host = QString::fromStdString(endpoint_->host);
    http_->get(host, endpoint_->port, QStringLiteral("/json/version"), 2000,
               [this](bool ok, const QByteArray& body) {
                   QString path;
                   if (ok) {
                       const QJsonObject version = QJsonDocument::fromJson(body).object();
                       // Only the path is taken from the answer: the socket goes to the address we
                       // checked, whatever host the answer names.
                       path = QUrl(version.value("webSocketDebuggerUrl").toString()).path();
                       browserName_ = version.value("Browser").toString().left(80);
                   }
                   if (path.startsWith("/devtools/browser/")) {
                       QUrl ws;
                       ws.setScheme("ws");
                       ws.setHost(QString::fromStdString(endpoint_->host));
                       ws.setPort(endpoint_->port);
                       ws.setPath(path);
                       connection_->open(ws);
                       return;
                   }
                   if (!everConnected_ && !launched_ && settings_.startBrowser) launch();
                   if (fastProbes_ > 0) {
                       --fastProbes_;
                       scheduleProbe(250);
                   } else {
                       // Nothing answers and nothing is starting: a browser that never came, or one
                       // that was lost, which stays the state until the browser is back.
                       reportFailure(BrowserStatus::State::Refused);
                       scheduleProbe(settings_.reconnectMs);
                   }
               });
}

void CdpBrowser::launch() {
    launched_ = true;
    const std::string exe = findBrowserExecutable(settings_.executable);
    if (exe.empty()) {
        log("Browser not found: " + oneLine(settings_.executable.empty()
                                                ? "no chromium, chromium-browser or google-chrome"
                                                : settings_.executable));
        reportFailure(BrowserStatus::State::NotFound);
        return;
    }
    QStringList dropped;
    const bool started =
        startDetachedBrowser(exe, *endpoint_, settings_.profile, settings_.flags, &dropped);
    for (const QString& flag : dropped) log("Browser flag left out: " + flag.toStdString());
    if (started) {
        log("Browser started: " + oneLine(exe));
        fastProbes_ = 80;  // twenty seconds for a first start
    } else {
        log("Browser could not be started: " + oneLine(exe));
    }
}

void CdpBrowser::onOpened() {
    everConnected_ = true;
    failureReported_ = false;
    reportStatus(BrowserStatus::State::Connected);
    retry_->stop();
    connection_->send("Target.setDiscoverTargets", {{"discover", true}});
    const QJsonArray pagesOnly{QJsonObject{{"type", "page"}}};
    connection_->send("Target.setAutoAttach", {{"autoAttach", true},
                                               {"waitForDebuggerOnStart", true},
                                               {"flatten", true},
                                               {"filter", pagesOnly}});
}

void CdpBrowser::onClosed() {
    if (!tabs_.empty() || everConnected_) {
        bool anyAnnounced = false;
        auto gone = std::move(tabs_);
        tabs_.clear();
        for (auto& tab : gone) {
            anyAnnounced = anyAnnounced || tab->ready();
            tab->setClosed();
        }
        focused_ = 0;
        if (everConnected_) {
            log("Browser connection lost");
            reportFailure(BrowserStatus::State::Lost);
        }
        everConnected_ = false;
        launched_ = true;  // a browser the user closed is not started again behind their back
        if (anyAnnounced) announce(false, 0);
    }
    scheduleProbe(settings_.reconnectMs);
}

std::vector<std::shared_ptr<CdpTab>> CdpBrowser::tabs() const {
    std::vector<std::shared_ptr<CdpTab>> ready;
    for (const auto& tab : tabs_)
        if (tab->ready()) ready.push_back(tab);
    return ready;
}

std::shared_ptr<CdpTab> CdpBrowser::tabByHandle(Hwnd handle) const {
    for (const auto& tab : tabs_)
        if (tab->ready() && tab->handle() == handle) return tab;
    return nullptr;
}

void CdpBrowser::addListener(std::weak_ptr<TabListListener> listener) {
    listeners_.erase(std::remove_if(listeners_.begin(), listeners_.end(),
                                    [](const auto& l) { return l.expired(); }),
                     listeners_.end());
    listeners_.push_back(std::move(listener));
}

void CdpBrowser::setStatusHandler(BrowserStatusFn handler) {
    statusHandler_ = std::move(handler);
    if (statusHandler_ && status_) statusHandler_(*status_);
}

void CdpBrowser::reportStatus(BrowserStatus::State state) {
    status_ = BrowserStatus{state, browserName_.toStdString(), "devtools"};
    if (statusHandler_) statusHandler_(*status_);
}

void CdpBrowser::reportFailure(BrowserStatus::State state) {
    if (failureReported_) return;
    failureReported_ = true;
    reportStatus(state);
}

void CdpBrowser::announce(bool registered, Hwnd handle) {
    auto self = shared_from_this();
    const auto listeners = listeners_;
    for (const auto& weak : listeners) {
        if (auto listener = weak.lock()) {
            if (registered)
                listener->tabRegistered(handle);
            else
                listener->tabRevoked(handle);
        }
    }
}

void CdpBrowser::reportFocus(Hwnd handle, bool hasFocus) {
    if (hasFocus)
        focused_ = handle;
    else if (focused_ == handle)
        focused_ = 0;
}

bool CdpBrowser::activate(Hwnd handle) {
    auto tab = tabByHandle(handle);
    if (!tab) return false;
    try {
        call("Target.activateTarget", {{"targetId", tab->targetId()}}, {});
    } catch (const AutomationError&) {
        return false;
    }
    // The page's own focus report may never come (another program keeps the input, or
    // the browser runs without a window); the tab we were asked to bring up is in front.
    focused_ = handle;
    return true;
}

QJsonObject CdpBrowser::call(const QString& method, const QJsonObject& params,
                             const QString& session) {
    auto self = shared_from_this();
    return connection_->call(method, params, session);
}

void CdpBrowser::send(const QString& method, const QJsonObject& params, const QString& session,
                      std::function<void(const QJsonObject&, const QJsonObject&)> reply) {
    connection_->send(method, params, session, std::move(reply));
}

std::shared_ptr<CdpTab> CdpBrowser::ensureTab(const QJsonObject& info) {
    if (info.value("type").toString() != "page") return nullptr;
    // Prerendered and other hidden pages are no tabs the user sees.
    if (!info.value("subtype").toString().isEmpty()) return nullptr;
    const QString targetId = info.value("targetId").toString();
    for (const auto& tab : tabs_)
        if (tab->targetId() == targetId) return tab;
    const Hwnd handle = nextHandle_;
    nextHandle_ = nextHandle_ == 0x7fffffff ? kFirstHandle : nextHandle_ + 1;
    auto tab =
        std::make_shared<CdpTab>(weak_from_this(), targetId, handle, info.value("url").toString());
    tabs_.push_back(tab);
    return tab;
}

void CdpBrowser::attached(const QJsonObject& params) {
    const QJsonObject info = params.value("targetInfo").toObject();
    const QString session = params.value("sessionId").toString();
    auto tab = ensureTab(info);
    if (!tab) {
        if (params.value("waitingForDebugger").toBool())
            connection_->send("Runtime.runIfWaitingForDebugger", {}, session);
        return;
    }
    std::weak_ptr<CdpTab> weakTab = tab;
    tab->attach(session, [this, weakTab] {
        auto t = weakTab.lock();
        if (!t || t->closed() || t->ready()) return;
        t->setReady();
        announce(true, t->handle());
    });
}

void CdpBrowser::removeTab(const QString& targetId) {
    auto it = std::find_if(tabs_.begin(), tabs_.end(),
                           [&](const auto& tab) { return tab->targetId() == targetId; });
    if (it == tabs_.end()) return;
    auto tab = *it;
    tabs_.erase(it);
    const bool announced = tab->ready();
    tab->setClosed();
    if (focused_ == tab->handle()) focused_ = 0;
    if (announced) announce(false, tab->handle());
}

void CdpBrowser::onEvent(const QString& method, const QJsonObject& params, const QString& session) {
    auto self = shared_from_this();
    if (!session.isEmpty()) {
        for (const auto& tab : tabs_) {
            if (tab->sessionId() == session) {
                auto keep = tab;
                keep->onEvent(method, params);
                return;
            }
        }
        return;
    }
    if (method == "Target.targetCreated") {
        ensureTab(params.value("targetInfo").toObject());
    } else if (method == "Target.targetInfoChanged") {
        const QJsonObject info = params.value("targetInfo").toObject();
        if (auto tab = ensureTab(info)) tab->targetInfoChanged(info);
    } else if (method == "Target.attachedToTarget") {
        attached(params);
    } else if (method == "Target.targetDestroyed") {
        removeTab(params.value("targetId").toString());
    } else if (method == "Target.detachedFromTarget") {
        QString targetId = params.value("targetId").toString();
        for (const auto& tab : tabs_)
            if (tab->sessionId() == params.value("sessionId").toString())
                targetId = tab->targetId();
        removeTab(targetId);
    }
}

}  // namespace surfdeck::chromium
