#include "StatusLine.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace quendle2::status {

namespace {

/// The properties of a journey that knows nothing, as the application would publish them.
QVariantMap notRunningJourney() {
    return {
        {QStringLiteral("Title"), QStringLiteral("Disconnected")},
        {QStringLiteral("Connected"), false},
        {QStringLiteral("SpeedKmh"), 0.0},
        {QStringLiteral("TrainIdentifier"), QString()},
        {QStringLiteral("Wifi"), QString()},
        {QStringLiteral("DestinationName"), QString()},
        {QStringLiteral("DestinationEva"), QString()},
        {QStringLiteral("ArrivalEpochMs"), qint64(0)},
        {QStringLiteral("Delay"), QString()},
        {QStringLiteral("Platform"), QString()},
        {QStringLiteral("TripId"), QString()},
        {QStringLiteral("NextStops"), QStringList()},
    };
}

/// The train, the stops ahead and the Wi-Fi, one per line; a bar shows it on hover.
QString tooltip(const QVariantMap& journey, bool running) {
    if (!running) {
        return QStringLiteral("quendle2 is not running");
    }
    if (!journey.value(QStringLiteral("Connected")).toBool()) {
        return journey.value(QStringLiteral("Title")).toString();
    }
    QStringList lines;
    if (const QString train = journey.value(QStringLiteral("TrainIdentifier")).toString(); !train.isEmpty()) {
        lines << train;
    }
    lines << journey.value(QStringLiteral("NextStops")).toStringList();
    if (const QString wifi = journey.value(QStringLiteral("Wifi")).toString(); !wifi.isEmpty()) {
        lines << QStringLiteral("Wi-Fi: ") + wifi;
    }
    return lines.isEmpty() ? journey.value(QStringLiteral("Title")).toString() : lines.join(u'\n');
}

} // namespace

QByteArray statusLine(LineStyle style, const std::optional<QVariantMap>& running) {
    const QVariantMap journey = running.value_or(notRunningJourney());
    switch (style) {
    case LineStyle::Title:
        return journey.value(QStringLiteral("Title")).toString().toUtf8();
    case LineStyle::Json:
        return QJsonDocument(QJsonObject::fromVariantMap(journey)).toJson(QJsonDocument::Compact);
    case LineStyle::Waybar: {
        // Waybar reads both as Pango markup, and its `escape` covers only the text in older releases (Debian
        // 12's among them): a station named with "&" would blank the tooltip. Escaped here, both show as
        // they are in every release, with `escape` left off.
        const QString state = journey.value(QStringLiteral("Connected")).toBool()
                                  ? QStringLiteral("connected")
                                  : QStringLiteral("disconnected");
        const QJsonObject line{
            {QStringLiteral("text"), journey.value(QStringLiteral("Title")).toString().toHtmlEscaped()},
            {QStringLiteral("tooltip"), tooltip(journey, running.has_value()).toHtmlEscaped()},
            {QStringLiteral("class"), state},
            {QStringLiteral("alt"), state},
        };
        return QJsonDocument(line).toJson(QJsonDocument::Compact);
    }
    }
    return {};
}

} // namespace quendle2::status
