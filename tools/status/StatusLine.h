#pragma once

#include <QByteArray>
#include <QVariantMap>

#include <optional>

namespace quendle2::status {

enum class LineStyle {
    Title,  ///< the status item's title, as the panel shows it
    Json,   ///< every property of the journey, under its D-Bus name
    Waybar, ///< Waybar's custom module: text and tooltip as escaped Pango markup, class and alt
};

/// The journey's properties (as the D-Bus interface names them) as one line of `style`, without the line
/// break. Without a journey, quendle2 is not running: the line of a disconnected journey that knows nothing.
QByteArray statusLine(LineStyle style, const std::optional<QVariantMap>& journey);

} // namespace quendle2::status
