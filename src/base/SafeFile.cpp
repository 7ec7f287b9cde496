#include "base/SafeFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

namespace surfdeck::files {

namespace detail {
// The blocks only, leaving the size as it is: a kill between reserving and writing must
// not leave the old text followed by zeros. Where the file system cannot do that, the
// portable call, which grows the file.
int (*reserve)(int fd, off_t len) = [](int fd, off_t len) {
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, len) == 0) return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS) return errno;
    return ::posix_fallocate(fd, 0, len);
};
}  // namespace detail

namespace {

namespace fs = std::filesystem;

// Closes a descriptor on every way out.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // Closes now, reporting a failed close (a late write error on some file systems).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool writeAllAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

enum class TempResult { Done, NoTemporary, Failed };

// How long a lock holder lets waiting copies go first, at most.
constexpr std::chrono::milliseconds kYield{250};

// Waiting copies hold a shared record lock on the lock file's first byte (independent of
// the flock that guards the file).
void markWaiting(int fd, bool waiting) {
    struct flock mark {};
    mark.l_type = waiting ? F_RDLCK : F_UNLCK;
    mark.l_whence = SEEK_SET;
    mark.l_start = 0;
    mark.l_len = 1;
    (void)::fcntl(fd, F_SETLK, &mark);
}

bool othersWaiting(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 1;
    return ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// mode: the old file's permission bits, or -1 for a new file.
TempResult writeViaTemporary(const std::string& target, const std::string& content, int mode) {
    std::random_device random;
    std::string temp;
    int fd = -1;
    // A name of its own per write, so two copies of the program never share one.
    for (int attempt = 0; attempt < 4 && fd < 0; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        temp = target + suffix;
        fd = openRegular(temp, O_WRONLY | O_CREAT | O_EXCL, nullptr, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    Fd file(fd);
    if (!file.ok()) return TempResult::NoTemporary;

    // No fsync: a crashed or killed program leaves the page cache to the system, and a
    // rename over the old file is flushed in order by the usual file systems; a sync per
    // key would cost each save (and start-up, which writes the registry file twenty
    // times) some milliseconds.
    bool ok = writeAll(file.get(), content);
    if (ok && mode >= 0) ok = ::fchmod(file.get(), static_cast<mode_t>(mode)) == 0;
    ok = file.close() && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return TempResult::Done;
    ::unlink(temp.c_str());
    // The temporary file was made but not renamed: the folder may still refuse renames.
    return ok ? TempResult::NoTemporary : TempResult::Failed;
}

// A file system that cannot sync says so with EINVAL; that is no failed write.
bool synced(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL;
}

std::string_view lineEnding(std::string_view text) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos || (lf > 0 && text[lf - 1] == '\r')) return "\r\n";
    return "\n";
}

Result writeInPlace(const std::string& target, const std::string& content,
                    std::string_view padLead) {
    Result why = Result::Failed;
    Fd file(openRegular(target, O_RDWR, &why));
    if (!file.ok()) return why;
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return Result::Failed;
    const auto oldSize = static_cast<std::size_t>(st.st_size);

    // Padded to at least the old length, so that no moment of the write leaves the new
    // text followed by the old file's tail, which could read as settings of its own.
    std::string padded = content;
    if (content.size() < oldSize) {
        const std::string_view eol = lineEnding(content);
        if (!content.empty() && content.back() != '\n') padded += eol;
        padded += padLead;
        const std::size_t used = padded.size() + eol.size();
        padded.append(oldSize > used ? oldSize - used : 0, ' ');
        padded += eol;
    }
    // Room first: on a full disk nothing is touched and the change is dropped.
    if (detail::reserve(file.get(), static_cast<off_t>(padded.size())) != 0) return Result::Failed;
    if (!writeAllAt(file.get(), padded, 0) || !synced(file.get())) return Result::Failed;
    // The pad is only there while writing; a file left with it still reads as the new one.
    if (padded.size() > content.size() &&
        ::ftruncate(file.get(), static_cast<off_t>(content.size())) == 0)
        (void)::fsync(file.get());
    return file.close() ? Result::Ok : Result::Failed;
}

}  // namespace

const char* describe(Result result) {
    switch (result) {
        case Result::Ok:
            return "ok";
        case Result::Absent:
            return "no such file";
        case Result::NotRegular:
            return "not a regular file";
        case Result::TooLarge:
            return "too large";
        case Result::Failed:
            break;
    }
    return "cannot be used";
}

int openRegular(const std::string& path, int flags, Result* why, mode_t mode) {
    // Some devices act on being opened at all, so what is plainly no file is not opened;
    // the check after opening covers a swap in between.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode)) {
        if (why) *why = Result::NotRegular;
        errno = EINVAL;
        return -1;
    }
    Result result = Result::Ok;
    int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode);
    const int openError = errno;
    if (fd < 0) {
        struct stat st {};
        if (openError == ENOENT) {
            result = Result::Absent;
        } else if (openError == ENXIO || openError == EISDIR ||
                   (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))) {
            result = Result::NotRegular;
        } else {
            result = Result::Failed;
        }
    } else {
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            result = Result::NotRegular;
            ::close(fd);
            fd = -1;
        } else if ((flags & O_NONBLOCK) == 0) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        }
    }
    if (why) *why = result;
    // Callers may look at why the open failed.
    errno = fd < 0 ? (result == Result::NotRegular ? EINVAL : openError) : 0;
    return fd;
}

