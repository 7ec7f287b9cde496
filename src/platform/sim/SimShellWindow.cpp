#include "platform/sim/SimShellWindow.h"

#include "platform/sim/SimShell.h"

namespace surfdeck {

namespace {

[[noreturn]] void throwGone() {
    throw AutomationError(automation_error::Disconnected,
                          "The object invoked has disconnected from its clients.");
}

[[noreturn]] void throwFailed() {
    throw AutomationError(automation_error::Failed, "Unspecified error");
}

}  // namespace

SimShellWindow::SimShellWindow(SimAutomation& shell, int number, Hwnd handle, bool folder)
    : shell_(shell),
      number_(number),
      handle_(handle),
      folder_(folder),
      sinks_(shell.sinkErrorSink()) {}

void SimShellWindow::requireOpen() const {
    if (!open_) throwGone();
}

void SimShellWindow::request(std::string what, std::string value) {
    shell_.logRequest(number_, std::move(what), std::move(value));
}

Hwnd SimShellWindow::HWND() {
    auto keep = shared_from_this();
    // What the shell does while we wait for its answer.
    shell_.runHandleHook();
    requireOpen();
    if (handleFails_) throwFailed();
    return handle_;
}

std::shared_ptr<HtmlDocument> SimShellWindow::Document() {
    requireOpen();
    if (folder_) throw AutomationError(automation_error::TypeMismatch, "Type mismatch");
    return document_;
}

std::string SimShellWindow::LocationURL() {
    requireOpen();
    return address_;
}

void SimShellWindow::GoBack() {
    requireOpen();
    const int to = backTarget();
    if (to < 0) throwFailed();
    request("back");
    startNavigation(back_[static_cast<std::size_t>(to)], Move::Back);
}

void SimShellWindow::GoForward() {
    requireOpen();
    const int to = forwardTarget();
    if (to < 0) throwFailed();
    request("forward");
    startNavigation(forward_[static_cast<std::size_t>(to)], Move::Forward);
}

void SimShellWindow::GoHome() {
    requireOpen();
    request("home");
    startNavigation(shell_.homePage(), Move::New);
}

void SimShellWindow::Stop() {
    requireOpen();
    request("stop");
}

void SimShellWindow::Refresh2() {
    requireOpen();
    request("refresh");
    auto keep = shared_from_this();
    sinks_.deliver([](BrowserEvents& s) { s.DownloadBegin(); });
    if (!open_) return;
    // A reload gives a fresh document but, as in the real browser, no navigation events.
    if (!folder_) loadPage(address_);
    sinks_.deliver([](BrowserEvents& s) { s.DownloadComplete(); });
}

void SimShellWindow::Navigate(const std::string& url) {
    requireOpen();
    request("navigate", url);
    startNavigation(url, Move::New);
}

void SimShellWindow::ExecWB(std::int32_t command, std::int32_t option) {
    requireOpen();
    if (command == OLECMDID_STOPDOWNLOAD)
        request("stop-download");
    else
        request("exec", std::to_string(command) + " " + std::to_string(option));
}

bool SimShellWindow::FullScreen() {
    requireOpen();
    return fullScreen_;
}

void SimShellWindow::setFullScreen(bool on) {
    requireOpen();
    request("fullscreen", on ? "-1" : "0");
    fullScreen_ = on;
}

void SimShellWindow::setToolBar(std::int32_t value) {
    requireOpen();
    request("toolbar", std::to_string(value));
    toolBar_ = value;
}

void SimShellWindow::setHistory(std::vector<std::string> back, std::vector<std::string> forward) {
    back_ = std::move(back);
    forward_ = std::move(forward);
    backSkippable_.assign(back_.size(), false);
    forwardSkippable_.assign(forward_.size(), false);
}

bool SimShellWindow::userNavigate(const std::string& url) {
    return open_ && runNavigation(url, Move::New, true);
}

bool SimShellWindow::clickLink(const std::string& url) {
    return open_ && runNavigation(url, Move::New);
}

bool SimShellWindow::userGoBack() {
    const int to = backTarget();
    return open_ && to >= 0 && runNavigation(back_[static_cast<std::size_t>(to)], Move::Back, true);
}

bool SimShellWindow::userGoForward() {
    const int to = forwardTarget();
    return open_ && to >= 0 &&
           runNavigation(forward_[static_cast<std::size_t>(to)], Move::Forward, true);
}

Cookie SimShellWindow::advise(BrowserEvents* sink) {
    const Cookie cookie = sinks_.advise(sink);
    if (!shell_.traits().newReceiverHearsCommandState) return cookie;
    std::weak_ptr<SimShellWindow> weak = weak_from_this();
    shell_.loop().post([weak, cookie] {
        if (auto self = weak.lock(); self && self->open_) self->reportCommandStates(cookie);
    });
    return cookie;
}

void SimShellWindow::reportCommandStates(Cookie cookie) {
    auto keep = shared_from_this();
    const bool forward = !forward_.empty();
    sinks_.deliverTo(cookie,
                     [&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEFORWARD, forward); });
    if (!open_) return;
    const bool back = backTarget() >= 0;
    sinks_.deliverTo(cookie,
                     [&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEBACK, back); });
}

void SimShellWindow::raiseCommandStateChange(std::int32_t command, bool enable) {
    auto keep = shared_from_this();
    sinks_.deliver([&](BrowserEvents& s) { s.CommandStateChange(command, enable); });
}

