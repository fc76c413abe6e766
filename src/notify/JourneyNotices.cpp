#include "notify/JourneyNotices.h"

#include "menubar/MenubarTitle.h"
#include "platform/TimeOfDayText.h"
#include "store/AppSettings.h"

namespace quendle2 {

namespace {

/// "+12" -> 12, "-1" -> -1; an empty or unreadable text counts as on time.
qint64 delayMinutes(const std::optional<QString>& text) {
    bool ok = false;
    const qint64 minutes = text ? text->trimmed().toLongLong(&ok) : 0;
    return ok ? minutes : 0;
}

QString delayText(qint64 minutes) {
    return minutes < 0 ? QString::number(minutes) : QLatin1Char('+') + QString::number(minutes);
}

} // namespace

NoticeSettings NoticeSettings::from(const AppSettings* settings) {
    if (settings == nullptr) {
        return {};
    }
    return NoticeSettings{
        settings->arrivalReminderMinutes().value_or(AppSettings::defaultArrivalReminderMinutes),
        settings->notifyPlatformChanges().value_or(true), settings->notifyDelayChanges().value_or(true),
        settings->notifyInternetGaps().value_or(true)};
}

NoticeSnapshot NoticeSnapshot::of(const TrainService& service) {
    const Trip* trip = service.currentTrip();
    return NoticeSnapshot{service.connected(),
                          trip != nullptr ? trip->id().toString() : service.trainIdentifier(),
                          service.menubarArrivalStop(), service.connectivity()};
}

void JourneyNotices::forgetTrip(const QString& tripKey) {
    m_tripKey = tripKey;
    m_reminded.clear();
    m_platformTold.clear();
    m_delayTold.clear();
    m_gapTold = false;
}

QList<JourneyNotice> JourneyNotices::update(const NoticeSnapshot& snapshot, const NoticeSettings& settings,
                                            const QDateTime& now) {
    using Kind = JourneyNotice::Kind;
    QList<JourneyNotice> due;
    if (!snapshot.connected) {
        return due;
    }
    if (snapshot.tripKey != m_tripKey) {
        forgetTrip(snapshot.tripKey);
    }

    if (snapshot.destination && !snapshot.destination->passed) {
        const TrainService::UpcomingStop& stop = *snapshot.destination;
        const std::optional<QDateTime> arrival =
            stop.actualArrival ? stop.actualArrival : stop.scheduledArrival;
        const qint64 msecsLeft = arrival ? now.msecsTo(*arrival) : -1;
        const std::optional<QString> platform = stop.platform.current();

        if (settings.arrivalReminderMinutes > 0 && msecsLeft > 0 &&
            msecsLeft <= settings.arrivalReminderMinutes * 60'000 && !m_reminded.contains(stop.eva)) {
            m_reminded.insert(stop.eva);
            QStringList body;
            if (platform) {
                body << tr("Platform %1").arg(*platform);
            }
            if (stop.arrivalDelayText && !stop.arrivalDelayText->isEmpty()) {
                body << *stop.arrivalDelayText;
            }
            due << JourneyNotice{Kind::ArrivalReminder,
                                 tr("%1 in %2").arg(stop.name, formatRemainingTime(*arrival, now)),
                                 body.join(QStringLiteral(" \u00B7 "))};
        }

        // A platform that differs from the timetable is told once per platform it changes to.
        if (stop.platform.changed() && m_platformTold.value(stop.eva) != *stop.platform.actual) {
            m_platformTold.insert(stop.eva, *stop.platform.actual);
            if (settings.platformChanges) {
                due << JourneyNotice{
                    Kind::PlatformChange, tr("Platform change at %1").arg(stop.name),
                    tr("Now platform %1 (was %2)").arg(*stop.platform.actual, *stop.platform.scheduled)};
            }
        }

        const qint64 delay = delayMinutes(stop.arrivalDelayText);
        const auto told = m_delayTold.constFind(stop.eva);
        if (told == m_delayTold.cend()) {
            m_delayTold.insert(stop.eva, delay);
        } else if (std::abs(delay - *told) >= delayStepMinutes) {
            m_delayTold.insert(stop.eva, delay);
            if (settings.delayChanges) {
                due << JourneyNotice{Kind::DelayChange, tr("%1: delay %2").arg(stop.name, delayText(delay)),
                                     arrival ? tr("Arrival %1").arg(timeOfDayText(*arrival)) : QString()};
            }
        }
    }

    const auto& connectivity = snapshot.connectivity;
    const bool gapAhead = connectivity && connectivity->nextState &&
                          connectivity->nextState->toUpper() == QLatin1StringView("NO_INTERNET");
    const qint64 secondsToGap = gapAhead ? connectivity->remainingTimeSeconds.value_or(0) : 0;
    if (!gapAhead || secondsToGap <= 0) {
        // The gap has come, or none is announced: the next one is news again.
        m_gapTold = false;
    } else if (secondsToGap <= gapWarningSeconds && !m_gapTold) {
        m_gapTold = true;
        if (settings.internetGaps) {
            due << JourneyNotice{
                Kind::InternetGap,
                tr("Internet drops in %1").arg(formatRemainingTime(now.addSecs(secondsToGap), now)),
                QString()};
        }
    }
    return due;
}

} // namespace quendle2
