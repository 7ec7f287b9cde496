// The program's five skinned windows drawn by the Qt host: frame, title, caption
// buttons, content, and a drag by the title through real input.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <cmath>

#include "QtTestForms.h"
#include "mainwindow/frmMain.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDesktop.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtResultsBrowser.h"
#include "related/frmBrowser.h"
#include "search/frmImage.h"
#include "search/frmNews.h"
#include "search/frmWeb.h"

using namespace surfdeck;

namespace {

struct QtProgram {
    QTemporaryDir folder;
    QtFormHost host{QStringLiteral(SURFDECK_BIN_DIR)};
    QtDesktop desktop{host};
    QtTimers timers;
    QtEventLoop loop;
    QtClock clock;
    AppContext app{folder.path().toStdString(), desktop, timers, loop, clock, host};
    QtProgram() { app.settings.RollUp = false; }
};

int px(double twips) {
    return static_cast<int>(std::lround(twips / 15));
}

// The frame as every skinned window draws it.
void expectFrame(QtProgram& p, SkinnedForm& form) {
    SCOPED_TRACE(form.name());
    form.move(1500, 1500);
    QWidget* w = qttest::showAndWait(p.host, form);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->size(), QSize(px(form.width()), px(form.height())));
    const QImage shot = w->grab().toImage();
    const QColor dark(0x00, 0x30, 0x7c);  // the outermost line of the edge pictures
    // The band, right of the title text and left of the caption buttons.
    EXPECT_EQ(shot.pixelColor(px(form.Image4.left()) - 3, 2), QColor(0, 88, 240));
    EXPECT_EQ(shot.pixelColor(0, shot.height() / 2), dark);
    EXPECT_EQ(shot.pixelColor(shot.width() / 2, shot.height() - 1), dark);
    if (form.name() != "frmBrowser") {  // its right edge stands beyond the window
        EXPECT_EQ(shot.pixelColor(shot.width() - 1, shot.height() / 2), dark);
    }
    // The 11-pixel face shrinks into its place, square.
    QWidget* close = p.host.widget(form.Image5);
    const int side = std::min(close->width(), close->height());
    EXPECT_EQ(
        close->grab().toImage().copy(0, 0, side, side).convertToFormat(QImage::Format_RGB32),
        p.host.skin().render("close.svg", QSize(side, side)).convertToFormat(QImage::Format_RGB32));
    const QColor text = QApplication::palette().color(QPalette::HighlightedText);
    bool titled = false;
    for (int x = 16; x < 60 && !titled; ++x) {
        for (int y = 1; y < 13 && !titled; ++y) titled = shot.pixelColor(x, y) == text;
    }
    EXPECT_TRUE(titled);
    if (const QByteArray dir = qgetenv("SURFDECK_SHOTS_DIR"); !dir.isEmpty()) {
        shot.save(QString::fromUtf8(dir) + "/" + QString::fromStdString(form.name()) + ".png");
    }
}

}  // namespace

TEST(SkinnedForms, TheMainWindowIsFittedAroundItsTwelveButtons) {
    QtProgram p;
    frmMain form(p.app);
    expectFrame(p, form);
    const auto buttons = p.host.widget(form.Toolbar1)->findChildren<QToolButton*>();
    ASSERT_EQ(buttons.size(), 12);
    for (QToolButton* b : buttons)
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
    EXPECT_EQ(p.host.widget(form.Toolbar1)->findChild<QToolButton*>("back")->toolTip(), "Go back");
}

TEST(SkinnedForms, TheRelatedPanelShowsItsResultsStatusBandAndGrip) {
    QtProgram p;
    frmBrowser form(p.app);
    auto browser = std::make_shared<QtResultsBrowser>();
    form.WebBrowser2.setBrowser(browser);
    expectFrame(p, form);
    QWidget* w = p.host.window(form);
    EXPECT_TRUE(w->isAncestorOf(browser->widget()));
    form.lblStatus.setCaption("Wait for replay");
    const QImage shot = w->grab().toImage();
    const QRect band = p.host.widget(form.Shape1)->geometry();
    EXPECT_EQ(shot.pixelColor(band.center().x(), band.bottom()), QColor(240, 240, 224));
    QWidget* grip = p.host.widget(form.Image8);
    EXPECT_TRUE(grip->isVisible());
    EXPECT_EQ(grip->grab().toImage().pixelColor(1, 1), QColor(0xf0, 0xf0, 0xe0));
    EXPECT_EQ(p.host.widget(form.Toolbar1)->findChildren<QToolButton*>().size(), 1);
}

TEST(SkinnedForms, TheSearchPanelsDrawTheirFrame) {
    QtProgram p;
    frmWeb web(p.app);
    frmNews news(p.app);
    frmImage image(p.app);
    expectFrame(p, web);
    expectFrame(p, news);
    expectFrame(p, image);
    EXPECT_TRUE(p.host.window(web)->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(SkinnedForms, APanelIsDraggedByItsTitleThroughRealInput) {
    QtProgram p;
    ASSERT_GE(p.desktop.screenHeightPixels(), 600);
    // Placed by its own load step from the settings, as the program places it.
    QFile ini(p.folder.filePath("conf.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[WebSearchWindow]\r\nTop=3000\r\nLeft=3000\r\n");
    ini.close();
    frmWeb form(p.app);
    QWidget* w = qttest::showAndWait(p.host, form);
    QWindow* window = w->windowHandle();
    const QPoint grab(60, 5);
    QTest::mousePress(window, Qt::LeftButton, {}, grab);
    QTest::mouseMove(window, grab + QPoint(20, 10));
    EXPECT_EQ(form.left(), 3300);
    EXPECT_EQ(form.top(), 3150);
    EXPECT_EQ(w->pos(), QPoint(220, 210));
    // The pointer has not moved since; under it the label has caught up.
    QTest::mouseMove(window, grab);
    EXPECT_EQ(form.left(), 3300);
    QTest::mouseRelease(window, Qt::LeftButton, {}, grab);
}
