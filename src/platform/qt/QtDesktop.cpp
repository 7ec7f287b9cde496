#include "platform/qt/QtDesktop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include "platform/qt/QtFormHost.h"
#include "platform/qt/QtFormWindow.h"
#include "platform/qt/XPointer.h"

namespace surfdeck {

namespace {

// Qt's positions are in its scaled pixels; the X server's answer is in the screen's.
bool unscaled() {
    for (const QScreen* s : QGuiApplication::screens())
        if (s->devicePixelRatio() != 1.0) return false;
    return true;
}

}  // namespace

QtDesktop::QtDesktop(QtFormHost& host, Foreground* external) : host_(host), external_(external) {
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        pointer_ = std::make_unique<XPointer>();
}

QtDesktop::~QtDesktop() = default;

Hwnd QtDesktop::foregroundWindow() {
    if (Hwnd ours = host_.activeHandle()) return ours;
    return external_ ? external_->foregroundWindow() : 0;
}

bool QtDesktop::setForegroundWindow(Hwnd window) {
    if (host_.windowOf(window)) return host_.bringToFront(window);
    return external_ ? external_->setForegroundWindow(window) : false;
}

bool QtDesktop::setTopMost(Hwnd window, bool topMost) {
    return host_.setTopMost(window, topMost);
}

PixelPoint QtDesktop::cursorPos() {
    if (pointer_ && unscaled()) {
        if (std::optional<PixelPoint> p = pointer_->position()) return *p;
    }
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

PixelPoint QtDesktop::screenToClient(Hwnd window, PixelPoint screen) {
    QtFormWindow* w = host_.windowOf(window);
    if (!w) return screen;
    const QPoint p = w->mapFromGlobal(QPoint(screen.x, screen.y));
    return {p.x(), p.y()};
}

std::int16_t QtDesktop::asyncKeyState(int virtualKey) {
    constexpr std::int16_t down = static_cast<std::int16_t>(0x8000);
    const Qt::MouseButtons buttons = QGuiApplication::mouseButtons();
    const Qt::KeyboardModifiers keys = QGuiApplication::queryKeyboardModifiers();
    bool isDown = false;
    switch (virtualKey) {
        case VK_LBUTTON:
            isDown = buttons & Qt::LeftButton;
            break;
        case VK_RBUTTON:
            isDown = buttons & Qt::RightButton;
            break;
        case VK_MBUTTON:
            isDown = buttons & Qt::MiddleButton;
            break;
        case VK_SHIFT:
            isDown = keys & Qt::ShiftModifier;
            break;
        case VK_CONTROL:
            isDown = keys & Qt::ControlModifier;
            break;
        case VK_MENU:
            isDown = keys & Qt::AltModifier;
            break;
        default:
            break;
    }
    return isDown ? down : 0;
}

int QtDesktop::screenWidthPixels() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().width() : 0;
}

int QtDesktop::screenHeightPixels() {
    QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().height() : 0;
}

double QtDesktop::twipsPerPixelX() {
    return host_.twipsPerPixelX();
}

double QtDesktop::twipsPerPixelY() {
    return host_.twipsPerPixelY();
}

}  // namespace surfdeck
