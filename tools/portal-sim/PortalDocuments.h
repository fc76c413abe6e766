#pragma once

#include "Scenario.h"
#include "SimTimeline.h"

#include <QJsonObject>

namespace quendle2::sim {

/// The two documents the portal would serve at one moment of a scenario, shaped like real captures.
namespace PortalDocuments {

QJsonObject status(const Scenario& scenario, const SimTimeline& timeline, const QDateTime& now);
QJsonObject trip(const Scenario& scenario, const SimTimeline& timeline, const QDateTime& now);

} // namespace PortalDocuments

} // namespace quendle2::sim
