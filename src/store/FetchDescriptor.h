#pragma once

#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace quendle2 {

/// What to fetch: conditions that must all hold, and the sort order. Without a sort, records come in store
/// order (the order they were inserted).
struct FetchDescriptor {
    struct Condition {
        enum class Kind {
            TextEquals,   ///< `field` equals `text`, exactly
            TripIdEquals, ///< the `id` of the record's trip link equals `tripId`; an empty link matches only
                          ///< absent
        };
        Kind kind;
        QString field;
        QString text;
        std::optional<QUuid> tripId;

        static Condition textEquals(QString field, QString text) {
            return Condition{Kind::TextEquals, std::move(field), std::move(text), std::nullopt};
        }
        static Condition tripIdEquals(std::optional<QUuid> tripId) {
            return Condition{Kind::TripIdEquals, QStringLiteral("trip"), {}, tripId};
        }
    };

    struct SortKey {
        QString field;
        bool ascending = true;
    };

    QList<Condition> filter;
    QList<SortKey> sort;
    std::optional<int> limit;
};

} // namespace quendle2
