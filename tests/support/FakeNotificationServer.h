#pragma once

#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

namespace quendle2::test {

/// The desktop's notification server as tests see it: records every call and answers with ids of its own.
class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QVariantList> calls;

    QStringList summaries() const {
        QStringList texts;
        for (const QVariantList& call : calls) {
            texts << call.value(3).toString();
        }
        return texts;
    }

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int timeout) {
        calls << QVariantList{appName, replacesId, appIcon, summary, body, actions, hints, timeout};
        return replacesId != 0 ? replacesId : static_cast<uint>(calls.size()) + 40;
    }
};

} // namespace quendle2::test
