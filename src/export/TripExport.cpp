#include "export/TripExport.h"

#include "store/SpeedSample.h"
#include "store/Trip.h"

#include <QLocale>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <algorithm>

namespace quendle2::TripExport {

namespace {

constexpr char gpxNamespace[] = "http://www.topografix.com/GPX/1/1";

/// Shortest text that reads back as the same double, with '.' whatever the locale, and never an exponent:
/// GPX coordinates are xsd:decimal.
QString decimal(double number) {
    return QString::number(number, 'f', QLocale::FloatingPointShortest);
}

QString instant(const QDateTime& timestamp) {
    return timestamp.toUTC().toString(Qt::ISODateWithMs);
}

} // namespace

std::optional<Format> formatNamed(const QString& name) {
    for (const Format format : {Format::Gpx, Format::Csv}) {
        if (name.compare(suffix(format), Qt::CaseInsensitive) == 0) {
            return format;
        }
    }
    return std::nullopt;
}

QString suffix(Format format) {
    return format == Format::Gpx ? QStringLiteral("gpx") : QStringLiteral("csv");
}

ExportTrip of(const Trip& trip) {
    ExportTrip result{trip.title(), {}};
    const QList<SpeedSample*> samples = trip.samples();
    result.rows.reserve(samples.size());
    for (const SpeedSample* sample : samples) {
        result.rows.append(
            {sample->timestamp(), sample->speedKmh(), sample->latitude(), sample->longitude()});
    }
    // In memory, samples stand in the order they joined the trip; a track follows the clock.
    std::stable_sort(result.rows.begin(), result.rows.end(),
                     [](const ExportRow& a, const ExportRow& b) { return a.timestamp < b.timestamp; });
    return result;
}

QByteArray gpx(const ExportTrip& trip) {
    const QString gpxNs = QString::fromLatin1(gpxNamespace);
    const QString ourNs = QString::fromLatin1(speedNamespace);
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeDefaultNamespace(gpxNs);
    xml.writeNamespace(ourNs, QStringLiteral("quendle2"));
    xml.writeStartElement(gpxNs, QStringLiteral("gpx"));
    xml.writeAttribute(QStringLiteral("version"), QStringLiteral("1.1"));
    xml.writeAttribute(QStringLiteral("creator"), QStringLiteral("quendle2"));
    xml.writeStartElement(gpxNs, QStringLiteral("trk"));
    // The writer escapes markup and drops the control characters XML 1.0 cannot carry (a portal's text is
    // not ours to trust); consumers reject a file with either.
    xml.writeTextElement(gpxNs, QStringLiteral("name"), trip.title);
    xml.writeStartElement(gpxNs, QStringLiteral("trkseg"));
    for (const ExportRow& row : trip.rows) {
        if (!row.latitude || !row.longitude) {
            continue;
        }
        xml.writeStartElement(gpxNs, QStringLiteral("trkpt"));
        xml.writeAttribute(QStringLiteral("lat"), decimal(*row.latitude));
        xml.writeAttribute(QStringLiteral("lon"), decimal(*row.longitude));
        if (row.timestamp.isValid()) {
            xml.writeTextElement(gpxNs, QStringLiteral("time"), instant(row.timestamp));
        }
        xml.writeStartElement(gpxNs, QStringLiteral("extensions"));
        xml.writeTextElement(ourNs, QStringLiteral("speed"), decimal(row.speedKmh));
        xml.writeEndElement();
        xml.writeEndElement();
    }
    xml.writeEndDocument();
    return out;
}

QByteArray csv(const ExportTrip& trip) {
    // No field can hold a comma, quote or line break, so none needs quoting.
    QString out = QStringLiteral("timestamp,speed_kmh,latitude,longitude\r\n");
    for (const ExportRow& row : trip.rows) {
        out += instant(row.timestamp) + u',' + decimal(row.speedKmh) + u',' +
               (row.latitude ? decimal(*row.latitude) : QString()) + u',' +
               (row.longitude ? decimal(*row.longitude) : QString()) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

QByteArray encode(const ExportTrip& trip, Format format) {
    return format == Format::Gpx ? gpx(trip) : csv(trip);
}

QString save(const QString& filePath, const QByteArray& bytes) {
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        return QStringLiteral("%1: %2").arg(filePath, file.errorString());
    }
    return {};
}

} // namespace quendle2::TripExport
