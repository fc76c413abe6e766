#pragma once

#include "menubar/StatusBarManager.h"
#include "service/AppStore.h"
#include "support/ServiceTestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quendle2::test {

/// The captured ICE 9473 journey behind a status bar manager, on a store of its own and a clock at the
/// status document's time. Freiburg, the next stop, arrives three minutes late, and Mannheim has moved from
/// platform 3 to 4, so that actual and timetable differ where a reader can tell.
struct CapturedJourney {
    explicit CapturedJourney(StatusItem* item = nullptr)
        : manager(&store, container.get(), std::unique_ptr<StatusItem>(item), clock) {}

    QTemporaryDir dir;
    std::unique_ptr<ModelContainer> container =
        ModelContainer::open(dir.filePath(u"store.sqlite"_s)).takeValue();
    ICEStatus status = ICEStatus::decode(read(u"status-2025-12-cruising.json"_s)).value();
    ICETripInfo trip = ICETripInfo::decode(edited(read(u"trip-2025-12.json"_s))).value();
    ManualClock clock{QDateTime::fromMSecsSinceEpoch(*status.serverTime, Qt::UTC)};
    FakePortalClient* portal = new FakePortalClient;
    TrainService* service =
        new TrainService(container->mainContext(), std::unique_ptr<PortalClient>(portal), clock);
    AppStore store{service};
    StatusBarManager manager;

    /// One poll of the captured documents, and the rebuild it brings.
    void tick() {
        tickOn(*service, *portal, status, trip);
        manager.rebuildMenubar();
    }

    static QByteArray read(const QString& name) {
        QFile file(QStringLiteral(QUENDLE2_TEST_DATA "/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static QByteArray edited(const QByteArray& document) {
        QJsonObject root = QJsonDocument::fromJson(document).object();
        QJsonObject journey = root.value(u"trip"_s).toObject();
        QJsonArray stops = journey.value(u"stops"_s).toArray();
        const auto edit = [&stops](int index, const QString& key, const QString& field,
                                   const QJsonValue& value) {
            QJsonObject stop = stops.at(index).toObject();
            QJsonObject part = stop.value(key).toObject();
            part.insert(field, value);
            stop.insert(key, part);
            stops.replace(index, stop);
        };
        const QJsonValue freiburgScheduled = stops.at(6)[u"timetable"_s][u"scheduledArrivalTime"_s];
        edit(6, u"timetable"_s, u"actualArrivalTime"_s, freiburgScheduled.toInteger() + 180000);
        edit(6, u"timetable"_s, u"arrivalDelay"_s, u"+3"_s);
        edit(9, u"track"_s, u"actual"_s, u"4"_s);
        journey.insert(u"stops"_s, stops);
        root.insert(u"trip"_s, journey);
        return QJsonDocument(root).toJson();
    }
};

} // namespace quendle2::test
