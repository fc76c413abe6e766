#pragma once

#include <QIdentityProxyModel>

namespace quendle2 {

/// The live trips with texts on top: the row title for display (so typing a train number jumps to it) and a
/// spoken description for screen readers. The record itself stays reachable under RecordRole.
class TripListModel final : public QIdentityProxyModel {
    Q_OBJECT
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
};

} // namespace quendle2
