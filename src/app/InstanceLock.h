#pragma once
#include <string>

namespace surfdeck {

// Tells a first copy of the program from a second one started from the same folder. The
// first holds an advisory lock on a small file beside the program for as long as it
// runs, with its process id inside; a copy that finds the lock taken reads that id.
// Both copies run on: the lock only lets the second one say what it is.
class InstanceLock {
  public:
    explicit InstanceLock(const std::string& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when another live process holds the lock.
    bool secondCopy() const { return second_; }
    // The first copy's process id as it wrote it; 0 when it could not be read.
    long firstCopyPid() const { return firstPid_; }
    // Why the lock could not be checked ("" when it could); the program runs as a first
    // copy then.
    const std::string& error() const { return error_; }

  private:
    int fd_ = -1;
    bool second_ = false;
    long firstPid_ = 0;
    std::string error_;
};

}  // namespace surfdeck
