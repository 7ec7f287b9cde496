// Input on the program's windows carried into the model's handlers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(Input, ToolbarButtonsWrapAtTheirSizeAndAClickReachesTheModelUnlessDisabled) {
    QtProgram p;
    frmMain& m = p.start();
    QToolButton* stop = p.button(m.Toolbar1, "stop");  // the seventh
    EXPECT_EQ(stop->geometry(), QRect(0, 24, 26, 24));
    EXPECT_EQ(stop->toolTip(), "Stop");
    EXPECT_FALSE(stop->icon().isNull());
    m.Toolbar1.setWidth(390 * 2 + 50);  // two buttons wide: six rows
    EXPECT_EQ(stop->geometry(), QRect(0, 72, 26, 24));
    m.Toolbar1.setButtonEnabled("related", false);
    QTest::mouseClick(p.button(m.Toolbar1, "related"), Qt::LeftButton);
    EXPECT_FALSE(p.program.related.loaded());
    m.Toolbar1.setButtonEnabled("related", true);
    QTest::mouseClick(p.button(m.Toolbar1, "related"), Qt::LeftButton);
    ASSERT_TRUE(p.program.related.loaded());
    // A button with a caption beside its picture keeps the size the form lays out by.
    frmBrowser& related = *p.program.related.get();
    EXPECT_EQ(p.button(related.Toolbar1, "update")->size(), QSize(26, 24));
    QTest::mouseClick(static_cast<QAbstractButton*>(p.host.widget(related.Check1)), Qt::LeftButton);
    EXPECT_EQ(related.Check1.value(), 1);
}

TEST(Input, TypedWordsAndAPickReachTheModelAndSearchTakesThemToTheBrowser) {
    QtProgram p;
    p.openTab("http://www.example.com/");
    frmWeb& web = p.program.web.show();
    auto* words = static_cast<QComboBox*>(p.host.widget(web.Combo15));
    QTest::keyClicks(words->lineEdit(), "abc");
    EXPECT_EQ(web.Combo15.text(), "abc");
    EXPECT_EQ(words->lineEdit()->cursorPosition(), 3);  // not echoed back over the typing
    auto* results = static_cast<QComboBox*>(p.host.widget(web.Combo5));
    results->setFocus();
    QTest::keyClick(results, Qt::Key_Down);
    EXPECT_EQ(web.Combo5.listIndex(), 1);
    auto* search = static_cast<QAbstractButton*>(p.host.widget(web.Command3));
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_THAT(p.shell.requestLog(), ElementsAre(AllOf(HasSubstr("#1 navigate http://"),
                                                        HasSubstr("q=abc"), HasSubstr("num=20"))));
    // Nothing escapes into Qt's event loop: a handler's error becomes one log line.
    web.Command3.onClick = [] { throw std::runtime_error("boom"); };
    QTest::mouseClick(search, Qt::LeftButton);
    EXPECT_THAT(p.log(), HasSubstr("Error boom"));
}

TEST(Input, ACaptionButtonShowsItsPressedFaceAndClicksOnlyWhenReleasedOverIt) {
    QtProgram p;
    frmWeb& web = p.program.web.show();
    QWidget* w = p.host.window(web);
    QWindow* window = w->windowHandle();
    QWidget* button = p.host.widget(web.Image4);
    const auto looks = [&](const char* face) {
        return button->grab().toImage().convertToFormat(QImage::Format_RGB32) ==
               p.host.skin().render(face, button->size()).convertToFormat(QImage::Format_RGB32);
    };
    const QPoint at = button->mapTo(w, QPoint(4, 4));
    QTest::mousePress(window, Qt::LeftButton, {}, at);
    EXPECT_TRUE(looks("collapse-pressed.svg"));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_TRUE(looks("collapse.svg"));
    EXPECT_EQ(web.height(), 4680);
    QTest::mouseClick(window, Qt::LeftButton, {}, at);
    EXPECT_EQ(web.height(), 228);  // folded to its title band
    // The close button's click unloads the form whose window it is in.
    QTest::mouseClick(window, Qt::LeftButton, {},
                      p.host.widget(web.Image5)->mapTo(w, QPoint(4, 4)));
    EXPECT_FALSE(p.program.web.loaded());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_THAT(p.log(), testing::Not(HasSubstr("Error")));
}

TEST(Input, APanelIsDraggedByItsTitleThroughRealInput) {
    QtProgram p("[WebSearchWindow]\r\nTop=3000\r\nLeft=3000\r\n");
    frmWeb& web = p.program.web.show();
    QWidget* w = p.host.window(web);
    const QPoint grab(60, 5);
    QTest::mousePress(w->windowHandle(), Qt::LeftButton, {}, grab);
    // Moves keep reaching the title while the button is held, below it too.
    QTest::mouseMove(w->windowHandle(), grab + QPoint(20, 30));
    EXPECT_EQ(web.left(), 3300);
    EXPECT_EQ(web.top(), 3450);
    EXPECT_EQ(w->pos(), QPoint(220, 230));
    // The pointer has not moved since; under it the title has caught up.
    QTest::mouseMove(w->windowHandle(), grab);
    EXPECT_EQ(web.left(), 3300);
    // Where the pointer is counts, from where the model put the window, not the event's
    // own idea of the window's place, which lags behind a drag.
    const QPointF pointer = QPointF(w->mapToGlobal(grab)) + QPointF(20, 0);
    QMouseEvent late(QEvent::MouseMove, QPointF(44, 5), pointer, Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(p.host.widget(web.Label1), &late);
    EXPECT_EQ(web.left(), 3600);
    QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, grab);
}

TEST(Input, ADragLetGoInsideASnapZoneSnapsToTheEdgeThroughRealInput) {
    QtProgram p("[WebSearchWindow]\r\nTop=300\r\nLeft=3000\r\n");
    frmWeb& web = p.program.web.show();
    QWidget* w = p.host.window(web);
    const QPoint grab(60, 5);
    QTest::mousePress(w->windowHandle(), Qt::LeftButton, {}, grab);
    // 20 px down, pulled 15 px up: it follows into the top zone, 5 px short of the edge.
    QTest::mouseMove(w->windowHandle(), grab + QPoint(0, -15));
    ASSERT_EQ(web.top(), 75);
    QTest::mouseRelease(w->windowHandle(), Qt::LeftButton, {}, grab);
    EXPECT_EQ(web.top(), 0);
    EXPECT_EQ(w->pos().y(), 0);
}

TEST(Input, APanelStoredOffTheScreenShowsItsWholeTitleBand) {
    QtProgram p("[WebSearchWindow]\r\nTop=-4000\r\nLeft=900000\r\n");
    frmWeb& web = p.program.web.show();
    QWidget* w = p.host.window(web);
    const QRect screen = w->screen()->geometry();
    const QRect band(w->pos(), QSize(w->width(), static_cast<int>(web.design().titleBand / 15)));
    EXPECT_TRUE(screen.contains(band))
        << band.x() << "," << band.y() << " on " << screen.width() << "x" << screen.height();
    EXPECT_EQ(w->pos().y(), 0);
    EXPECT_EQ(w->geometry().right(), screen.right());
}
