#include "BenchSupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace Qt::Literals::StringLiterals;

namespace quendle2::bench {

namespace {

// Coordinates come with six decimals, as in the captured documents.
double micro(double degrees) {
    return std::round(degrees * 1e6) / 1e6;
}

} // namespace

void die(const QString& message) {
    // Without a QCoreApplication there is no program name to put in front.
    const QString program = QCoreApplication::applicationName();
    if (program.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    } else {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(message));
    }
    std::exit(1);
}

QByteArray sampleDocument(const char* fileName) {
    QFile file(QStringLiteral(QUENDLE2_TEST_DATA "/") + QString::fromLatin1(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        die(u"cannot read %1"_s.arg(file.fileName()));
    }
    return file.readAll();
}

QByteArray syntheticTrip(int stopCount, int aheadDelayMinutes) {
    const QJsonObject document =
        QJsonDocument::fromJson(sampleDocument("trip-2024-07-delay-reasons.json")).object();
    QJsonObject trip = document.value("trip"_L1).toObject();
    const QJsonObject model = trip.value("stops"_L1).toArray().at(5).toObject();

    const qint64 departure = 1721371860000;
    const qint64 stopSpacing = 14 * 60 * 1000;
    QJsonArray stops;
    for (int i = 0; i < stopCount; ++i) {
        const bool passed = i < stopCount / 3;
        const int delayMinutes = passed ? 7 : aheadDelayMinutes;
        const qint64 delay = qint64(delayMinutes) * 60 * 1000;
        const qint64 arrival = departure + i * stopSpacing;
        QJsonObject station = model.value("station"_L1).toObject();
        station.insert("evaNr"_L1, QString::number(8000100 + i * 7));
        station.insert("name"_L1, u"Haltepunkt %1 (Hbf)"_s.arg(i + 1));
        station.insert("geocoordinates"_L1, QJsonObject{{"latitude"_L1, micro(50.107145 + i * 0.061)},
                                                        {"longitude"_L1, micro(8.663789 + i * 0.083)}});

        QJsonObject timetable = model.value("timetable"_L1).toObject();
        const bool first = i == 0;
        const bool last = i == stopCount - 1;
        timetable.insert("scheduledArrivalTime"_L1, first ? QJsonValue() : QJsonValue(arrival));
        timetable.insert("actualArrivalTime"_L1, first ? QJsonValue() : QJsonValue(arrival + delay));
        timetable.insert("arrivalDelay"_L1, first ? u""_s : u"+%1"_s.arg(delayMinutes));
        timetable.insert("scheduledDepartureTime"_L1, last ? QJsonValue() : QJsonValue(arrival + 120000));
        timetable.insert("actualDepartureTime"_L1,
                         last ? QJsonValue() : QJsonValue(arrival + 120000 + delay));
        timetable.insert("departureDelay"_L1, last ? u""_s : u"+%1"_s.arg(delayMinutes));

        QJsonObject info = model.value("info"_L1).toObject();
        info.insert("passed"_L1, passed);
        info.insert("positionStatus"_L1, passed ? u"passed"_s : u"future"_s);
        info.insert("distance"_L1, first ? 0 : 12000 + (i * 3571) % 20000);
        info.insert("distanceFromStart"_L1, i * 22500);

        QJsonObject stop = model;
        stop.insert("station"_L1, station);
        stop.insert("timetable"_L1, timetable);
        stop.insert("track"_L1, QJsonObject{{"scheduled"_L1, QString::number(1 + i % 12)},
                                            {"actual"_L1, QString::number(1 + (i + i / 5) % 12)}});
        stop.insert("info"_L1, info);
        stop.insert("delayReasons"_L1, i % 3 == 1 ? model.value("delayReasons"_L1) : QJsonValue());
        stops.append(stop);
    }
    trip.insert("totalDistance"_L1, (stopCount - 1) * 22500);
    trip.insert("stops"_L1, stops);
    return QJsonDocument(QJsonObject{{"trip"_L1, trip}}).toJson(QJsonDocument::Compact);
}

SpeedProfile::SpeedProfile(std::mt19937& random)
    : m_random(random) {
    stop();
}

double SpeedProfile::next() {
    if (m_standing > 0) {
        --m_standing;
        return 0;
    }
    if (m_untilBraking > 0) {
        --m_untilBraking;
        m_speed += std::clamp(m_cruise - m_speed, -6.0, 6.0) + uniform(-1.5, 1.5);
    } else {
        m_speed -= 8;
        if (m_speed <= 0) {
            stop();
            return 0;
        }
    }
    m_speed = std::clamp(m_speed, 0.0, 300.0);
    return std::round(m_speed * 10) / 10;
}

double SpeedProfile::uniform(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

int SpeedProfile::uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

void SpeedProfile::stop() {
    m_speed = 0;
    m_standing = uniform(12, 60);
    m_untilBraking = uniform(120, 500);
    m_cruise = uniform(120.0, 300.0);
}

void SampleSeries::append(qint64 timestampMs, double speed) {
    timestamps.append(timestampMs);
    speeds.append(speed);
    // Standing samples do not count towards a trip's average, as in Trip::positiveSpeedStats().
    if (speed > 0) {
        maximum = std::max(maximum, speed);
        positiveSum += speed;
        ++positiveCount;
    }
}

// Held apart so that the destructor can drop every handle before it removes the connection, which warns
// about any still alive.
struct StoreFiller::Connection {
    QSqlDatabase db;
    QSqlQuery trip;
    QSqlQuery samples;
};

StoreFiller::StoreFiller(const QString& path, const QString& connectionName)
    : m_connectionName(connectionName)
    , m_connection(std::make_unique<Connection>()) {
    QSqlDatabase& db = m_connection->db;
    db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        die(u"cannot open %1: %2"_s.arg(path, db.lastError().text()));
    }
    m_connection->trip = prepare(uR"(INSERT INTO "Trip" ("id", "startDate", "endDate", "trainIdentifier",
                          "active", "maxSpeed", "avgSpeed", "selectedStopEva") VALUES (?, ?, ?, ?, ?, ?, ?, ?))"_s);
    m_connection->samples =
        prepare(uR"(INSERT INTO "SpeedSample" ("timestamp", "speedKmh", "trip") VALUES (?, ?, ?))"_s);
}

