#include "store/ModelContainer.h"

#include "store/ModelContext.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVersionNumber>

#include <atomic>

namespace quendle2 {

namespace {

using OpenResult = Result<std::unique_ptr<ModelContainer>, StoreError>;

const char* const schemaStatements[] = {
    R"(CREATE TABLE "Item" (pk INTEGER PRIMARY KEY, "timestamp" INTEGER))",
    R"(CREATE TABLE "AppSettings" (pk INTEGER PRIMARY KEY, "showSpeed" INTEGER NOT NULL,
        "showArrivalInfo" INTEGER NOT NULL, "showDelay" INTEGER NOT NULL, "showWifiStrength" INTEGER NOT NULL,
        "showTrainEmoji" INTEGER, "updateIntervalSeconds" INTEGER NOT NULL, "stopSelectionEva" TEXT))",
    R"(CREATE TABLE "Trip" (pk INTEGER PRIMARY KEY, "id" TEXT NOT NULL UNIQUE, "startDate" INTEGER,
        "endDate" INTEGER, "trainIdentifier" TEXT NOT NULL, "active" INTEGER NOT NULL, "maxSpeed" REAL NOT NULL,
        "avgSpeed" REAL NOT NULL, "selectedStopEva" TEXT))",
    R"(CREATE INDEX "TripByStartDate" ON "Trip" ("startDate"))",
    R"(CREATE INDEX "TripByTrainIdentifier" ON "Trip" ("trainIdentifier"))",
    R"(CREATE TABLE "SpeedSample" (pk INTEGER PRIMARY KEY, "timestamp" INTEGER, "speedKmh" REAL NOT NULL,
        "trip" INTEGER REFERENCES "Trip" (pk) ON DELETE CASCADE))",
    R"(CREATE INDEX "SpeedSampleByTripAndTime" ON "SpeedSample" ("trip", "timestamp"))",
    R"(CREATE TABLE "StopSnapshot" (pk INTEGER PRIMARY KEY, "createdAt" INTEGER,
        "trip" INTEGER REFERENCES "Trip" (pk) ON DELETE SET NULL, "stationEva" TEXT NOT NULL,
        "stationName" TEXT NOT NULL, "scheduledArrivalTime" INTEGER, "actualArrivalTime" INTEGER,
        "arrivalDelayText" TEXT))",
    R"(CREATE INDEX "StopSnapshotByTripStationTime" ON "StopSnapshot" ("trip", "stationEva", "createdAt"))",
    R"(CREATE TABLE "Metadata" ("key" TEXT PRIMARY KEY, "value" TEXT NOT NULL))",
};

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("quendle2-store-%1").arg(++counter);
}

/// Reads the schema version of an existing file without writing a byte to it.
std::optional<StoreError> checkExisting(const QString& filePath) {
    const QString probeName = nextConnectionName();
    std::optional<StoreError> problem;
    {
        QSqlDatabase probe = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), probeName);
        probe.setDatabaseName(filePath);
        probe.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!probe.open()) {
            problem = StoreError{
                QStringLiteral("Cannot open the trip store %1: %2").arg(filePath, probe.lastError().text())};
        } else {
            QSqlQuery query(probe);
            if (!query.exec(
                    QStringLiteral(R"(SELECT "value" FROM "Metadata" WHERE "key" = 'schemaVersion')")) ||
                !query.next()) {
                const QString reason = query.lastError().isValid()
                                           ? query.lastError().text()
                                           : QStringLiteral("no schema version recorded");
                problem = StoreError{
                    QStringLiteral(
                        "The file %1 is not a quendle2 trip store, or it is damaged (%2). It was left "
                        "untouched.")
                        .arg(filePath, reason)};
            } else {
                const QString found = query.value(0).toString();
                const QVersionNumber version = QVersionNumber::fromString(found);
                const QVersionNumber ours =
                    QVersionNumber::fromString(QString::fromLatin1(ModelContainer::schemaVersion));
                if (version.majorVersion() != ours.majorVersion() || version > ours) {
                    problem =
                        StoreError{QStringLiteral("The trip store %1 was written by another version of "
                                                  "quendle2 (schema %2; this version reads %3). It was left "
                                                  "untouched.")
                                       .arg(filePath, found, ours.toString())};
                }
            }
            query.finish();
        }
        probe.close();
    }
    QSqlDatabase::removeDatabase(probeName);
    return problem;
}

} // namespace

