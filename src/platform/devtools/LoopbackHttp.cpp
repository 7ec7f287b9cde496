#include "platform/devtools/LoopbackHttp.h"

#include <QTimer>
#include <memory>
#include <optional>

#include "platform/devtools/TcpStream.h"

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
    auto* stream = new TcpStream;
    stream->setParent(this);
    auto answer = std::make_shared<QByteArray>();
    auto finished = std::make_shared<bool>(false);
    auto* timer = new QTimer(stream);
    timer->setSingleShot(true);
    auto answered = std::make_shared<bool>(false);
    auto finish = [this, stream, finished, answered, done = std::move(done)](
                      bool ok, const QByteArray& body, QString why = {}) {
        if (*finished) return;
        if (!ok && why.isEmpty() && *answered) why = QStringLiteral("not an answer");
        *finished = true;
        // The stream may be inside one of its callbacks: closed now, its callbacks kept
        // until it goes.
        stream->close();
        stream->deleteLater();
        // Later, so that the caller's reaction never runs inside the stream's own call.
        QTimer::singleShot(0, this, [done, ok, body, why] { done(ok, body, why); });
    };
    auto check = [stream, answer, answered, finish](bool ended) {
        *answer += stream->readAll();
        if (!answer->isEmpty()) *answered = true;
        if (answer->size() > kMostAnswer)
            return finish(false, {}, QStringLiteral("reply too long"));
        bool failed = false;
        if (auto body = bodyOf(*answer, ended, &failed)) return finish(true, *body);
        if (failed) finish(false, {});
    };
    connect(timer, &QTimer::timeout, stream, [finish, answered] {
        // Accepted but not answered whole in time: something holds the port, slowly.
        finish(false, {}, *answered ? QStringLiteral("reply too slow") : QString());
    });
    stream->onConnected = [stream, host, port, path, answered] {
        *answered = true;
        const QString h = host.contains(':') ? "[" + host + "]" : host;
        stream->write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: " + h.toUtf8() + ":" +
                      QByteArray::number(port) + "\r\nConnection: close\r\n\r\n");
    };
    stream->onReadable = [check] { check(false); };
    stream->onClosed = [check] { check(true); };
    timer->start(timeoutMs);
    stream->connectTo(host, port);
}

}  // namespace surfdeck::chromium
