#include "platform/devtools/CdpBrowser.h"

#include <arpa/inet.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTimer>
#include <algorithm>

#include "platform/devtools/BrowserLauncher.h"
#include "platform/devtools/CdpConnection.h"
#include "platform/devtools/CdpTab.h"
#include "platform/devtools/LoopbackHttp.h"
#include "platform/devtools/RunningBrowser.h"

namespace surfdeck::chromium {

namespace {

// A configured text goes into the log on one line, whatever it holds.
std::string oneLine(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < ' ') c = ' ';
    return text;
}

// The same IPv4 or IPv6 address, however written ("::1" and "0:0::1" are one).
bool sameAddress(const std::string& a, const std::string& b) {
    unsigned char x[16] = {}, y[16] = {};
    if (inet_pton(AF_INET, a.c_str(), x) == 1)
        return inet_pton(AF_INET, b.c_str(), y) == 1 && std::equal(x, x + 4, y);
    return inet_pton(AF_INET6, a.c_str(), x) == 1 && inet_pton(AF_INET6, b.c_str(), y) == 1 &&
           std::equal(x, x + 16, y);
}

}  // namespace

CdpBrowser::CdpBrowser(BrowserSettings settings, LogFn log)
    : settings_(std::move(settings)),
      log_(std::move(log)),
      context_(std::make_unique<QObject>()),
      connection_(std::make_unique<CdpConnection>(settings_.callTimeoutMs)) {
    clock_.start();
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
    for (auto& [order, tab] : tabs_) tab->setClosed();
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
    // Whatever answers on the port is read only so far and so long: an endless or a
    // trickling reply is given up like one that never came.
    http_->get(QString::fromStdString(endpoint_->host), endpoint_->port,
               QStringLiteral("/json/version"), kVersionReplyMs,
               [this](bool ok, const QByteArray& body, const QString& why) {
                   probeAnswered(ok ? body : QByteArray(), why);
               });
}

QString CdpBrowser::debuggerPath(const QByteArray& body, QString& reason) const {
    const QJsonObject version = QJsonDocument::fromJson(body).object();
    if (version.value("Browser").toString().isEmpty()) {
        reason = QStringLiteral("no browser named");
        return {};
    }
    // Only our own host and port: the socket goes to the address we checked in any case,
    // and an answer naming another is no browser's own on this endpoint.
    const QUrl ws(version.value("webSocketDebuggerUrl").toString());
    if (ws.scheme() != "ws" || !sameAddress(ws.host().toStdString(), endpoint_->host) ||
        ws.port() != endpoint_->port || !ws.path().startsWith("/devtools/browser/")) {
        reason = QStringLiteral("not this endpoint's browser");
        return {};
    }
    return ws.path();
}

void CdpBrowser::probeAnswered(const QByteArray& body, const QString& failure) {
    QString reason = failure;
    QString path;
    if (reason.isEmpty() && !body.isEmpty()) path = debuggerPath(body, reason);
    if (!path.isEmpty()) {
        lastRefusal_.clear();
        browserName_ = QJsonDocument::fromJson(body).object().value("Browser").toString().left(80);
        QUrl ws;
        ws.setScheme("ws");
        ws.setHost(QString::fromStdString(endpoint_->host));
        ws.setPort(endpoint_->port);
        ws.setPath(path);
        connection_->open(ws);
        return;
    }
    // Something answers that is no browser of ours: said once, not at every retry.
    if (!reason.isEmpty() && reason != lastRefusal_)
        log("Browser endpoint answer refused: " + reason.toStdString());
    lastRefusal_ = reason;
    if (!everConnected_ && !launched_ && settings_.startBrowser && reason.isEmpty()) launch();
    if (fastProbes_ > 0) {
        --fastProbes_;
        scheduleProbe(250);
    } else {
        // Nothing answers and nothing is starting: a browser that never came, or one
        // that was lost, which stays the state until the browser is back.
        reportFailure(BrowserStatus::State::Refused);
        scheduleProbe(settings_.reconnectMs);
    }
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
    // A browser the user runs without an endpoint would get a second window from us,
    // driven where the user cannot see it: leave it, and say why.
    if (const auto others = browsersWithoutDevTools(exe, settings_.processTable); !others.empty()) {
        log("Browser not started: " + oneLine(others.front().executable) +
            " already runs (process " + std::to_string(others.front().pid) +
            ") without a DevTools port");
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
        clearTabs();
        for (auto& [order, tab] : gone) {
            anyAnnounced = anyAnnounced || tab->ready();
            tab->setClosed();
        }
        focused_ = 0;
        // Lists built from this browser rebuild themselves empty, also when every tab was
        // announced closed before the connection ended.
        const bool lost = everConnected_ || anyAnnounced;
        if (everConnected_) {
            log("Browser connection lost");
            reportFailure(BrowserStatus::State::Lost);
        }
        everConnected_ = false;
        launched_ = true;  // a browser the user closed is not started again behind their back
        if (lost) announce(false, 0);
    }
    scheduleProbe(settings_.reconnectMs);
}

void CdpBrowser::clearTabs() {
    pruneAt_ = 64;
    tabs_.clear();
    orderOf_.clear();
    bySession_.clear();
    byHandle_.clear();
    unattached_.clear();
    ready_.reset();
}

std::vector<std::shared_ptr<CdpTab>> CdpBrowser::tabs() const {
    // Asked once per list entry: kept until the list changes.
    if (!ready_) {
        ready_.emplace();
        for (const auto& [order, tab] : tabs_)
            if (tab->ready()) ready_->push_back(tab);
    }
    return *ready_;
}

