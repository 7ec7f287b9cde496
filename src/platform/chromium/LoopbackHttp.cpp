#include "platform/chromium/LoopbackHttp.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <memory>
#include <optional>

namespace surfdeck::chromium {

namespace {

// The body of a complete "200" answer; nothing while it may still be coming or when it
// is anything else. Content-Length is honoured when given, else the answer ends with
// the connection.
std::optional<QByteArray> bodyOf(const QByteArray& answer, bool ended, bool* failed) {
    const qsizetype headEnd = answer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        *failed = ended;
        return std::nullopt;
    }
    const QList<QByteArray> lines = answer.left(headEnd).split('\n');
    const QList<QByteArray> status = lines.front().trimmed().split(' ');
    if (status.size() < 2 || !status[0].startsWith("HTTP/1.") || status[1] != "200") {
        *failed = true;
        return std::nullopt;
    }
    qsizetype length = -1;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        if (name == "transfer-encoding") {
            *failed = true;  // a DevTools endpoint never sends its short answers in chunks
            return std::nullopt;
        }
        if (name == "content-length") {
            bool ok = false;
            length = line.mid(colon + 1).trimmed().toLongLong(&ok);
            if (!ok || length < 0) {
                *failed = true;
                return std::nullopt;
            }
        }
    }
    const QByteArray body = answer.mid(headEnd + 4);
    if (length >= 0 && body.size() >= length) return body.left(length);
    if (length < 0 && ended) return body;
    *failed = ended;
    return std::nullopt;
}

}  // namespace

void LoopbackHttp::get(const QString& host, int port, const QString& path, int timeoutMs,
                       Done done) {
    auto* socket = new QTcpSocket(this);
    socket->setProxy(QNetworkProxy::NoProxy);
    auto answer = std::make_shared<QByteArray>();
    auto finished = std::make_shared<bool>(false);
    auto* timer = new QTimer(socket);
    timer->setSingleShot(true);
    auto finish = [socket, finished, done](bool ok, const QByteArray& body) {
        if (*finished) return;
        *finished = true;
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
        // Later, so that the caller's reaction never runs inside the socket's signal.
        QTimer::singleShot(0, socket->parent(), [done, ok, body] { done(ok, body); });
    };
    auto check = [socket, answer, finish](bool ended) {
        *answer += socket->readAll();
        if (answer->size() > kMostAnswer) return finish(false, {});
        bool failed = false;
        if (auto body = bodyOf(*answer, ended, &failed)) return finish(true, *body);
        if (failed) finish(false, {});
    };
    connect(timer, &QTimer::timeout, socket, [finish] { finish(false, {}); });
    connect(socket, &QTcpSocket::connected, socket, [socket, host, port, path] {
        const QString h = host.contains(':') ? "[" + host + "]" : host;
        socket->write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: " + h.toUtf8() + ":" +
                      QByteArray::number(port) + "\r\nConnection: close\r\n\r\n");
    });
    connect(socket, &QTcpSocket::readyRead, socket, [check] { check(false); });
    connect(socket, &QTcpSocket::disconnected, socket, [check] { check(true); });
    connect(socket, &QTcpSocket::errorOccurred, socket,
            [check](QAbstractSocket::SocketError) { check(true); });
    timer->start(timeoutMs);
    socket->connectToHost(host, static_cast<quint16>(port));
}

}  // namespace surfdeck::chromium
