#pragma once
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "forms/Form.h"

class QComboBox;
class QToolButton;

namespace surfdeck {

class QtFormHost;

// The frameless top-level window of one form, with one child widget per control. It
// draws what the model says and hands input to the model through the form's
// dispatcher; it never writes a position it computed back into the model.
class QtFormWindow : public QWidget {
  public:
    QtFormWindow(QtFormHost& host, forms::Form& form, Hwnd handle);
    ~QtFormWindow() override;

    forms::Form* form() const { return form_; }
    Hwnd handle() const { return handle_; }
    QtFormHost& host() const { return host_; }

    // Position, size, caption, state and visibility from the model.
    void renderForm();
    void renderControl(forms::Control& control);
    QWidget* view(const forms::Control& control) const;
    void setTopMost(bool on);

    // The form is unloaded: drop every reference into the model; the widget is deleted
    // once control is back in the event loop.
    void detach();

    // Runs one piece of input in the model, if the form is still there.
    void dispatch(const std::function<void()>& handler);
    // The pixel origin of the window as last placed from the model.
    QPoint placedOrigin() const { return placed_.topLeft(); }
    bool rendering() const { return rendering_ > 0; }

  protected:
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QWidget* makeView(forms::Control& control);
    void placeView(forms::Control& control, QWidget& view);
    void renderView(forms::Control& control, QWidget& view);

    QtFormHost& host_;
    forms::Form* form_;
    Hwnd handle_;
    std::map<const forms::Control*, QPointer<QWidget>> views_;
    QRect placed_;
    // Positions asked of the window system, with when, whose reports may still come in.
    std::deque<std::pair<QPoint, std::chrono::steady_clock::time_point>> pendingMoves_;
    int rendering_ = 0;
};

}  // namespace surfdeck
