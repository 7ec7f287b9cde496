#include "platform/qt/QtFormWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/qt/QtControlViews.h"
#include "platform/qt/QtFormHost.h"

namespace surfdeck {

namespace {

int px(double twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

// Windowed controls lie above the drawn ones, and among those pictures lie above
// separator lines, which lie above labels, which lie above filled shapes: the title
// text over its band, the caption buttons over the title text, and a line never cut by
// the box of a label that reaches down to it. Within a layer the design order holds.
int layer(const forms::Control& c) {
    switch (c.kind()) {
        case forms::ControlKind::Shape:
            return static_cast<const forms::Shape&>(c).style() == forms::Shape::Style::Line ? 2 : 0;
        case forms::ControlKind::Label:
            return 1;
        case forms::ControlKind::Image:
            return 3;
        default:
            return 4;
    }
}

forms::WindowState stateOf(Qt::WindowStates s) {
    if (s & Qt::WindowMinimized) return forms::WindowState::Minimized;
    if (s & Qt::WindowMaximized) return forms::WindowState::Maximized;
    return forms::WindowState::Normal;
}

}  // namespace

QtFormWindow::QtFormWindow(QtFormHost& host, forms::Form& form, Hwnd handle)
    : QWidget(nullptr), host_(host), form_(&form), handle_(handle) {
    Qt::WindowFlags flags = Qt::Window | Qt::FramelessWindowHint;
    // Panels stay out of the task bar; the main window is the program's one entry there.
    if (form.name() != "frmMain") flags |= Qt::Tool;
    setWindowFlags(flags);
    // Ending the program is the program's decision, not the last window's.
    setAttribute(Qt::WA_QuitOnClose, false);
    // A toolbar that floats over the browser is hardly ever the active window.
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setObjectName(QString::fromStdString(form.name()));
    // White, as the labels' own background is unless a form gives them another.
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    std::vector<forms::Control*> ordered = form.controls();
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](forms::Control* a, forms::Control* b) { return layer(*a) < layer(*b); });
    for (forms::Control* c : ordered) {
        if (QWidget* v = makeView(*c)) {
            views_[c] = v;
            renderView(*c, *v);
        }
    }
    renderForm();
}

QtFormWindow::~QtFormWindow() = default;

QWidget* QtFormWindow::makeView(forms::Control& control) {
    QPointer<QtFormWindow> self(this);
    switch (control.kind()) {
        case forms::ControlKind::Label:
        case forms::ControlKind::Image:
        case forms::ControlKind::Shape:
            return new PaintedView(*this, control);
        case forms::ControlKind::ComboBox:
            return new ComboView(*this, static_cast<forms::ComboBox&>(control));
        case forms::ControlKind::CommandButton: {
            auto* b = new QPushButton(this);
            forms::Control* c = &control;
            connect(b, &QPushButton::clicked, b, [self, c] {
                if (self && self->form()) self->dispatch([c] { c->click(); });
            });
            return b;
        }
        case forms::ControlKind::CheckBox: {
            auto* b = new QCheckBox(this);
            auto* c = &static_cast<forms::CheckBox&>(control);
            connect(b, &QCheckBox::clicked, b, [self, c](bool checked) {
                if (!self || !self->form() || self->rendering()) return;
                self->dispatch([c, checked] {
                    c->setValue(checked ? 1 : 0);
                    c->click();
                });
            });
            return b;
        }
        case forms::ControlKind::Toolbar:
            return new ToolbarView(*this, static_cast<forms::Toolbar&>(control));
        case forms::ControlKind::WebBrowser:
            return new BrowserView(*this, static_cast<forms::WebBrowserHost&>(control));
        case forms::ControlKind::Timer:
            return nullptr;
    }
    return nullptr;
}

QWidget* QtFormWindow::view(const forms::Control& control) const {
    auto it = views_.find(&control);
    return it == views_.end() ? nullptr : it->second.data();
}

void QtFormWindow::placeView(forms::Control& c, QWidget& v) {
    const double tx = host_.twipsPerPixelX();
    const double ty = host_.twipsPerPixelY();
    // Edges are rounded, not sizes, so that controls that touch in twips touch on screen.
    const int x0 = px(c.left(), tx);
    const int y0 = px(c.top(), ty);
    int w = std::max(0, px(c.left() + c.width(), tx) - x0);
    int h = std::max(0, px(c.top() + c.height(), ty) - y0);
    if (c.kind() == forms::ControlKind::Shape &&
        static_cast<forms::Shape&>(c).style() == forms::Shape::Style::Line) {
        // A line is one pixel thick whatever its designed height.
        if (w >= h) {
            h = std::max(h, 1);
        } else {
            w = std::max(w, 1);
        }
    }
    v.setGeometry(x0, y0, w, h);
}

void QtFormWindow::renderView(forms::Control& c, QWidget& v) {
    ++rendering_;
    placeView(c, v);
    v.setEnabled(c.enabled());
    v.setToolTip(QString::fromStdString(c.toolTipText()));
    switch (c.kind()) {
        case forms::ControlKind::Label:
        case forms::ControlKind::Image:
        case forms::ControlKind::Shape:
            v.update();
            break;
        case forms::ControlKind::ComboBox:
            v.setFont(controlFont(false));
            static_cast<ComboView&>(v).render();
            break;
        case forms::ControlKind::CommandButton:
            v.setFont(controlFont(false));
            static_cast<QPushButton&>(v).setText(
                QString::fromStdString(static_cast<forms::CommandButton&>(c).caption()));
            break;
        case forms::ControlKind::CheckBox: {
            auto& box = static_cast<QCheckBox&>(v);
            auto& model = static_cast<forms::CheckBox&>(c);
            box.setFont(controlFont(false));
            box.setText(QString::fromStdString(model.caption()));
            box.setChecked(model.value() != 0);
            break;
        }
        case forms::ControlKind::Toolbar:
            static_cast<ToolbarView&>(v).render();
            break;
        case forms::ControlKind::WebBrowser:
            static_cast<BrowserView&>(v).render();
            break;
        case forms::ControlKind::Timer:
            break;
    }
    v.setVisible(c.visible());
    --rendering_;
}

