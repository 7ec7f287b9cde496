#include "platform/qt/QtSkin.h"

#include <QDir>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace surfdeck {

struct QtSkin::Picture {
    std::unique_ptr<QSvgRenderer> svg;
    QImage image;
    QSize size;
    bool valid() const { return !size.isEmpty(); }
};

QtSkin::QtSkin(QString folder) : folder_(std::move(folder)) {}

QtSkin::~QtSkin() = default;

QtSkin::Picture* QtSkin::find(const std::string& picture) {
    if (picture.empty()) return nullptr;
    auto it = cache_.find(picture);
    if (it == cache_.end()) {
        auto p = std::make_unique<Picture>();
        // Names are relative to the program folder, with either separator.
        QString name = QString::fromStdString(picture);
        name.replace('\\', '/');
        const QString path = QDir(folder_).filePath(name);
        if (path.endsWith(".svg", Qt::CaseInsensitive)) {
            p->svg = std::make_unique<QSvgRenderer>(path);
            if (p->svg->isValid()) p->size = p->svg->defaultSize();
        } else if (p->image.load(path)) {
            p->size = p->image.size();
        }
        it = cache_.emplace(picture, std::move(p)).first;
    }
    return it->second->valid() ? it->second.get() : nullptr;
}

QSize QtSkin::naturalSize(const std::string& picture) {
    Picture* p = find(picture);
    return p ? p->size : QSize();
}

bool QtSkin::draw(QPainter& painter, const std::string& picture, const QRectF& target,
                  Scaling scaling) {
    Picture* p = find(picture);
    if (!p || target.isEmpty()) return false;
    if (p->svg && scaling == Scaling::Vector) {
        p->svg->render(&painter, target);
        return true;
    }
    if (p->image.isNull()) {  // an SVG's own pixels, drawn once at its own size
        p->image = QImage(p->size, QImage::Format_ARGB32_Premultiplied);
        p->image.fill(Qt::transparent);
        QPainter own(&p->image);
        p->svg->render(&own, QRectF(QPointF(0, 0), QSizeF(p->size)));
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, scaling == Scaling::Vector);
    painter.drawImage(target, p->image);
    painter.restore();
    return true;
}

QImage QtSkin::render(const std::string& picture, QSize size) {
    Picture* p = find(picture);
    if (!p) return {};
    if (size.isEmpty()) size = p->size;
    QImage out(size, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    draw(painter, picture, QRectF(QPointF(0, 0), QSizeF(size)));
    return out;
}

QIcon QtSkin::icon(const std::string& picture) {
    auto it = icons_.find(picture);
    if (it != icons_.end()) return it->second;
    Picture* p = find(picture);
    if (!p) return {};
    return icons_.emplace(picture, QIcon(QPixmap::fromImage(render(picture)))).first->second;
}

}  // namespace surfdeck
