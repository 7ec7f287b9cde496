#include <gtest/gtest.h>

#include "forms/Form.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimFormHost.h"

using namespace surfdeck;
using namespace surfdeck::forms;

namespace {

struct Fixture {
    SimDesktop desktop;
    SimClock clock;
    SimTimers timers{clock};
    SimFormHost host{desktop};
    FormContext context{host, timers};
};

class TestForm : public Form {
  public:
    explicit TestForm(FormContext& c) : Form(c, "frmTest") {
        designSize(100, 100, 3000, 2000);
        add(Label1);
        add(Timer1);
        Label1.move(240, 0, 3000, 216);
        Timer1.setInterval(100);
        Timer1.onTimer = [this] { ++ticks; };
    }
    void Form_Load() override { ++loads; }
    void Form_Unload() override { ++unloads; }
    void Form_Resize() override {
        resizes.push_back(height());
        // A layout step that refits the window raises itself again, nested.
        if (height() > 1000) setHeight(1000);
    }
    void Form_Activate() override { ++activations; }

    Label Label1{*this, "Label1"};
    Timer Timer1{*this, "Timer1"};
    int loads = 0, unloads = 0, activations = 0, ticks = 0;
    std::vector<double> resizes;
};

}  // namespace

TEST(FormLifeCycle, ResizeRunsBeforeTheSetterReturnsIncludingNestedPasses) {
    Fixture f;
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    TestForm& form = slot.show();
    form.resizes.clear();
    form.setHeight(1500);
    EXPECT_EQ(form.height(), 1000);
    EXPECT_EQ(form.resizes, (std::vector<double>{1500, 1000}));
}

TEST(FormLifeCycle, UnloadDestroysAndTheNextShowBuildsAFreshForm) {
    Fixture f;
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    TestForm& first = slot.show();
    first.Label1.setCaption("changed");
    Hwnd h = first.hWnd();
    EXPECT_TRUE(f.desktop.exists(h));
    EXPECT_EQ(f.desktop.foregroundWindow(), h);
    EXPECT_EQ(first.activations, 1);
    slot.unload();
    EXPECT_FALSE(slot.loaded());
    EXPECT_FALSE(f.desktop.exists(h));
    TestForm& second = slot.show();
    EXPECT_EQ(second.Label1.caption(), "");
    EXPECT_EQ(second.loads, 1);
}

TEST(FormLifeCycle, AFormUnloadedFromItsOwnHandlerLivesUntilTheHandlerEnds) {
    Fixture f;
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    slot.show();
    bool stillThere = false;
    f.context.dispatch([&] {
        TestForm* self = slot.get();
        slot.unload();
        stillThere = self->Label1.name() == "Label1";  // would be a use after free
    });
    EXPECT_TRUE(stillThere);
    EXPECT_FALSE(slot.loaded());
}

TEST(FormTimers, TickWhileLoadedAndStopAtIntervalZeroAndAtUnload) {
    Fixture f;
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    TestForm& form = slot.load();
    f.timers.advance(350);
    EXPECT_EQ(form.ticks, 3);
    form.Timer1.setInterval(0);
    f.timers.advance(500);
    EXPECT_EQ(form.ticks, 3);
    form.Timer1.setInterval(100);
    slot.unload();
    f.timers.advance(500);
    EXPECT_EQ(f.timers.runningCount(), 0u);
}

TEST(FormTimers, AnIdleHintReachesTheFacilityOutlivesARestartAndKeepsTheTicks) {
    Fixture f;
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    TestForm& form = slot.load();
    form.Timer1.setIdle(true);
    EXPECT_EQ(f.timers.idleCount(), 1u);
    form.Timer1.setInterval(50);  // a new timer underneath, still idle
    EXPECT_EQ(f.timers.idleCount(), 1u);
    f.timers.advance(100);  // a hint only: the ticks still come
    EXPECT_EQ(form.ticks, 2);
    form.Timer1.setIdle(false);
    EXPECT_EQ(f.timers.idleCount(), 0u);
    EXPECT_EQ(f.timers.runningCount(), 1u);
}

TEST(FormTimers, AnErrorEscapingATickBecomesOneLogLine) {
    Fixture f;
    std::vector<std::string> log;
    f.context.setErrorSink([&](const std::string& m) { log.push_back(m); });
    FormSlot<TestForm> slot([&] { return std::make_unique<TestForm>(f.context); });
    TestForm& form = slot.load();
    form.Timer1.onTimer = [] { throw AutomationError(424, "Object required"); };
    f.timers.advance(100);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "Error 424 Object required");
}

TEST(ToolbarModel, WrapsItsButtonsToItsWidthAndGrowsInRows) {
    Fixture f;
    TestForm form(f.context);
    Toolbar tb(form, "Toolbar1");
    for (int i = 0; i < 12; ++i) tb.addButton({"k" + std::to_string(i), "", "", "", "", true});
    tb.setWidth(tb.buttonWidth() * 12 / 2 + 50);
    EXPECT_EQ(tb.buttonsPerRow(), 6);
    EXPECT_EQ(tb.height(), 2 * tb.buttonHeight());
    tb.setWidth(tb.buttonWidth() * 2 + 50);
    EXPECT_EQ(tb.height(), 6 * tb.buttonHeight());
}

TEST(ToolbarModel, ADisabledButtonIgnoresClicks) {
    Fixture f;
    TestForm form(f.context);
    Toolbar tb(form, "Toolbar1");
    tb.addButton({"back", "back", "Go back", "", "", true});
    int clicks = 0;
    tb.onButtonClick = [&](Toolbar::Button&) { ++clicks; };
    tb.setButtonEnabled("back", false);
    tb.clickButton("back");
    tb.setButtonEnabled("back", true);
    tb.clickButton("back");
    EXPECT_EQ(clicks, 1);
}

TEST(MenuModel, IndexedCopiesLoadAfterTheArrayAndUnloadDownToEntryZero) {
    MenuItem root("", "");
    MenuItem& window = root.add("mnuWindow", "Window");
    MenuItem& first = window.add("mnuWin", "No windows", 0);
    int chosen = -1;
    first.onClick = [&](int index) { chosen = index; };
    window.loadCopy("mnuWin", 1).setCaption("b");
    window.loadCopy("mnuWin", 2).setCaption("c");
    EXPECT_EQ(window.upperBound("mnuWin"), 2);
    window.child("mnuWin", 2)->choose();
    EXPECT_EQ(chosen, 2);
    window.unloadCopy("mnuWin", 2);
    window.unloadCopy("mnuWin", 1);
    EXPECT_EQ(window.children().size(), 1u);
    EXPECT_THROW(window.unloadCopy("mnuWin", 0), std::invalid_argument);
}

TEST(ComboBoxModel, ClearingAnEditableBoxEmptiesItsTextAndAListOnlyBoxIgnoresTyping) {
    Fixture f;
    TestForm form(f.context);
    ComboBox edit(form, "Combo15");
    edit.addItem("dog");
    edit.setText("cat");
    edit.clear();
    EXPECT_EQ(edit.text(), "");
    ComboBox list(form, "Combo1");
    list.setStyle(ComboBox::Style::ListOnly);
    list.addItem("a");
    list.addItem("b");
    list.setListIndex(1);
    list.setText("typed");
    EXPECT_EQ(list.text(), "b");
    EXPECT_EQ(list.listIndex(), 1);
}
