#pragma once
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>

#include "forms/Form.h"
#include "platform/qt/QtSkin.h"

class QWidget;

namespace surfdeck {

class QtFormWindow;

// Shows forms as real windows: one frameless top-level widget per loaded form, placed
// at the model's twips converted at the screen's twips per pixel.
class QtFormHost : public forms::FormHost {
  public:
    // Pictures come from the program folder: the executable's folder when none is given.
    explicit QtFormHost(QString programFolder = {});
    ~QtFormHost() override;
    QtFormHost(const QtFormHost&) = delete;
    QtFormHost& operator=(const QtFormHost&) = delete;

    // The window system closes one of our windows (its close request): the program
    // unloads the form. Without a handler the close is refused.
    void setCloseHandler(std::function<void(forms::Form&)> handler) {
        closeHandler_ = std::move(handler);
    }
    const std::function<void(forms::Form&)>& closeHandler() const { return closeHandler_; }

    // 1440 divided by the primary screen's logical dots per inch.
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    QtSkin& skin() { return skin_; }
    QWidget* window(const forms::Form& form) const;
    QWidget* widget(const forms::Control& control) const;
    forms::Form* form(Hwnd handle) const;
    QtFormWindow* windowOf(Hwnd handle) const;
    // The handle of our window that is the active window now; 0 when none is.
    Hwnd activeHandle() const;
    bool setTopMost(Hwnd handle, bool on);
    bool bringToFront(Hwnd handle);

    Hwnd createWindow(forms::Form& form) override;
    void destroyWindow(forms::Form& form) override;
    void formChanged(forms::Form& form) override;
    void controlChanged(forms::Form& form, forms::Control& control) override;
    void showWindow(forms::Form& form) override;
    void popupMenu(forms::Form& form, forms::MenuItem& menu) override;

  private:
    QtFormWindow* find(const forms::Form& form) const;

    QtSkin skin_;
    std::function<void(forms::Form&)> closeHandler_;
    std::map<const forms::Form*, QPointer<QtFormWindow>> windows_;
    // Our own handle range; the browser's tabs are numbered elsewhere.
    Hwnd nextHandle_ = 0x00010001;
};

}  // namespace surfdeck