std::shared_ptr<CdpTab> CdpBrowser::tabByHandle(Hwnd handle) const {
    const auto it = byHandle_.find(handle);
    if (it == byHandle_.end()) return nullptr;
    auto tab = it->second.lock();
    return tab && tab->ready() ? tab : nullptr;
}

std::shared_ptr<CdpTab> CdpBrowser::findTab(const QString& targetId) const {
    const auto it = orderOf_.constFind(targetId);
    if (it == orderOf_.constEnd()) return nullptr;
    const auto tab = tabs_.find(*it);
    return tab == tabs_.end() ? nullptr : tab->second;
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

bool CdpBrowser::held(const QString& requestId) const {
    return connection_->held(requestId);
}

void CdpBrowser::send(const QString& method, const QJsonObject& params, const QString& session,
                      std::function<void(const QJsonObject&, const QJsonObject&)> reply) {
    connection_->send(method, params, session, std::move(reply));
}

namespace {

bool isTab(const QJsonObject& info) {
    // Prerendered and other hidden pages are no tabs the user sees.
    return info.value("type").toString() == "page" && info.value("subtype").toString().isEmpty();
}

}  // namespace

void CdpBrowser::seen(const QJsonObject& info) {
    const QString targetId = info.value("targetId").toString();
    if (!isTab(info) || orderOf_.contains(targetId) || unattached_.contains(targetId)) return;
    const qint64 now = clock_.elapsed();
    // Targets that are never attached (another client's, or refused) are not kept for ever.
    // Swept whenever the list has doubled since the last sweep, so a flood costs no more
    // per report than a trickle.
    if (unattached_.size() >= pruneAt_) {
        for (auto it = unattached_.begin(); it != unattached_.end();)
            it = now - it->at > kUnattachedMs ? unattached_.erase(it) : std::next(it);
        if (unattached_.size() >= 4096) unattached_.clear();
        pruneAt_ = std::max<qsizetype>(64, 2 * unattached_.size());
    }
    unattached_.insert(targetId, {nextOrder_++, now});
}

std::shared_ptr<CdpTab> CdpBrowser::ensureTab(const QJsonObject& info) {
    if (!isTab(info)) return nullptr;
    const QString targetId = info.value("targetId").toString();
    if (auto tab = findTab(targetId)) return tab;
    const auto first = unattached_.constFind(targetId);
    const std::uint64_t order = first != unattached_.constEnd() ? first->order : nextOrder_++;
    unattached_.remove(targetId);
    const Hwnd handle = nextHandle_;
    nextHandle_ = nextHandle_ == 0x7fffffff ? kFirstHandle : nextHandle_ + 1;
    auto tab =
        std::make_shared<CdpTab>(weak_from_this(), targetId, handle, info.value("url").toString());
    tabs_.emplace(order, tab);
    orderOf_.insert(targetId, order);
    byHandle_[handle] = tab;
    return tab;
}

void CdpBrowser::attached(const QJsonObject& params) {
    const QJsonObject info = params.value("targetInfo").toObject();
    const QString session = params.value("sessionId").toString();
    auto tab = ensureTab(info);
    if (!tab || session.isEmpty()) {
        if (params.value("waitingForDebugger").toBool())
            connection_->send("Runtime.runIfWaitingForDebugger", {}, session);
        return;
    }
    bySession_.remove(tab->sessionId());
    bySession_.insert(session, tab);
    std::weak_ptr<CdpTab> weakTab = tab;
    tab->attach(session, [this, weakTab] {
        auto t = weakTab.lock();
        if (!t || t->closed() || t->ready()) return;
        t->setReady();
        ready_.reset();
        announce(true, t->handle());
    });
}

void CdpBrowser::removeTab(const QString& targetId) {
    unattached_.remove(targetId);
    const auto order = orderOf_.constFind(targetId);
    if (order == orderOf_.constEnd()) return;
    const auto it = tabs_.find(*order);
    orderOf_.erase(order);
    if (it == tabs_.end()) return;
    auto tab = it->second;
    tabs_.erase(it);
    bySession_.remove(tab->sessionId());
    byHandle_.erase(tab->handle());
    ready_.reset();
    const bool announced = tab->ready();
    tab->setClosed();
    if (focused_ == tab->handle()) focused_ = 0;
    if (announced) announce(false, tab->handle());
}

void CdpBrowser::onEvent(const QString& method, const QJsonObject& params, const QString& session) {
    auto self = shared_from_this();
    if (!session.isEmpty()) {
        if (auto tab = bySession_.value(session).lock()) tab->onEvent(method, params);
        return;
    }
    if (method == "Target.targetCreated") {
        seen(params.value("targetInfo").toObject());
    } else if (method == "Target.targetInfoChanged") {
        const QJsonObject info = params.value("targetInfo").toObject();
        if (auto tab = findTab(info.value("targetId").toString()))
            tab->targetInfoChanged(info);
        else
            seen(info);
    } else if (method == "Target.attachedToTarget") {
        attached(params);
    } else if (method == "Target.targetDestroyed") {
        removeTab(params.value("targetId").toString());
    } else if (method == "Target.detachedFromTarget") {
        QString targetId = params.value("targetId").toString();
        if (auto tab = bySession_.value(params.value("sessionId").toString()).lock())
            targetId = tab->targetId();
        removeTab(targetId);
    }
}

}  // namespace surfdeck::chromium
