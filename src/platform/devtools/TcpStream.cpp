#include "platform/devtools/TcpStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>

namespace surfdeck::chromium {

TcpStream::~TcpStream() {
    close();
}

void TcpStream::connectTo(const QString& address, int port) {
    close();
    sockaddr_storage storage{};
    socklen_t length = 0;
    const QByteArray text = address.toLatin1();
    auto* v4 = reinterpret_cast<sockaddr_in*>(&storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (inet_pton(AF_INET, text.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, text.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *v6;
    }
    if (length != 0) {
        fd_ = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    }
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&storage), length) != 0 &&
        errno != EINPROGRESS) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0) {
        // Told later, as every other end of an attempt is.
        QPointer<TcpStream> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->fd_ < 0 && self->onClosed) self->onClosed();
        });
        return;
    }
    reader_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    reader_->setEnabled(false);
    connect(reader_, &QSocketNotifier::activated, this, [this] { readable(); });
    writer_ = new QSocketNotifier(fd_, QSocketNotifier::Write, this);
    connect(writer_, &QSocketNotifier::activated, this, [this] { writable(); });
}

void TcpStream::close() {
    delete reader_;
    delete writer_;
    reader_ = writer_ = nullptr;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    connected_ = false;
    in_.clear();
    out_.clear();
}

void TcpStream::fail() {
    close();
    if (onClosed) onClosed();
}

void TcpStream::write(const QByteArray& bytes) {
    if (fd_ < 0) return;
    out_ += bytes;
    if (connected_) flush();
}

QByteArray TcpStream::readAll() {
    QByteArray all = std::move(in_);
    in_.clear();
    return all;
}

void TcpStream::writable() {
    if (!connected_) {
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
            fail();
            return;
        }
        connected_ = true;
        reader_->setEnabled(true);
        QPointer<TcpStream> self(this);
        if (onConnected) onConnected();
        if (!self || fd_ < 0) return;
    }
    flush();
}

void TcpStream::flush() {
    while (!out_.isEmpty()) {
        const ssize_t n =
            ::send(fd_, out_.constData(), static_cast<size_t>(out_.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            fail();
            return;
        }
        out_.remove(0, n);
    }
    writer_->setEnabled(!out_.isEmpty());
}

void TcpStream::readable() {
    bool ended = false;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0) {
            in_.append(buffer, n);
            // Let the reader look (and bound what it keeps) before more is taken.
            if (in_.size() >= qsizetype(sizeof buffer)) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        ended = true;  // the other end closed, or the connection failed
        break;
    }
    QPointer<TcpStream> self(this);
    if (!in_.isEmpty() && onReadable) onReadable();
    if (self && ended && fd_ >= 0) fail();
}

}  // namespace surfdeck::chromium