StoreFiller::~StoreFiller() {
    m_connection->trip.finish();
    m_connection->samples.finish();
    // The last connection to close checkpoints the write-ahead log into the file, so that the benchmarks
    // open a file without one.
    m_connection->db.close();
    m_connection.reset();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void StoreFiller::execute(const QString& sql) {
    QSqlQuery query(m_connection->db);
    if (!query.exec(sql)) {
        die(u"cannot execute %1: %2"_s.arg(sql, query.lastError().text()));
    }
}

void StoreFiller::begin() {
    if (!m_connection->db.transaction()) {
        die(m_connection->db.lastError().text());
    }
}

void StoreFiller::commit() {
    if (!m_connection->db.commit()) {
        die(m_connection->db.lastError().text());
    }
}

qint64 StoreFiller::addTrip(const TripRow& row, const SampleSeries& samples) {
    QSqlQuery& trip = m_connection->trip;
    trip.bindValue(0, QUuid::createUuid().toString(QUuid::WithoutBraces));
    trip.bindValue(1, row.startMs);
    trip.bindValue(2, row.endMs ? QVariant(*row.endMs) : QVariant());
    trip.bindValue(3, row.trainIdentifier);
    trip.bindValue(4, row.active ? 1 : 0);
    trip.bindValue(5, samples.maximum);
    trip.bindValue(6, samples.average());
    trip.bindValue(7, row.selectedStopEva ? QVariant(*row.selectedStopEva) : QVariant());
    run(trip, "write a trip to");
    const qint64 tripKey = trip.lastInsertId().toLongLong();

    QVariantList links;
    links.fill(tripKey, samples.timestamps.size());
    QSqlQuery& insert = m_connection->samples;
    insert.bindValue(0, samples.timestamps);
    insert.bindValue(1, samples.speeds);
    insert.bindValue(2, links);
    if (!insert.execBatch()) {
        die(u"cannot write samples to the fixture: %1"_s.arg(insert.lastError().text()));
    }
    return tripKey;
}

QSqlQuery StoreFiller::prepare(const QString& sql) {
    QSqlQuery query(m_connection->db);
    if (!query.prepare(sql)) {
        die(u"cannot prepare %1: %2"_s.arg(sql, query.lastError().text()));
    }
    return query;
}

void StoreFiller::run(QSqlQuery& query, const char* what) {
    if (!query.exec()) {
        die(u"cannot %1 the fixture: %2"_s.arg(QString::fromLatin1(what), query.lastError().text()));
    }
}

qint64 StoreFiller::rowCount(const QString& table) {
    QSqlQuery query(m_connection->db);
    if (!query.exec(u"SELECT COUNT(*) FROM \"%1\""_s.arg(table)) || !query.next()) {
        die(u"cannot count the rows of %1: %2"_s.arg(table, query.lastError().text()));
    }
    return query.value(0).toLongLong();
}

int runParsedBenchmarks(int& argc, char** argv, const std::function<void()>& run) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    run();
    benchmark::Shutdown();
    return 0;
}

} // namespace quendle2::bench
