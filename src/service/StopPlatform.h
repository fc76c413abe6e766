#pragma once

#include <QString>

#include <optional>

namespace quendle2 {

/// A stop's platform as the portal gives it: the timetable's and the one the train will actually use.
/// An empty text counts as unknown.
struct StopPlatform {
    std::optional<QString> scheduled;
    std::optional<QString> actual;

    /// The platform to go to: the actual one when known, else the scheduled one.
    std::optional<QString> current() const {
        if (known(actual)) {
            return actual;
        }
        return known(scheduled) ? scheduled : std::nullopt;
    }

    /// Both are known and they differ: the train no longer uses its timetable's platform.
    bool changed() const { return known(actual) && known(scheduled) && *actual != *scheduled; }

    bool operator==(const StopPlatform&) const = default;

private:
    static bool known(const std::optional<QString>& text) { return text && !text->isEmpty(); }
};

} // namespace quendle2
