#include "StatusTool.h"

#include "JourneyWatch.h"
#include "StatusLine.h"
#include "export/StoreFileReader.h"
#include "export/TripExport.h"
#include "platform/JourneyBusNames.h"
#include "store/ModelContainer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

namespace quendle2::status {

namespace {

constexpr int usageError = 2;

void print(FILE* stream, const QByteArray& line) {
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stream);
    std::fputc('\n', stream);
    // A bar reads the stream as it comes; nothing may wait in a buffer.
    std::fflush(stream);
}

void complain(const QString& text) {
    print(stderr, text.toLocal8Bit());
}

int usage(const QCommandLineParser& parser, const QString& problem) {
    complain(QStringLiteral("quendle2-status: ") + problem);
    complain(parser.helpText().trimmed());
    return usageError;
}

/// The store file of the application, or of the demo: the same folder they keep it in.
QString storeFile(bool demo) {
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(demo ? QStringLiteral("quendle2-demo") : QStringLiteral("quendle2"));
    const QString path = ModelContainer::defaultFilePath();
    QCoreApplication::setApplicationName(ownName);
    return path;
}

int exportTrip(const QCommandLineParser& parser, const QStringList& positional, bool demo) {
    if (positional.size() != 2) {
        return usage(parser, QStringLiteral("export takes one trip: an id, or \"latest\""));
    }
    const std::optional<TripExport::Format> format =
        TripExport::formatNamed(parser.value(QStringLiteral("format")));
    if (!format) {
        return usage(parser, QStringLiteral("--format is gpx or csv"));
    }
    const auto read = StoreFileReader::readTrip(storeFile(demo), positional.at(1));
    if (!read.ok()) {
        complain(QStringLiteral("quendle2-status: ") + read.error());
        return 1;
    }
    const QByteArray bytes = TripExport::encode(read.value(), *format);
    if (!parser.isSet(QStringLiteral("output"))) {
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (const QString error = TripExport::save(parser.value(QStringLiteral("output")), bytes);
        !error.isEmpty()) {
        complain(QStringLiteral("quendle2-status: ") + error);
        return 1;
    }
    return 0;
}

int showJourney(LineStyle style, bool follow, bool demo) {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        complain(
            QStringLiteral("quendle2 is not running (no session bus: %1)").arg(bus.lastError().message()));
        return 1;
    }
    JourneyWatch watch(bus, QString::fromLatin1(demo ? JourneyBusNames::demo : JourneyBusNames::application));
    QByteArray lastLine;
    bool seen = false;
    const auto show = [&](const std::optional<QVariantMap>& journey) {
        // A bar needs a line only when what it shows would change.
        const QByteArray line = statusLine(style, journey);
        if (line != lastLine) {
            print(stdout, line);
            lastLine = line;
        }
    };
    QObject::connect(&watch, &JourneyWatch::changed, [&](const QVariantMap& journey) {
        seen = true;
        show(journey);
        if (!follow) {
            QCoreApplication::exit(0);
        }
    });
    QObject::connect(&watch, &JourneyWatch::absent, [&] {
        if (!follow) {
            complain(QStringLiteral("quendle2 is not running"));
            QCoreApplication::exit(1);
            return;
        }
        show(std::nullopt);
        // Following ends with the application; until it first comes, it is awaited.
        if (seen) {
            QCoreApplication::exit(0);
        }
    });
    watch.start();
    return QCoreApplication::exec();
}

} // namespace

int runStatusTool(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The journey of the running quendle2, for bars and scripts; trips recorded by it, as GPX or "
        "CSV.\n\n"
        "  quendle2-status [--json | --waybar] [--follow] [--demo]\n"
        "  quendle2-status [--demo] export TRIP --format gpx|csv [--output FILE]"));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption json(QStringLiteral("json"),
                                  QStringLiteral("One JSON object with every property."));
    const QCommandLineOption waybar(
        QStringLiteral("waybar"), QStringLiteral("One JSON line for Waybar: text, tooltip, class and alt."));
    const QCommandLineOption follow(QStringLiteral("follow"),
                                    QStringLiteral("A line on every change, until quendle2 quits."));
    const QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Talk to quendle2-demo instead."));
    const QCommandLineOption format(QStringLiteral("format"), QStringLiteral("export: gpx or csv."),
                                    QStringLiteral("format"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    QStringLiteral("export: the file to write (standard output without)."),
                                    QStringLiteral("file"));
    parser.addOptions({help, json, waybar, follow, demo, format, output});
    parser.addPositionalArgument(QStringLiteral("export"), QStringLiteral("Write a recorded trip."),
                                 QStringLiteral("[export TRIP]"));
    if (!parser.parse(arguments)) {
        return usage(parser, parser.errorText());
    }
    if (parser.isSet(help)) {
        print(stdout, parser.helpText().trimmed().toLocal8Bit());
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && positional.first() == QLatin1String("export")) {
        if (parser.isSet(json) || parser.isSet(waybar) || parser.isSet(follow)) {
            return usage(parser, QStringLiteral("export takes only --format, --output and --demo"));
        }
        return exportTrip(parser, positional, parser.isSet(demo));
    }
    if (!positional.isEmpty()) {
        return usage(parser, QStringLiteral("unknown command: ") + positional.first());
    }
    if (parser.isSet(json) && parser.isSet(waybar)) {
        return usage(parser, QStringLiteral("choose one of --json and --waybar"));
    }
    if (parser.isSet(format) || parser.isSet(output)) {
        return usage(parser, QStringLiteral("--format and --output belong to export"));
    }
    const LineStyle style = parser.isSet(json)     ? LineStyle::Json
                            : parser.isSet(waybar) ? LineStyle::Waybar
                                                   : LineStyle::Title;
    return showJourney(style, parser.isSet(follow), parser.isSet(demo));
}

} // namespace quendle2::status
