#include "ScenarioHarness.h"

using surfdeck::testing::Scenario;

TEST(FirstStart, WithNoSettingsFileTheMainWindowOpensAtItsDefaults) {
    Scenario s;
    s.ok("pointer 50 50\nstart\n");
    auto main = s.fact("form", "frmMain");
    EXPECT_EQ(main.get("left"), "100");
    EXPECT_EQ(main.get("top"), "100");
    EXPECT_EQ(main.get("topmost"), "1");
    EXPECT_EQ(main.get("visible"), "1");
    EXPECT_EQ(main.get("title"), "Surfdeck");
    // Horizontal layout: two rows of six buttons.
    EXPECT_EQ(main.get("width"), "2474");
    EXPECT_EQ(main.get("height"), "984");
}

TEST(FirstStart, RollsUpAtTheFirstTickWhenThePointerIsAway) {
    Scenario s;
    s.ok("pointer 900 700\nstart\nwait 200\n");
    EXPECT_EQ(s.fact("form", "frmMain").get("height"), "208");
}

TEST(StoredSettings, PositionAndLayoutAreReadBeforeTheWindowIsShown) {
    Scenario s;
    s.write("conf.ini",
            "[MainWindow]\ntop=3000\nleft=6000\nView=v\nRollUp=0\n[General]\nAlwaysOnTop=0\n");
    s.ok("start\nwait 1000\n");
    auto main = s.fact("form", "frmMain");
    EXPECT_EQ(main.get("top"), "3000");
    EXPECT_EQ(main.get("left"), "6000");
    EXPECT_EQ(main.get("topmost"), "0");
    // Vertical layout: two columns of six rows, not rolled up.
    EXPECT_EQ(main.get("width"), "914");
    EXPECT_EQ(main.get("height"), "2424");
}

TEST(Registration, EveryStartWritesTheRegistryFileAndTheContextPage) {
    Scenario s;
    s.ok("start\n");
    const std::string reg = s.read("registry.reg");
    EXPECT_EQ(reg.rfind("REGEDIT4", 0), 0u);
    EXPECT_NE(reg.find("\"MenuStatusBar\"=\"Start Surfdeck \""), std::string::npos);
    const std::string page = s.read("context1.htm");
    EXPECT_NE(page.find(s.folder() + "/Fragments"), std::string::npos);
    EXPECT_EQ(page.find("%path%"), page.rfind("%path%")) << "only the first placeholder changes";
}

TEST(ScriptErrors, ACommandOnAFormThatIsNotLoadedFailsWithOneLine) {
    Scenario s;
    EXPECT_NE(s.run("start\nclick frmWeb.Command3\n"), 0);
    EXPECT_NE(s.err().find("frmWeb is not loaded"), std::string::npos) << s.err();
}

TEST(ScriptWords, QuotesHoldBlanksAndEscapesAnywhereInAWord) {
    using surfdeck::splitScriptLine;
    EXPECT_EQ(splitScriptLine("type frmWeb.Combo15 \"big cat\""),
              (std::vector<std::string>{"type", "frmWeb.Combo15", "big cat"}));
    EXPECT_EQ(splitScriptLine("combo x text=\"say \\\"hi\\\" \\\\ now\" index=0"),
              (std::vector<std::string>{"combo", "x", "text=say \"hi\" \\ now", "index=0"}));
    EXPECT_EQ(splitScriptLine("  a\t\"\"  "), (std::vector<std::string>{"a", ""}));
    EXPECT_THROW(splitScriptLine("type x \"open"), std::invalid_argument);
}

TEST(ScriptWords, DumpValuesReadBackThroughTheSplitter) {
    using surfdeck::dumpValue;
    for (std::string v : {"plain", "", "two words", "q\"uote", "back\\slash"}) {
        auto words = surfdeck::splitScriptLine("k v=" + dumpValue(v));
        ASSERT_EQ(words.size(), 2u) << v;
        EXPECT_EQ(words[1], "v=" + v);
    }
}

TEST(Activation, ComingBackFromABrowserWindowActivatesTheMainWindowAgainAndUnrollsIt) {
    Scenario s;
    s.ok("open http://a.example/\npointer 900 700\nstart\nwait 300\n");
    ASSERT_EQ(s.fact("form", "frmMain").get("height"), "208");
    s.ok("front 1\nwait 150\nfront frmMain\nwait 50\n");
    EXPECT_EQ(s.fact("form", "frmMain").get("height"), "984");
    EXPECT_EQ(s.fact("active", "#1").kind, "active")
        << "our own window never becomes the active browser window";
}
