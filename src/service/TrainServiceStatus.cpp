// Applying a status document, and the debounced change of train.

#include "platform/Log.h"
#include "service/TrainService.h"
#include "store/ModelContext.h"
#include "store/Trip.h"

#include <cmath>

namespace quendle2 {

namespace {

/// Space separators of Unicode and the tab; line breaks are deliberately not white space here.
bool isBlank(QChar c) {
    return c == u'\t' || c.category() == QChar::Separator_Space;
}

QString trimBlanks(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin))) {
        ++begin;
    }
    while (end > begin && isBlank(text.at(end - 1))) {
        --end;
    }
    return text.mid(begin, end - begin);
}

bool withinDegrees(std::optional<double> degrees, double limit) {
    return degrees && std::abs(*degrees) <= limit; // NaN fails the comparison, infinity the limit
}

} // namespace

QString TrainService::composeIdentifier(const std::optional<QString>& trainType,
                                        const std::optional<QString>& tzn) {
    QString number = tzn.value_or(QString());
    number.replace(QStringLiteral("ICE"), QString());
    return trimBlanks(trainType.value_or(QString()) + QLatin1Char(' ') + trimBlanks(number));
}

void TrainService::apply(const ICEStatus& status) {
    const QDateTime now = m_clock.now();
    assign(m_lastStatusAt, now, &TrainService::lastStatusAtChanged);
    assign(m_portalConnectionFlag, status.connection, &TrainService::portalConnectionFlagChanged);
    assign(m_lastConnectedAt, now, &TrainService::lastConnectedAtChanged);
    const double speed = status.speed.value_or(0);
    assign(m_currentSpeedKmh, speed >= 0 ? speed : 0.0,
           &TrainService::currentSpeedKmhChanged); // NaN fails >= 0
    assign(m_wifiQuality, status.internet.value_or(QString()), &TrainService::wifiQualityChanged);
    // The document's values are immutable, so the forecast is rebuilt rather than assigned.
    m_connectivity.reset();
    if (status.connectivity) {
        m_connectivity.emplace(*status.connectivity);
    }
    Q_EMIT connectivityChanged();

    const QString identifier = composeIdentifier(status.trainType, status.tzn);
    if (!identifier.isEmpty() && identifier != m_trainIdentifier) {
        qCInfo(lcTrainService).noquote() << QStringLiteral("Train identifier set to %1").arg(identifier);
    }
    // `connected` still holds its value from before this tick's reachability update.
    qCDebug(lcTrainService).noquote()
        << QStringLiteral("apply(status:) reachable=%1 portalFlag=%2 speed=%3 wifi=%4")
               .arg(Log::boolText(m_connected), Log::optionalBool(m_portalConnectionFlag),
                    Log::fixed(m_currentSpeedKmh, 1), m_wifiQuality);
    if (!identifier.isEmpty()) {
        assign(m_trainIdentifier, identifier, &TrainService::trainIdentifierChanged);
    }
    // Before the change check: the status that confirms a change still samples into the old trip.
    // Half a position, or one off the globe, cannot be drawn on a map: the sample then has none.
    const bool located = withinDegrees(status.latitude, 90) && withinDegrees(status.longitude, 180);
    recordSpeedSample(m_currentSpeedKmh, located ? status.latitude : std::nullopt,
                      located ? status.longitude : std::nullopt);
    evaluateTrainChange(identifier);
}

void TrainService::clearChangeCandidate() {
    assign(m_changeCandidateIdent, std::nullopt, &TrainService::changeCandidateIdentChanged);
    assign(m_changeCandidateSince, std::nullopt, &TrainService::changeCandidateSinceChanged);
}

void TrainService::evaluateTrainChange(const QString& identifier) {
    if (!m_modelContext || identifier.isEmpty()) {
        return;
    }
    if (Trip* trip = currentTrip()) {
        if (trip->trainIdentifier() == identifier) {
            clearChangeCandidate();
        } else if (m_changeCandidateIdent == identifier) {
            const QDateTime now = m_clock.now();
            if (Clock::secondsBetween(*m_changeCandidateSince, now) >= changeDebounce) {
                closeTrip(trip, now);
                qCInfo(lcTrainService).noquote()
                    << QStringLiteral("Train change committed after debounce old=%1 new=%2")
                           .arg(trip->trainIdentifier(), identifier);
                clearChangeCandidate();
            }
        } else {
            assign(m_changeCandidateIdent, identifier, &TrainService::changeCandidateIdentChanged);
            assign(m_changeCandidateSince, m_clock.now(), &TrainService::changeCandidateSinceChanged);
            qCDebug(lcTrainService).noquote()
                << QStringLiteral("Train change candidate detected ident=%1").arg(identifier);
        }
    }
    if (currentTrip() == nullptr) {
        setCurrentTrip(findOrCreateTrip(identifier));
    }
}

} // namespace quendle2
