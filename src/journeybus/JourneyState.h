#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace quendle2 {

class TrainService;

/// The journey as other programs read it over D-Bus: plain values, empty (or zero) where the service knows
/// nothing.
struct JourneyState {
    QString title;
    bool connected = false;
    double speedKmh = 0;
    QString trainIdentifier;
    QString wifi;
    QString destinationName;
    QString destinationEva;
    qint64 arrivalEpochMs = 0;
    QString delay;
    QString platform;
    QString tripId;
    /// The stops ahead as the menu lists them ("14:32 Hamburg Hbf +3 · Pl. 8"), for tooltips.
    QStringList nextStops;

    /// `title` is the status item's, taken as it is so that both always agree. No service, no journey.
    static JourneyState of(const TrainService* service, const QString& title);

    /// Every value under its D-Bus property name, with the type the interface declares.
    QVariantMap properties() const;
};

/// The properties whose values differ, with their new values, by name.
QVariantMap changedProperties(const JourneyState& before, const JourneyState& after);

} // namespace quendle2
