// Under a virtual X server: the program's windows as the screen shows them, each title
// band in its colour where the model puts it. With SURFDECK_SHOTS_DIR set, every state
// is also saved there as a picture (scripts/screenshots).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QTimer>

#include "qt/QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

namespace {

const std::string kMain = "[MainWindow]\r\nTop=1500\r\nLeft=1500\r\n";

QRect placeOf(const forms::Form& f) {
    return {px(f.left()), px(f.top()), px(f.width()), px(f.height())};
}

QImage screen(const QRect& r) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .toImage();
}

// Saves what the screen shows at r, when pictures are asked for.
void save(const QRect& r, const std::string& name) {
    const QByteArray dir = qgetenv("SURFDECK_SHOTS_DIR");
    EXPECT_TRUE(dir.isEmpty() || screen(r).save(dir + "/" + name.c_str() + ".png")) << name;
}

// The band's first two rows between the edge pictures, right of the corner icon, lie
// above the title text and the caption buttons: all of it in the band's colour, and
// the row above the window not. Waits for the server to show it so.
void expectShown(const SkinnedForm& f) {
    const auto shown = [r = placeOf(f)] {
        const QImage s = screen(r.adjusted(0, -1, 0, 0));
        for (int x = 14; x < r.width() - 5; ++x) {
            const QColor band(0, 88, 240);
            if (s.pixelColor(x, 0) == band || s.pixelColor(x, 1) != band ||
                s.pixelColor(x, 2) != band)
                return false;
        }
        return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(shown, 5000)) << f.name();
    QTest::qWait(100);  // the rest of the window is painted with the band
}

void shoot(const SkinnedForm& f, const std::string& name) {
    expectShown(f);
    save(placeOf(f), name);
}

}  // namespace

TEST(OnTheScreen, TheMainWindowInBothLayoutsAndRolledUp) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96);
    QCursor::setPos(1000, 700);  // away from every window
    for (const auto& [ini, name] : {std::pair{"RollUp=0\r\n", "main-horizontal"},
                                    {"RollUp=0\r\nview=v\r\n", "main-vertical"},
                                    {"RollUp=1\r\n", "main-rolled-up"}}) {
        QtProgram p((kMain + ini).c_str());
        frmMain& m = p.start();
        if (p.app.settings.RollUp) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return m.height() < 300; }));
        }
        shoot(m, name);
        if (p.app.settings.RollUp) {
            // The pointer's place comes from the X server itself: over the band, it rolls down.
            const QPoint over = placeOf(m).topLeft() + QPoint(20, 5);
            QCursor::setPos(over);
            EXPECT_TRUE(QTest::qWaitFor([&] { return m.height() > 300; }));
            EXPECT_EQ(p.desktop.cursorPos(), (PixelPoint{over.x(), over.y()}));
            QCursor::setPos(1000, 700);
        }
    }
}

TEST(OnTheScreen, EachPanelAndBothMenus) {
    std::string ini = kMain + "RollUp=0\r\n";
    for (const char* panel : {"RelatedSearch", "WebSearch", "NewsSearch", "ImageSearch"})
        ini += std::string("[") + panel + "Window]\r\nTop=1500\r\nLeft=4500\r\nWidth=4500\r\n";
    QtProgram p(ini.c_str());
    frmMain& m = p.start();
    p.openTab("http://www.example.com/");
    for (const auto& [key, words] :
         {std::pair{"web", "skinned toolbar"}, {"news", "qt widgets"}, {"image", "sunset"}}) {
        QTest::mouseClick(p.button(m.Toolbar1, key), Qt::LeftButton);
        auto* panel = dynamic_cast<SkinnedForm*>(p.app.forms.activeForm());
        ASSERT_NE(panel, nullptr);
        QTest::keyClicks(p.host.window(*panel)->findChild<QComboBox*>()->lineEdit(), words);
        shoot(*panel, std::string("panel-") + key);
        p.program.closeForm(*panel);
    }
    // The sites related to the page in front, from the saved answer page.
    p.answerRelatedQuery("www.example.com");
    QTest::mouseClick(p.button(m.Toolbar1, "related"), Qt::LeftButton);
    p.shellLoop.doEvents();
    frmBrowser& related = *p.program.related.get();
    EXPECT_EQ(related.lblStatus.caption(), "Related list complete");
    shoot(related, "panel-related");
    p.program.closeForm(related);

    // A second tab: back and forward follow its history (none) at the next polling tick.
    p.openTab("http://www.example.org/news/");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.button(m.Toolbar1, "back")->isEnabled(); }));
    expectShown(m);
    for (const auto& [key, name] :
         {std::pair{"options", "menu-tools"}, {"window", "menu-window"}}) {
        QToolButton* b = p.button(m.Toolbar1, key);
        const char* shot = name;  // older clang cannot capture a structured binding
        QCursor::setPos(b->mapToGlobal(b->rect().center()));  // menus pop up at the pointer
        bool shown = false;
        QTimer::singleShot(0, [&] {
            QWidget* menu = QApplication::activePopupWidget();
            if (!menu) return;
            const QImage drawn = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
            shown = QTest::qWaitFor([&] { return screen(menu->geometry()) == drawn; }, 5000);
            save(placeOf(m).united(menu->geometry()), shot);
            menu->close();
        });
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_TRUE(shown) << name;
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
