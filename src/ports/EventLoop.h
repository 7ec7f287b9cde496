#pragma once

namespace surfdeck {

// The user-interface thread's message loop.
class EventLoop {
  public:
    virtual ~EventLoop() = default;
    // Runs the events that are pending now (timer ticks, input, browser events), then
    // returns. Used by the waits that must keep messages flowing.
    virtual void doEvents() = 0;
    // Ends the program: the loop returns once the current handler has finished.
    virtual void quit() = 0;
};

}  // namespace surfdeck
