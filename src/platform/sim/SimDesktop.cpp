#include "platform/sim/SimDesktop.h"

#include <algorithm>
#include <stdexcept>

namespace surfdeck {

SimDesktop::SimDesktop(int widthPixels, int heightPixels, double twipsPerPixel)
    : width_(widthPixels), height_(heightPixels), twipsPerPixel_(twipsPerPixel) {}

void SimDesktop::setScreenSize(int widthPixels, int heightPixels) {
    width_ = widthPixels;
    height_ = heightPixels;
}

void SimDesktop::setTwipsPerPixel(double twipsPerPixel) {
    twipsPerPixel_ = twipsPerPixel;
}

Hwnd SimDesktop::createWindow(WindowKind kind, std::string title) {
    Hwnd handle = nextHandle_;
    nextHandle_ += 4;  // window handles are multiples of four, as on the real system
    Window w;
    w.handle = handle;
    w.kind = kind;
    w.title = std::move(title);
    windows_[handle] = w;
    order_.insert(order_.begin(), handle);
    placeInBand(handle);
    return handle;
}

void SimDesktop::destroyWindow(Hwnd window) {
    windows_.erase(window);
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
    if (foreground_ == window) foreground_ = 0;
}

bool SimDesktop::exists(Hwnd window) const {
    return windows_.count(window) != 0;
}

const SimDesktop::Window* SimDesktop::window(Hwnd window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

void SimDesktop::setWindowRect(Hwnd window, int left, int top, int width, int height) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return;
    it->second.left = left;
    it->second.top = top;
    it->second.width = width;
    it->second.height = height;
}

void SimDesktop::setVisible(Hwnd window, bool visible) {
    auto it = windows_.find(window);
    if (it != windows_.end()) it->second.visible = visible;
}

void SimDesktop::setTitle(Hwnd window, std::string title) {
    auto it = windows_.find(window);
    if (it != windows_.end()) it->second.title = std::move(title);
}

std::vector<Hwnd> SimDesktop::zOrder() const {
    return order_;
}

bool SimDesktop::isTopMost(Hwnd window) const {
    auto it = windows_.find(window);
    return it != windows_.end() && it->second.topMost;
}

void SimDesktop::bringToFront(Hwnd window) {
    if (!exists(window)) return;
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
    order_.insert(order_.begin(), window);
    placeInBand(window);
}

// Keeps the topmost band in front: a window moves behind every topmost window unless
// it is topmost itself.
void SimDesktop::placeInBand(Hwnd window) {
    auto it = std::find(order_.begin(), order_.end(), window);
    if (it == order_.end()) return;
    order_.erase(it);
    auto firstNormal = std::find_if(order_.begin(), order_.end(),
                                    [this](Hwnd h) { return !windows_.at(h).topMost; });
    if (windows_.at(window).topMost) {
        order_.insert(order_.begin(), window);
    } else {
        order_.insert(firstNormal, window);
    }
}

void SimDesktop::setKeyDown(int virtualKey, bool down) {
    keys_[virtualKey] = down;
}

bool SimDesktop::isKeyDown(int virtualKey) const {
    auto it = keys_.find(virtualKey);
    return it != keys_.end() && it->second;
}

bool SimDesktop::setForegroundWindow(Hwnd window) {
    ++setForegroundRequests_;
    if (foregroundObserver_) foregroundObserver_(window);
    return userActivate(window);
}

bool SimDesktop::userActivate(Hwnd window) {
    if (!exists(window)) return false;
    foreground_ = window;
    bringToFront(window);
    return true;
}

bool SimDesktop::setTopMost(Hwnd window, bool topMost) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return false;
    it->second.topMost = topMost;
    // Entering the band puts the window at its front; leaving it puts it at the front of
    // the ordinary windows.
    order_.erase(std::remove(order_.begin(), order_.end(), window), order_.end());
    order_.insert(order_.begin(), window);
    placeInBand(window);
    return true;
}

PixelPoint SimDesktop::cursorPos() {
    if (cursorFails_) throw std::runtime_error("GetCursorPos failed");
    return cursor_;
}

PixelPoint SimDesktop::screenToClient(Hwnd window, PixelPoint screen) {
    auto it = windows_.find(window);
    if (it == windows_.end()) return screen;
    return {screen.x - it->second.left, screen.y - it->second.top};
}

std::int16_t SimDesktop::asyncKeyState(int virtualKey) {
    return isKeyDown(virtualKey) ? static_cast<std::int16_t>(-32768) : std::int16_t{0};
}

}  // namespace surfdeck
