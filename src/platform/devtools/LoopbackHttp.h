#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

// One plain HTTP GET to an address on this machine, answered once: the body of a 200
// answer, or nothing. Qt's network access manager would do it too, but it brings a thread
// and a good deal of code into memory for the one small question a DevTools endpoint is
// asked before the socket opens. The answer is bounded in size and time.
namespace surfdeck::chromium {

class LoopbackHttp : public QObject {
  public:
    // why is empty when nothing answered at all (so a browser may be started), else what
    // was wrong with the answer that came: "reply too long", "reply too slow", "not an
    // answer".
    using Done = std::function<void(bool ok, const QByteArray& body, const QString& why)>;

    // done runs once, later, from the event loop; never after this object is gone.
    void get(const QString& host, int port, const QString& path, int timeoutMs, Done done);

    static constexpr qsizetype kMostAnswer = qsizetype{64} * 1024;
};

}  // namespace surfdeck::chromium
