#pragma once
#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

// Opening, reading and writing the program's own files (settings, log, registry, pages)
// so that whatever sits at their names cannot hang or fool the program: only a regular
// file, or no file at all, is ever used. A FIFO, a device, a socket or a folder is
// refused at once, without blocking, and its caller logs it.
namespace surfdeck::files {

enum class Result {
    Ok,
    Absent,      // no file of that name
    NotRegular,  // something other than a regular file is there
    TooLarge,    // larger than the reader takes
    Failed,      // refused or failed for another reason (permissions, full disk, ...)
};

// "not a regular file", "too large", ...: for log lines.
const char* describe(Result result);

// The largest file a reader takes whole.
inline constexpr std::size_t kMaxFileSize = 16u << 20;

// open(2) with flags (O_CLOEXEC is added), but only onto a regular file: the open never
// blocks (O_NONBLOCK, cleared again once the file is known to be regular) and anything
// else is closed again. With O_CREAT an absent file is created with mode. -1 when
// refused; why says what happened.
int openRegular(const std::string& path, int flags, Result* why = nullptr, mode_t mode = 0666);

// The whole file when it is a regular file of at most limit bytes.
Result readRegular(const std::string& path, std::string& bytes, std::size_t limit = kMaxFileSize);

// Appends bytes in one write, creating the file when absent.
Result appendRegular(const std::string& path, std::string_view bytes);

// Replaces the file's bytes with content. The new content goes to a temporary file beside
// it that is renamed over the old one, so the file is always either old or new. When the
// folder refuses the temporary file but the file itself is writable, the file is
// rewritten in place: the room for the new content is reserved first (a full disk leaves
// the old file untouched), and the new content is written padded to at least the old
// length with a last line of padLead and blanks, then cut back to its own length. A
// write cut short therefore leaves either the old bytes, or the new ones followed by a
// line of blanks, never the old file's tail. padLead is the file format's comment mark
// (";" for profile and registry files, nothing where blanks are harmless). A read-only
// file is left alone. A link is written through to the file it names.
Result replaceFile(const std::string& path, const std::string& content,
                   std::string_view padLead = ";");

// An advisory lock (flock) on lockPath, held until destroyed. Waits at most wait for it.
// When the lock file cannot be made because the folder refuses new files, fallbackPath
// (the file being guarded, which is then only ever rewritten in place, keeping its
// identity) is locked instead. A holder that finds other copies waiting when it gives
// the lock back lets one of them have it first (waiting at most 250 ms), so that a copy
// saving key after key cannot starve another.
class FileLock {
  public:
    FileLock(const std::string& lockPath, const std::string& fallbackPath,
             std::chrono::milliseconds wait);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

namespace detail {
// Reserves room for len bytes of fd's file without changing its size (fallocate with
// FALLOC_FL_KEEP_SIZE, else posix_fallocate); 0 or an errno. Replaceable in tests to play
// a full disk.
extern int (*reserve)(int fd, off_t len);
}  // namespace detail

}  // namespace surfdeck::files
