// quendle2-portal-sim: serves a simulated onboard portal on loopback, checks a captured document against
// the application's own decoder, or polls a portal with the application's own client (for measuring it).

#include "PortalSimulator.h"
#include "platform/Clock.h"
#include "portal/ICEPortalClient.h"
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSslKey>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <optional>

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

template <typename Outcome>
QString outcomeText(const Outcome& outcome) {
    return outcome.ok() ? u"ok"_s : outcome.error().description;
}

/// Polls like the application's service: one client for the whole run, both documents at once on every
/// beat of a repeating timer, nothing else in the process. Without an origin it is the production client
/// (production origin, the system's certificate authorities); with one, it trusts the simulator's CA.
int poll(const std::optional<QUrl>& origin, double intervalSeconds, int polls) {
    std::unique_ptr<ICEPortalClient> client =
        origin ? std::make_unique<ICEPortalClient>(3.0, *origin, PortalSimulator::caCertificates())
               : std::make_unique<ICEPortalClient>(3.0);
    int started = 0;
    auto beat = [&client, &started, polls] {
        const int number = ++started;
        const auto status = client->fetchStatus();
        const auto trip = client->fetchTrip();
        status.then(nullptr, [trip, number, polls](const PortalFetch<ICEStatus>::Outcome& s) {
            trip.then(nullptr, [s, number, polls](const PortalFetch<ICETripInfo>::Outcome& t) {
                out() << "poll " << number << ": status " << outcomeText(s) << ", trip " << outcomeText(t)
                      << Qt::endl;
                if (number == polls) {
                    QCoreApplication::quit();
                }
            });
        });
    };
    QTimer timer;
    timer.setInterval(static_cast<int>(intervalSeconds * 1000));
    QObject::connect(&timer, &QTimer::timeout, beat);
    timer.start();
    beat();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"quendle2-portal-sim"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Simulated onboard portal for quendle2.\n\n"
        "  quendle2-portal-sim [options]              serve the scenario over HTTPS on loopback\n"
        "  quendle2-portal-sim validate status|trip FILE   decode a captured document\n"
        "  quendle2-portal-sim poll [ORIGIN]          poll a portal as the application does (no origin:\n"
        "                                             the production portal and the system's CAs)"_s);
    parser.addHelpOption();
    QCommandLineOption portOption(u"port"_s, u"Port to listen on (0 picks a free one)."_s, u"port"_s, u"0"_s);
    QCommandLineOption scenarioOption(u"scenario"_s,
                                      u"Scenario file (JSON); the built-in journey by default."_s, u"file"_s);
    QCommandLineOption factorOption(u"factor"_s, u"Scenario seconds per wall second."_s, u"x"_s, u"30"_s);
    QCommandLineOption startOption(u"start-at"_s, u"Scenario second to start from."_s, u"seconds"_s, u"0"_s);
    QCommandLineOption faultOption(
        u"fault"_s,
        u"PATH=FAULT with PATH status or trip and FAULT one of none, hang, trickle, "
        "500-html, 404-json, wrong-type, huge, reset, chunked, no-length. May repeat."_s,
        u"path=fault"_s);
    QCommandLineOption statusOption(
        u"status"_s,
        u"PATH=CODE: answer PATH (status or trip) with HTTP status CODE and the usual document. May repeat."_s,
        u"path=code"_s);
    QCommandLineOption certificateOption(
        u"certificate"_s, u"Serve this PEM certificate instead of the built-in one (needs --private-key)."_s,
        u"file"_s);
    QCommandLineOption keyOption(u"private-key"_s, u"The PEM RSA key of --certificate."_s, u"file"_s);
    QCommandLineOption closeOption(u"close-connections"_s,
                                   u"Close every connection after its answer (no keep-alive)."_s);
    QCommandLineOption intervalOption(u"interval"_s, u"poll: seconds between polls."_s, u"seconds"_s, u"5"_s);
    QCommandLineOption pollsOption(u"polls"_s, u"poll: stop after this many polls (0: never)."_s, u"n"_s,
                                   u"0"_s);
    QCommandLineOption printCaOption(u"print-ca"_s, u"Print the test CA certificate (PEM) and exit."_s);
    parser.addOptions({portOption, scenarioOption, factorOption, startOption, faultOption, statusOption,
                       certificateOption, keyOption, closeOption, intervalOption, pollsOption,
                       printCaOption});
    parser.addPositionalArgument(u"command"_s, u"Optional: validate status|trip FILE, or poll [ORIGIN]"_s);
    parser.process(app);

    if (parser.isSet(printCaOption)) {
        for (const QSslCertificate& ca : PortalSimulator::caCertificates()) {
            out() << ca.toPem();
        }
        return 0;
    }

    const QStringList positional = parser.positionalArguments();
    if (!positional.isEmpty() && positional.first() == "poll"_L1) {
        bool intervalOk = false;
        bool pollsOk = false;
        const double interval = parser.value(intervalOption).toDouble(&intervalOk);
        const int polls = parser.value(pollsOption).toInt(&pollsOk);
        const std::optional<QUrl> origin =
            positional.size() > 1 ? std::optional<QUrl>(QUrl(positional.at(1))) : std::nullopt;
        if (positional.size() > 2 || !intervalOk || interval <= 0 || !pollsOk || polls < 0) {
            err() << "usage: quendle2-portal-sim poll [ORIGIN] [--interval SECONDS] [--polls N]" << Qt::endl;
            return 2;
        }
        return poll(origin, interval, polls);
    }
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
    simulator.setKeepAlive(!parser.isSet(closeOption));
    if (parser.isSet(certificateOption) != parser.isSet(keyOption)) {
        err() << "--certificate and --private-key go together" << Qt::endl;
        return 2;
    }
    if (parser.isSet(certificateOption)) {
        QFile certificateFile(parser.value(certificateOption));
        QFile keyFile(parser.value(keyOption));
        if (!certificateFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly)) {
            err() << "cannot read the certificate or its key" << Qt::endl;
            return 1;
        }
        const QSslCertificate certificate(certificateFile.readAll(), QSsl::Pem);
        const QSslKey key(keyFile.readAll(), QSsl::Rsa, QSsl::Pem);
        if (certificate.isNull() || key.isNull()) {
            err() << "the certificate or its key is not PEM (RSA)" << Qt::endl;
            return 1;
        }
        simulator.setServerIdentity(certificate, key);
    }
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
    for (const QString& statusArgument : parser.values(statusOption)) {
        const QString pathName = statusArgument.section(u'=', 0, 0);
        const int code = statusArgument.section(u'=', 1).toInt(&ok);
        if ((pathName != "status"_L1 && pathName != "trip"_L1) || !ok || code < 100 || code > 599) {
            err() << "bad --status '" << statusArgument << "'" << Qt::endl;
            return 2;
        }
        simulator.setStatusCode(
            pathName == "status"_L1 ? PortalSimulator::Path::Status : PortalSimulator::Path::Trip, code);
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
