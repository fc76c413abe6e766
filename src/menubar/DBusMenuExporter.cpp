#include "menubar/DBusMenuExporter.h"

#include <QDBusAbstractAdaptor>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMetaObject>

#include <algorithm>

namespace quendle2 {

class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)

public:
    explicit DBusMenuAdaptor(DBusMenuExporter* menu)
        : QDBusAbstractAdaptor(menu)
        , m_menu(menu) {
        connect(menu, &DBusMenuExporter::layoutUpdated, this, &DBusMenuAdaptor::LayoutUpdated);
    }

    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

    // Lists are spelled QList<...> rather than through their aliases: QtDBus looks a parameter's type up
    // by the name written here, and skips the method or signal when the name is not registered.
public Q_SLOTS:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   quendle2::DBusMenuLayoutItem& layout) {
        if (!m_menu->contains(parentId)) {
            refuseUnknownId(parentId);
            return 0;
        }
        layout = m_menu->layout(parentId, recursionDepth, propertyNames);
        return m_menu->revision();
    }

    QList<quendle2::DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                                     const QStringList& propertyNames) {
        QList<int> wanted = ids;
        if (wanted.isEmpty()) {
            // Several hosts ask with no ids to mean "every item".
            wanted.append(DBusMenuExporter::rootId);
            for (const DBusMenuExporter::Entry& entry : m_menu->m_entries) {
                wanted.append(entry.id);
            }
        }
        DBusMenuItemList items;
        for (const int id : std::as_const(wanted)) {
            if (m_menu->contains(id)) {
                items.append(DBusMenuItem{id, m_menu->properties(id, propertyNames)});
            }
        }
        return items;
    }

    QDBusVariant GetProperty(int id, const QString& name) {
        const QVariantMap properties = m_menu->properties(id);
        const auto found = properties.constFind(name);
        if (found == properties.constEnd()) {
            m_menu->refuseCall(QStringLiteral("Item %1 has no property %2").arg(QString::number(id), name));
            return {};
        }
        return QDBusVariant(*found);
    }

    void Event(int id, const QString& eventId, const QDBusVariant& data, uint timestamp) {
        Q_UNUSED(data);
        Q_UNUSED(timestamp);
        if (!m_menu->handleEvent(id, eventId)) {
            refuseUnknownId(id);
        }
    }

    QList<int> EventGroup(const QList<quendle2::DBusMenuEvent>& events) {
        QList<int> idErrors;
        for (const DBusMenuEvent& event : events) {
            if (!m_menu->handleEvent(event.id, event.eventId)) {
                idErrors.append(event.id);
            }
        }
        if (!events.isEmpty() && idErrors.size() == events.size()) {
            m_menu->refuseCall(QStringLiteral("No event names a known item"));
        }
        return idErrors;
    }

    bool AboutToShow(int id) {
        Q_UNUSED(id);
        return false;
    }

    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        for (const int id : ids) {
            if (!m_menu->contains(id)) {
                idErrors.append(id);
            }
        }
        return {};
    }

Q_SIGNALS:
    void ItemsPropertiesUpdated(const QList<quendle2::DBusMenuItem>& updatedProps,
                                const QList<quendle2::DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    void refuseUnknownId(int id) { m_menu->refuseCall(QStringLiteral("No menu item with id %1").arg(id)); }

    DBusMenuExporter* m_menu = nullptr;
};

DBusMenuExporter::DBusMenuExporter(const QDBusConnection& connection, const QString& path,
                                   QList<Entry> entries, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_path(path)
    , m_entries(std::move(entries)) {
    registerDBusMenuTypes();
    new DBusMenuAdaptor(this);
    m_exported = m_connection.registerObject(m_path, this, QDBusConnection::ExportAdaptors);
}

DBusMenuExporter::~DBusMenuExporter() {
    if (m_exported) {
        m_connection.unregisterObject(m_path);
    }
}

void DBusMenuExporter::setEntries(QList<Entry> entries) {
    m_entries = std::move(entries);
    ++m_revision;
    Q_EMIT layoutUpdated(m_revision, rootId);
}

bool DBusMenuExporter::contains(int id) const {
    return id == rootId || std::any_of(m_entries.cbegin(), m_entries.cend(),
                                       [id](const Entry& entry) { return entry.id == id; });
}

QVariantMap DBusMenuExporter::properties(int id, const QStringList& names) const {
    QVariantMap all;
    if (id == rootId) {
        all.insert(QStringLiteral("children-display"), QStringLiteral("submenu"));
    } else {
        for (const Entry& entry : m_entries) {
            if (entry.id != id) {
                continue;
            }
            all.insert(QStringLiteral("visible"), true);
            if (entry.separator) {
                all.insert(QStringLiteral("type"), QStringLiteral("separator"));
                break;
            }
            all.insert(QStringLiteral("type"), QStringLiteral("standard"));
            // Hosts read an underscore as the mark of an access key; a name's own one is doubled.
            all.insert(QStringLiteral("label"), QString(entry.label).replace(u'_', QStringLiteral("__")));
            all.insert(QStringLiteral("enabled"), entry.enabled);
            if (entry.radioChecked) {
                all.insert(QStringLiteral("toggle-type"), QStringLiteral("radio"));
                all.insert(QStringLiteral("toggle-state"), *entry.radioChecked ? 1 : 0);
            }
            break;
        }
    }
    if (names.isEmpty()) {
        return all;
    }
    QVariantMap chosen;
    for (const QString& name : names) {
        const auto found = all.constFind(name);
        if (found != all.constEnd()) {
            chosen.insert(name, *found);
        }
    }
    return chosen;
}

DBusMenuLayoutItem DBusMenuExporter::layout(int id, int depth, const QStringList& names) const {
    DBusMenuLayoutItem item{id, properties(id, names), {}};
    // A depth of -1 asks for the whole subtree, 0 for the item alone; only the root has children.
    if (id == rootId && depth != 0) {
        for (const Entry& entry : m_entries) {
            item.children.append(layout(entry.id, depth < 0 ? -1 : depth - 1, names));
        }
    }
    return item;
}

void DBusMenuExporter::refuseCall(const QString& message) {
    if (calledFromDBus()) {
        sendErrorReply(QDBusError::InvalidArgs, message);
    }
}

bool DBusMenuExporter::handleEvent(int id, const QString& eventId) {
    if (!contains(id)) {
        return false;
    }
    if (eventId != QLatin1StringView("clicked")) {
        return true;
    }
    for (const Entry& entry : std::as_const(m_entries)) {
        if (entry.id == id && entry.trigger) {
            // Queued so that the host gets its reply first, and so that a trigger which ends the
            // application or deletes this menu does not pull the adaptor out from under the running call.
            QMetaObject::invokeMethod(this, entry.trigger, Qt::QueuedConnection);
        }
    }
    return true;
}

} // namespace quendle2

#include "DBusMenuExporter.moc"
