#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/IE_Class.h"
#include "browser/TrackingContext.h"
#include "browser/cIEWindows.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimShell.h"
#include "platform/sim/SimWeb.h"

namespace surfdeck::test {

// A simulated desktop and browser shell, a tracking context on them, and a receiver that
// writes the list's events as lines: "begin #1 top http://a/", "command #2 1 -1".
class TrackingTest : public ::testing::Test, public cIEWindowsEvents {
  protected:
    SimDesktop desktop;
    SimClock clock;
    SimEventLoop loop;
    SimWeb web;
    SimAutomation shell{desktop, loop, web};
    TrackingContext ctx{desktop, loop, clock, shell};
    std::unique_ptr<cIEWindows> list;
    std::vector<std::string> events;
    // Run inside IENavigationBegin after the line is written.
    std::function<void(bool& Cancel)> onBegin;

    void track() {
        list = std::make_unique<cIEWindows>(ctx);
        list->addReceiver(this);
    }
    // A window at a with b in its forward history.
    int openWithForward(const std::string& a, const std::string& b) {
        int n = shell.openWindow(a).number;
        shell.window(n)->setHistory({}, {b});
        return n;
    }

    // "#n" for shell window n; "top" for the window's own object, "frame" for any other.
    std::string who(std::int32_t handle) const {
        for (int n : shell.openWindowNumbers())
            if (shell.window(n)->handle() == handle) return "#" + std::to_string(n);
        return std::to_string(handle);
    }
    std::string at(std::int32_t handle, Dispatch* p, const std::string& URL) const {
        for (int n : shell.openWindowNumbers())
            if (p == shell.window(n).get()) return who(handle) + " top " + URL;
        return who(handle) + " frame " + URL;
    }
    void mouse(const char* what, std::int32_t h, std::int16_t Button, std::int16_t Shift, float X,
               float Y) {
        events.push_back(std::string(what) + " " + who(h) + " " + std::to_string(Button) + " " +
                         std::to_string(Shift) + " " + std::to_string(int(X)) + "," +
                         std::to_string(int(Y)));
    }

    void IEWindowRegistered() override { events.push_back("registered"); }
    void IEWindowRevoked() override { events.push_back("revoked"); }
    void IENavigationBegin(const std::int32_t& h, Dispatch* p, const std::string& URL,
                           const std::int32_t&, const std::string&, const std::string&,
                           const std::string&, bool& Cancel) override {
        events.push_back("begin " + at(h, p, URL));
        if (onBegin) onBegin(Cancel);
    }
    void IENavigationComplete(const std::int32_t& h, Dispatch* p, const std::string& URL) override {
        events.push_back("navigated " + at(h, p, URL));
    }
    void IEDocumentComplete(const std::int32_t& h, Dispatch* p, const std::string& URL) override {
        events.push_back("document " + at(h, p, URL));
    }
    void IEDownloadBegin(const std::int32_t& h) override { events.push_back("download " + who(h)); }
    void IEDownloadComplete(const std::int32_t& h) override {
        events.push_back("downloaded " + who(h));
    }
    void IEOnContextMenu(const std::int32_t& h) override { events.push_back("menu " + who(h)); }
    void IEMouseDown(const std::int32_t& h, std::int16_t B, std::int16_t S, float X,
                     float Y) override {
        mouse("down", h, B, S, X, Y);
    }
    void IEMouseUp(const std::int32_t& h, std::int16_t B, std::int16_t S, float X,
                   float Y) override {
        mouse("up", h, B, S, X, Y);
    }
    void IECommandStateChange(const std::int32_t& h, std::int32_t Command, bool& Enable) override {
        events.push_back("command " + who(h) + " " + std::to_string(Command) +
                         (Enable ? " -1" : " 0"));
    }
};

}  // namespace surfdeck::test
