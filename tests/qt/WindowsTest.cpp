// The program's windows on the Qt host: where they are, what they draw, and how they
// come and go.
#include <gtest/gtest.h>

#include <QComboBox>

#include "QtProgram.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

TEST(Windows, TwipsBecomePixelsAndTheModelKeepsItsTwips) {
    QtProgram p;
    ASSERT_DOUBLE_EQ(p.host.twipsPerPixelX(), 15.0);  // the offscreen screen's 96 dpi
    frmWeb& web = p.program.web.show();
    web.move(1510, 1507);  // no whole pixel: drawn rounded, kept as it is
    EXPECT_EQ(p.host.window(web)->geometry(), QRect(101, 100, 230, 312));
    EXPECT_EQ(web.left(), 1510);
    EXPECT_EQ(web.top(), 1507);
    EXPECT_EQ(p.host.widget(web.Combo1)->geometry(), QRect(76, 40, 145, 19));
    // Edges are rounded, not sizes: controls that touch in twips touch on the screen.
    web.Label3.move(1000, 660, 1000, 195);
    web.Combo1.move(2000, 600, 1000, 288);
    EXPECT_EQ(p.host.widget(web.Label3)->geometry().right() + 1,
              p.host.widget(web.Combo1)->geometry().left());
}

TEST(Windows, TheWindowSystemsMovesReachTheModelButLateReportsOfOursDoNot) {
    QtProgram p;
    frmWeb& web = p.program.web.show();
    QWindow* window = p.host.window(web)->windowHandle();
    // A drag asks for two places in a row; the report of the first comes in after both.
    web.move(3000, 1500);
    web.move(3300, 1650);
    window->setPosition(200, 100);
    QApplication::processEvents();
    EXPECT_EQ(web.left(), 3300);
    EXPECT_EQ(web.top(), 1650);
    window->setPosition(50, 60);
    QApplication::processEvents();
    EXPECT_EQ(web.left(), 750);
    EXPECT_EQ(web.top(), 900);
}

TEST(Windows, EveryWindowDrawsItsFrameAndWhatItsModelSays) {
    QtProgram p;
    frmMain& m = p.start();
    frmBrowser& related = p.program.related.show();
    frmWeb& web = p.program.web.show();
    const QColor edge(0x00, 0x30, 0x7c);  // the edge pictures' outermost line
    const QColor text = QApplication::palette().color(QPalette::HighlightedText);
    for (SkinnedForm* f : std::initializer_list<SkinnedForm*>{
             &m, &related, &web, &p.program.news.show(), &p.program.image.show()}) {
        SCOPED_TRACE(f->name());
        const QImage shot = p.host.window(*f)->grab().toImage();
        EXPECT_EQ(shot.size(), QSize(px(f->width()), px(f->height())));
        EXPECT_EQ(shot.pixelColor(px(f->Image4.left()) - 3, 1), QColor(0, 88, 240));
        EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), edge);
        EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() - 1), edge);
        bool titled = false;  // the title text is in the highlight-text colour
        for (int i = 0; i < 44 * 12 && !titled; ++i)
            titled = shot.pixelColor(16 + i / 12, 1 + i % 12) == text;
        EXPECT_TRUE(titled);
    }
    // Panels are tool windows, on top; the main window leaves the top band in place.
    EXPECT_TRUE(p.host.window(web)->windowFlags().testFlag(Qt::Tool));
    EXPECT_TRUE(p.host.window(web)->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QWidget* main = p.host.window(m);
    EXPECT_FALSE(main->windowFlags().testFlag(Qt::Tool));
    const QPoint at = main->pos();
    ASSERT_TRUE(p.desktop.setTopMost(m.hWnd(), false));
    EXPECT_FALSE(main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->pos(), at);
    const QRect status = p.host.widget(related.Shape1)->geometry();
    EXPECT_EQ(p.host.window(related)->grab().toImage().pixelColor(status.center()),
              QColor(240, 240, 224));
    EXPECT_TRUE(p.host.widget(related.Image8)->isVisible());  // the grip
    web.Combo1.setListIndex(2);
    EXPECT_EQ(static_cast<QComboBox*>(p.host.widget(web.Combo1))->currentText(),
              "with at least one of the words");
    web.Label3.setVisible(false);
    EXPECT_FALSE(p.host.widget(web.Label3)->isVisible());
}

TEST(Windows, TheSystemsCloseUnloadsAPanelThroughTheProgramAndItsWindowGoes) {
    QtProgram p;
    frmWeb& web = p.program.web.show();
    QPointer<QWidget> w = p.host.window(web);
    const Hwnd h = web.hWnd();
    auto handler = p.host.closeHandler();
    p.host.setCloseHandler({});
    w->close();  // with no handler the close is refused
    EXPECT_TRUE(p.program.web.loaded());
    EXPECT_TRUE(w->isVisible());
    p.host.setCloseHandler(handler);
    w->close();
    EXPECT_FALSE(p.program.web.loaded());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_EQ(p.host.windowOf(h), nullptr);
}
