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

const QColor band(0, 88, 240);

QRect placeOf(const forms::Form& f) {
    return {px(f.left()), px(f.top()), px(f.width()), px(f.height())};
}

QImage screen(const QRect& r) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, r.x(), r.y(), r.width(), r.height())
        .toImage();
}

void save(const QImage& shot, const char* name) {
    const QByteArray dir = qgetenv("SURFDECK_SHOTS_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(shot.save(QString::fromUtf8(dir) + "/" + name + ".png"));
    }
}

// The band's first two rows between the edge pictures, right of the corner icon, lie
// above the title text and the caption buttons: all of it is the band's colour, and
// the row above the window is not.
bool bandIsWhereTheModelSays(const SkinnedForm& f) {
    const QRect r = placeOf(f);
    const QImage s = screen(r.adjusted(0, -1, 0, 0));
    for (int x = 14; x < r.width() - 5; ++x) {
        if (s.pixelColor(x, 0) == band) return false;
        if (s.pixelColor(x, 1) != band || s.pixelColor(x, 2) != band) return false;
    }
    return true;
}

// Waits until the server shows the window as the model has it.
void expectShown(const SkinnedForm& f) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return bandIsWhereTheModelSays(f); }, 5000)) << f.name();
    QTest::qWait(100);  // the rest of the window is painted with the band
}

void shoot(const SkinnedForm& f, const char* name) {
    expectShown(f);
    save(screen(placeOf(f)), name);
}

}  // namespace

TEST(OnTheScreen, TheMainWindowInBothLayoutsAndRolledUp) {
    ASSERT_EQ(QGuiApplication::primaryScreen()->logicalDotsPerInchX(), 96);
    QCursor::setPos(1000, 700);  // away from every window
    const char* layouts[][2] = {
        {"[MainWindow]\r\nTop=1500\r\nLeft=1500\r\nRollUp=0\r\n", "main-horizontal"},
        {"[MainWindow]\r\nTop=1500\r\nLeft=1500\r\nRollUp=0\r\nview=v\r\n", "main-vertical"},
        {"[MainWindow]\r\nTop=1500\r\nLeft=1500\r\nRollUp=1\r\n", "main-rolled-up"},
    };
    for (const auto& [ini, name] : layouts) {
        QtProgram p(ini);
        frmMain& m = p.start();
        if (p.app.settings.RollUp) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return m.height() <= 300; }, 5000));
        }
        shoot(m, name);
    }
}

TEST(OnTheScreen, EachPanel) {
    QtProgram p(
        "[MainWindow]\r\nTop=1500\r\nLeft=1500\r\nRollUp=0\r\n"
        "[RelatedSearchWindow]\r\nTop=1500\r\nLeft=4500\r\nWidth=4500\r\nHeight=6000\r\n"
        "[WebSearchWindow]\r\nTop=1500\r\nLeft=4500\r\n[NewsSearchWindow]\r\nTop=1500\r\n"
        "Left=4500\r\n[ImageSearchWindow]\r\nTop=1500\r\nLeft=4500\r\n"
        "[Recent]\r\nRecentWebText=surfdeck;toolbar;\r\nRecentGroupGroup=comp.lang.c++;\r\n");
    frmMain& m = p.start();
    p.openTab("http://www.example.com/");
    // Each search panel with words typed into its first box.
    const std::pair<const char*, const char*> panels[] = {
        {"web", "skinned toolbar"}, {"news", "qt widgets"}, {"image", "sunset"}};
    for (const auto& [key, words] : panels) {
        QTest::mouseClick(p.button(m.Toolbar1, key), Qt::LeftButton);
        auto* panel = dynamic_cast<SkinnedForm*>(p.app.forms.activeForm());
        ASSERT_NE(panel, nullptr);
        QTest::keyClicks(p.host.window(*panel)->findChild<QComboBox*>()->lineEdit(), words);
        shoot(*panel, ("panel-" + std::string(key)).c_str());
        p.program.closeForm(*panel);
    }
    // The related sites of the page in front; the search service answers with the saved
    // answer page.
    QFile answer(QStringLiteral(SURFDECK_BIN_DIR "/g1.htm"));
    ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
    p.web.setPage("http://www.google.com/search?as_rq=www.example.com",
                  answer.readAll().toStdString());
    QTest::mouseClick(p.button(m.Toolbar1, "related"), Qt::LeftButton);
    frmBrowser& related = *p.program.related.get();
    p.shellLoop.doEvents();
    EXPECT_EQ(related.lblStatus.caption(), "Related list complete");
    shoot(related, "panel-related");
}

TEST(OnTheScreen, BothMenus) {
    QtProgram p("[MainWindow]\r\nTop=1500\r\nLeft=1500\r\nRollUp=0\r\n");
    frmMain& m = p.start();
    p.openTab("http://www.example.com/");
    p.openTab("http://www.example.org/news/");
    // Back and forward follow the new tab's history (none) at the next polling tick.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !p.button(m.Toolbar1, "back")->isEnabled(); }));
    expectShown(m);
    for (const char* key : {"options", "window"}) {
        SCOPED_TRACE(key);
        QToolButton* b = p.button(m.Toolbar1, key);
        QCursor::setPos(b->mapToGlobal(b->rect().center()));
        QRect menuPlace;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) return;
            menuPlace = menu->geometry();
            const QImage drawn = menu->grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_TRUE(QTest::qWaitFor([&] { return screen(menuPlace) == drawn; }, 5000));
            save(screen(placeOf(m).united(menuPlace)),
                 key == std::string("options") ? "menu-tools" : "menu-window");
            menu->close();
        });
        QTest::mouseClick(b, Qt::LeftButton);
        EXPECT_FALSE(menuPlace.isEmpty());
    }
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
