#include "platform/devtools/CdpConnection.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

#include "ports/Automation.h"

namespace surfdeck::chromium {

CdpConnection::CdpConnection(int callTimeoutMs)
    : socket_(kMaxMessage), callTimeoutMs_(callTimeoutMs) {
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

void CdpConnection::acceptForTesting() {
    attempt_ = true;
    onSocketOpened();
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
    held_.clear();
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
    if (!release(method, params)) {
        if (reply) {
            const QJsonObject error{{"code", -1}, {"message", "The request was let go already"}};
            post([reply = std::move(reply), error] { reply({}, error); });
        }
        return;
    }
    const int id = ++nextId_;
    if (reply) replies_.emplace(id, std::move(reply));
    sendText(method, params, session, id);
}

void CdpConnection::sendText(const QString& method, const QJsonObject& params,
                             const QString& session, int id) {
    QJsonObject message{{"id", id}, {"method", method}, {"params", params}};
    if (!session.isEmpty()) message.insert("sessionId", session);
    socket_.sendText(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

bool CdpConnection::release(const QString& method, const QJsonObject& params) {
    if (method != QLatin1String("Fetch.continueRequest") &&
        method != QLatin1String("Fetch.failRequest"))
        return true;
    return held_.remove(params.value("requestId").toString()) > 0;
}

void CdpConnection::hold(const QString& requestId, const QString& session, const QString& url) {
    if (requestId.isEmpty() || held_.contains(requestId)) return;
    if (held_.size() >= kMaxHeld) {
        // More paused requests than any browser makes: not one of them waits for us.
        sendText("Fetch.continueRequest", {{"requestId", requestId}}, session, ++nextId_);
        return;
    }
    held_.insert(requestId, session);
    // The browser holds the page until we answer; a receiver that takes its time (or a
    // queue behind it) must not stall the user's browsing.
    QTimer::singleShot(kHoldMs, this, [this, requestId, url] {
        const auto it = held_.constFind(requestId);
        if (it == held_.constEnd()) return;
        const QString heldSession = *it;
        held_.erase(it);
        if (!open_) return;
        sendText("Fetch.continueRequest", {{"requestId", requestId}}, heldSession, ++nextId_);
        if (log_) log_("Navigation held too long, let go: " + url.left(200).toStdString());
    });
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
    // Frames still buffered when the connection was ended are not handed out.
    if (!open_) return;
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
    if (method == QLatin1String("Fetch.requestPaused") && !session.isEmpty()) {
        // Timed from its arrival, not from when the queue reaches it.
        QString url = params.value("request").toObject().value("url").toString();
        for (QChar& c : url)
            if (c.unicode() < ' ') c = ' ';
        hold(params.value("requestId").toString(), session, url);
    }
    if (queue_.size() >= kMaxQueued) {
        // A browser does not send this much between two turns of the loop.
        queue_.clear();
        if (log_) log_("Browser connection flooded, closed");
        socket_.abort();
        return;
    }
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
    QElapsedTimer slice;
    slice.start();
    while (alive && !queue_.empty()) {
        if (slice.elapsed() >= kDrainSliceMs) {
            // The rest in a later turn, after the window's own events.
            drainPosted_ = true;
            QTimer::singleShot(0, this, [this] { drain(); });
            return;
        }
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
