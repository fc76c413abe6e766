#include "views/ViewStyle.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace quendle2::ViewStyle {

namespace {

QColor blend(const QColor& base, const QColor& over, double amount) {
    return QColor::fromRgbF(static_cast<float>(base.redF() + (over.redF() - base.redF()) * amount),
                            static_cast<float>(base.greenF() + (over.greenF() - base.greenF()) * amount),
                            static_cast<float>(base.blueF() + (over.blueF() - base.blueF()) * amount));
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

QColor separator(const QPalette& palette) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText), 0.18);
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

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

QColor material(const QPalette& palette, bool thick) {
    return blend(palette.color(QPalette::Window), palette.color(QPalette::WindowText), thick ? 0.09 : 0.05);
}

namespace {

/// Puts a widget's tone into its palette, and again whenever the application's palette changes: a colour
/// set into a widget's own palette would otherwise stay as it was computed for the old theme.
class ToneKeeper final : public QObject {
    // Without its own meta-object, findChild<ToneKeeper*> would take any child of the widget for one.
    Q_OBJECT
public:
    ToneKeeper(QWidget* widget, Tone tone)
        : QObject(widget)
        , m_tone(tone) {
        widget->installEventFilter(this);
        apply(widget);
    }

    void setTone(QWidget* widget, Tone tone) {
        m_tone = tone;
        apply(widget);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange) {
            apply(static_cast<QWidget*>(watched));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void apply(QWidget* widget) const {
        QPalette palette = QApplication::palette(widget);
        palette.setColor(QPalette::WindowText, colour(palette, m_tone));
        widget->setPalette(palette);
    }

    Tone m_tone;
};

} // namespace

QColor colour(const QPalette& palette, Tone tone) {
    switch (tone) {
    case Tone::Primary:
        break;
    case Tone::Secondary:
        return secondary(palette);
    case Tone::Green:
        return green(palette);
    case Tone::Orange:
        return orange(palette);
    case Tone::Separator:
        return separator(palette);
    }
    return palette.color(QPalette::WindowText);
}

void setTone(QWidget* widget, Tone tone) {
    if (auto* keeper = widget->findChild<ToneKeeper*>(QString(), Qt::FindDirectChildrenOnly)) {
        keeper->setTone(widget, tone);
    } else if (tone != Tone::Primary) {
        new ToneKeeper(widget, tone);
    }
}

void style(QWidget* widget, Font fontStyle, Tone tone) {
    widget->setFont(font(QFont(), fontStyle));
    setTone(widget, tone);
}

} // namespace quendle2::ViewStyle

#include "ViewStyle.moc"
