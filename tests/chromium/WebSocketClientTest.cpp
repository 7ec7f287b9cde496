// The DevTools socket against a stand-in endpoint that answers as told: well, or badly.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

#include "platform/devtools/WebSocketClient.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

// One connection at a time; answers the handshake (correctly unless told otherwise),
// then sends the frames given and keeps what the client sends.
class Endpoint {
  public:
    Endpoint() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            peer_ = server_.nextPendingConnection();
            QObject::connect(peer_, &QTcpSocket::readyRead, [this] { read(); });
        });
    }
    QUrl url() const {
        return QUrl(
            QStringLiteral("ws://127.0.0.1:%1/devtools/browser/x").arg(server_.serverPort()));
    }
    static QByteArray frame(int first, const QByteArray& payload) {
        QByteArray f(1, char(first));
        if (payload.size() < 126) {
            f.append(char(payload.size()));
        } else {
            f.append(char(126))
                .append(char(payload.size() >> 8))
                .append(char(payload.size() & 0xFF));
        }
        return f + payload;
    }
    // Frames the client sent, unmasked: opcode and payload.
    std::vector<std::pair<int, QByteArray>> received;
    QByteArray answer;  // empty: the right handshake answer
    QByteArray afterHandshake;

  private:
    void read() {
        buffer_ += peer_->readAll();
        if (!shook_) {
            const qsizetype end = buffer_.indexOf("\r\n\r\n");
            if (end < 0) return;
            const QByteArray request = buffer_.left(end);
            buffer_.remove(0, end + 4);
            shook_ = true;
            const qsizetype at = request.indexOf("Sec-WebSocket-Key: ") + 19;
            const QByteArray key = request.mid(at, request.indexOf("\r\n", at) - at);
            const QByteArray accept =
                QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                                         QCryptographicHash::Sha1)
                    .toBase64();
            peer_->write(answer.isEmpty() ? "HTTP/1.1 101 Switching Protocols\r\nUpgrade: "
                                            "websocket\r\nConnection: Upgrade\r\n"
                                            "Sec-WebSocket-Accept: " +
                                                accept + "\r\n\r\n"
                                          : answer);
            peer_->write(afterHandshake);
        }
        while (buffer_.size() >= 6) {
            const int n = buffer_[1] & 0x7F;  // the tests send short frames only
            if (buffer_.size() < 6 + n) return;
            QByteArray payload = buffer_.mid(6, n);
            for (int i = 0; i < n; ++i) payload[i] = char(payload[i] ^ buffer_[2 + i % 4]);
            received.emplace_back(buffer_[0] & 0x0F, payload);
            buffer_.remove(0, 6 + n);
        }
    }
    QTcpServer server_;
    QTcpSocket* peer_ = nullptr;
    QByteArray buffer_;
    bool shook_ = false;
};

struct Client {
    explicit Client(qint64 most = 1024) : socket(most) {
        socket.onText = [this](const QString& t) { texts.push_back(t); };
        socket.onOpened = [this] { ++opened; };
        socket.onClosed = [this] { ++closed; };
    }
    WebSocketClient socket;
    std::vector<QString> texts;
    int opened = 0;
    int closed = 0;
};

TEST(WebSocketClient, ReadsWholeAndFragmentedTextAnswersPingsAndSendsMaskedText) {
    Endpoint end;
    end.afterHandshake = Endpoint::frame(0x81, "{\"id\":1}") + Endpoint::frame(0x01, "{\"a\":") +
                         Endpoint::frame(0x89, "hi") + Endpoint::frame(0x80, "2}") +
                         Endpoint::frame(0x82, "binary is dropped");
    Client c;
    c.socket.open(end.url());
    ASSERT_TRUE(waitFor([&] { return c.texts.size() == 2; }, 5000));
    EXPECT_EQ(c.opened, 1);
    EXPECT_EQ(c.texts, (std::vector<QString>{"{\"id\":1}", "{\"a\":2}"}));
    EXPECT_TRUE(c.socket.sendText("caf\u00e9"));
    ASSERT_TRUE(waitFor([&] { return end.received.size() == 2; }, 5000));
    EXPECT_EQ(end.received[0], std::make_pair(0xA, QByteArray("hi")));
    EXPECT_EQ(end.received[1], std::make_pair(0x1, QByteArray("caf\xC3\xA9")));
    EXPECT_EQ(c.closed, 0);
}

TEST(WebSocketClient, AnEndpointThatBreaksTheProtocolIsDroppedWithOneClose) {
    // Each case: what the endpoint answers the handshake with, what it sends after.
    const std::vector<std::pair<QByteArray, QByteArray>> cases = {
        {"HTTP/1.1 200 OK\r\n\r\n", {}},                                         // no upgrade
        {"HTTP/1.1 101 Switching\r\nSec-WebSocket-Accept: wrong=\r\n\r\n", {}},  // bad key
        {QByteArray(20000, 'x'), {}},                             // a handshake without end
        {{}, Endpoint::frame(0x81, QByteArray(2000, 'y'))},       // beyond the size allowed
        {{}, Endpoint::frame(0x81, "x").replace(1, 1, "\x81x")},  // a masked frame
        {{}, Endpoint::frame(0x80, "continuation of nothing")},
        {{}, Endpoint::frame(0x09, "a ping cut in fragments")},
        {{}, Endpoint::frame(0xC1, "an extension nobody agreed")},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Endpoint end;
        end.answer = cases[i].first;
        end.afterHandshake = cases[i].second;
        Client c;
        c.socket.open(end.url());
        EXPECT_TRUE(waitFor([&] { return c.closed > 0; }, 5000)) << i;
        EXPECT_TRUE(c.texts.empty()) << i;
        EXPECT_EQ(c.closed, 1) << i;
        EXPECT_EQ(c.socket.state(), WebSocketClient::State::Closed) << i;
        EXPECT_FALSE(c.socket.sendText("x")) << i;
    }
}

TEST(WebSocketClient, NothingListeningEndsTheAttemptOnce) {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const quint16 port = probe.serverPort();
    probe.close();
    Client c;
    c.socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
    EXPECT_TRUE(waitFor([&] { return c.closed > 0; }, 5000));
    EXPECT_EQ(c.opened, 0);
    EXPECT_EQ(c.closed, 1);
}

}  // namespace
}  // namespace surfdeck::chromium::test
