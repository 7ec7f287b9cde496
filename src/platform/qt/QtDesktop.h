#pragma once
#include <memory>

#include "ports/Desktop.h"

namespace surfdeck {

class QtFormHost;
class XPointer;

// The desktop as Qt sees it. Our own windows answer through the form host; windows
// that are not ours (the browser's tabs) through the external foreground, if any.
class QtDesktop : public Desktop {
  public:
    explicit QtDesktop(QtFormHost& host, Foreground* external = nullptr);
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    Hwnd foregroundWindow() override;
    bool setForegroundWindow(Hwnd window) override;
    bool setTopMost(Hwnd window, bool topMost) override;
    PixelPoint cursorPos() override;
    // Our windows by their place; for a window that is not ours the position is given
    // back as it is, since its place on the screen is not known here.
    PixelPoint screenToClient(Hwnd window, PixelPoint screen) override;
    // Only what Qt knows: keys and buttons pressed while one of our windows has input.
    std::int16_t asyncKeyState(int virtualKey) override;
    int screenWidthPixels() override;
    int screenHeightPixels() override;
    double twipsPerPixelX() override;
    double twipsPerPixelY() override;

  private:
    QtFormHost& host_;
    Foreground* external_;
    std::unique_ptr<XPointer> pointer_;  // on X11 only
};

}  // namespace surfdeck
