#include <gtest/gtest.h>

#include <filesystem>

#include "platform/FileRegistry.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"
#include "platform/sim/SimShell.h"
#include "shell/AppContext.h"
#include "shell/Main.h"
#include "shell/TempFolder.h"

namespace surfdeck {
namespace {

namespace fs = std::filesystem;
using surfdeck::testing::readBytes;
using surfdeck::testing::TempFolder;
using surfdeck::testing::writeBytes;

// The whole start on the simulated desktop, with a home that has Chromium in it.
TEST(StartUp, WritesTheBrowsersPairingFilesOnlyForTheUserItIsGiven) {
    for (const bool withUser : {true, false}) {
        TempFolder tmp;
        const std::string program = tmp.file("prog");
        const std::string home = tmp.file("home");
        fs::create_directories(program + "/extension");
        writeBytes(program + "/extension/extension.ini",
                   "[Extension]\nId=fecbaffpfggcihhnnmimopojegplikcl\nVersion=2.0\nCrx=s.crx\n");
        writeBytes(program + "/extension/s.crx", "Cr24");
        fs::create_directories(home + "/.config/chromium");

        SimDesktop desktop;
        SimClock clock;
        SimTimers timers{clock};
        SimEventLoop loop;
        SimFormHost host{desktop};
        SimWeb web;
        SimAutomation shell(desktop, loop, web);
        FileRegistry registry(program + "/registry.reg");
        AppContext app(program, desktop, timers, loop, clock, host);
        if (withUser) app.user = userFolders(home, "");
        Program p(app, shell, registry);
        app.forms.dispatch([&] { p.Main(); });

        EXPECT_TRUE(fs::exists(program + "/registry.reg"));
        const std::string entry =
            home + "/.config/chromium/External Extensions/fecbaffpfggcihhnnmimopojegplikcl.json";
        EXPECT_EQ(fs::exists(entry), withUser);
        EXPECT_EQ(fs::exists(home + "/.config/chromium/NativeMessagingHosts"), withUser);
        // The bridge is not in this program folder: one line says so.
        const std::string log = readBytes(program + "/log.txt");
        EXPECT_EQ(log.find("Browser bridge missing: " + program + "/surfdeck-bridge\r\n") !=
                      std::string::npos,
                  withUser)
            << log;
    }
}

}  // namespace
}  // namespace surfdeck
