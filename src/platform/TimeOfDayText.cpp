#include "platform/TimeOfDayText.h"

#include <QLocale>
#include <QRegularExpression>

namespace quendle2 {

QString timeOfDayFormat() {
    static const QRegularExpression seconds(QStringLiteral("[.:,]?\\s?s{1,2}"));
    QString format = QLocale().timeFormat(QLocale::ShortFormat);
    format.remove(seconds);
    return format.trimmed();
}

QString timeOfDayText(const QDateTime& instant) {
    return QLocale().toString(instant.toLocalTime().time(), timeOfDayFormat());
}

} // namespace quendle2
