// Under a virtual X server: the title band is on the screen in its colour where the
// model says it is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <cmath>

#include "qt/QtTestForms.h"

using namespace surfdeck;
using namespace surfdeck::qttest;

TEST(TitleBandOnTheScreen, IsDrawnInItsColourWhereTheModelPutsIt) {
    Fixture f;
    FrameForm form(f.context);
    form.move(3000, 1500);
    QWidget* w = showAndWait(f.host, form);
    ASSERT_NE(w, nullptr);
    QTest::qWait(200);  // let the server take the painted window

    const double tx = f.host.twipsPerPixelX();
    const double ty = f.host.twipsPerPixelY();
    const auto px = [](double twips, double ratio) {
        return static_cast<int>(std::lround(twips / ratio));
    };
    // The band in screen pixels, from the model alone.
    const QRect band(px(form.left() + form.shpTitle.left(), tx),
                     px(form.top() + form.shpTitle.top(), ty), px(form.shpTitle.width(), tx),
                     px(form.shpTitle.height(), ty));
    // Where neither the corner icon, the title text nor the caption button lies.
    const int from = px(form.left() + 1800, tx);
    const int to = px(form.left() + 2500, tx);
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    ASSERT_GE(screen.width(), band.right());
    int checked = 0;
    for (int x = from; x < to; x += 3) {
        for (int y = band.top(); y < band.bottom(); ++y) {
            ASSERT_EQ(screen.pixelColor(x, y), QColor(0, 88, 240)) << "at " << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);
    // Just below the band, the window's own background.
    EXPECT_NE(screen.pixelColor(from, band.bottom() + 3), QColor(0, 88, 240));
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
