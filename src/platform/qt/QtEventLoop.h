#pragma once
#include "ports/EventLoop.h"

namespace surfdeck {

// The application's own event loop. quit() may come before the loop has started (a
// start-up that ends the program at once); run() then returns without waiting.
class QtEventLoop : public EventLoop {
  public:
    void doEvents() override;
    void quit() override;
    // Runs the application's loop until quit(); returns its exit code.
    int run();
    bool quitRequested() const { return quitRequested_; }

  private:
    bool quitRequested_ = false;
};

}  // namespace surfdeck
