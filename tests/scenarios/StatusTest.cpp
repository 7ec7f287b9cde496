#include <string>
#include <vector>

#include "ScenarioHarness.h"
#include "app/Main.h"
#include "mainwindow/frmMain.h"

using surfdeck::BrowserStatus;
using surfdeck::Notifier;
using surfdeck::testing::Scenario;
using State = BrowserStatus::State;

namespace {

struct Notes : Notifier {
    void notify(const std::string&, const std::string& body) override { bodies.push_back(body); }
    std::vector<std::string> bodies;
};

std::string titleTip(Scenario& s) {
    return s.runner().program()->main.get()->Label1.toolTipText();
}

TEST(TitleBand, SaysWhichBrowserItIsConnectedToAndFollowsEachChange) {
    Scenario s;
    s.ok("start\n");
    auto& program = *s.runner().program();
    EXPECT_EQ(titleTip(s), "Connected to no browser");
    program.status.report({State::Connected, "Chrome/131.0", "devtools"});
    EXPECT_EQ(titleTip(s), "Connected to Chrome/131.0");
    program.status.report({State::Connected, "Firefox", "extension"});
    EXPECT_EQ(titleTip(s), "Connected to Chrome/131.0, Firefox");
    program.status.report({State::Lost, "Chrome/131.0", "devtools"});
    EXPECT_EQ(titleTip(s), "Connected to Firefox");
    // A main window built afresh takes the state as it is.
    s.ok("click frmMain.Image5\n");
    program.main.load();
    EXPECT_EQ(titleTip(s), "Connected to Firefox");
}

TEST(SecondCopy, WritesOneLineWithTheFirstCopysProcessAndSaysSoInTheTitleBand) {
    Scenario s;
    s.ok("start\n");
    s.runner().program()->noteSecondCopy(4242);
    EXPECT_EQ(s.read("log.txt"), "Second copy: Surfdeck is already running as process 4242\r\n");
    EXPECT_EQ(titleTip(s),
              "Connected to no browser\nSecond copy: another Surfdeck was already running "
              "(process 4242)");
    // Placed where the stored position says, as the first copy is.
    EXPECT_EQ(s.fact("form", "frmMain").get("left"), "100");
}

TEST(Notifications, OneWhenAFailureBeginsNoneWhileItLastsAndNoneWithoutAService) {
    // Each case: the reports in order, the notifications they give.
    struct Case {
        std::vector<BrowserStatus> reports;
        std::vector<std::string> notes;
    };
    const std::vector<Case> cases = {
        {{{State::Refused, "", "devtools"}, {State::Refused, "", "devtools"}},
         {"Browser connection refused"}},
        {{{State::Connected, "Chrome", "devtools"},
          {State::Lost, "Chrome", "devtools"},
          {State::Lost, "Chrome", "devtools"},
          {State::Connected, "Chrome", "devtools"},
          {State::Lost, "Chrome", "devtools"}},
         {"Browser connection lost (Chrome)", "Browser connection lost (Chrome)"}},
        {{{State::NotFound, "", "devtools"},
          {State::ExtensionMissing, "Firefox", "extension"},
          {State::ExtensionMissing, "Firefox", "extension"}},
         {"Browser not found", "Browser extension not installed (Firefox)"}},
        {{{State::Connected, "Chrome", "devtools"}}, {}},
    };
    for (const Case& c : cases) {
        Scenario s;
        s.ok("start\n");
        auto& status = s.runner().program()->status;
        Notes notes;
        status.setNotifier(&notes);
        for (const auto& r : c.reports) status.report(r);
        EXPECT_EQ(notes.bodies, c.notes);
        // No service: the reports change the title band and nothing else.
        status.setNotifier(nullptr);
        status.report({State::Refused, "", "other"});
        EXPECT_EQ(s.read("log.txt"), "");
    }
}

}  // namespace