Result readRegular(const std::string& path, std::string& bytes, std::size_t limit) {
    bytes.clear();
    Result why = Result::Failed;
    Fd file(openRegular(path, O_RDONLY, &why));
    if (!file.ok()) return why;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Result::Failed;
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > limit) {
            bytes.clear();
            return Result::TooLarge;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return Result::Ok;
}

Result appendRegular(const std::string& path, std::string_view bytes) {
    Result why = Result::Failed;
    Fd file(openRegular(path, O_WRONLY | O_APPEND | O_CREAT, &why));
    if (!file.ok()) return why;
    const bool ok = writeAll(file.get(), bytes);
    return file.close() && ok ? Result::Ok : Result::Failed;
}

Result replaceFile(const std::string& path, const std::string& content, std::string_view padLead) {
    std::error_code ec;
    std::string target = path;
    // Write through a link to the file it names rather than replacing the link.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved.string();
    }
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return Result::Failed;
    if (exists) {
        if (!S_ISREG(st.st_mode)) return Result::NotRegular;
        // Root may open any file for writing, so the write bits are what mark a file
        // read-only.
        if ((st.st_mode & kAnyWrite) == 0) return Result::Failed;
        Result why = Result::Failed;
        Fd probe(openRegular(target, O_WRONLY, &why));
        if (!probe.ok()) return why;
    }
    const int mode = exists ? static_cast<int>(st.st_mode & 07777) : -1;
    switch (writeViaTemporary(target, content, mode)) {
        case TempResult::Done:
            return Result::Ok;
        case TempResult::Failed:
            return Result::Failed;
        case TempResult::NoTemporary:
            break;
    }
    return exists ? writeInPlace(target, content, padLead) : Result::Failed;
}

FileLock::FileLock(const std::string& lockPath, const std::string& fallbackPath,
                   std::chrono::milliseconds wait) {
    fd_ = openRegular(lockPath, O_RDONLY | O_CREAT, nullptr, 0666);
    // A folder that refuses new files (permissions, read-only, no free inodes).
    if (fd_ < 0 &&
        (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOSPC || errno == EDQUOT))
        fd_ = openRegular(fallbackPath, O_RDONLY);
    if (fd_ < 0) return;
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
        held_ = true;
        return;
    }
    // Mark this copy as waiting, so that a holder saving key after key lets it in.
    markWaiting(fd_, true);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            break;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) ||
            std::chrono::steady_clock::now() >= deadline)
            break;
    }
    markWaiting(fd_, false);
}

FileLock::~FileLock() {
    if (fd_ < 0) return;
    if (held_) {
        ::flock(fd_, LOCK_UN);
        // A polling waiter would hardly ever find the lock free between two saves of a
        // copy that saves key after key: give it the lock before going on.
        const auto until = std::chrono::steady_clock::now() + kYield;
        while (othersWaiting(fd_) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ::close(fd_);
}

}  // namespace surfdeck::files
