#pragma once
#include <QIcon>
#include <QImage>
#include <QSize>
#include <QString>
#include <map>
#include <memory>
#include <string>

class QPainter;
class QRectF;
class QSvgRenderer;

namespace surfdeck {

// The skin's pictures, read from the program folder by file name and kept once read.
// SVG pictures are drawn as vectors at whatever size they are shown; other formats
// (XPM, ICO, PNG) as images.
class QtSkin {
  public:
    explicit QtSkin(QString folder);
    ~QtSkin();
    QtSkin(const QtSkin&) = delete;
    QtSkin& operator=(const QtSkin&) = delete;

    const QString& folder() const { return folder_; }
    // The picture's own size in pixels; empty when the file is missing or unreadable.
    QSize naturalSize(const std::string& picture);
    // How a picture meets a size other than its own: drawn afresh at that size, or its
    // pixels stretched as they are (sharp frame edges at any size).
    enum class Scaling { Vector, Pixels };
    // Draws the picture into the rectangle; false when there is nothing to draw.
    bool draw(QPainter& painter, const std::string& picture, const QRectF& target,
              Scaling scaling = Scaling::Vector);
    // The picture rendered at a size (its natural size when size is empty).
    QImage render(const std::string& picture, QSize size = {});
    // Made once per picture, so that a button given the same picture again can tell.
    QIcon icon(const std::string& picture);

  private:
    struct Picture;
    Picture* find(const std::string& picture);

    QString folder_;
    std::map<std::string, std::unique_ptr<Picture>> cache_;
    std::map<std::string, QIcon> icons_;
};

}  // namespace surfdeck
