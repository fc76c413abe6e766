#include "views/TripRowDelegate.h"

#include "store/LiveQueryModel.h"
#include "store/Trip.h"
#include "views/Contrast.h"
#include "views/TripText.h"
#include "views/ViewStyle.h"

#include <QApplication>
#include <QPainter>

namespace quendle2 {

namespace {

constexpr int padding = 6;
/// Room between the badge's text and its pill's edge.
constexpr int pillInset = 4;

Trip* tripAt(const QModelIndex& index) {
    return qobject_cast<Trip*>(index.data(LiveQueryModel::RecordRole).value<QObject*>());
}

} // namespace

TripRowDelegate::BadgeColours TripRowDelegate::badgeColours(const QPalette& palette, bool selected) {
    const QColor background = palette.color(selected ? QPalette::HighlightedText : QPalette::Base);
    return {Contrast::readableOn(ViewStyle::colour(palette, ViewStyle::Tone::Green), background), background,
            selected};
}

void TripRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem panel = option;
    initStyleOption(&panel, index);
    panel.text.clear();
    QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &panel, painter, option.widget);

    const Trip* trip = tripAt(index);
    if (trip == nullptr) {
        return;
    }
    const bool selected = option.state.testFlag(QStyle::State_Selected);
    const QPalette& colours = option.palette;
    const QColor text = colours.color(selected ? QPalette::HighlightedText : QPalette::Text);
    const QColor dim = selected ? text : ViewStyle::colour(colours, ViewStyle::Tone::Secondary);

    const QFont body = ViewStyle::font(option.font, ViewStyle::Font::Body);
    const QFont caption = ViewStyle::font(option.font, ViewStyle::Font::Caption);
    const QRect area = option.rect.adjusted(padding * 2, padding, -padding * 2, -padding);

    painter->save();
    QRect titleArea = area;
    if (trip->active()) {
        const QString badge = tr("Active");
        const BadgeColours badgeLook = badgeColours(colours, selected);
        const QFontMetrics metrics(caption);
        const int width = metrics.horizontalAdvance(badge);
        const QRect textRect(area.right() - pillInset - width, area.center().y() - metrics.height() / 2,
                             width, metrics.height());
        painter->setFont(caption);
        if (badgeLook.pill) {
            const QRect pill = textRect.adjusted(-pillInset, -1, pillInset, 1);
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(badgeLook.background);
            painter->drawRoundedRect(pill, pill.height() / 2.0, pill.height() / 2.0);
        }
        painter->setPen(badgeLook.text);
        painter->drawText(textRect, Qt::AlignCenter, badge);
        titleArea.setRight(textRect.left() - pillInset - padding);
    }
    const QFontMetrics bodyMetrics(body);
    const QFontMetrics captionMetrics(caption);
    const int top = area.top() + (area.height() - bodyMetrics.height() - captionMetrics.height()) / 2;
    painter->setFont(body);
    painter->setPen(text);
    painter->drawText(QRect(titleArea.left(), top, titleArea.width(), bodyMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      bodyMetrics.elidedText(TripText::rowTitle(trip->trainIdentifier()), Qt::ElideRight,
                                             titleArea.width()));
    painter->setFont(caption);
    painter->setPen(dim);
    painter->drawText(
        QRect(titleArea.left(), top + bodyMetrics.height(), titleArea.width(), captionMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter, TripText::dateText(trip->startDate()));
    painter->restore();
}

QSize TripRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& /*index*/) const {
    const int height = QFontMetrics(ViewStyle::font(option.font, ViewStyle::Font::Body)).height() +
                       QFontMetrics(ViewStyle::font(option.font, ViewStyle::Font::Caption)).height() +
                       padding * 2;
    return {200, height};
}

} // namespace quendle2
