#include "search/ActiveWindow.h"

#include "mainwindow/frmMain.h"
#include "ports/Automation.h"
#include "app/Main.h"

namespace surfdeck {

std::string describeError(const std::exception& e) {
    if (const auto* a = dynamic_cast<const AutomationError*>(&e))
        return std::to_string(a->number()) + a->description();
    return e.what();
}

void openInActiveWindow(AppContext& app, const std::string& address) {
    frmMain* main = app.program ? app.program->main.get() : nullptr;
    if (!main) return;
    try {
        main->OpenInIE(address);
    } catch (const std::exception& e) {
        app.log("OpenInIE error " + describeError(e));
    }
}

}  // namespace surfdeck
