// The main window's pop-up menus on Qt menus.
#include <gtest/gtest.h>

#include <QMenu>
#include <QTimer>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

// Clicks the toolbar button and, while its menu is up, notes the menu's lines ("[x]"
// before a checked entry, "-" for a separator) and that timers still tick, then picks
// the entry with this text as the user would with the keyboard, or closes the menu.
std::vector<QString> popUp(QtProgram& p, const char* key, const QString& pick) {
    std::vector<QString> seen;
    int ticks = 0;
    const auto timer = p.timers.startTimer(1, [&] { ++ticks; });
    QObject until;  // a menu that never came up leaves nothing behind
    QTimer::singleShot(50, &until, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        if (ticks == 0) seen.push_back("no ticks");
        for (QAction* a : menu->actions()) {
            seen.push_back(a->isSeparator() ? "-" : (a->isChecked() ? "[x] " : "") + a->text());
            if (a->text() == pick) menu->setActiveAction(a);
        }
        QTest::keyClick(menu, menu->activeAction() ? Qt::Key_Return : Qt::Key_Escape);
    });
    QTest::mouseClick(p.button(p.program.main.load().Toolbar1, key), Qt::LeftButton);
    p.timers.stopTimer(timer);
    return seen;
}

}  // namespace

TEST(Menus, TheToolsMenuShowsItsMarksAndItsChoiceRunsBeforeThePopUpReturns) {
    QtProgram p;
    frmMain& m = p.start();
    const std::vector<QString> tools{
        "[x] Always on top", "Roll Up main window", "-", "Vertical", "[x] Horizontal", "-", "Exit"};
    EXPECT_EQ(popUp(p, "options", ""), tools);  // closed with no choice: nothing changes
    EXPECT_EQ(p.app.settings.View, "h");
    EXPECT_EQ(popUp(p, "options", "Vertical"), tools);
    // The host is gone once the pop-up call has returned: the choice ran before.
    EXPECT_FALSE(p.program.menu.loaded());
    EXPECT_EQ(p.app.settings.View, "v");
    EXPECT_EQ(m.Toolbar1.width(), 390 * 2 + 100);
}

TEST(Menus, TheWindowMenuListsAddressesAsTheyStandAndBringsTheChosenWindowForward) {
    QtProgram p;
    p.start();
    p.shell.openWindow("http://a.example/?x=1&y=2");
    const Hwnd second = p.shell.openWindow("http://b.example/").handle;
    // "&&" shows one "&" rather than underlining the next letter.
    EXPECT_EQ(popUp(p, "window", "http://b.example/"),
              (std::vector<QString>{"http://a.example/?x=1&&y=2", "http://b.example/"}));
    EXPECT_EQ(p.shellDesktop.foregroundWindow(), second);
}
