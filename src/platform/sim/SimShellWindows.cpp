#include "platform/sim/SimShellWindows.h"

#include "platform/sim/SimShell.h"

namespace surfdeck {

int SimShellWindows::Count() {
    return static_cast<int>(shell_.openWindowCount());
}

std::shared_ptr<BrowserWindow> SimShellWindows::Item(int index) {
    auto keep = shared_from_this();
    shell_.noteItemCall();
    // What the shell does while we wait for its answer.
    shell_.runItemHook();
    if (index < 0 || static_cast<std::size_t>(index) >= shell_.openWindowCount())
        throw AutomationError(automation_error::Disconnected,
                              "The object invoked has disconnected from its clients.");
    return shell_.openWindowAt(static_cast<std::size_t>(index));
}

void SimShellWindows::raiseRegistered(std::int32_t cookie) {
    auto keep = shared_from_this();
    sinks_.deliver([cookie](ShellWindowsEvents& s) { s.WindowRegistered(cookie); });
}

void SimShellWindows::raiseRevoked(std::int32_t cookie) {
    auto keep = shared_from_this();
    sinks_.deliver([cookie](ShellWindowsEvents& s) { s.WindowRevoked(cookie); });
}

}  // namespace surfdeck
