#include "platform/chromium/CdpConnection.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

#include "platform/Automation.h"

namespace surfdeck::chromium {

CdpConnection::CdpConnection(int callTimeoutMs)
    : socket_(256 * 1024 * 1024), callTimeoutMs_(callTimeoutMs) {
    socket_.onText = [this](const QString& text) { onText(text); };
    socket_.onOpened = [this] { onSocketOpened(); };
    socket_.onClosed = [this] { onSocketClosed(); };
}

CdpConnection::~CdpConnection() {
    socket_.onText = nullptr;
    socket_.onOpened = nullptr;
    socket_.onClosed = nullptr;
    for (auto& [id, w] : waiting_) {
        w->done = true;
        w->failed = true;
        w->errorNumber = automation_error::Disconnected;
        w->errorText = QStringLiteral("The browser connection has ended");
    }
}

void CdpConnection::open(const QUrl& url) {
    attempt_ = true;
    const int attempt = ++attempts_;
    socket_.open(url);
    // Something that takes the connection but never finishes the handshake is given up.
    QTimer::singleShot(5000, this, [this, attempt] {
        if (attempt == attempts_ && attempt_ && !open_) socket_.abort();
    });
}

void CdpConnection::close() {
    if (socket_.state() != WebSocketClient::State::Closed) socket_.abort();
}

void CdpConnection::onSocketOpened() {
    if (open_) return;
    open_ = true;
    post([this] {
        if (onOpened_) onOpened_();
    });
}

void CdpConnection::onSocketClosed() {
    if (attempt_) {
        attempt_ = false;
        open_ = false;
        failAll();
        post([this] {
            if (onClosed_) onClosed_();
        });
    }
}

void CdpConnection::failAll() {
    for (auto& [id, w] : waiting_) {
        w->done = true;
        w->failed = true;
        w->errorNumber = automation_error::Disconnected;
        w->errorText = QStringLiteral("The browser connection has ended");
    }
    auto replies = std::move(replies_);
    replies_.clear();
    const QJsonObject error{{"code", -1}, {"message", "The browser connection has ended"}};
    for (auto& [id, fn] : replies) post([fn = std::move(fn), error] { fn({}, error); });
}

void CdpConnection::send(const QString& method, const QJsonObject& params, const QString& session,
                         ReplyFn reply) {
    if (!open_) {
        if (reply) {
            const QJsonObject error{{"code", -1}, {"message", "The browser is not connected"}};
            post([reply = std::move(reply), error] { reply({}, error); });
        }
        return;
    }
    const int id = ++nextId_;
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!session.isEmpty()) message.insert("sessionId", session);
    if (reply) replies_.emplace(id, std::move(reply));
    socket_.sendText(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

QJsonObject CdpConnection::call(const QString& method, const QJsonObject& params,
                                const QString& session) {
    if (!open_)
        throw AutomationError(automation_error::Disconnected, "The browser is not connected");
    const int id = ++nextId_;
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!session.isEmpty()) message.insert("sessionId", session);

    Waiting waiting;
    waiting_.emplace(id, &waiting);
    socket_.sendText(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));

    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, [&timedOut] { timedOut = true; });
    timer.start(callTimeoutMs_);
    QPointer<CdpConnection> alive(this);
    // Events go on being handed out while we wait, including to handlers that make calls
    // of their own; our answer may come while one of those waits, and ours ends after it.
    // (Not exec(): once the application is quitting, exec() returns at once.)
    QEventLoop loop;
    while (!waiting.done && !timedOut) loop.processEvents(QEventLoop::WaitForMoreEvents);
    if (!alive)
        throw AutomationError(automation_error::Disconnected, "The browser connection has ended");
    waiting_.erase(id);

    if (!waiting.done)
        throw AutomationError(automation_error::Timeout,
                              method.toStdString() + ": no answer from the browser in time");
    if (waiting.failed)
        throw AutomationError(waiting.errorNumber,
                              method.toStdString() + ": " + waiting.errorText.toStdString());
    return waiting.result;
}

void CdpConnection::onText(const QString& text) {
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &parseError);
    if (!doc.isObject()) return;
    const QJsonObject message = doc.object();

    if (message.contains("id")) {
        const int id = message.value("id").toInt();
        const QJsonObject result = message.value("result").toObject();
        const QJsonObject error = message.value("error").toObject();
        if (auto it = waiting_.find(id); it != waiting_.end()) {
            Waiting* w = it->second;
            w->done = true;
            if (message.contains("error")) {
                w->failed = true;
                w->errorNumber = automation_error::Failed;
                w->errorText = error.value("message").toString();
            } else {
                w->result = result;
            }
        } else if (auto r = replies_.find(id); r != replies_.end()) {
            ReplyFn fn = std::move(r->second);
            replies_.erase(r);
            post([fn = std::move(fn), result, error] { fn(result, error); });
        }
        return;
    }

    const QString method = message.value("method").toString();
    if (method.isEmpty()) return;
    const QJsonObject params = message.value("params").toObject();
    const QString session = message.value("sessionId").toString();
    post([this, method, params, session] {
        if (onEvent_) onEvent_(method, params, session);
    });
}

void CdpConnection::post(std::function<void()> fn) {
    queue_.push_back(std::move(fn));
    if (drainPosted_) return;
    drainPosted_ = true;
    QMetaObject::invokeMethod(
        this, [this] { drain(); }, Qt::QueuedConnection);
}

void CdpConnection::drain() {
    drainPosted_ = false;
    QPointer<CdpConnection> alive(this);
    while (alive && !queue_.empty()) {
        std::function<void()> fn = std::move(queue_.front());
        queue_.pop_front();
        // Nothing a receiver lets escape may cross the event loop.
        try {
            fn();
        } catch (const std::exception& e) {
            if (alive && log_) log_(std::string("Error in browser event: ") + e.what());
        } catch (...) {
            if (alive && log_) log_("Error in browser event");
        }
    }
}

}  // namespace surfdeck::chromium
