#pragma once

#include "menubar/DBusMenuTypes.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace quendle2 {

class DBusMenuAdaptor;

/// A flat menu published over com.canonical.dbusmenu, the protocol StatusNotifierItem hosts read an item's
/// menu through. Each change of its entries is a new layout revision, announced with LayoutUpdated.
class DBusMenuExporter final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    struct Entry {
        /// Positive and unique: id 0 is the invisible root that holds the entries.
        int id = 0;
        QString label;
        /// Runs from the event loop after the D-Bus call has been answered, so it may destroy the exporter.
        std::function<void()> trigger;
        bool separator = false;
        bool enabled = true;
        /// A member of a radio group, checked or not; none for a plain entry.
        std::optional<bool> radioChecked;
    };

    static constexpr int rootId = 0;

    DBusMenuExporter(const QDBusConnection& connection, const QString& path, QList<Entry> entries,
                     QObject* parent = nullptr);
    ~DBusMenuExporter() override;

    /// Whether the menu's object is on the bus (false if another object holds the path).
    bool isExported() const { return m_exported; }
    QString path() const { return m_path; }
    uint revision() const { return m_revision; }

    /// Replaces the entries as a new layout revision, and tells the hosts.
    void setEntries(QList<Entry> entries);

Q_SIGNALS:
    void layoutUpdated(uint revision, int parent);

private:
    friend class DBusMenuAdaptor;

    bool contains(int id) const;
    /// The item's properties, limited to `names` unless that is empty; empty for an unknown id.
    QVariantMap properties(int id, const QStringList& names = {}) const;
    DBusMenuLayoutItem layout(int id, int depth, const QStringList& names) const;
    /// Handles one event; false for an unknown id.
    bool handleEvent(int id, const QString& eventId);
    /// Answers the D-Bus call being handled with an error. QtDBus keeps the call's context on the object
    /// an adaptor belongs to, not on the adaptor, hence here.
    void refuseCall(const QString& message);

    QDBusConnection m_connection;
    QString m_path;
    QList<Entry> m_entries;
    uint m_revision = 1;
    bool m_exported = false;
};

} // namespace quendle2
