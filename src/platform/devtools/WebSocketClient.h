#pragma once
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

#include "platform/devtools/TcpStream.h"

// A WebSocket client for plain ws:// on this machine, which is all a DevTools endpoint
// needs. Qt's own client sets up TLS on construction even for ws://, and loading the TLS
// library costs more memory than the rest of the program's own; this one never does.
//
// Text messages only (binary ones are read and dropped), no extensions; pings are
// answered. Everything from the other end is bounded: the handshake's answer, each
// message's size, control frames' length.
namespace surfdeck::chromium {

class WebSocketClient : public QObject {
  public:
    enum class State { Closed, Connecting, Open };

    explicit WebSocketClient(qint64 maxMessageBytes);
    ~WebSocketClient() override;

    // Starts connecting; an attempt already running is dropped first.
    void open(const QUrl& url);
    // Ends the connection or attempt at once.
    void abort();
    State state() const { return state_; }
    // False when not open.
    bool sendText(const QString& text);

    std::function<void(const QString&)> onText;
    std::function<void()> onOpened;
    // Once per attempt that ends, whether it had opened or not.
    std::function<void()> onClosed;

  private:
    void onConnected();
    void onReadable();
    bool readHandshake();
    // Reads every whole frame in the buffer; false on a protocol error.
    bool readFrames();
    void sendFrame(int opcode, const QByteArray& payload);
    void finish();

    TcpStream socket_;
    qint64 maxMessage_;
    State state_ = State::Closed;
    QUrl url_;
    QByteArray key_;
    QByteArray buffer_;
    QByteArray message_;
    int messageOpcode_ = -1;  // of the fragmented message being read; -1 when none
};

}  // namespace surfdeck::chromium
