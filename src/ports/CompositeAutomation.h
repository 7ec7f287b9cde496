#pragma once
#include <functional>
#include <memory>

#include "ports/Automation.h"

namespace surfdeck {

// Browser windows and the query browser from one backend, the results browser (shown
// inside our own window) from another.
class CompositeAutomation : public Automation {
  public:
    using Factory = std::function<std::shared_ptr<EmbeddedBrowser>()>;
    CompositeAutomation(Automation& browsers, Factory results)
        : browsers_(browsers), results_(std::move(results)) {}

    std::shared_ptr<ShellWindows> createShellWindows() override {
        return browsers_.createShellWindows();
    }
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole role) override {
        if (role == EmbeddedRole::Results && results_) return results_();
        return browsers_.createEmbeddedBrowser(role);
    }

  private:
    Automation& browsers_;
    Factory results_;
};

}  // namespace surfdeck
