#pragma once

#include <QString>

namespace quendle2 {

/// Why the store could not do something; `description` is meant for the user and the log.
struct StoreError {
    QString description;
};

} // namespace quendle2
