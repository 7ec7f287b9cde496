#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the browser extension, the native-messaging bridge and Surfdeck share on the wire:
// length-prefixed JSON messages, their size caps, the socket's place, and starting a
// program detached. The standard library and POSIX only: the bridge links this alone.
namespace surfdeck::wire {

using Json = nlohmann::json;

// Most bytes in one message towards the browser (the browser's own limit).
inline constexpr std::size_t kMaxToBrowser = 1024 * 1024;
// Most bytes in one message from the browser.
inline constexpr std::size_t kMaxFromBrowser = 8 * 1024 * 1024;
// Deepest nesting of arrays and objects accepted in a message.
inline constexpr int kMaxDepth = 64;

// The payload behind its 32-bit little-endian length.
std::string encodeFrame(std::string_view payload);

// Splits a byte stream into messages. A length over the cap loses the stream (there is
// no way to find the next message): the decoder fails and takes nothing more.
class FrameDecoder {
  public:
    explicit FrameDecoder(std::size_t maxMessage) : max_(maxMessage) {}
    // False once the stream has failed.
    bool feed(const char* data, std::size_t size);
    std::optional<std::string> next();
    bool failed() const { return failed_; }
    // The length that made the stream fail.
    std::uint64_t refusedLength() const { return refused_; }
    // Bytes of a message begun but not complete.
    bool partial() const { return !buffer_.empty(); }

  private:
    std::size_t max_;
    std::string buffer_;
    std::deque<std::string> ready_;
    bool failed_ = false;
    std::uint64_t refused_ = 0;
};

// A message: a JSON object with a string "type". Nothing (and the reason in why) for
// anything else, for nesting deeper than kMaxDepth, and for text that is not UTF-8.
std::optional<Json> parseMessage(std::string_view text, std::string* why = nullptr);

// Compact JSON; text that is not UTF-8 is written with replacement characters.
std::string serialize(const Json& value);

// The message's "type", or empty.
std::string messageType(const Json& message);

// $XDG_RUNTIME_DIR/surfdeck, or /tmp/surfdeck-<uid> when that is not set.
std::string socketFolder();
std::string socketPath();
// Creates the folder (mode 0700) when missing. False, with the reason, when it is not a
// real folder owned by this user, or others can reach into it.
bool prepareSocketFolder(const std::string& folder, std::string* why);

// Starts a program in a session of its own with its standard streams on /dev/null, so it
// outlives us and never writes into our streams; no shell. False when it cannot start.
bool spawnDetached(const std::string& program, const std::vector<std::string>& args);

// An error text of errno as one line.
std::string errorText(int error);

}  // namespace surfdeck::wire
