#include "store/ModelContainer.h"

#include "platform/Log.h"
#include "store/ModelContext.h"
#include "store/StoreSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVersionNumber>

#include <atomic>
#include <span>
#include <unistd.h>

namespace quendle2 {

namespace {

using OpenResult = Result<std::unique_ptr<ModelContainer>, StoreError>;
using Migrations = std::span<const StoreSchema::Migration>;

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("quendle2-store-%1").arg(++counter);
}

QVersionNumber versionOf(const char* text) {
    return QVersionNumber::fromString(QString::fromLatin1(text));
}

/// The steps that bring a file of `version` to the current schema (none for a current file), or nothing when
/// this version of quendle2 cannot read it.
std::optional<Migrations> migrationsFrom(const QVersionNumber& version) {
    const Migrations all = StoreSchema::migrations();
    if (version == versionOf(ModelContainer::schemaVersion)) {
        return all.last(0);
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (versionOf(all[i].from) == version) {
            return all.subspan(i);
        }
    }
    return std::nullopt;
}

/// Reads the schema version of an existing file without writing a byte to it, and tells the steps that
/// upgrade it.
Result<Migrations, StoreError> checkExisting(const QString& filePath) {
    const QString probeName = nextConnectionName();
    std::optional<StoreError> problem;
    Migrations upgrade;
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
                const QVersionNumber ours = versionOf(ModelContainer::schemaVersion);
                if (const auto steps = migrationsFrom(QVersionNumber::fromString(found))) {
                    upgrade = *steps;
                } else {
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
    return problem ? Result<Migrations, StoreError>::failure(*problem)
                   : Result<Migrations, StoreError>::success(upgrade);
}

/// Copies the file, as it is before an upgrade, to a name beside it that tells its version. An earlier backup
/// of that version (of a file the user put back, say) is never replaced: the new one gets a number.
Result<QString, QString> backUp(const QString& filePath, const char* version) {
    const QString name = QStringLiteral("%1.%2.bak").arg(filePath, QString::fromLatin1(version));
    QString target = name;
    for (int n = 1; QFileInfo::exists(target); ++n) {
        target = name + u'.' + QString::number(n);
    }
    // copy() fills a temporary file and names it only when complete, and never over an existing file; it
    // leaves the bytes in the cache, though, and the upgraded file must not reach the disk without them.
    QFile original(filePath);
    if (!original.copy(target)) {
        return Result<QString, QString>::failure(
            QStringLiteral("%1: %2").arg(target, original.errorString()));
    }
    QFile copy(target);
    if (!copy.open(QIODevice::ReadOnly) || ::fsync(copy.handle()) != 0) {
        const QString error = QStringLiteral("%1: %2").arg(target, qt_error_string());
        copy.close();
        QFile::remove(target);
        return Result<QString, QString>::failure(error);
    }
    return Result<QString, QString>::success(target);
}

/// The tables of the first schema, recorded as its version. The error of the first statement that fails.
std::optional<QString> createFirstVersion(QSqlQuery& query) {
    for (const char* statement : StoreSchema::firstVersion()) {
        if (!query.exec(QString::fromUtf8(statement))) {
            return query.lastError().text();
        }
    }
    query.prepare(QStringLiteral(R"(INSERT INTO "Metadata" ("key", "value") VALUES ('schemaVersion', ?))"));
    query.bindValue(0, QString::fromLatin1(StoreSchema::migrations().front().from));
    return query.exec() ? std::nullopt : std::optional(query.lastError().text());
}

/// Runs `steps` and records the version they end at. The error of the first statement that fails.
std::optional<QString> runSteps(QSqlQuery& query, Migrations steps) {
    for (const StoreSchema::Migration& step : steps) {
        for (const char* statement : step.statements) {
            if (!query.exec(QString::fromUtf8(statement))) {
                return query.lastError().text();
            }
        }
    }
    query.prepare(QStringLiteral(R"(UPDATE "Metadata" SET "value" = ? WHERE "key" = 'schemaVersion')"));
    query.bindValue(0, QString::fromLatin1(steps.back().to));
    return query.exec() ? std::nullopt : std::optional(query.lastError().text());
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
    Migrations upgrade;
    if (existing) {
        auto checked = checkExisting(filePath);
        if (!checked.ok()) {
            return OpenResult::failure(checked.error());
        }
        upgrade = checked.value();
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
    // The backup copies the file alone, so everything committed must be in it and not in the log. Only one
    // instance runs, so nothing can commit between this and the transaction below.
    if (!upgrade.empty() && (!query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) ||
                             !query.next() || query.value(0).toInt() != 0)) {
        return fail(QStringLiteral("write to"), query.lastError().isValid()
                                                    ? query.lastError().text()
                                                    : QStringLiteral("another program is using it"));
    }
    query.finish();
    // A read-only file or disk must show up now, not as lost changes later.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        return fail(QStringLiteral("write to"), query.lastError().text());
    }
    QString backup;
    // Nothing of a failed open stays behind: a backup of a file left as it was is of no use.
    auto abandon = [&](const QString& what, const QString& error) {
        query.exec(QStringLiteral("ROLLBACK"));
        if (!backup.isEmpty()) {
            QFile::remove(backup);
        }
        return fail(what, error);
    };
    const QString change = existing ? QStringLiteral("upgrade") : QStringLiteral("create");
    if (existing) {
        // SQLite opens a file it may not write read-only without a word, and in WAL mode even BEGIN IMMEDIATE
        // succeeds on it: only writing a page tells. The write is rolled back, so the file stays as it was.
        if (!query.exec(
                QStringLiteral(R"(UPDATE "Metadata" SET "value" = "value" WHERE "key" = 'schemaVersion')"))) {
            return abandon(QStringLiteral("write to"), query.lastError().text());
        }
        if (!upgrade.empty()) {
            auto copied = backUp(filePath, upgrade.front().from);
            if (!copied.ok()) {
                return abandon(QStringLiteral("back up"), copied.error());
            }
            backup = copied.value();
        }
    } else if (std::optional<QString> error = createFirstVersion(query)) {
        return abandon(change, *error);
    } else {
        // A new file goes through the same steps as an upgraded one, in the one transaction.
        upgrade = StoreSchema::migrations();
    }
    if (!upgrade.empty()) {
        if (std::optional<QString> error = runSteps(query, upgrade)) {
            return abandon(change, *error);
        }
    }
    if (!query.exec(upgrade.empty() ? QStringLiteral("ROLLBACK") : QStringLiteral("COMMIT"))) {
        return abandon(QStringLiteral("write to"), query.lastError().text());
    }
    query.finish();
    if (!backup.isEmpty()) {
        const QString message =
            QStringLiteral("Upgraded the trip store %1 from schema %2 to %3; %4 keeps it as it was");
        qCInfo(lcStore).noquote() << message.arg(filePath, QString::fromLatin1(upgrade.front().from),
                                                 QString::fromLatin1(upgrade.back().to), backup);
    }

    container->m_context = new ModelContext(connectionName, nullptr);
    return OpenResult::success(std::move(container));
}

} // namespace quendle2
