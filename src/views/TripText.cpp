#include "views/TripText.h"

#include "store/Trip.h"

#include <QCoreApplication>
#include <QLocale>

#include <cmath>
#include <limits>

namespace quendle2::TripText {

namespace {

struct Text {
    Q_DECLARE_TR_FUNCTIONS(quendle2::TripText)
};

} // namespace

QString rowTitle(const QString& trainIdentifier) {
    return Trip::titleFor(trainIdentifier);
}

QString detailTitle(const QString& trainIdentifier) {
    return trainIdentifier.isEmpty() ? Text::tr("Train") : trainIdentifier;
}

QString durationText(const QDateTime& start, const std::optional<QDateTime>& end, const QDateTime& now) {
    const QDateTime until = end.value_or(now);
    // Whole seconds, truncated toward zero, so that -5m59s reads "-5m" just as 5m59s reads "5m".
    const qint64 seconds = start.msecsTo(until) / 1000;
    const qint64 minutes = (seconds % 3600) / 60;
    if (seconds < 3600) {
        return Text::tr("%1m").arg(minutes);
    }
    return Text::tr("%1h %2m").arg(seconds / 3600).arg(minutes);
}

QString dateText(const QDateTime& instant) {
    return QLocale().toString(instant.toLocalTime().date(), QLocale::ShortFormat);
}

} // namespace quendle2::TripText
