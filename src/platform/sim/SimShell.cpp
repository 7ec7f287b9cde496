#include "platform/sim/SimShell.h"

#include <algorithm>

namespace surfdeck {

std::string SimAutomation::Request::text() const {
    std::string out = "#" + std::to_string(window) + " " + what;
    if (!value.empty()) out += " " + value;
    return out;
}

SimAutomation::SimAutomation(SimDesktop& desktop, SimEventLoop& loop, SimWeb& web)
    : desktop_(desktop), loop_(loop), web_(web) {}

std::shared_ptr<ShellWindows> SimAutomation::createShellWindows() {
    ++shellWindowsCreated_;
    auto list = std::make_shared<SimShellWindows>(*this, &sinkErrors_);
    // Forget list objects that have gone, so that the registry does not grow.
    std::erase_if(lists_, [](const auto& weak) { return weak.expired(); });
    lists_.push_back(list);
    return list;
}

std::shared_ptr<EmbeddedBrowser> SimAutomation::createEmbeddedBrowser(EmbeddedRole role) {
    auto browser = std::make_shared<SimWebBrowser>(role, web_, loop_, &sinkErrors_);
    std::erase_if(embedded_, [](const auto& weak) { return weak.expired(); });
    embedded_.push_back(browser);
    return browser;
}

std::shared_ptr<SimWebBrowser> SimAutomation::embedded(EmbeddedRole role) const {
    for (auto it = embedded_.rbegin(); it != embedded_.rend(); ++it) {
        auto browser = it->lock();
        if (browser && browser->role() == role) return browser;
    }
    return nullptr;
}

// Every list object alive now hears the event, in the order they were made. Objects
// made while the event is delivered do not hear it.
template <class F>
void SimAutomation::announce(F&& f) {
    std::vector<std::shared_ptr<SimShellWindows>> lists;
    for (const auto& weak : lists_)
        if (auto list = weak.lock()) lists.push_back(list);
    for (const auto& list : lists) f(*list);
}

SimAutomation::OpenedWindow SimAutomation::open(const std::string& address, bool folder) {
    const int number = nextNumber_++;
    const Hwnd handle = desktop_.createWindow(SimDesktop::WindowKind::Browser, address);
    const int offset = 20 * ((number - 1) % 10);
    desktop_.setWindowRect(handle, 100 + offset, 80 + offset, 800, 600);
    auto window = std::make_shared<SimShellWindow>(*this, number, handle, folder);
    window->loadSilently(address);
    all_[number] = window;
    open_.push_back(window);
    announce([number](SimShellWindows& list) { list.raiseRegistered(number); });
    return {number, handle};
}

SimAutomation::OpenedWindow SimAutomation::openWindow(const std::string& address) {
    return open(address, false);
}

SimAutomation::OpenedWindow SimAutomation::openFolderWindow(const std::string& path) {
    return open("file://" + (path.rfind('/', 0) == 0 ? path : "/" + path), true);
}

bool SimAutomation::closeWindow(int number) {
    auto window = openByNumber(number);
    if (!window) return false;
    open_.erase(std::find(open_.begin(), open_.end(), window));
    window->markClosed();
    desktop_.destroyWindow(window->handle());
    announce([number](SimShellWindows& list) { list.raiseRevoked(number); });
    return true;
}

std::shared_ptr<SimShellWindow> SimAutomation::window(int number) const {
    auto it = all_.find(number);
    return it == all_.end() ? nullptr : it->second;
}

std::shared_ptr<SimShellWindow> SimAutomation::openByNumber(int number) const {
    auto w = window(number);
    return w && w->isOpen() ? w : nullptr;
}

std::vector<int> SimAutomation::openWindowNumbers() const {
    std::vector<int> numbers;
    for (const auto& w : open_) numbers.push_back(w->number());
    return numbers;
}

std::shared_ptr<SimShellWindow> SimAutomation::openWindowAt(std::size_t index) const {
    return index < open_.size() ? open_[index] : nullptr;
}

bool SimAutomation::userNavigate(int number, const std::string& address) {
    auto w = openByNumber(number);
    return w && w->userNavigate(address);
}

bool SimAutomation::clickLink(int number, const std::string& address) {
    auto w = openByNumber(number);
    return w && w->clickLink(address);
}

bool SimAutomation::userGoBack(int number) {
    auto w = openByNumber(number);
    return w && w->userGoBack();
}

bool SimAutomation::userGoForward(int number) {
    auto w = openByNumber(number);
    return w && w->userGoForward();
}

bool SimAutomation::mouseDown(int number) {
    auto w = openByNumber(number);
    if (!w || !w->document()) return false;
    w->touch();
    w->document()->raiseMouseDown();
    return true;
}

bool SimAutomation::mouseUp(int number) {
    auto w = openByNumber(number);
    if (!w || !w->document()) return false;
    w->document()->raiseMouseUp();
    return true;
}

bool SimAutomation::contextMenu(int number) {
    auto w = openByNumber(number);
    if (!w || !w->document()) return false;
    const bool shown = w->document()->raiseContextMenu();
    return shown || !traits_.contextMenuSuppressible;
}

void SimAutomation::duringNextItem(std::function<void()> action) {
    itemHooks_.push_back(std::move(action));
}

void SimAutomation::openDuringNextItem(const std::string& address) {
    duringNextItem([this, address] { openWindow(address); });
}

void SimAutomation::closeDuringNextItem(int number) {
    duringNextItem([this, number] { closeWindow(number); });
}

void SimAutomation::runItemHook() {
    if (itemHooks_.empty()) return;
    auto action = std::move(itemHooks_.front());
    itemHooks_.pop_front();
    action();
}

void SimAutomation::duringNextHandle(std::function<void()> action) {
    handleHooks_.push_back(std::move(action));
}

void SimAutomation::closeDuringNextHandle(int number) {
    duringNextHandle([this, number] { closeWindow(number); });
}

void SimAutomation::runHandleHook() {
    if (handleHooks_.empty()) return;
    auto action = std::move(handleHooks_.front());
    handleHooks_.pop_front();
    action();
}

void SimAutomation::logRequest(int window, std::string what, std::string value) {
    requests_.push_back({window, std::move(what), std::move(value)});
}

std::vector<std::string> SimAutomation::requestLog() const {
    std::vector<std::string> lines;
    for (const auto& r : requests_) lines.push_back(r.text());
    return lines;
}

std::vector<std::string> SimAutomation::requestLog(int window) const {
    std::vector<std::string> lines;
    for (const auto& r : requests_)
        if (r.window == window) lines.push_back(r.text());
    return lines;
}

}  // namespace surfdeck
