#pragma once
#include <memory>

#include "platform/sim/SimShellSinks.h"
#include "ports/Automation.h"

namespace surfdeck {

class SimAutomation;

// One shell-window list object. It shows the shell's windows as they stand at each
// call, so a window that closes between Count() and Item() makes Item() fail.
class SimShellWindows : public ShellWindows, public std::enable_shared_from_this<SimShellWindows> {
  public:
    SimShellWindows(SimAutomation& shell, std::vector<std::string>* sinkErrors)
        : shell_(shell), sinks_(sinkErrors) {}

    int Count() override;
    std::shared_ptr<BrowserWindow> Item(int index) override;
    Cookie advise(ShellWindowsEvents* sink) override { return sinks_.advise(sink); }
    void unadvise(Cookie cookie) override { sinks_.unadvise(cookie); }

    std::size_t receiverCount() const { return sinks_.size(); }
    void raiseRegistered(std::int32_t cookie);
    void raiseRevoked(std::int32_t cookie);

  private:
    SimAutomation& shell_;
    SimSinks<ShellWindowsEvents> sinks_;
};

}  // namespace surfdeck
