#include "platform/qt/QtFormHost.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QScreen>

#include "platform/qt/QtFormWindow.h"

namespace surfdeck {

namespace {

double twipsPerPixel(double dotsPerInch) {
    return dotsPerInch > 0 ? 1440.0 / dotsPerInch : 15.0;
}

// Menu texts are shown as they stand: an address in the window list keeps its "&".
QString menuText(const std::string& caption) {
    return QString::fromStdString(caption).replace('&', QStringLiteral("&&"));
}

struct Choice {
    std::string name;
    int index;
};

void fillMenu(QMenu& target, forms::MenuItem& source, std::map<QAction*, Choice>& choices) {
    for (const auto& child : source.children()) {
        if (!child->visible()) continue;
        if (child->isSeparator()) {
            target.addSeparator();
            continue;
        }
        if (!child->children().empty()) {
            QMenu* sub = target.addMenu(menuText(child->caption()));
            sub->setEnabled(child->enabled());
            fillMenu(*sub, *child, choices);
            continue;
        }
        QAction* a = target.addAction(menuText(child->caption()));
        a->setEnabled(child->enabled());
        a->setCheckable(child->checked());
        a->setChecked(child->checked());
        choices[a] = {child->name(), child->index()};
    }
}

forms::MenuItem* findEntry(forms::MenuItem& menu, const Choice& choice) {
    if (forms::MenuItem* m = menu.child(choice.name, choice.index)) return m;
    for (const auto& c : menu.children()) {
        if (forms::MenuItem* m = findEntry(*c, choice)) return m;
    }
    return nullptr;
}

}  // namespace

QtFormHost::QtFormHost(QString programFolder)
    : skin_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder) {}

QtFormHost::~QtFormHost() {
    for (auto& [form, w] : windows_) {
        if (!w) continue;
        w->detach();
        delete w.data();
    }
}

double QtFormHost::twipsPerPixelX() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return twipsPerPixel(s ? s->logicalDotsPerInchX() : 96);
}

double QtFormHost::twipsPerPixelY() const {
    QScreen* s = QGuiApplication::primaryScreen();
    return twipsPerPixel(s ? s->logicalDotsPerInchY() : 96);
}

QtFormWindow* QtFormHost::find(const forms::Form& form) const {
    auto it = windows_.find(&form);
    return it == windows_.end() ? nullptr : it->second.data();
}

QWidget* QtFormHost::window(const forms::Form& form) const {
    return find(form);
}

QWidget* QtFormHost::widget(const forms::Control& control) const {
    QtFormWindow* w = find(control.form());
    return w ? w->view(control) : nullptr;
}

QtFormWindow* QtFormHost::windowOf(Hwnd handle) const {
    for (const auto& [form, w] : windows_) {
        if (w && w->handle() == handle) return w.data();
    }
    return nullptr;
}

forms::Form* QtFormHost::form(Hwnd handle) const {
    QtFormWindow* w = windowOf(handle);
    return w ? w->form() : nullptr;
}

Hwnd QtFormHost::activeHandle() const {
    QWidget* active = QApplication::activeWindow();
    for (const auto& [form, w] : windows_) {
        if (w && w.data() == active) return w->handle();
    }
    return 0;
}

bool QtFormHost::setTopMost(Hwnd handle, bool on) {
    QtFormWindow* w = windowOf(handle);
    if (!w) return false;
    w->setTopMost(on);
    return true;
}

bool QtFormHost::bringToFront(Hwnd handle) {
    QtFormWindow* w = windowOf(handle);
    if (!w || !w->isVisible()) return false;
    w->raise();
    w->activateWindow();
    return true;
}

Hwnd QtFormHost::createWindow(forms::Form& form) {
    const Hwnd handle = nextHandle_++;
    windows_[&form] = new QtFormWindow(*this, form, handle);
    return handle;
}

void QtFormHost::destroyWindow(forms::Form& form) {
    auto it = windows_.find(&form);
    if (it == windows_.end()) return;
    QPointer<QtFormWindow> w = it->second;
    windows_.erase(it);
    if (!w) return;
    w->detach();
    w->hide();
    // Later: the input that unloaded the form may still be running in this window.
    w->deleteLater();
}

void QtFormHost::formChanged(forms::Form& form) {
    if (QtFormWindow* w = find(form)) w->renderForm();
}

void QtFormHost::controlChanged(forms::Form& form, forms::Control& control) {
    if (QtFormWindow* w = find(form)) w->renderControl(control);
}

void QtFormHost::showWindow(forms::Form& form) {
    QtFormWindow* w = find(form);
    if (!w) return;
    w->renderForm();
    w->show();
    w->raise();
    w->activateWindow();
    // The model learns of the activation now, as the caller expects; the window
    // system's own report of it follows and changes nothing.
    form.activate();
}

void QtFormHost::popupMenu(forms::Form&, forms::MenuItem& menu) {
    // No parent: a handler running while the menu is up may unload the form, and its
    // window must not take the menu with it.
    QMenu popup;
    std::map<QAction*, Choice> choices;
    fillMenu(popup, menu, choices);
    if (popup.actions().isEmpty()) return;
    // Runs a nested loop: timers and browser events go on while the menu is up.
    QAction* chosen = popup.exec(QCursor::pos());
    if (!chosen) return;
    auto it = choices.find(chosen);
    if (it == choices.end()) return;
    // Look the entry up again: the menu tree may have changed while the menu was up.
    if (forms::MenuItem* entry = findEntry(menu, it->second)) entry->choose();
}

}  // namespace surfdeck
