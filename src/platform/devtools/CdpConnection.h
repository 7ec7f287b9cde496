#pragma once
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QUrl>
#include <deque>
#include <functional>
#include <map>

#include "platform/devtools/WebSocketClient.h"

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

    // The largest frame and message taken from the browser; a bigger one ends the connection.
    static constexpr qint64 kMaxMessage = 64 * 1024 * 1024;
    // Events waiting to be handed out; a browser that sends more ends the connection.
    static constexpr std::size_t kMaxQueued = 100000;
    // Time the queue is handed out for in one turn of the event loop, so input and paint
    // get their turns between.
    static constexpr int kDrainSliceMs = 5;
    // A paused request is continued by us after this long, whatever its receivers do.
    static constexpr int kHoldMs = 500;
    static constexpr int kMaxHeld = 1000;

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

    // The fuzz target's door: the connection as if its socket had opened, and a message as
    // if the socket had brought it.
    void acceptForTesting();
    void receive(const QString& text) { onText(text); }
    std::size_t queued() const { return queue_.size(); }

    // True while a request the browser paused is still ours to continue or fail; false
    // once it was let go (too long held) or answered.
    bool held(const QString& requestId) const { return held_.contains(requestId); }

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
    void hold(const QString& requestId, const QString& session, const QString& url);
    // False when the request was let go already: the answer has nothing left to do.
    bool release(const QString& method, const QJsonObject& params);
    void sendText(const QString& method, const QJsonObject& params, const QString& session, int id);

    WebSocketClient socket_;
    int callTimeoutMs_;
    int nextId_ = 0;
    bool open_ = false;
    bool attempt_ = false;  // an open attempt whose end has not been reported yet
    int attempts_ = 0;
    std::map<int, Waiting*> waiting_;
    std::map<int, ReplyFn> replies_;
    std::deque<std::function<void()>> queue_;
    QHash<QString, QString> held_;  // paused request -> its session
    bool drainPosted_ = false;
    EventFn onEvent_;
    std::function<void()> onOpened_;
    std::function<void()> onClosed_;
    LogFn log_;
};

}  // namespace surfdeck::chromium