ModelContainer::ModelContainer(QString filePath, QString connectionName)
    : m_filePath(std::move(filePath))
    , m_connectionName(std::move(connectionName)) {}

ModelContainer::~ModelContainer() {
    delete m_context; // commits what is pending
    m_context = nullptr;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QString ModelContainer::defaultFilePath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("store.sqlite"));
}

OpenResult ModelContainer::open(const QString& filePath) {
    const QFileInfo file(filePath);
    const bool existing = file.exists() && file.size() > 0;
    if (existing) {
        if (std::optional<StoreError> problem = checkExisting(filePath)) {
            return OpenResult::failure(*problem);
        }
    } else if (!QDir().mkpath(file.absolutePath())) {
        return OpenResult::failure(
            {QStringLiteral("Cannot create the folder %1 for the trip store.").arg(file.absolutePath())});
    }

    const QString connectionName = nextConnectionName();
    std::unique_ptr<ModelContainer> container(new ModelContainer(filePath, connectionName));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(filePath);
    auto fail = [&](const QString& what, const QString& error) {
        return OpenResult::failure(
            {QStringLiteral("Cannot %1 the trip store %2: %3").arg(what, filePath, error)});
    };
    if (!db.open()) {
        return fail(QStringLiteral("open"), db.lastError().text());
    }

    QSqlQuery query(db);
    // WAL keeps every committed turn safe from a crash without an fsync per commit.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next() ||
        query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
        return fail(QStringLiteral("write to"), query.lastError().isValid()
                                                    ? query.lastError().text()
                                                    : QStringLiteral("the disk is read-only"));
    }
    query.finish();
    if (!query.exec(QStringLiteral("PRAGMA foreign_keys = ON")) ||
        !query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"))) {
        return fail(QStringLiteral("set up"), query.lastError().text());
    }
    // A read-only file or disk must show up now, not as lost changes later.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return fail(QStringLiteral("write to"), query.lastError().text());
    }
    if (existing) {
        // SQLite opens a file it may not write read-only without a word, and in WAL mode even BEGIN IMMEDIATE
        // succeeds on it: only writing a page tells. The write is rolled back, so the file stays as it was.
        if (!query.exec(
                QStringLiteral(R"(UPDATE "Metadata" SET "value" = "value" WHERE "key" = 'schemaVersion')"))) {
            const QString error = query.lastError().text();
            query.exec(QStringLiteral("ROLLBACK"));
            return fail(QStringLiteral("write to"), error);
        }
    } else {
        for (const char* statement : schemaStatements) {
            if (!query.exec(QString::fromUtf8(statement))) {
                const QString error = query.lastError().text();
                query.exec(QStringLiteral("ROLLBACK"));
                return fail(QStringLiteral("create"), error);
            }
        }
        query.prepare(
            QStringLiteral(R"(INSERT INTO "Metadata" ("key", "value") VALUES ('schemaVersion', ?))"));
        query.bindValue(0, QString::fromLatin1(schemaVersion));
        if (!query.exec()) {
            const QString error = query.lastError().text();
            query.exec(QStringLiteral("ROLLBACK"));
            return fail(QStringLiteral("create"), error);
        }
    }
    if (!query.exec(existing ? QStringLiteral("ROLLBACK") : QStringLiteral("COMMIT"))) {
        const QString error = query.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return fail(QStringLiteral("write to"), error);
    }
    query.finish();

    container->m_context = new ModelContext(connectionName, nullptr);
    return OpenResult::success(std::move(container));
}

} // namespace quendle2
