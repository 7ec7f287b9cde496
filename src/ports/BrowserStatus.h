#pragma once
#include <functional>
#include <string>

namespace surfdeck {

// What a browser backend tells the program about its reach to a browser. Each backend
// reports when the state changes; the program decides what the user is told.
struct BrowserStatus {
    enum class State {
        Connected,         // a browser answers; `browser` names it
        NotFound,          // no browser to start or to talk to
        Refused,           // the browser's end did not take the connection
        Lost,              // a connected browser went away; `browser` names it
        ExtensionMissing,  // a browser runs without our extension
    };
    State state = State::NotFound;
    // The browser's own name, as the backend knows it ("Chrome/131.0"); may be empty.
    std::string browser;
    // Which backend speaks ("devtools", "extension"), so that several can report at once.
    std::string source;
};

using BrowserStatusFn = std::function<void(const BrowserStatus&)>;

// Desktop notifications: one short message outside our windows. Never blocks; where
// nothing shows notifications, nothing happens.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void notify(const std::string& summary, const std::string& body) = 0;
};

}  // namespace surfdeck
