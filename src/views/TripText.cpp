#include "views/TripText.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace quendle2::TripText {

using namespace Qt::Literals::StringLiterals;

QString rowTitle(const QString& trainIdentifier) {
    return trainIdentifier.isEmpty() ? u"Unknown Train"_s : trainIdentifier;
}

QString detailTitle(const QString& trainIdentifier) {
    return trainIdentifier.isEmpty() ? u"Train"_s : trainIdentifier;
}

QString durationText(const QDateTime& start, const std::optional<QDateTime>& end, const QDateTime& now) {
    const QDateTime until = end.value_or(now);
    // Whole seconds, truncated toward zero, so that -5m59s reads "-5m" just as 5m59s reads "5m".
    const qint64 seconds = start.msecsTo(until) / 1000;
    const qint64 minutes = (seconds % 3600) / 60;
    if (seconds < 3600) {
        return u"%1m"_s.arg(minutes);
    }
    return u"%1h %2m"_s.arg(seconds / 3600).arg(minutes);
}

QString dateText(const QDateTime& instant) {
    return QLocale().toString(instant.toLocalTime().date(), QLocale::ShortFormat);
}

} // namespace quendle2::TripText
