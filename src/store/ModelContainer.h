#pragma once

#include "platform/Result.h"
#include "store/StoreError.h"

#include <QObject>
#include <QString>

#include <memory>

namespace quendle2 {

class ModelContext;

/// The trip store on disk: one SQLite file with the five record types, and its one main context.
///
/// A file it cannot use (damaged, not a database, not ours, from a newer version, or in a folder it cannot
/// write) is reported and left exactly as it was: the store never deletes, repairs or rewrites the user's
/// data. A file of an older schema is upgraded in place, in one transaction, after a copy of it is kept
/// beside it (`store.sqlite.1.0.0.bak`); an upgrade that fails leaves the file as it was.
class ModelContainer final : public QObject {
    Q_OBJECT
public:
    static constexpr char schemaVersion[] = "1.2.0";

    ~ModelContainer() override;

    /// Opens the store at `filePath`, creating it (and its folder) when it does not exist yet.
    static Result<std::unique_ptr<ModelContainer>, StoreError> open(const QString& filePath);
    /// AppDataLocation/store.sqlite, so XDG_DATA_HOME is honoured.
    static QString defaultFilePath();

    QString filePath() const { return m_filePath; }
    ModelContext* mainContext() const { return m_context; }

private:
    ModelContainer(QString filePath, QString connectionName);

    QString m_filePath;
    QString m_connectionName;
    ModelContext* m_context = nullptr;
};

} // namespace quendle2
