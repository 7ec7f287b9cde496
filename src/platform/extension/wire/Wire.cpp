#include "platform/extension/wire/Wire.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace surfdeck::wire {

std::string encodeFrame(std::string_view payload) {
    const auto n = static_cast<std::uint32_t>(payload.size());
    std::string frame;
    frame.reserve(payload.size() + 4);
    for (int shift = 0; shift < 32; shift += 8) frame += static_cast<char>((n >> shift) & 0xff);
    frame.append(payload);
    return frame;
}

bool FrameDecoder::feed(const char* data, std::size_t size) {
    if (failed_) return false;
    buffer_.append(data, size);
    std::size_t at = 0;
    while (buffer_.size() - at >= 4) {
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i)
            length |= static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[at + i]))
                      << (8 * i);
        if (length > max_) {
            // Checked before the body arrives, so a huge announcement costs no memory.
            failed_ = true;
            refused_ = length;
            buffer_.clear();
            return false;
        }
        if (buffer_.size() - at - 4 < length) break;
        ready_.push_back(buffer_.substr(at + 4, length));
        at += 4 + length;
    }
    buffer_.erase(0, at);
    return true;
}

std::optional<std::string> FrameDecoder::next() {
    if (ready_.empty()) return std::nullopt;
    std::string message = std::move(ready_.front());
    ready_.pop_front();
    return message;
}

namespace {

struct TooDeep {};

}  // namespace

std::optional<Json> parseMessage(std::string_view text, std::string* why) {
    auto fail = [why](std::string reason) -> std::optional<Json> {
        if (why) *why = std::move(reason);
        return std::nullopt;
    };
    Json value;
    try {
        value = Json::parse(text.begin(), text.end(), [](int depth, Json::parse_event_t, Json&) {
            if (depth > kMaxDepth) throw TooDeep{};
            return true;
        });
    } catch (const TooDeep&) {
        return fail("nested too deeply");
    } catch (const Json::exception&) {
        return fail("not JSON");
    }
    if (!value.is_object()) return fail("not a JSON object");
    const auto type = value.find("type");
    if (type == value.end() || !type->is_string()) return fail("no message type");
    return value;
}

std::string serialize(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string messageType(const Json& message) {
    if (!message.is_object()) return {};
    const auto type = message.find("type");
    return type != message.end() && type->is_string() ? type->get<std::string>() : std::string();
}

std::string socketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    // Only an absolute path counts: a relative one would depend on where we were started.
    if (runtime && runtime[0] == '/') return std::string(runtime) + "/surfdeck";
    return "/tmp/surfdeck-" + std::to_string(getuid());
}

std::string socketPath() {
    return socketFolder() + "/socket";
}

bool prepareSocketFolder(const std::string& folder, std::string* why) {
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        if (why) *why = folder + ": " + errorText(errno);
        return false;
    }
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0) {
        if (why) *why = folder + ": " + errorText(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        if (why) *why = folder + ": not a folder of this user";
        return false;
    }
    // Ours, but opened up (by hand, or made under another umask): close it again.
    if ((st.st_mode & 0077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        if (why) *why = folder + ": open to others";
        return false;
    }
    return true;
}

bool spawnDetached(const std::string& program, const std::vector<std::string>& args) {
    // Everything the child needs is made before fork: after it only plain system calls run.
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle process ends at once, so the program is nobody's child to wait for.
        if (fork() != 0) _exit(0);
        setsid();
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
        execv(program.c_str(), argv.data());
        const int error = errno;
        (void)!write(report[1], &error, sizeof error);
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n;
    while ((n = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return n == 0;  // the pipe closed on exec: the program runs
}

std::string errorText(int error) {
    char buffer[256];
    return strerror_r(error, buffer, sizeof buffer);
}

}  // namespace surfdeck::wire
