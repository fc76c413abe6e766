#pragma once

#include "platform/Log.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"
#include "support/FakePortalClient.h"
#include "support/LogCapture.h"
#include "support/ManualClock.h"
#include "support/TrainServiceProbe.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace quendle2::test {

using namespace Qt::Literals::StringLiterals;
using StatusOutcome = FakePortalClient::StatusOutcome;
using TripOutcome = FakePortalClient::TripOutcome;
using Delay = std::optional<QString>;

inline const QDateTime journeyStart(QDate(2024, 5, 1), QTime(8, 15), Qt::UTC);
inline const QString koeln = u"8000207"_s;
inline const QString dortmund = u"8000080"_s;
inline const QString frankfurt = u"8000105"_s;

struct StopDoc {
    QString eva;
    QString name;
    std::optional<bool> passed = std::nullopt;
    Delay delay = std::nullopt;
    /// Scheduled and actual.
    std::optional<std::pair<QString, QString>> platform = std::nullopt;
    QStringList delayReasons = {};
};

/// A trip-info document; an empty EVA leaves the key out, and a stop without `passed` gets no info object.
inline QByteArray tripJson(const QList<StopDoc>& stops) {
    QJsonArray array;
    for (const StopDoc& stop : stops) {
        QJsonObject station{{u"name"_s, stop.name}};
        if (!stop.eva.isEmpty()) {
            station.insert(u"evaNr"_s, stop.eva);
        }
        QJsonObject entry{{u"station"_s, station}};
        if (stop.delay) {
            entry.insert(u"timetable"_s, QJsonObject{{u"arrivalDelay"_s, *stop.delay}});
        }
        if (stop.passed) {
            entry.insert(u"info"_s, QJsonObject{{u"passed"_s, *stop.passed}});
        }
        if (stop.platform) {
            entry.insert(u"track"_s, QJsonObject{{u"scheduled"_s, stop.platform->first},
                                                 {u"actual"_s, stop.platform->second}});
        }
        QJsonArray reasons;
        for (const QString& reason : stop.delayReasons) {
            reasons.append(QJsonObject{{u"code"_s, u"47"_s}, {u"text"_s, reason}});
        }
        if (!reasons.isEmpty()) {
            entry.insert(u"delayReasons"_s, reasons);
        }
        array.append(entry);
    }
    return QJsonDocument(QJsonObject{{u"trip"_s, QJsonObject{{u"stops"_s, array}}}}).toJson();
}

/// Throws, and so fails the test, when the document does not decode.
inline ICETripInfo decodeTrip(const QByteArray& json) {
    return ICETripInfo::decode(json).value();
}

inline ICETripInfo route(const QList<StopDoc>& stops) {
    return decodeTrip(tripJson(stops));
}

/// Köln, Dortmund or Frankfurt, with their names.
inline StopDoc stop(const QString& eva, std::optional<bool> passed = std::nullopt,
                    Delay delay = std::nullopt) {
    const QString name = eva == koeln      ? u"Köln Hbf"_s
                         : eva == dortmund ? u"Dortmund Hbf"_s
                                           : u"Frankfurt(Main)Hbf"_s;
    return {eva, name, passed, std::move(delay)};
}

/// A status document with only the fields the service reads.
inline ICEStatus statusWith(std::optional<bool> connection, std::optional<QString> internet,
                            std::optional<double> speed, std::optional<QString> trainType,
                            std::optional<QString> tzn, std::optional<double> latitude = {},
                            std::optional<double> longitude = {}) {
    return ICEStatus{connection,
                     {},
                     {},
                     std::move(internet),
                     latitude,
                     longitude,
                     speed,
                     std::move(trainType),
                     std::move(tzn),
                     {},
                     {},
                     {},
                     {}};
}

inline ICEStatus statusOf(const QString& tzn, double speed = 100.0, std::optional<double> latitude = {},
                          std::optional<double> longitude = {}) {
    return statusWith(true, u"HIGH"_s, speed, u"ICE"_s, tzn, latitude, longitude);
}

inline StatusOutcome reached(const QString& tzn, double speed = 100.0) {
    return StatusOutcome::success(statusOf(tzn, speed));
}

/// One whole tick of `service` over these documents, which `portal` hands over at once.
inline void tickOn(TrainService& service, FakePortalClient& portal, const ICEStatus& status,
                   const ICETripInfo& trip) {
    portal.queueStatus(StatusOutcome::success(status));
    portal.queueTrip(TripOutcome::success(trip));
    QSignalSpy finished(&service, &TrainService::tickFinished);
    TrainServiceProbe::tick(service);
    QTRY_COMPARE(finished.count(), 1);
}

inline StatusOutcome unreachable() {
    return StatusOutcome::failure({PortalError::Kind::Network, u"Connection refused"_s});
}

inline TripOutcome noRoute() {
    return TripOutcome::success(ICETripInfo{});
}

/// A service on a fresh store (or none), a scripted portal and a clock at 2024-05-01 08:15:00 UTC.
class Harness {
public:
    explicit Harness(bool withStore = true) {
        if (withStore) {
            store = ModelContainer::open(dir.filePath(u"trips.sqlite"_s)).takeValue(); // throws on failure
        }
        restartService();
    }

    /// A new service on the same store and clock, as after a restart of the application.
    void restartService() {
        service.reset();
        auto fake = std::make_unique<FakePortalClient>();
        client = fake.get();
        service = std::make_unique<TrainService>(context(), std::move(fake), clock);
    }

    ModelContext* context() const { return store ? store->mainContext() : nullptr; }

    void tick(StatusOutcome status, TripOutcome trip = noRoute()) {
        client->queueStatus(std::move(status));
        client->queueTrip(std::move(trip));
        TrainServiceProbe::tick(*service);
    }

    /// The service's status and trip-info steps, without a tick around them.
    void apply(const ICEStatus& status) { TrainServiceProbe::apply(*service, status); }
    void applyTripInfo(const ICETripInfo& info) { TrainServiceProbe::applyTripInfo(*service, info); }

    /// A trip of an earlier run that chose Frankfurt; a closed one ended five minutes after it started.
    Trip* addTrip(const QString& train, double startedAgo, bool active) {
        auto trip = std::make_unique<Trip>(clock.now().addMSecs(-qRound64(startedAgo * 1000)), train, active);
        trip->setSelectedStopEva(frankfurt);
        if (!active) {
            trip->setEndDate(trip->startDate().addSecs(300));
        }
        return context()->insert(std::move(trip));
    }

    /// Oldest first.
    QList<StopSnapshot*> snapshots() const {
        return context()->fetch<StopSnapshot>(FetchDescriptor{{}, {{u"createdAt"_s, true}}, {}}).value();
    }

    LogCapture log{lcTrainService()};
    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> store;
    ManualClock clock{journeyStart};
    FakePortalClient* client = nullptr;
    std::unique_ptr<TrainService> service;
};

inline QStringList evasOf(const auto& stops) {
    QStringList evas;
    for (const auto& stop : stops) {
        evas << stop.eva;
    }
    return evas;
}

} // namespace quendle2::test
