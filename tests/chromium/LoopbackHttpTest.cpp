// The endpoint probe against a stand-in server that answers as told.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <optional>

#include "platform/devtools/LoopbackHttp.h"
#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

// Writes its answer once the request has come, then closes unless told to stay.
class Server {
  public:
    Server(QByteArray answer, bool close) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this, answer, close] {
            QTcpSocket* peer = server_.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, [this, peer, answer, close] {
                request += peer->readAll();
                if (!request.contains("\r\n\r\n")) return;
                peer->write(answer);
                if (close) peer->disconnectFromHost();
            });
        });
    }
    int port() const { return server_.serverPort(); }
    QByteArray request;

  private:
    QTcpServer server_;
};

struct Outcome {
    bool ok = false;
    QByteArray body;
};

std::optional<Outcome> fetch(int port, int timeoutMs = 2000) {
    LoopbackHttp http;
    std::optional<Outcome> outcome;
    int calls = 0;
    http.get("127.0.0.1", port, "/json/version", timeoutMs,
             [&](bool ok, const QByteArray& body, const QString&) {
                 ++calls;
                 outcome = Outcome{ok, body};
             });
    waitFor([&] { return outcome.has_value(); }, 5000);
    waitFor([] { return false; }, 50);  // a second answer would come by now
    EXPECT_LE(calls, 1);
    return outcome;
}

TEST(LoopbackHttp, TakesTheBodyOfAWholeAnswerAndAsksOnlyForThePath) {
    const QByteArray body = R"({"Browser":"Chrome/131.0"})";
    for (bool close : {true, false}) {
        Server s("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) +
                     "\r\nContent-Type: application/json\r\n\r\n" + body,
                 close);
        const auto o = fetch(s.port());
        ASSERT_TRUE(o.has_value());
        EXPECT_TRUE(o->ok);
        EXPECT_EQ(o->body, body);
        EXPECT_TRUE(s.request.startsWith("GET /json/version HTTP/1.1\r\nHost: 127.0.0.1:"));
    }
    // Without a length, the answer ends with the connection.
    Server s("HTTP/1.0 200 OK\r\n\r\nabc", true);
    const auto o = fetch(s.port());
    ASSERT_TRUE(o.has_value());
    EXPECT_EQ(o->body, "abc");
}

TEST(LoopbackHttp, AnythingElseIsOneFailureInTime) {
    // Each case: the answer, whether the server closes after it.
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true},  // cut short
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\n\r\n" + QByteArray(LoopbackHttp::kMostAnswer + 10, 'x'), false},
        {"garbage", true},
        {"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false},  // stalls: the time-out
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        Server s(cases[i].first, cases[i].second);
        const auto o = fetch(s.port(), 300);
        ASSERT_TRUE(o.has_value()) << i;
        EXPECT_FALSE(o->ok) << i;
    }
    // Nothing listening.
    QTcpServer gone;
    gone.listen(QHostAddress::LocalHost);
    const int port = gone.serverPort();
    gone.close();
    const auto o = fetch(port);
    ASSERT_TRUE(o.has_value());
    EXPECT_FALSE(o->ok);
}

}  // namespace
}  // namespace surfdeck::chromium::test