void QtFormWindow::renderControl(forms::Control& control) {
    if (!form_) return;
    auto it = views_.find(&control);
    if (it == views_.end()) {
        // A control the window has not seen yet: drawn above the others.
        QWidget* v = makeView(control);
        if (!v) return;
        it = views_.emplace(&control, v).first;
    }
    if (it->second) renderView(control, *it->second);
}

void QtFormWindow::renderForm() {
    if (!form_) return;
    ++rendering_;
    const double tx = host_.twipsPerPixelX();
    const double ty = host_.twipsPerPixelY();
    const QRect r(px(form_->left(), tx), px(form_->top(), ty), std::max(1, px(form_->width(), tx)),
                  std::max(1, px(form_->height(), ty)));
    if (r != placed_) {
        if (r.topLeft() != placed_.topLeft()) {
            pendingMoves_.push_back({r.topLeft(), std::chrono::steady_clock::now()});
            if (pendingMoves_.size() > 64) pendingMoves_.pop_front();
        }
        placed_ = r;
        setGeometry(r);
    }
    setWindowTitle(QString::fromStdString(form_->caption()));
    const Qt::WindowStates plain =
        windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    Qt::WindowStates wanted = plain;
    if (form_->windowState() == forms::WindowState::Minimized) wanted |= Qt::WindowMinimized;
    if (form_->windowState() == forms::WindowState::Maximized) wanted |= Qt::WindowMaximized;
    if (windowState() != wanted) setWindowState(wanted);
    if (form_->visible() != isVisible()) setVisible(form_->visible());
    --rendering_;
}

void QtFormWindow::setTopMost(bool on) {
    Qt::WindowFlags f = windowFlags();
    f.setFlag(Qt::WindowStaysOnTopHint, on);
    if (f == windowFlags()) return;
    if (QWindow* w = windowHandle()) {
        // Changing a shown widget's flags would hide it; the native window takes the
        // new band in place, without moving or resizing.
        overrideWindowFlags(f);
        w->setFlags(f);
    } else {
        setWindowFlags(f);
        setAttribute(Qt::WA_QuitOnClose, false);  // new flags reset it
        setAttribute(Qt::WA_AlwaysShowToolTips);
    }
}

void QtFormWindow::detach() {
    for (auto& [c, v] : views_) {
        if (auto* b = dynamic_cast<BrowserView*>(v.data())) b->release();
    }
    views_.clear();
    form_ = nullptr;
}

void QtFormWindow::dispatch(const std::function<void()>& handler) {
    if (!form_) return;
    form_->context().dispatch(handler);
}

void QtFormWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // Only the window system's own reports count: Qt echoes every place we set at once,
    // before the window system has reported the places asked for earlier.
    if (!form_ || !event->spontaneous()) return;
    const QPoint p = event->pos();
    if (p == placed_.topLeft()) {
        pendingMoves_.clear();
        return;
    }
    // A late report of a place we asked for earlier (the window system lags behind a
    // drag) is not a move of the user's: taken as one, the window would jump back.
    // Reports come within moments; an older request no longer explains one.
    const auto now = std::chrono::steady_clock::now();
    while (!pendingMoves_.empty() && now - pendingMoves_.front().second > std::chrono::seconds(2))
        pendingMoves_.pop_front();
    auto it = std::find_if(pendingMoves_.begin(), pendingMoves_.end(),
                           [&](const auto& m) { return m.first == p; });
    if (it != pendingMoves_.end()) {
        pendingMoves_.erase(pendingMoves_.begin(), it + 1);
        return;
    }
    // Moved by the user or the window system: the model learns the place in twips.
    const double left = p.x() * host_.twipsPerPixelX();
    const double top = p.y() * host_.twipsPerPixelY();
    placed_.moveTopLeft(p);
    forms::Form* f = form_;
    dispatch([f, left, top] { f->move(left, top); });
}

void QtFormWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (!form_) return;
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        forms::Form* f = form_;
        dispatch([f] { f->activate(); });
    } else if (event->type() == QEvent::ActivationChange) {
        // Coming back from another window, ours or not, activates the form again.
        forms::Form* f = form_;
        dispatch([f] { f->deactivate(); });
    } else if (event->type() == QEvent::WindowStateChange && !rendering()) {
        const forms::WindowState s = stateOf(windowState());
        if (s != form_->windowState()) {
            forms::Form* f = form_;
            dispatch([f, s] { f->setWindowState(s); });
        }
    }
}

void QtFormWindow::closeEvent(QCloseEvent* event) {
    // The window stays until the model unloads the form.
    event->ignore();
    if (!form_ || !host_.closeHandler()) return;
    forms::Form* f = form_;
    auto handler = host_.closeHandler();
    dispatch([f, &handler] { handler(*f); });
}

}  // namespace surfdeck
