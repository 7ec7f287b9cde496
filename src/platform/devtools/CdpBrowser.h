#pragma once
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/devtools/BrowserSettings.h"
#include "ports/Automation.h"
#include "ports/BrowserStatus.h"

class QTimer;

namespace surfdeck::chromium {

class CdpConnection;
class CdpTab;
class LoopbackHttp;

// Told when the list of ready tabs changes.
class TabListListener {
  public:
    virtual ~TabListListener() = default;
    virtual void tabRegistered(Hwnd handle) = 0;
    virtual void tabRevoked(Hwnd handle) = 0;
};

// One browser over one connection: finds the endpoint (starting the browser when so
// configured), keeps the page targets as tabs with their handles, routes session messages
// to them, and starts over when the connection ends.
class CdpBrowser : public std::enable_shared_from_this<CdpBrowser> {
  public:
    // First handle given to a tab; below it lie the handles of our own windows.
    static constexpr Hwnd kFirstHandle = 0x00100001;
    // Whatever answers on the endpoint's port is read this far and this long at most.
    static constexpr qint64 kMaxVersionReply = 64 * 1024;
    static constexpr int kVersionReplyMs = 2000;
    // Targets the browser reported but never attached are forgotten after this long.
    static constexpr qint64 kUnattachedMs = 10000;

    CdpBrowser(BrowserSettings settings, LogFn log);
    ~CdpBrowser();
    CdpBrowser(const CdpBrowser&) = delete;
    CdpBrowser& operator=(const CdpBrowser&) = delete;

    // Starts connecting; returns at once.
    void start();
    bool connected() const;
    const BrowserSettings& settings() const { return settings_; }
    void log(const std::string& line) const;

    // The tabs that have been announced, in the order the browser first reported them.
    std::vector<std::shared_ptr<CdpTab>> tabs() const;
    std::shared_ptr<CdpTab> tabByHandle(Hwnd handle) const;

    void addListener(std::weak_ptr<TabListListener> listener);
    // Told when the browser connects, goes or cannot be reached; the latest state so
    // far is told at once.
    void setStatusHandler(BrowserStatusFn handler);

    // The tab whose page has the input focus; 0 when none.
    Hwnd focusedTab() const { return focused_; }
    void reportFocus(Hwnd handle, bool hasFocus);
    // Activates the tab and its window.
    bool activate(Hwnd handle);

    QJsonObject call(const QString& method, const QJsonObject& params, const QString& session);
    // For the fuzz target, which feeds it messages.
    CdpConnection& connection() { return *connection_; }
    // True while a paused request still waits for our answer.
    bool held(const QString& requestId) const;
    void send(const QString& method, const QJsonObject& params, const QString& session,
              std::function<void(const QJsonObject&, const QJsonObject&)> reply = {});

  private:
    void probe();
    void probeAnswered(const QByteArray& body, const QString& failure);
    // The socket path from a version reply; empty with a reason when it is no browser's.
    QString debuggerPath(const QByteArray& body, QString& reason) const;
    void scheduleProbe(int ms);
    void launch();
    void onOpened();
    void onClosed();
    void onEvent(const QString& method, const QJsonObject& params, const QString& session);
    std::shared_ptr<CdpTab> findTab(const QString& targetId) const;
    // Notes a page target's place in the order the browser reported it.
    void seen(const QJsonObject& info);
    std::shared_ptr<CdpTab> ensureTab(const QJsonObject& info);
    void attached(const QJsonObject& params);
    void removeTab(const QString& targetId);
    void clearTabs();
    void announce(bool registered, Hwnd handle);
    void reportStatus(BrowserStatus::State state);
    // A failure reported once until the next connection: the retries stay quiet.
    void reportFailure(BrowserStatus::State state);

    BrowserSettings settings_;
    LogFn log_;
    std::optional<Endpoint> endpoint_;
    std::unique_ptr<QObject> context_;  // owner of the Qt connections below
    std::unique_ptr<CdpConnection> connection_;
    LoopbackHttp* http_ = nullptr;
    QTimer* retry_ = nullptr;
    bool started_ = false;
    bool launched_ = false;
    bool everConnected_ = false;
    int fastProbes_ = 0;  // quick attempts left while a browser we started comes up
    Hwnd nextHandle_ = kFirstHandle;
    Hwnd focused_ = 0;
    QString lastRefusal_;  // the last reason a version reply was refused, logged once
    // The tabs by the order the browser first reported them, with indexes for the lookups
    // every message makes.
    std::map<std::uint64_t, std::shared_ptr<CdpTab>> tabs_;
    QHash<QString, std::uint64_t> orderOf_;
    QHash<QString, std::weak_ptr<CdpTab>> bySession_;
    std::unordered_map<Hwnd, std::weak_ptr<CdpTab>> byHandle_;
    struct Unattached {
        std::uint64_t order;
        qint64 at;
    };
    QHash<QString, Unattached> unattached_;
    qsizetype pruneAt_ = 64;
    std::uint64_t nextOrder_ = 0;
    QElapsedTimer clock_;
    mutable std::optional<std::vector<std::shared_ptr<CdpTab>>> ready_;
    std::vector<std::weak_ptr<TabListListener>> listeners_;
    BrowserStatusFn statusHandler_;
    std::optional<BrowserStatus> status_;
    bool failureReported_ = false;
    QString browserName_;  // as the browser names itself ("Chrome/131.0.6778.85")
};

}  // namespace surfdeck::chromium
