#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QSocketNotifier;

// A TCP connection to an address literal, driven by the event loop. The DevTools endpoint
// is always on this machine, so this is all the networking the backend needs; Qt's
// network module would bring its own code and libraries (Kerberos, proxy lookup) into
// memory for nothing.
namespace surfdeck::chromium {

class TcpStream : public QObject {
  public:
    TcpStream() = default;
    ~TcpStream() override;
    TcpStream(const TcpStream&) = delete;
    TcpStream& operator=(const TcpStream&) = delete;

    // Starts connecting to an IPv4 or IPv6 address literal; a connection already there is
    // dropped first, without onClosed. Every attempt ends in onClosed, later, from the
    // event loop or as the other end goes.
    void connectTo(const QString& address, int port);
    // Ends the connection at once, without onClosed.
    void close();
    bool isConnected() const { return connected_; }

    // Queued and sent as the connection takes it.
    void write(const QByteArray& bytes);
    // What has come in so far.
    QByteArray readAll();

    std::function<void()> onConnected;
    std::function<void()> onReadable;
    std::function<void()> onClosed;

  private:
    void writable();
    void readable();
    void flush();
    void fail();

    int fd_ = -1;
    bool connected_ = false;
    QSocketNotifier* reader_ = nullptr;
    QSocketNotifier* writer_ = nullptr;
    QByteArray in_;
    QByteArray out_;
};

}  // namespace surfdeck::chromium
