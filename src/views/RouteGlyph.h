#pragma once

#include "views/RoutePresentation.h"

#include <QWidget>

namespace quendle2 {

/// The small drawn symbols of a stop row: the stop marker, the target mark and the disclosure chevron.
/// Drawn rather than taken from an icon theme, so that they look the same on every desktop and follow the
/// palette.
class RouteGlyph final : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Marker, Target, Chevron };

    RouteGlyph(Kind kind, QWidget* parent = nullptr);

    void setMarker(RoutePresentation::Marker marker);
    RoutePresentation::Marker marker() const { return m_marker; }
    void setExpanded(bool expanded);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind m_kind;
    RoutePresentation::Marker m_marker = RoutePresentation::Marker::Ahead;
    bool m_expanded = false;
};

} // namespace quendle2
