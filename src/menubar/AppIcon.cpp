#include "menubar/AppIcon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace quendle2 {

QString appIconName() {
    return QStringLiteral("org.quendle2.Quendle2");
}

QString appIconResource() {
    return QStringLiteral(":/icons/org.quendle2.Quendle2.svg");
}

QImage renderAppIcon(int size) {
    // Drawn by QtSvg itself rather than through the image-format plugin, so the icon does not depend on a
    // plugin being installed next to Qt.
    QSvgRenderer renderer(appIconResource());
    if (!renderer.isValid() || size <= 0) {
        return {};
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

QIcon appIcon() {
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128}) {
        const QImage image = renderAppIcon(size);
        if (!image.isNull()) {
            icon.addPixmap(QPixmap::fromImage(image));
        }
    }
    return icon;
}

} // namespace quendle2
