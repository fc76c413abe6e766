// quendle2-portal-sim: serves a simulated onboard portal on loopback, or checks a captured document
// against the application's own decoder.

#include "PortalSimulator.h"
#include "platform/Clock.h"
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace quendle2;
using namespace quendle2::sim;
using namespace Qt::Literals::StringLiterals;

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

int validate(const QString& kind, const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        err() << fileName << ": " << file.errorString() << Qt::endl;
        return 1;
    }
    const QByteArray body = file.readAll();
    if (kind == "status"_L1) {
        const auto decoded = ICEStatus::decode(body);
        if (!decoded.ok()) {
            err() << fileName << ": " << decoded.error().description() << Qt::endl;
            return 1;
        }
        const ICEStatus& s = decoded.value();
        out() << fileName << ": status OK: train " << s.trainType.value_or(u"?"_s) << ' '
              << s.tzn.value_or(u"?"_s) << ", speed " << (s.speed ? QString::number(*s.speed) : u"absent"_s)
              << ", internet " << s.internet.value_or(u"absent"_s) << Qt::endl;
        return 0;
    }
    if (kind == "trip"_L1) {
        const auto decoded = ICETripInfo::decode(body);
        if (!decoded.ok()) {
            err() << fileName << ": " << decoded.error().description() << Qt::endl;
            return 1;
        }
        const auto& trip = decoded.value().trip;
        const qsizetype stops = trip && trip->stops ? static_cast<qsizetype>(trip->stops->size()) : 0;
        QString route;
        if (stops > 0) {
            const auto& first = trip->stops->front().station;
            const auto& last = trip->stops->back().station;
            route = u", %1 to %2"_s.arg(first && first->name ? *first->name : u"?"_s,
                                        last && last->name ? *last->name : u"?"_s);
        }
        out() << fileName << ": trip info OK: " << (trip ? u"trip"_s : u"no trip"_s) << ", " << stops
              << " stops" << route << Qt::endl;
        return 0;
    }
    err() << "validate takes 'status' or 'trip', not '" << kind << "'" << Qt::endl;
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"quendle2-portal-sim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Simulated onboard portal for quendle2.\n\n"
        "  quendle2-portal-sim [options]              serve the scenario over HTTPS on loopback\n"
        "  quendle2-portal-sim validate status|trip FILE   decode a captured document"_s);
    parser.addHelpOption();
    QCommandLineOption portOption(u"port"_s, u"Port to listen on (0 picks a free one)."_s, u"port"_s, u"0"_s);
    QCommandLineOption scenarioOption(u"scenario"_s,
                                      u"Scenario file (JSON); the built-in journey by default."_s, u"file"_s);
    QCommandLineOption factorOption(u"factor"_s, u"Scenario seconds per wall second."_s, u"x"_s, u"30"_s);
    QCommandLineOption startOption(u"start-at"_s, u"Scenario second to start from."_s, u"seconds"_s, u"0"_s);
    QCommandLineOption faultOption(
        u"fault"_s,
        u"PATH=FAULT with PATH status or trip and FAULT one of none, hang, trickle, "
        "500-html, 404-json, wrong-type, huge, reset. May repeat."_s,
        u"path=fault"_s);
    QCommandLineOption printCaOption(u"print-ca"_s, u"Print the test CA certificate (PEM) and exit."_s);
    parser.addOptions({portOption, scenarioOption, factorOption, startOption, faultOption, printCaOption});
    parser.addPositionalArgument(u"command"_s, u"Optional: validate status|trip FILE"_s);
    parser.process(app);

    if (parser.isSet(printCaOption)) {
        for (const QSslCertificate& ca : PortalSimulator::caCertificates()) {
            out() << ca.toPem();
        }
        return 0;
    }

    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty()) {
        if (positional.first() != "validate"_L1 || positional.size() != 3) {
            err() << "usage: quendle2-portal-sim validate status|trip FILE" << Qt::endl;
            return 2;
        }
        return validate(positional.at(1), positional.at(2));
    }

    Scenario scenario = Scenario::builtInJourney();
    if (parser.isSet(scenarioOption)) {
        QFile file(parser.value(scenarioOption));
        if (!file.open(QIODevice::ReadOnly)) {
            err() << file.fileName() << ": " << file.errorString() << Qt::endl;
            return 1;
        }
        QString error;
        std::optional<Scenario> loaded = Scenario::fromJson(file.readAll(), &error);
        if (!loaded) {
            err() << file.fileName() << ": " << error << Qt::endl;
            return 1;
        }
        scenario = *loaded;
    }

    PortalSimulator simulator(scenario, Clock::system());
    bool ok = false;
    const double factor = parser.value(factorOption).toDouble(&ok);
    if (!ok || factor <= 0) {
        err() << "--factor needs a positive number" << Qt::endl;
        return 2;
    }
    simulator.play(factor, parser.value(startOption).toDouble());
    for (const QString& faultArgument : parser.values(faultOption)) {
        const QString pathName = faultArgument.section(u'=', 0, 0);
        const auto fault = PortalSimulator::faultFromName(faultArgument.section(u'=', 1));
        if ((pathName != "status"_L1 && pathName != "trip"_L1) || !fault) {
            err() << "bad --fault '" << faultArgument << "'" << Qt::endl;
            return 2;
        }
        simulator.setFault(
            pathName == "status"_L1 ? PortalSimulator::Path::Status : PortalSimulator::Path::Trip, *fault);
    }
    if (!simulator.listen(static_cast<quint16>(parser.value(portOption).toUInt()))) {
        err() << "cannot listen: " << simulator.errorString() << Qt::endl;
        return 1;
    }
    out() << "quendle2-portal-sim serving " << simulator.origin().toString() << "/api1/rs/status and "
          << simulator.origin().toString() << "/api1/rs/tripInfo/trip at " << factor << "x" << Qt::endl;
    out() << "It is signed by its own test CA (quendle2-portal-sim --print-ca > ca.pem; then curl --cacert "
             "ca.pem ...)."
          << Qt::endl;
    return QCoreApplication::exec();
}
