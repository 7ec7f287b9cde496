#include "app/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace surfdeck {

namespace {

// The id is the leading decimal digits of the first few bytes; anything else is no id.
long readPid(int fd) {
    char buffer[32] = {};
    const ssize_t n = ::pread(fd, buffer, sizeof buffer - 1, 0);
    if (n <= 0) return 0;
    long pid = 0;
    for (ssize_t i = 0; i < n && buffer[i] >= '0' && buffer[i] <= '9'; ++i) {
        pid = pid * 10 + (buffer[i] - '0');
        if (pid > 0x3fffffff) return 0;
    }
    return pid;
}

}  // namespace

InstanceLock::InstanceLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        error_ = "not a regular file";
        ::close(fd_);
        fd_ = -1;
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd_, 0) != 0 || ::pwrite(fd_, pid.data(), pid.size(), 0) < 0)
            error_ = std::strerror(errno);
        return;
    }
    if (errno != EWOULDBLOCK) {
        error_ = std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return;
    }
    second_ = true;
    // A first copy started a moment ago may not have written its id yet.
    for (int attempt = 0; attempt < 20 && firstPid_ == 0; ++attempt) {
        firstPid_ = readPid(fd_);
        if (firstPid_ == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::close(fd_);
    fd_ = -1;
}

InstanceLock::~InstanceLock() {
    // The file stays: removing it could unlink one that a newer first copy holds.
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace surfdeck
