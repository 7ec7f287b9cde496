#include "platform/devtools/WebSocketClient.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

namespace surfdeck::chromium {

namespace {

constexpr qsizetype kMostHandshake = qsizetype{16} * 1024;
constexpr int kContinuation = 0x0, kText = 0x1, kBinary = 0x2, kClose = 0x8, kPing = 0x9,
              kPong = 0xA;

QByteArray acceptFor(const QByteArray& key) {
    return QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                    QCryptographicHash::Sha1)
        .toBase64();
}

}  // namespace

WebSocketClient::WebSocketClient(qint64 maxMessageBytes) : maxMessage_(maxMessageBytes) {
    socket_.onConnected = [this] { onConnected(); };
    socket_.onReadable = [this] { onReadable(); };
    socket_.onClosed = [this] { finish(); };
}

WebSocketClient::~WebSocketClient() {
    socket_.onClosed = nullptr;
    socket_.close();
}

void WebSocketClient::open(const QUrl& url) {
    if (state_ != State::Closed) abort();
    url_ = url;
    buffer_.clear();
    message_.clear();
    messageOpcode_ = -1;
    QByteArray raw(16, Qt::Uninitialized);
    for (char& c : raw) c = static_cast<char>(QRandomGenerator::system()->bounded(256));
    key_ = raw.toBase64();
    state_ = State::Connecting;
    socket_.connectTo(url.host(), url.port(80));
}

void WebSocketClient::abort() {
    socket_.close();
    finish();
}

void WebSocketClient::finish() {
    if (state_ == State::Closed) return;
    state_ = State::Closed;
    if (onClosed) onClosed();
}

void WebSocketClient::onConnected() {
    QString path = url_.path(QUrl::FullyEncoded);
    if (path.isEmpty()) path = QStringLiteral("/");
    const QByteArray host = url_.host(QUrl::FullyEncoded).toUtf8();
    const QByteArray hostHeader =
        (host.contains(':') ? "[" + host + "]" : host) + ":" + QByteArray::number(url_.port(80));
    socket_.write("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: " + hostHeader +
                  "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + key_ +
                  "\r\nSec-WebSocket-Version: 13\r\n\r\n");
}

void WebSocketClient::onReadable() {
    buffer_.append(socket_.readAll());
    bool ok = true;
    if (state_ == State::Connecting) {
        ok = readHandshake();
        if (ok && state_ == State::Open && onOpened) onOpened();
    }
    if (ok && state_ == State::Open) ok = readFrames();
    if (!ok) abort();
}

bool WebSocketClient::readHandshake() {
    const qsizetype end = buffer_.indexOf("\r\n\r\n");
    if (end < 0) return buffer_.size() <= kMostHandshake;
    if (end > kMostHandshake) return false;
    const QList<QByteArray> lines = buffer_.left(end).split('\n');
    buffer_.remove(0, end + 4);
    if (lines.isEmpty() || !lines.front().startsWith("HTTP/1.1 101")) return false;
    const QByteArray wanted = acceptFor(key_);
    bool accepted = false;
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0) continue;
        if (line.left(colon).trimmed().toLower() == "sec-websocket-accept")
            accepted = line.mid(colon + 1).trimmed() == wanted;
    }
    if (!accepted) return false;
    state_ = State::Open;
    return true;
}

bool WebSocketClient::readFrames() {
    while (state_ == State::Open) {
        if (buffer_.size() < 2) return true;
        const auto* b = reinterpret_cast<const unsigned char*>(buffer_.constData());
        const bool fin = (b[0] & 0x80) != 0;
        const int opcode = b[0] & 0x0F;
        // No extension was agreed, and a server never masks its frames.
        if ((b[0] & 0x70) != 0 || (b[1] & 0x80) != 0) return false;
        quint64 length = b[1] & 0x7F;
        qsizetype header = 2;
        if (length == 126) {
            if (buffer_.size() < 4) return true;
            length = (quint64(b[2]) << 8) | b[3];
            header = 4;
        } else if (length == 127) {
            if (buffer_.size() < 10) return true;
            length = 0;
            for (int i = 2; i < 10; ++i) length = (length << 8) | b[i];
            header = 10;
        }
        const bool control = opcode >= 0x8;
        if (control && (!fin || length > 125)) return false;
        if (length > quint64(maxMessage_) ||
            (!control && quint64(message_.size()) + length > quint64(maxMessage_)))
            return false;
        if (quint64(buffer_.size() - header) < length) return true;
        const QByteArray payload = buffer_.mid(header, qsizetype(length));
        buffer_.remove(0, header + qsizetype(length));

        switch (opcode) {
            case kPing:
                sendFrame(kPong, payload);
                continue;
            case kPong:
                continue;
            case kClose:
                sendFrame(kClose, payload.left(2));
                return false;
            case kText:
            case kBinary:
                if (messageOpcode_ >= 0) return false;
                messageOpcode_ = opcode;
                message_ = payload;
                break;
            case kContinuation:
                if (messageOpcode_ < 0) return false;
                message_.append(payload);
                break;
            default:
                return false;
        }
        if (!fin) continue;
        const int kind = messageOpcode_;
        const QByteArray whole = std::move(message_);
        message_.clear();
        messageOpcode_ = -1;
        if (kind == kText && onText) onText(QString::fromUtf8(whole));
    }
    return true;
}

bool WebSocketClient::sendText(const QString& text) {
    if (state_ != State::Open) return false;
    sendFrame(kText, text.toUtf8());
    return true;
}

void WebSocketClient::sendFrame(int opcode, const QByteArray& payload) {
    QByteArray frame;
    frame.reserve(payload.size() + 14);
    frame.append(char(0x80 | opcode));
    const quint64 n = quint64(payload.size());
    if (n < 126) {
        frame.append(char(0x80 | n));
    } else if (n <= 0xFFFF) {
        frame.append(char(0x80 | 126));
        frame.append(char((n >> 8) & 0xFF));
        frame.append(char(n & 0xFF));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8) frame.append(char((n >> shift) & 0xFF));
    }
    const quint32 mask = QRandomGenerator::global()->generate();
    char key[4];
    for (int i = 0; i < 4; ++i) key[i] = char((mask >> (8 * i)) & 0xFF);
    frame.append(key, 4);
    const qsizetype start = frame.size();
    frame.append(payload);
    char* data = frame.data() + start;
    for (qsizetype i = 0; i < payload.size(); ++i) data[i] ^= key[i % 4];
    socket_.write(frame);
}

}  // namespace surfdeck::chromium
