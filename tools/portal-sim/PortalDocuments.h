#pragma once

#include "Scenario.h"
#include "SimTimeline.h"

#include <QJsonObject>

namespace quendle2::sim {

/// The two documents the portal would serve at one wall instant of a playing scenario, shaped like real
/// captures; their times are the scenario's own instants (see SimTimeline).
namespace PortalDocuments {

QJsonObject status(const Scenario& scenario, const SimTimeline& timeline, const QDateTime& wallNow);
QJsonObject trip(const Scenario& scenario, const SimTimeline& timeline, const QDateTime& wallNow);

} // namespace PortalDocuments

} // namespace quendle2::sim
