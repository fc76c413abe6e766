#include "views/ViewStyle.h"

#include <QLabel>

namespace quendle2::ViewStyle {

namespace {

QColor blend(const QColor& base, const QColor& over, double amount) {
    return QColor::fromRgbF(static_cast<float>(base.redF() + (over.redF() - base.redF()) * amount),
                            static_cast<float>(base.greenF() + (over.greenF() - base.greenF()) * amount),
                            static_cast<float>(base.blueF() + (over.blueF() - base.blueF()) * amount));
}

} // namespace

QFont font(const QFont& base, Font style) {
    QFont result = base;
    const double size = base.pointSizeF() > 0 ? base.pointSizeF() : 10.0;
    switch (style) {
    case Font::Body:
        break;
    case Font::Caption:
        result.setPointSizeF(size * 0.85);
        break;
    case Font::Headline:
        result.setPointSizeF(size * 1.1);
        result.setWeight(QFont::DemiBold);
        break;
    case Font::Title:
        result.setPointSizeF(size * 1.5);
        result.setWeight(QFont::Bold);
        break;
    }
    return result;
}

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

QColor secondary(const QPalette& palette) {
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.45);
}

QColor green(const QPalette& palette) {
    return isDark(palette) ? QColor(0x4c, 0xd9, 0x64) : QColor(0x1e, 0x8e, 0x3e);
}

QColor orange(const QPalette& palette) {
    return isDark(palette) ? QColor(0xff, 0x9f, 0x0a) : QColor(0xd9, 0x6c, 0x00);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

QColor material(const QPalette& palette, bool thick) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText), thick ? 0.09 : 0.05);
}

QColor separator(const QPalette& palette) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.18);
}

void style(QLabel* label, Font fontStyle, const QColor& colour) {
    label->setFont(font(QFont(), fontStyle));
    if (colour.isValid()) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
    }
}

} // namespace quendle2::ViewStyle
