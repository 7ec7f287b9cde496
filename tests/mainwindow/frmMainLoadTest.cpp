#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Main.h"
#include "mainwindow/frmMain.h"
#include "platform/file/FileRegistry.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "settings/AppContext.h"
#include "support/TempFolder.h"

namespace surfdeck {
namespace {

// A shell whose window list cannot be had at all.
class NoShell : public Automation {
  public:
    std::shared_ptr<ShellWindows> createShellWindows() override {
        throw AutomationError(automation_error::Failed, "Unspecified error");
    }
    std::shared_ptr<EmbeddedBrowser> createEmbeddedBrowser(EmbeddedRole) override {
        throw AutomationError(automation_error::Failed, "Unspecified error");
    }
};

TEST(MainWindowLoad, WithoutTheShellsWindowListTheProgramStillStartsAndLogsWhy) {
    testing::TempFolder temp;
    const std::filesystem::path folder = temp.path();
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimEventLoop loop;
    SimFormHost host{desktop};
    NoShell shell;
    FileRegistry registry((folder / "registry.reg").string());
    AppContext app(folder.string(), desktop, timers, loop, clock, host);
    Program program(app, shell, registry);

    app.forms.dispatch([&] { program.Main(); });
    frmMain* main = program.main.get();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->visible());
    app.forms.dispatch([&] { main->Toolbar1.clickButton("refresh"); });
    timers.advance(300);

    std::ifstream in(folder / "log.txt", std::ios::binary);
    std::stringstream log;
    log << in.rdbuf();
    EXPECT_EQ(log.str(), "Form_Load error -2147467259Unspecified error\r\n");
}

}  // namespace
}  // namespace surfdeck
