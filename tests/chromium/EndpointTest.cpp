#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>
#include <memory>

#include "support/ChromiumTestSupport.h"

namespace surfdeck::chromium::test {
namespace {

// Something on a loopback port that answers every request its own way.
class FakeEndpoint {
  public:
    using Answer = std::function<void(QTcpSocket*)>;
    explicit FakeEndpoint(Answer answer) : answer_(std::move(answer)) {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                ++connections;
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                    ++disconnected;
                    socket->deleteLater();
                });
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n") ||
                        socket->property("answered").toBool())
                        return;
                    socket->setProperty("answered", true);
                    answer_(socket);
                });
            }
        });
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(server_.serverPort()); }
    int port() const { return server_.serverPort(); }

    int connections = 0;
    int disconnected = 0;

  private:
    QTcpServer server_;
    Answer answer_;
};

QByteArray jsonReply(const QByteArray& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

struct Probe {
    explicit Probe(const std::string& address, int reconnectMs = 300) {
        BrowserSettings s;
        s.address = address;
        s.startBrowser = false;
        s.reconnectMs = reconnectMs;
        automation = std::make_unique<ChromiumAutomation>(
            s, [this](const std::string& line) { log.push_back(line); });
        list = automation->createShellWindows();
    }
    int count(const std::string& line) const {
        return static_cast<int>(std::count(log.begin(), log.end(), line));
    }
    std::vector<std::string> log;
    std::unique_ptr<ChromiumAutomation> automation;
    std::shared_ptr<ShellWindows> list;
};

TEST(Endpoint, AnEndlessReplyIsCutOffAtItsSizeBound) {
    qint64 written = 0;
    FakeEndpoint endless([&](QTcpSocket* socket) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{\"Browser\":\"");
        const QByteArray chunk(64 * 1024, 'x');
        auto more = [socket, chunk, &written] {
            if (socket->state() != QAbstractSocket::ConnectedState) return;
            if (socket->bytesToWrite() < 1024 * 1024) written += socket->write(chunk);
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, more);
        more();
    });
    Probe probe(endless.address(), 60000);
    ASSERT_TRUE(waitFor(
        [&] { return probe.count("Browser endpoint answer refused: reply too long") == 1; }, 5000))
        << (probe.log.empty() ? "" : probe.log.front());
    EXPECT_TRUE(waitFor([&] { return endless.disconnected == 1; }, 2000)) << "the reply is let go";
    EXPECT_LT(written, 64 * 1024 * 1024) << "not read on and on";
    EXPECT_FALSE(probe.automation->connected());
}

TEST(Endpoint, ATricklingReplyIsGivenUpAfterTwoSecondsAndTriedAgain) {
    FakeEndpoint trickle([](QTcpSocket* socket) {
        auto* timer = new QTimer(socket);
        QObject::connect(timer, &QTimer::timeout, socket, [socket] { socket->write("H"); });
        timer->start(1500);
    });
    Probe probe(trickle.address(), 300);
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(waitFor(
        [&] { return probe.count("Browser endpoint answer refused: reply too slow") == 1; }, 6000));
    EXPECT_LT(clock.elapsed(), 4000);
    EXPECT_TRUE(waitFor([&] { return trickle.connections >= 2; }, 5000)) << "tried again";
    EXPECT_EQ(probe.count("Browser endpoint answer refused: reply too slow"), 1)
        << "said once, not at every attempt";
}

TEST(Endpoint, AnAnswerThatIsNotThisEndpointsBrowserIsRefused) {
    int port = 0;
    const std::pair<std::function<QByteArray()>, std::string> cases[] = {
        {[] {
             return QByteArray(R"({"webSocketDebuggerUrl":"ws://127.0.0.1:1/devtools/browser/x"})");
         },
         "no browser named"},
        {[] {
             return QByteArray(
                 R"({"Browser":"Chrome/1","webSocketDebuggerUrl":"ws://127.0.0.1:1/devtools/browser/x"})");
         },
         "not this endpoint's browser"},
        {[&] {
             return QByteArray(R"({"Browser":"Chrome/1","webSocketDebuggerUrl":"ws://192.0.2.1:)") +
                    QByteArray::number(port) + R"(/devtools/browser/x"})";
         },
         "not this endpoint's browser"},
        {[&] {
             return QByteArray(R"({"Browser":"Chrome/1","webSocketDebuggerUrl":"ws://127.0.0.1:)") +
                    QByteArray::number(port) + R"(/json/other"})";
         },
         "not this endpoint's browser"},
    };
    for (const auto& [answer, reason] : cases) {
        const auto& body = answer;  // older clang cannot capture a structured binding
        FakeEndpoint impostor([&](QTcpSocket* socket) {
            socket->write(jsonReply(body()));
            socket->disconnectFromHost();
        });
        port = impostor.port();
        Probe probe(impostor.address(), 200);
        ASSERT_TRUE(waitFor([&] { return impostor.connections >= 3; }, 5000)) << reason;
        EXPECT_EQ(probe.log, std::vector<std::string>{"Browser endpoint answer refused: " + reason})
            << reason;
        EXPECT_FALSE(probe.automation->connected());
    }
}

// A flood of events is handed out over several turns of the event loop, so the window's
// own events (here a timer) get their turn long before the flood is through.
TEST(EventQueue, IsHandedOutOverSeveralTurnsOfTheLoop) {
    CdpConnection connection(1000);
    int handled = 0;
    connection.setEventHandler([&](const QString&, const QJsonObject&, const QString&) {
        QElapsedTimer busy;  // each event costs a little, as the core's handlers do
        busy.start();
        while (busy.nsecsElapsed() < 2000) {
        }
        ++handled;
    });
    connection.acceptForTesting();
    constexpr int kEvents = 40000;
    for (int i = 0; i < kEvents; ++i)
        connection.receive(R"({"method":"Target.targetCreated","params":{}})");
    int handledWhenTimerRan = -1;
    QTimer::singleShot(0, [&] { handledWhenTimerRan = handled; });
    ASSERT_TRUE(waitFor([&] { return handled == kEvents; }, 60000));
    EXPECT_GE(handledWhenTimerRan, 0);
    EXPECT_LT(handledWhenTimerRan, kEvents / 2);
}

}  // namespace
}  // namespace surfdeck::chromium::test
