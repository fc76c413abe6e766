#include "menubar/AppIcon.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSvgRenderer>

namespace quendle2 {

QString appIconName() {
    return QStringLiteral("org.quendle2.Quendle2");
}

QString appIconResource() {
    return QStringLiteral(":/icons/org.quendle2.Quendle2.svg");
}

namespace {

QString scalableIconFile() {
    return QStringLiteral("hicolor/scalable/apps/%1.svg").arg(appIconName());
}

bool writeIfDifferent(const QString& path, const QByteArray& content) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) {
        return true;
    }
    QSaveFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(content) == content.size() && file.commit();
}

QString makeIconThemePath() {
    if (!QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                QStringLiteral("icons/") + scalableIconFile())
             .isEmpty()) {
        return {};
    }
    QFile resource(appIconResource());
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !resource.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString folder = cache + QStringLiteral("/quendle2/icons");
    const QByteArray svg = resource.readAll();
    // Hosts add the path to their theme's search path: some look for a theme's folders inside it, others
    // for the bare file.
    const QDir dir(folder);
    if (!writeIfDifferent(dir.filePath(scalableIconFile()), svg) ||
        !writeIfDifferent(dir.filePath(appIconName() + QStringLiteral(".svg")), svg)) {
        return {};
    }
    return folder;
}

} // namespace

QString appIconThemePath() {
    static const QString path = makeIconThemePath();
    return path;
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
