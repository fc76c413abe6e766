#pragma once

#include "portal/ICEStatus.h"
#include "service/TrainService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

namespace quendle2 {

class AppSettings;

/// One desktop notification about the journey. Each kind replaces its own previous one on screen.
struct JourneyNotice {
    enum class Kind { ArrivalReminder, PlatformChange, DelayChange, InternetGap };

    Kind kind;
    QString summary;
    QString body;

    bool operator==(const JourneyNotice&) const = default;
};

/// Which notices the traveller wants. Without a settings record every kind is on, the reminder at 5 minutes.
struct NoticeSettings {
    /// 0 for none.
    qint64 arrivalReminderMinutes = 5;
    bool platformChanges = true;
    bool delayChanges = true;
    bool internetGaps = true;

    static NoticeSettings from(const AppSettings* settings);
};

/// What the notices need of the service at one moment.
struct NoticeSnapshot {
    bool connected = false;
    /// The trip the notices belong to: each condition is told once per trip.
    QString tripKey;
    /// The title's arrival stop.
    std::optional<TrainService::UpcomingStop> destination;
    std::optional<ICEStatus::Connectivity> connectivity;

    static NoticeSnapshot of(const TrainService& service);
};

/// Decides, update after update, which notices are due: each at most once per condition per trip, never for
/// a stop behind the train and never while disconnected.
class JourneyNotices {
    Q_DECLARE_TR_FUNCTIONS(quendle2::JourneyNotices)

public:
    /// The changes of a stop's delay smaller than this are not worth an interruption.
    static constexpr qint64 delayStepMinutes = 5;
    /// How far ahead an internet gap is announced.
    static constexpr qint64 gapWarningSeconds = 300;

    QList<JourneyNotice> update(const NoticeSnapshot& snapshot, const NoticeSettings& settings,
                                const QDateTime& now);

private:
    void forgetTrip(const QString& tripKey);

    QString m_tripKey;
    QSet<QString> m_reminded;
    /// Per stop, the actual platform last told (or first seen in agreement with the timetable).
    QHash<QString, QString> m_platformTold;
    /// Per stop, the delay in minutes last told, or first seen.
    QHash<QString, qint64> m_delayTold;
    bool m_gapTold = false;
};

} // namespace quendle2
