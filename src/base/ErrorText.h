#pragma once
#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>

namespace surfdeck {

// A failure that carries the system's error number beside its description.
class NumberedError : public std::runtime_error {
  public:
    NumberedError(std::int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    std::int32_t number() const { return number_; }
    const std::string& description() const { return description_; }

  private:
    std::int32_t number_;
    std::string description_;
};

// The number given to a failure that has none of its own: "Invalid procedure call or
// argument".
inline constexpr std::int32_t kUnnumberedError = 5;

// An error as the log lines write it: the number in decimal directly followed by the
// description (kUnnumberedError and the message for an error without a number).
std::string errorLogText(const std::exception& e);

}  // namespace surfdeck
