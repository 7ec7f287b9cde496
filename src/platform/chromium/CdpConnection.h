#pragma once
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>

#include "platform/chromium/WebSocketClient.h"

// One WebSocket to a DevTools endpoint, carrying the flattened sessions of all targets.
//
// Answers to synchronous calls are taken as soon as they arrive. Everything else (events,
// answers to asynchronous sends, the end of the connection) is queued and handed out from
// the event loop in arrival order, so a handler may itself make synchronous calls: while
// one waits in its nested loop, later events are handed out inside it. The socket's own
// signal never re-enters.
namespace surfdeck::chromium {

class CdpConnection : public QObject {
  public:
    using EventFn = std::function<void(const QString& method, const QJsonObject& params,
                                       const QString& session)>;
    // error is empty on success.
    using ReplyFn = std::function<void(const QJsonObject& result, const QJsonObject& error)>;
    using LogFn = std::function<void(const std::string&)>;

    explicit CdpConnection(int callTimeoutMs);
    ~CdpConnection() override;

    void setEventHandler(EventFn fn) { onEvent_ = std::move(fn); }
    void setOpenedHandler(std::function<void()> fn) { onOpened_ = std::move(fn); }
    // Runs once per open attempt that ends, whether it had opened or not.
    void setClosedHandler(std::function<void()> fn) { onClosed_ = std::move(fn); }
    // Where an exception that a queued handler lets escape is reported.
    void setLog(LogFn fn) { log_ = std::move(fn); }

    void open(const QUrl& url);
    void close();
    bool isOpen() const { return open_; }
    int callTimeoutMs() const { return callTimeoutMs_; }

    // Sends without waiting; reply (if any) runs later from the queue, with an error when
    // the connection ends first.
    void send(const QString& method, const QJsonObject& params, const QString& session = {},
              ReplyFn reply = {});
    // Sends and waits for the answer in a nested event loop. Throws AutomationError on an
    // error answer, a time-out, or a connection that is not open or ends meanwhile.
    QJsonObject call(const QString& method, const QJsonObject& params, const QString& session = {});

  private:
    struct Waiting {
        bool done = false;
        bool failed = false;
        std::int32_t errorNumber = 0;
        QString errorText;
        QJsonObject result;
    };

    void onText(const QString& text);
    void onSocketOpened();
    void onSocketClosed();
    void failAll();
    void post(std::function<void()> fn);
    void drain();

    WebSocketClient socket_;
    int callTimeoutMs_;
    int nextId_ = 0;
    bool open_ = false;
    bool attempt_ = false;  // an open attempt whose end has not been reported yet
    int attempts_ = 0;
    std::map<int, Waiting*> waiting_;
    std::map<int, ReplyFn> replies_;
    std::deque<std::function<void()>> queue_;
    bool drainPosted_ = false;
    EventFn onEvent_;
    std::function<void()> onOpened_;
    std::function<void()> onClosed_;
    LogFn log_;
};

}  // namespace surfdeck::chromium
