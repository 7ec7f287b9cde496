#pragma once
#include <QComboBox>
#include <QFont>
#include <QPointer>
#include <QWidget>
#include <string>
#include <vector>

#include "forms/Controls.h"

class QToolButton;
class QMouseEvent;

namespace surfdeck {

class QtFormWindow;
class QtSkin;

// Fonts of the skin: the title text is bold Verdana where it is installed.
QFont controlFont(bool bold);

// Labels, pictures and shapes: drawn by hand, and for labels and pictures the mouse
// is passed to the model in twips relative to the control.
class PaintedView : public QWidget {
  public:
    PaintedView(QtFormWindow& window, forms::Control& control);
    forms::Control* control() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    // The pointer in twips relative to the control, from its place on the screen as
    // the model last put the window: a window moved by a drag may not have caught up.
    QPointF twipsAt(const QMouseEvent& event) const;
    QPointF pixelsAt(const QMouseEvent& event) const;

    QtFormWindow& window_;
    forms::Control* control_;
    int pressed_ = 0;  // buttons pressed on this control and not yet released
};

// The toolbar: push buttons with picture, tooltip and enabled state, wrapped into rows
// of the toolbar's width.
class ToolbarView : public QWidget {
  public:
    ToolbarView(QtFormWindow& window, forms::Toolbar& toolbar);
    void render();
    const std::vector<QToolButton*>& buttons() const { return buttons_; }

  private:
    QtFormWindow& window_;
    forms::Toolbar& toolbar_;
    std::vector<QToolButton*> buttons_;
    std::vector<std::string> keys_;
};

// An editable or list-only combo box whose typing and picks reach the model.
class ComboView : public QComboBox {
  public:
    ComboView(QtFormWindow& window, forms::ComboBox& combo);
    void render();

  private:
    void connectEditor();
    QtFormWindow& window_;
    forms::ComboBox& combo_;
    QPointer<QWidget> connectedEditor_;
};

// The place of an embedded browser: the browser's own widget fills it.
class BrowserView : public QWidget {
  public:
    BrowserView(QtFormWindow& window, forms::WebBrowserHost& host);
    ~BrowserView() override;
    void render();
    // Gives the browser's widget back before this place goes.
    void release();

  private:
    forms::WebBrowserHost& host_;
    QPointer<QWidget> hosted_;
};

}  // namespace surfdeck
