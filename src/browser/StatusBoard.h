#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ports/BrowserStatus.h"

namespace surfdeck {

// What the program says about itself outside its log: which browsers it is connected
// to, whether it is a second copy (both in the main window's title band tooltip), and a
// desktop notification when it loses or cannot reach a browser, once per such state.
class StatusBoard {
  public:
    void setNotifier(Notifier* notifier) { notifier_ = notifier; }
    // Called whenever titleToolTip() would give another text.
    void setChangeHandler(std::function<void()> handler) { changed_ = std::move(handler); }

    // A backend's report. A failure notifies when it begins: the same failure reported
    // again, until a connection or another failure comes, stays quiet.
    void report(const BrowserStatus& status);
    // This program runs beside a first copy with that process id (0 when not known).
    void setSecondCopy(long firstCopyPid);

    std::vector<std::string> connectedBrowsers() const;
    std::string titleToolTip() const;

    // The notification's text for a failure state.
    static std::string failureText(const BrowserStatus& status);

  private:
    struct Source {
        std::vector<std::string> connected;
        std::optional<BrowserStatus::State> failure;
    };
    void changed();

    Notifier* notifier_ = nullptr;
    std::function<void()> changed_;
    std::map<std::string, Source> sources_;
    std::optional<long> firstCopy_;
};

}  // namespace surfdeck
