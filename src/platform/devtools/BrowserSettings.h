#pragma once
#include <functional>
#include <optional>
#include <string>

// How Surfdeck finds, starts and talks to the tracked browser: the "Browser" section of
// conf.ini, and the address and scheme rules that keep the DevTools endpoint safe.
namespace surfdeck::chromium {

using LogFn = std::function<void(const std::string&)>;

// How Surfdeck reaches the user's browser ("Connect" in the "Browser" section): through
// the companion extension and surfdeck-bridge, or over the DevTools endpoint.
enum class Connect { Extension, DevTools };

// The "Connect" key: "devtools" in any letter case is the DevTools route; anything else,
// and no key at all, the extension route.
Connect readConnect(const std::string& programFolder);

struct BrowserSettings {
    // host:port of the DevTools endpoint; only a loopback host is ever used.
    std::string address = "127.0.0.1:9222";
    // Start the browser when nothing answers at the first attempt. Never on the extension
    // route: there the user's own browser comes to Surfdeck.
    bool startBrowser = true;
    // Empty: the first of chromium, chromium-browser, google-chrome on the path.
    std::string executable;
    // The browser's profile folder (the DevTools endpoint needs one of its own).
    std::string profile;
    // Extra command-line flags for a browser that Surfdeck starts, split as a shell would.
    std::string flags;
    // Where GoHome goes.
    std::string homePage = "about:blank";
    // Longest wait for the answer to one synchronous call.
    int callTimeoutMs = 2000;
    // Pause between two connection attempts once the browser has gone; 0: no retries.
    int reconnectMs = 3000;
    // The process table searched for a browser the user already runs (see RunningBrowser.h).
    std::string processTable = "/proc";
};

// Reads the "Browser" section of the program folder's conf.ini.
BrowserSettings readBrowserSettings(const std::string& programFolder);

struct Endpoint {
    std::string host;  // an IP literal on this machine: 127.x.x.x or ::1
    int port = 0;
};

// "host:port", "[::1]:port" or "host" (port 9222), optionally after "http://" or "ws://".
// Nothing when the text is malformed or names a host that is not a loopback address.
std::optional<Endpoint> parseLoopbackEndpoint(const std::string& address);

// The lower-case scheme when the address is one Surfdeck never asks a browser to open
// (javascript, vbscript, data), read the way a browser reads it: blanks and control
// characters in front dropped, tabs and line breaks anywhere ignored. Empty otherwise.
std::string refusedScheme(const std::string& url);

// The address as the browser should get it: a local path becomes a file address, a bare
// host name an http address; anything with a scheme stays as it is.
std::string navigableUrl(const std::string& url);

// The configured executable, else the first browser found on the path; empty if none.
std::string findBrowserExecutable(const std::string& configured);

}  // namespace surfdeck::chromium
