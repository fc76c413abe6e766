#include "export/StoreFileReader.h"

#include "store/StoreValues.h"
#include "store/Trip.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <atomic>

namespace quendle2::StoreFileReader {

namespace {

using Read = Result<ExportTrip, QString>;

Read readFrom(QSqlDatabase& db, const QString& trip) {
    QSqlQuery query(db);
    auto failed = [&](const QString& what) {
        return Read::failure(QStringLiteral("%1: %2").arg(what, query.lastError().text()));
    };
    if (trip == QLatin1String(latestTrip)) {
        query.prepare(QStringLiteral(
            R"(SELECT pk, "trainIdentifier" FROM "Trip" ORDER BY "startDate" DESC, pk DESC LIMIT 1)"));
    } else {
        query.prepare(QStringLiteral(R"(SELECT pk, "trainIdentifier" FROM "Trip" WHERE "id" = ?)"));
        query.addBindValue(StoreValues::fromUuid(QUuid::fromString(trip)));
    }
    if (!query.exec()) {
        return failed(QStringLiteral("cannot read the trips"));
    }
    if (!query.next()) {
        return Read::failure(QStringLiteral("no such trip: %1").arg(trip));
    }
    const qint64 pk = query.value(0).toLongLong();
    ExportTrip result{Trip::titleFor(query.value(1).toString()), {}};

    query.prepare(QStringLiteral(R"(SELECT "timestamp", "speedKmh", "latitude", "longitude" FROM "SpeedSample"
                                    WHERE "trip" = ? ORDER BY "timestamp", pk)"));
    query.addBindValue(pk);
    query.setForwardOnly(true);
    if (!query.exec()) {
        return failed(QStringLiteral("cannot read the samples"));
    }
    while (query.next()) {
        result.rows.append({StoreValues::toInstant(query.value(0)), query.value(1).toDouble(),
                            StoreValues::toOptionalNumber(query.value(2)),
                            StoreValues::toOptionalNumber(query.value(3))});
    }
    return Read::success(std::move(result));
}

} // namespace

Read readTrip(const QString& filePath, const QString& trip) {
    // Opening a missing file, even read-only, would be reported by SQLite in less helpful words.
    if (!QFileInfo(filePath).isFile()) {
        return Read::failure(QStringLiteral("no trip store at %1").arg(filePath));
    }
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("quendle2-export-%1").arg(++counter);
    std::optional<Read> result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(filePath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        result = db.open() ? readFrom(db, trip)
                           : Read::failure(QStringLiteral("%1: %2").arg(filePath, db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return std::move(*result);
}

} // namespace quendle2::StoreFileReader
