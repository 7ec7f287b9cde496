#include <gtest/gtest.h>

#include <QMenu>
#include <QTimer>

#include "QtTestForms.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

struct MenuLine {
    QString text;
    bool separator;
    bool checked;
};

// Reads the pop-up that is up now, then picks the entry with this text (or closes the
// menu when the text is empty), as the user would with the keyboard.
void pickLater(std::vector<MenuLine>& seen, QString pick, std::vector<std::string>& log) {
    QTimer::singleShot(50, [&seen, pick, &log] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) {
            log.push_back("no menu");
            return;
        }
        for (QAction* a : menu->actions())
            seen.push_back({a->text(), a->isSeparator(), a->isChecked()});
        for (QAction* a : menu->actions()) {
            if (!pick.isEmpty() && a->text() == pick) {
                menu->setActiveAction(a);
                QTest::keyClick(menu, Qt::Key_Return);
                return;
            }
        }
        QTest::keyClick(menu, Qt::Key_Escape);
    });
}

struct ToolsMenu {
    forms::MenuItem root{"", ""};
    forms::MenuItem& tools = root.add("mnuTools", "Tools");
    std::vector<std::string> log;
    ToolsMenu() {
        tools.add("mnuTop", "Always on top").setChecked(true);
        tools.add("mnuRoll", "Roll Up main window");
        tools.add("sep1", "-");
        tools.add("mnuExit", "Exit");
        tools.add("mnuHidden", "Hidden").setVisible(false);
        tools.child("mnuRoll")->onClick = [this](int) { log.push_back("roll"); };
        tools.child("mnuExit")->onClick = [this](int) { log.push_back("exit"); };
    }
};

}  // namespace

TEST(PopupMenus, ShowCheckMarksAndSeparatorsAndRunTheChoiceBeforeReturning) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    ToolsMenu m;
    std::vector<MenuLine> seen;
    pickLater(seen, "Roll Up main window", m.log);
    form.popupMenu(m.tools);
    m.log.push_back("returned");
    EXPECT_EQ(m.log, (std::vector<std::string>{"roll", "returned"}));
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].text, "Always on top");
    EXPECT_TRUE(seen[0].checked);
    EXPECT_FALSE(seen[1].checked);
    EXPECT_TRUE(seen[2].separator);
    EXPECT_EQ(seen[3].text, "Exit");
}

TEST(PopupMenus, AMenuClosedWithoutAChoiceRunsNothing) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    ToolsMenu m;
    std::vector<MenuLine> seen;
    pickLater(seen, "", m.log);
    form.popupMenu(m.tools);
    EXPECT_TRUE(m.log.empty());
}

TEST(PopupMenus, IndexedCopiesReportTheirIndexAndAddressesKeepTheirAmpersand) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    forms::MenuItem root{"", ""};
    forms::MenuItem& window = root.add("mnuWindow", "Window");
    int chosen = -1;
    window.add("mnuWin", "No Internet Explorer`s window", 0).onClick = [&](int i) { chosen = i; };
    window.child("mnuWin", 0)->setCaption("http://a.example/?x=1&y=2");
    window.loadCopy("mnuWin", 1).setCaption("http://b.example/");
    std::vector<MenuLine> seen;
    std::vector<std::string> log;
    pickLater(seen, "http://b.example/", log);
    form.popupMenu(window);
    EXPECT_EQ(chosen, 1);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, "http://a.example/?x=1&&y=2");  // "&&" shows one "&"
}

TEST(PopupMenus, TimersKeepTickingWhileAMenuIsUp) {
    Fixture f;
    FrameForm form(f.context);
    showAndWait(f.host, form);
    ToolsMenu m;
    int ticks = 0;
    auto id = f.timers.startTimer(10, [&] { ++ticks; });
    std::vector<MenuLine> seen;
    QTimer::singleShot(40, [&] { m.log.push_back("ticks " + std::to_string(ticks > 0)); });
    pickLater(seen, "Exit", m.log);
    form.popupMenu(m.tools);
    f.timers.stopTimer(id);
    EXPECT_EQ(m.log, (std::vector<std::string>{"ticks 1", "exit"}));
}
