#include "support/ChromiumTestSupport.h"

#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpSocket>

namespace surfdeck::chromium::test {

bool waitFor(const std::function<bool()>& pred, int ms) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

TestBrowser::~TestBrowser() {
    stop();
}

bool TestBrowser::start(int port) {
    dropProfile();
    profile_ = std::make_unique<QTemporaryDir>();
    process_ = std::make_unique<QProcess>();
    process_->setProgram("/usr/bin/chromium");
    process_->setArguments(
        {"--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--user-data-dir=" + profile_->path(), "--remote-debugging-address=127.0.0.1",
         "--remote-debugging-port=" + QString::number(port), "about:blank"});
    process_->setStandardOutputFile(QProcess::nullDevice());
    process_->setStandardErrorFile(qEnvironmentVariableIsSet("SURFDECK_TEST_CHROME_LOG")
                                       ? qEnvironmentVariable("SURFDECK_TEST_CHROME_LOG")
                                       : QProcess::nullDevice());
    process_->start();
    if (!process_->waitForStarted(10000)) return false;
    if (port != 0) {
        // A browser given its port names it nowhere: it is up once the port answers.
        port_ = port;
        return waitFor([&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            return socket.waitForConnected(200);
        });
    }
    QFile active(profile_->filePath("DevToolsActivePort"));
    return waitFor([&] {
        if (!active.open(QIODevice::ReadOnly)) return false;
        port_ = QString::fromUtf8(active.readLine()).trimmed().toInt();
        active.close();
        return port_ > 0;
    });
}

void TestBrowser::stop() {
    end(false);
    dropProfile();
}

void TestBrowser::end(bool kill) {
    if (!process_) return;
    resume();
    if (!kill) process_->terminate();
    if (kill || !process_->waitForFinished(10000)) process_->kill();
    process_->waitForFinished(10000);
    process_.reset();
}

void TestBrowser::pause() {
    if (process_) ::kill(static_cast<pid_t>(process_->processId()), SIGSTOP);
}

void TestBrowser::resume() {
    if (process_) ::kill(static_cast<pid_t>(process_->processId()), SIGCONT);
}

void TestBrowser::dropProfile() {
    if (!profile_) return;
    // Helper processes of a crashed browser may still be writing for a moment.
    profile_->setAutoRemove(false);
    const QString path = profile_->path();
    waitFor([&] { return QDir(path).removeRecursively(); }, 5000);
    profile_.reset();
}

TestServer::TestServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = server_.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket,
                             [this, socket] { answer(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

void TestServer::answer(QTcpSocket* socket) {
    const QByteArray head = socket->peek(socket->bytesAvailable());
    if (!head.contains("\r\n\r\n")) return;
    socket->readAll();
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    const std::string path = words.size() > 1 ? words[1].toStdString() : "/";
    ++requests_[path];
    if (path.rfind("/slow", 0) == 0) return;  // held open until the test ends
    auto it = pages_.find(path);
    const QByteArray body =
        it == pages_.end() ? QByteArray("not here") : QByteArray::fromStdString(it->second);
    const QByteArray status = it == pages_.end() ? "404 Not Found" : "200 OK";
    // Pages under /kept/ may stay whole in the back-forward cache; the others may not.
    const QByteArray cache = path.rfind("/kept/", 0) == 0 ? "" : "\r\nCache-Control: no-store";
    socket->write("HTTP/1.1 " + status + "\r\nContent-Type: text/html" + cache +
                  "\r\nContent-Length: " + QByteArray::number(body.size()) +
                  "\r\nConnection: close\r\n\r\n" + body);
    socket->disconnectFromHost();
}

bool Driver::open() {
    QNetworkAccessManager network;
    network.setProxy(QNetworkProxy::NoProxy);
    QNetworkReply* reply =
        network.get(QNetworkRequest(QUrl(QString("http://127.0.0.1:%1/json/version").arg(port_))));
    waitFor([&] { return reply->isFinished(); });
    const QJsonObject version = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    const QUrl url(version.value("webSocketDebuggerUrl").toString());
    if (!url.isValid()) return false;
    connection_.open(url);
    return waitFor([&] { return connection_.isOpen(); });
}

std::string Driver::newTab(const std::string& url) {
    return call("Target.createTarget", {{"url", q(url)}})
        .value("targetId")
        .toString()
        .toStdString();
}

QJsonObject Driver::call(const QString& method, const QJsonObject& params,
                         const std::string& targetId) {
    return connection_.call(method, params, targetId.empty() ? QString() : session(targetId));
}

QString Driver::session(const std::string& targetId) {
    auto it = sessions_.find(targetId);
    if (it != sessions_.end()) return it->second;
    const QJsonObject r =
        call("Target.attachToTarget", {{"targetId", q(targetId)}, {"flatten", true}});
    return sessions_[targetId] = r.value("sessionId").toString();
}

QJsonValue Driver::eval(const std::string& targetId, const std::string& expression) {
    const QJsonObject r = call("Runtime.evaluate",
                               {{"expression", q(expression)}, {"returnByValue", true}}, targetId);
    return r.value("result").toObject().value("value");
}

void Driver::mouse(const std::string& targetId, const char* type, const char* button, int x,
                   int y) {
    call("Input.dispatchMouseEvent",
         {{"type", type}, {"button", button}, {"x", x}, {"y", y}, {"clickCount", 1}}, targetId);
}

void Driver::closeBrowser() {
    try {
        call("Browser.close", {});
    } catch (const AutomationError&) {
        // The answer may be lost with the connection.
    }
}

void Recorder::BeforeNavigate2(BeforeNavigateArgs& args) {
    lines.push_back("before " + args.url);
    if (cancelPending) {
        args.cancel = true;
        cancelPending = false;
    }
    if (cancelIf && cancelIf(args.url)) args.cancel = true;
}

void Recorder::record(Dispatch* pDisp, const std::string& what) {
    if (pDisp != top_) frameDispatches.push_back(pDisp);
    lines.push_back((pDisp == top_ ? "" : "frame ") + what);
}

std::string Recorder::dump() const {
    std::string out;
    for (const auto& l : lines) out += "\n  " + l;
    return out + "\n  back " + std::to_string(back) + " forward " + std::to_string(forward);
}

void ChromiumTest::SetUp() {
    server.page("/a.htm",
                "<html><body><p id=t>Page A</p><a id=l href=\"/b.htm\">to b</a></body></html>");
    server.page("/b.htm", "<html><body><p>Page B</p></body></html>");
    server.page("/c.htm", "<html><body><p>Page C</p></body></html>");
    server.page("/home.htm", "<html><body><p>Home</p></body></html>");
    server.page("/frames.htm",
                "<html><body><p>Outer</p><iframe src=\"/inner.htm\"></iframe></body></html>");
    server.page("/inner.htm", "<html><body><p>Inner</p></body></html>");
    ASSERT_TRUE(chrome.start());
    driver = std::make_unique<Driver>(chrome.port());
    ASSERT_TRUE(driver->open());
    automation = std::make_unique<ChromiumAutomation>(
        settings(), [this](const std::string& line) { logLines.push_back(line); });
    list = automation->createShellWindows();
    ASSERT_TRUE(waitFor([&] { return list->Count() >= 1; })) << "the first tab never showed";
}

BrowserSettings ChromiumTest::settings() {
    BrowserSettings s;
    s.address = chrome.address();
    s.startBrowser = false;
    s.homePage = server.url("/home.htm");
    s.callTimeoutMs = 10000;  // a loaded test machine must not fail a call
    s.reconnectMs = 200;
    return s;
}

std::shared_ptr<BrowserWindow> ChromiumTest::tabFor(const std::string& targetId) {
    for (int i = 0; i < list->Count(); ++i) {
        auto window = list->Item(i);
        if (targetOf(window) == targetId) return window;
    }
    return nullptr;
}

std::shared_ptr<BrowserWindow> ChromiumTest::openTab(const std::string& url,
                                                     std::string* targetId) {
    const std::string id = driver->newTab(url);
    if (targetId) *targetId = id;
    std::shared_ptr<BrowserWindow> window;
    waitFor([&] { return (window = tabFor(id)) != nullptr; });
    return window;
}

void ChromiumTest::load(const std::shared_ptr<BrowserWindow>& window, const std::string& url) {
    Recorder rec(window.get());
    const Cookie cookie = window->advise(&rec);
    window->Navigate(url);
    const bool done = waitFor([&] { return rec.has("complete " + url); });
    window->unadvise(cookie);
    ASSERT_TRUE(done) << "no DocumentComplete for " << url;
}

}  // namespace surfdeck::chromium::test
