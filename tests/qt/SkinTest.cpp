#include <gtest/gtest.h>

#include <QImage>

#include "platform/qt/QtSkin.h"

using namespace surfdeck;

namespace {

struct Designed {
    const char* file;
    int width;
    int height;
};

bool hasOpaquePixels(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y).alpha() == 255) return true;
        }
    }
    return false;
}

}  // namespace

TEST(Skin, EveryPictureIsBesideTheProgramAtItsDesignedSize) {
    QtSkin skin(QStringLiteral(SURFDECK_BIN_DIR));
    const Designed pictures[] = {
        {"corner.svg", 16, 16},     {"edge-left.svg", 4, 31},
        {"edge-right.svg", 4, 31},  {"edge-bottom.svg", 41, 4},
        {"min.svg", 11, 11},        {"min-pressed.svg", 11, 11},
        {"collapse.svg", 11, 11},   {"collapse-pressed.svg", 11, 11},
        {"close.svg", 11, 11},      {"close-pressed.svg", 11, 11},
        {"grip.svg", 12, 12},       {"tb-news.svg", 24, 22},
        {"tb-options.svg", 24, 22}, {"tb-image.svg", 24, 22},
        {"tb-web.svg", 24, 22},     {"tb-related.svg", 24, 22},
        {"tb-window.svg", 24, 22},  {"tb-stop.svg", 24, 22},
        {"tb-refresh.svg", 24, 22}, {"tb-home.svg", 24, 22},
        {"tb-full.svg", 24, 22},    {"tb-back.svg", 24, 22},
        {"tb-forward.svg", 24, 22}, {"tb-update.svg", 24, 22},
        {"surfdeck.svg", 48, 48},
    };
    for (const auto& p : pictures) {
        SCOPED_TRACE(p.file);
        EXPECT_EQ(skin.naturalSize(p.file), QSize(p.width, p.height));
        EXPECT_TRUE(hasOpaquePixels(skin.render(p.file)));
    }
}

TEST(Skin, PressedCaptionFacesDifferFromTheNormalOnes) {
    QtSkin skin(QStringLiteral(SURFDECK_BIN_DIR));
    for (const char* face : {"min", "collapse", "close"}) {
        SCOPED_TRACE(face);
        EXPECT_NE(skin.render(std::string(face) + ".svg"),
                  skin.render(std::string(face) + "-pressed.svg"));
    }
}

TEST(Skin, TheBrowserButtonIconsAreRealIconFilesAtTheirRegisteredPaths) {
    for (const char* path : {"/IE/start.ico", "/ie/saved.ico"}) {
        SCOPED_TRACE(path);
        QImage icon(QStringLiteral(SURFDECK_BIN_DIR) + QString::fromLatin1(path), "ICO");
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(16, 16));
        EXPECT_TRUE(hasOpaquePixels(icon));
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);  // the corner is see-through
    }
}

TEST(Skin, AMissingPictureDrawsNothing) {
    QtSkin skin(QStringLiteral(SURFDECK_BIN_DIR));
    EXPECT_TRUE(skin.naturalSize("no-such.svg").isEmpty());
    EXPECT_TRUE(skin.render("no-such.png").isNull());
    EXPECT_TRUE(skin.render("").isNull());
}
