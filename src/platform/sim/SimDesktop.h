#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ports/Desktop.h"

namespace surfdeck {

// A deterministic desktop: a screen, top-level windows in z-order with a foreground
// window, topmost bands, a pointer and key states. Our forms and the simulated browser
// windows are windows here alike and share one handle space.
class SimDesktop : public Desktop {
  public:
    enum class WindowKind { Ours, Browser, Other };

    struct Window {
        Hwnd handle = 0;
        WindowKind kind = WindowKind::Other;
        std::string title;
        bool topMost = false;
        bool visible = true;
        // Outer rectangle in pixels, for screenToClient.
        int left = 0, top = 0, width = 0, height = 0;
    };

    explicit SimDesktop(int widthPixels = 1024, int heightPixels = 768, double twipsPerPixel = 15);

    void setScreenSize(int widthPixels, int heightPixels);
    void setTwipsPerPixel(double twipsPerPixel);

    // A new window in front of the others of its band; it does not take the foreground.
    Hwnd createWindow(WindowKind kind, std::string title);
    void destroyWindow(Hwnd window);
    bool exists(Hwnd window) const;
    const Window* window(Hwnd window) const;
    void setWindowRect(Hwnd window, int left, int top, int width, int height);
    void setVisible(Hwnd window, bool visible);
    void setTitle(Hwnd window, std::string title);
    // Front first; topmost windows before all others.
    std::vector<Hwnd> zOrder() const;
    bool isTopMost(Hwnd window) const;
    // Brings the window to the front of its band without giving it the foreground.
    void bringToFront(Hwnd window);

    void setCursorPos(PixelPoint screen) { cursor_ = screen; }
    void setKeyDown(int virtualKey, bool down);
    bool isKeyDown(int virtualKey) const;
    // Makes cursorPos throw, as a failing system call would.
    void setCursorFails(bool fails) { cursorFails_ = fails; }

    // Counts of what the program asked of the desktop.
    int setForegroundRequests() const { return setForegroundRequests_; }
    // Told of every window the program asks to bring to the front.
    void setForegroundObserver(std::function<void(Hwnd)> observer) {
        foregroundObserver_ = std::move(observer);
    }
    // The user brings a window to the front (not a request of the program).
    bool userActivate(Hwnd window);

    // Desktop
    Hwnd foregroundWindow() override { return foreground_; }
    bool setForegroundWindow(Hwnd window) override;
    bool setTopMost(Hwnd window, bool topMost) override;
    PixelPoint cursorPos() override;
    PixelPoint screenToClient(Hwnd window, PixelPoint screen) override;
    std::int16_t asyncKeyState(int virtualKey) override;
    int screenWidthPixels() override { return width_; }
    int screenHeightPixels() override { return height_; }
    double twipsPerPixelX() override { return twipsPerPixel_; }
    double twipsPerPixelY() override { return twipsPerPixel_; }

  private:
    void placeInBand(Hwnd window);

    int width_;
    int height_;
    double twipsPerPixel_;
    Hwnd nextHandle_ = 0x1000;
    std::map<Hwnd, Window> windows_;
    std::vector<Hwnd> order_;  // front first
    Hwnd foreground_ = 0;
    PixelPoint cursor_{};
    std::map<int, bool> keys_;
    bool cursorFails_ = false;
    int setForegroundRequests_ = 0;
    std::function<void(Hwnd)> foregroundObserver_;
};

}  // namespace surfdeck
