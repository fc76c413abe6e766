#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

class QWidget;

namespace quendle2 {

/// The named text styles and colours of the main window, derived from the desktop's font and palette so
/// that they follow its theme, dark mode included.
namespace ViewStyle {

enum class Font { Body, Caption, Headline, Title };

QFont font(const QFont& base, Font style);

/// The foreground colours, each derived from the palette: the text colour; dimmed text; green and orange
/// that stay readable on light and dark backgrounds; a thin line between rows.
enum class Tone { Primary, Secondary, Green, Orange, Separator };
QColor colour(const QPalette& palette, Tone tone);
/// The accent: the desktop's selection colour.
QColor accent(const QPalette& palette);
/// A translucent panel behind cards and charts; `thick` is the denser one for stat cards.
QColor material(const QPalette& palette, bool thick);

/// Gives a widget one of the text styles, from the application font, and a tone for its foreground. The
/// tone is taken again from the new palette whenever the desktop's theme changes (light to dark).
void style(QWidget* widget, Font font, Tone tone = Tone::Primary);
/// Only the tone, for widgets that keep their font (a divider line).
void setTone(QWidget* widget, Tone tone);

/// Layout points of the main window.
inline constexpr int margin = 16;
inline constexpr int cornerRadius = 8;

} // namespace ViewStyle
} // namespace quendle2