void SimShellWindow::loadSilently(const std::string& url) {
    loadPage(url);
}

void SimShellWindow::startNavigation(std::string url, Move move) {
    if (!deferred_) {
        runNavigation(url, move);
        return;
    }
    std::weak_ptr<SimShellWindow> weak = shared_from_this();
    shell_.loop().post([weak, url, move] {
        if (auto self = weak.lock(); self && self->open_) self->runNavigation(url, move);
    });
}

// BeforeNavigate2 (cancellable: a cancelled navigation changes nothing), then the page
// loads: NavigateComplete2 for the window and each frame, DownloadBegin,
// DownloadComplete, DocumentComplete for each frame then the window, and the back and
// forward command states. A window closed by a receiver raises nothing more.
bool SimShellWindow::runNavigation(std::string url, Move move, bool byUser) {
    auto keep = shared_from_this();
    BeforeNavigateArgs args;
    args.pDisp = this;
    if (byUser || move == Move::New || shell_.traits().historyMoveNamesAddress) args.url = url;
    sinks_.deliver([&args](BrowserEvents& s) { s.BeforeNavigate2(args); });
    if (!open_) return false;
    if (args.cancel && (!byUser || shell_.traits().userNavigationCancellable)) return false;

    // url is our own copy: the history entry it came from moves below.
    // The history as it stands now: a receiver may have moved it meanwhile.
    switch (move) {
        case Move::New:
            if (!address_.empty()) {
                back_.push_back(address_);
                // Left untouched on the page's or the program's word: back passes over it.
                backSkippable_.push_back(
                    currentSkippable_ ||
                    (!byUser && !touched_ && shell_.traits().backSkipsUntouchedPages));
            }
            forward_.clear();
            forwardSkippable_.clear();
            currentSkippable_ = false;
            break;
        case Move::Back: {
            const int to = backTarget();
            if (to < 0) return false;
            moveEntries(back_, backSkippable_, forward_, forwardSkippable_, to);
            break;
        }
        case Move::Forward: {
            const int to = forwardTarget();
            if (to < 0) return false;
            moveEntries(forward_, forwardSkippable_, back_, backSkippable_, to);
            break;
        }
    }
    loadPage(url);

    const auto frames = frames_;
    sinks_.deliver([&](BrowserEvents& s) { s.NavigateComplete2(this, url); });
    for (const auto& frame : frames) {
        if (!open_) return true;
        sinks_.deliver(
            [&](BrowserEvents& s) { s.NavigateComplete2(frame.get(), frame->address()); });
    }
    if (!open_) return true;
    sinks_.deliver([](BrowserEvents& s) { s.DownloadBegin(); });
    if (!open_) return true;
    sinks_.deliver([](BrowserEvents& s) { s.DownloadComplete(); });
    for (const auto& frame : frames) {
        if (!open_) return true;
        sinks_.deliver(
            [&](BrowserEvents& s) { s.DocumentComplete(frame.get(), frame->address()); });
    }
    if (!open_) return true;
    sinks_.deliver([&](BrowserEvents& s) { s.DocumentComplete(this, url); });
    if (!open_) return true;
    raiseCommandStates();
    return true;
}

void SimShellWindow::raiseCommandStates() {
    const bool forward = !forward_.empty();
    sinks_.deliver([&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEFORWARD, forward); });
    if (!open_) return;
    const bool back = backTarget() >= 0;
    sinks_.deliver([&](BrowserEvents& s) { s.CommandStateChange(CSC_NAVIGATEBACK, back); });
}

// Where going back leads: the nearest entry back passes not over; -1 when none.
int SimShellWindow::backTarget() const {
    for (auto i = back_.size(); i-- > 0;)
        if (!backSkippable_[i]) return static_cast<int>(i);
    return -1;
}

// The nearest entry forward that back would not pass over, else the farthest one.
int SimShellWindow::forwardTarget() const {
    if (forward_.empty()) return -1;
    for (auto i = forward_.size(); i-- > 0;)
        if (!forwardSkippable_[i]) return static_cast<int>(i);
    return 0;
}

// The current page and every entry passed over go to the other list, nearest last; the
// entry at `to` becomes the current one.
void SimShellWindow::moveEntries(std::vector<std::string>& from, std::vector<bool>& fromSkip,
                                 std::vector<std::string>& onto, std::vector<bool>& ontoSkip,
                                 int to) {
    onto.push_back(address_);
    ontoSkip.push_back(currentSkippable_);
    while (static_cast<int>(from.size()) > to + 1) {
        onto.push_back(from.back());
        ontoSkip.push_back(fromSkip.back());
        from.pop_back();
        fromSkip.pop_back();
    }
    currentSkippable_ = fromSkip.back();
    from.pop_back();
    fromSkip.pop_back();
}

void SimShellWindow::touch() {
    touched_ = true;
    currentSkippable_ = false;
}

void SimShellWindow::loadPage(const std::string& url) {
    touched_ = false;
    address_ = url;
    shell_.desktop().setTitle(handle_, url);
    frames_.clear();
    if (folder_) {
        document_.reset();
        return;
    }
    const std::string markup = shell_.web().fetch(url);
    document_ = std::make_shared<SimWebDocument>(markup, shell_.sinkErrorSink());
    for (const auto& frameUrl : SimWeb::frameAddresses(markup))
        frames_.push_back(std::make_shared<SimFrame>(frameUrl));
}

}  // namespace surfdeck
