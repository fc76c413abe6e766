#pragma once

#include "store/ModelContainer.h"
#include "store/ModelContext.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtDebug>

#include <atomic>
#include <memory>

namespace quendle2::test {

inline std::unique_ptr<ModelContainer> openStore(const QString& filePath) {
    auto opened = ModelContainer::open(filePath);
    if (!opened.ok()) {
        qWarning().noquote() << opened.error().description;
        return nullptr;
    }
    return opened.takeValue();
}

/// A store in a folder of its own, closed and opened again as a restart of the application would.
class StoreFixture {
protected:
    bool openFresh() {
        m_dir = std::make_unique<QTemporaryDir>();
        return m_dir->isValid() && reopen();
    }
    bool reopen() {
        m_store.reset();
        m_store = openStore(storePath());
        return m_store != nullptr;
    }
    QString storePath() const { return m_dir->filePath(QStringLiteral("store.sqlite")); }
    ModelContext* context() const { return m_store->mainContext(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ModelContainer> m_store;
};

/// A connection of its own to a store file, the way another process would see it.
class RawConnection {
public:
    RawConnection(const QString& filePath, bool readOnly) {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("tst-raw-%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(filePath);
        if (readOnly) {
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        }
        m_open = db.open();
    }
    ~RawConnection() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    bool isOpen() const { return m_open; }

    bool exec(const QString& sql) { return run(sql).isActive(); }

    /// The first column of the first row; the statement ends here, so the next read sees the file afresh.
    QVariant scalar(const QString& sql) {
        QSqlQuery query = run(sql);
        return query.next() ? query.value(0) : QVariant();
    }

private:
    QSqlQuery run(const QString& sql) {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!query.exec(sql)) {
            qWarning().noquote() << sql << query.lastError().text();
        }
        return query;
    }

    QString m_name;
    bool m_open = false;
};

} // namespace quendle2::test
