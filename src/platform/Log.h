#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

#include <optional>

namespace quendle2 {

// Every category of the diagnostic log, here and nowhere else, so that one list says what a user can switch
// on (QT_LOGGING_RULES="org.quendle2.Quendle2.*.debug=true"). Each shows info and above unless asked for
// more.

/// Polling, documents, trips, samples and stops.
Q_DECLARE_LOGGING_CATEGORY(lcTrainService)
/// The title, the menu and clicks on the status item.
Q_DECLARE_LOGGING_CATEGORY(lcStatusBar)
/// Publishing the StatusNotifierItem on the session bus.
Q_DECLARE_LOGGING_CATEGORY(lcStatusItem)
/// Opening, upgrading and saving the trip store.
Q_DECLARE_LOGGING_CATEGORY(lcStore)
/// Desktop notifications.
Q_DECLARE_LOGGING_CATEGORY(lcNotifications)
/// The shell's own messages: start-up, instances, quitting.
Q_DECLARE_LOGGING_CATEGORY(lcApp)

/// Names and argument formats of the diagnostic log. Message texts are part of the behaviour, so the
/// arguments are rendered exactly as the log has always shown them; these helpers are the one place
/// that knows how.
namespace Log {

/// The application's reverse-DNS identifier: the subsystem of every message.
inline constexpr char subsystem[] = "org.quendle2.Quendle2";
inline constexpr char trainServiceCategory[] = "TrainService";
inline constexpr char statusBarCategory[] = "StatusBar";

/// The component name of a Qt logging category ("org.quendle2.Quendle2.TrainService" gives
/// "TrainService"); categories of other origins are returned unchanged.
QString componentOf(const char* categoryName);

/// A boolean as "true" or "false".
QString boolText(bool value);

/// An optional boolean as "Optional(true)", "Optional(false)" or "nil".
QString optionalBool(std::optional<bool> value);

/// A double with a fixed number of decimals, as printf's "%.*f" renders it in the C locale: every integer
/// digit is exact, so even the greatest finite double prints in full.
QString fixed(double value, int decimals);

/// A double with printf's default precision of six decimals ("%f").
QString fixed(double value);

/// A signed integer ("%ld").
QString integer(qint64 value);

/// An instant in UTC to the second, for example "2024-05-01 08:15:00 +0000".
QString date(const QDateTime& instant);

} // namespace Log

} // namespace quendle2
