// The skin's pictures beside the program, as the windows and the browser entries use them.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/qt/QtSkin.h"

using namespace surfdeck;

namespace {

bool hasOpaquePixels(const QImage& image) {
    for (int i = 0; i < image.width() * image.height(); ++i) {
        if (image.pixelColor(i % image.width(), i / image.width()).alpha() == 255) return true;
    }
    return false;
}

}  // namespace

TEST(Skin, EveryPictureIsBesideTheProgramAtItsDesignedSize) {
    QtSkin skin(QStringLiteral(SURFDECK_BIN_DIR));
    std::vector<std::pair<std::string, QSize>> pictures = {
        {"corner", {16, 16}},     {"edge-left", {4, 31}}, {"edge-right", {4, 31}},
        {"edge-bottom", {41, 4}}, {"grip", {12, 12}},     {"surfdeck", {48, 48}}};
    for (const char* face : {"min", "collapse", "close"}) {
        pictures.push_back({face, {11, 11}});
        pictures.push_back({std::string(face) + "-pressed", {11, 11}});
        EXPECT_NE(skin.render(face + std::string(".svg")),
                  skin.render(face + std::string("-pressed.svg")));
    }
    for (const char* button : {"news", "options", "image", "web", "related", "window", "stop",
                               "refresh", "home", "full", "back", "forward", "update"})
        pictures.push_back({std::string("tb-") + button, {24, 22}});
    for (const auto& [name, size] : pictures) {
        SCOPED_TRACE(name);
        EXPECT_EQ(skin.naturalSize(name + ".svg"), size);
        EXPECT_TRUE(hasOpaquePixels(skin.render(name + ".svg")));
    }
    EXPECT_TRUE(skin.render("no-such.svg").isNull());
}

TEST(Skin, TheBrowserButtonIconsAreIconFilesAtTheirRegisteredPaths) {
    for (const char* path : {"/IE/start.ico", "/ie/saved.ico"}) {
        SCOPED_TRACE(path);
        QImage icon(QStringLiteral(SURFDECK_BIN_DIR) + QString::fromLatin1(path), "ICO");
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(16, 16));
        EXPECT_TRUE(hasOpaquePixels(icon));
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);  // the corner is see-through
    }
}
