// The portal client against the simulated portal on a free loopback port: real TLS, real sockets, and the
// faults a train's network produces. The time-out cases wait for real, as they must.

#include "PortalSimulator.h"
#include "platform/ManualClock.h"
#include "portal/ICEPortalClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSslConfiguration>
#include <QTcpServer>
#include <QTest>

using namespace quendle2;
using namespace quendle2::sim;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr double timeoutSeconds = 3.0;
constexpr int waitLimitMs = 15000;

template <typename T>
typename PortalFetch<T>::Outcome await(const PortalFetch<T>& fetch) {
    QElapsedTimer waited;
    waited.start();
    while (!fetch.isFinished() && waited.elapsed() < waitLimitMs) {
        QTest::qWait(10);
    }
    if (!fetch.isFinished()) {
        qFatal("fetch never completed");
    }
    return *fetch.outcome();
}

qint64 statusFieldKiB(const QByteArray& field) {
    QFile status(u"/proc/self/status"_s);
    status.open(QIODevice::ReadOnly);
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(field.size()).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

/// Resets the peak resident size, so that the next VmHWM tells the peak of what follows.
bool resetPeakResident() {
    QFile clearRefs(u"/proc/self/clear_refs"_s);
    return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1;
}

} // namespace

class TestPortalClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void requestUrls_data();
    void requestUrls();
    void fetchesTheSimulatedDocuments();
    void faultOutcomes_data();
    void faultOutcomes();
    void timeouts_data();
    void timeouts();
    void hugeBodyFailsWithoutGrowingMemory();
    void bodySizeLimit_data();
    void bodySizeLimit();
    void plainHttpIsRefused();
    void connectionReuse_data();
    void connectionReuse();
    void tripArrivesWhileStatusHangs();
    void bothInFlightReportTheirOwnOutcome_data();
    void bothInFlightReportTheirOwnOutcome();
    void untrustedCertificateFails();
    void refusedConnectionFails();
    void handlerOfADestroyedContextNeverRuns();

private:
    ICEPortalClient* trustingClient() {
        return new ICEPortalClient(timeoutSeconds, m_sim->origin(), PortalSimulator::caCertificates(), this);
    }

    ManualClock m_clock{QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC)};
    std::unique_ptr<PortalSimulator> m_sim;
};

void TestPortalClient::init() {
    m_sim = std::make_unique<PortalSimulator>(Scenario::builtInJourney(), m_clock);
    m_sim->play(1.0, 2400); // on the line between Frankfurt Airport and Cologne, at speed
    QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
}

void TestPortalClient::cleanup() {
    m_sim.reset();
}

void TestPortalClient::requestUrls_data() {
    QTest::addColumn<QUrl>("origin");
    QTest::addColumn<QString>("statusUrl");
    QTest::addColumn<QString>("tripUrl");

    QTest::newRow("production") << ICEPortalClient::productionOrigin()
                                << u"https://iceportal.de/api1/rs/status"_s
                                << u"https://iceportal.de/api1/rs/tripInfo/trip"_s;
    QTest::newRow("trailing slash is not doubled")
        << QUrl(u"https://127.0.0.1:8443/"_s) << u"https://127.0.0.1:8443/api1/rs/status"_s
        << u"https://127.0.0.1:8443/api1/rs/tripInfo/trip"_s;
}

void TestPortalClient::requestUrls() {
    QFETCH(QUrl, origin);
    QFETCH(QString, statusUrl);
    QFETCH(QString, tripUrl);
    ICEPortalClient client(timeoutSeconds, origin, {});
    QCOMPARE(client.urlFor(u"api1/rs/status"_s).toString(), statusUrl);
    QCOMPARE(client.urlFor(u"api1/rs/tripInfo/trip"_s).toString(), tripUrl);
    QCOMPARE(ICEPortalClient(timeoutSeconds).baseURL(), ICEPortalClient::productionOrigin());
}

void TestPortalClient::fetchesTheSimulatedDocuments() {
    ICEPortalClient* client = trustingClient();
    const auto status = client->fetchStatus();
    const auto trip = client->fetchTrip();
    QVERIFY(!status.isFinished()); // the call itself never waits for the network

    const auto statusOutcome = await(status);
    QVERIFY2(statusOutcome.ok(),
             qPrintable(statusOutcome.ok() ? QString() : statusOutcome.error().description));
    const ICEStatus& s = statusOutcome.value();
    QCOMPARE(s.speed, m_sim->scenario().speedAt(m_sim->scenarioTime()));
    QVERIFY(*s.speed > 100);
    QCOMPARE(s.tzn, u"ICE9473"_s);
    QCOMPARE(s.connection, true);

    const auto tripOutcome = await(trip);
    QVERIFY2(tripOutcome.ok(), qPrintable(tripOutcome.ok() ? QString() : tripOutcome.error().description));
    const auto& stops = tripOutcome.value().trip->stops;
    QCOMPARE(stops->size(), m_sim->scenario().stops().size());
    QCOMPARE(stops->at(0).info->passed, true);
    QCOMPARE(stops->at(2).station->name, u"Köln Messe/Deutz"_s);
    QCOMPARE(stops->at(2).info->passed, false);
    QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 1);
    QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Trip), 1);
}

void TestPortalClient::faultOutcomes_data() {
    QTest::addColumn<PortalSimulator::Path>("path");
    QTest::addColumn<PortalSimulator::Fault>("fault");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QList<PortalError::Kind>>("kinds");
    QTest::addColumn<QString>("descriptionContains");
    QTest::addColumn<int>("status");

    using P = PortalSimulator::Path;
    using F = PortalSimulator::Fault;
    using K = PortalError::Kind;
    QTest::newRow("404 with JSON is a success")
        << P::Status << F::NotFoundJson << true << QList<K>{} << QString() << 200;
    QTest::newRow("404 with JSON trip info")
        << P::Trip << F::NotFoundJson << true << QList<K>{} << QString() << 200;
    QTest::newRow("chunked body") << P::Trip << F::Chunked << true << QList<K>{} << QString() << 200;
    QTest::newRow("body ended by closing")
        << P::Status << F::NoLength << true << QList<K>{} << QString() << 200;
    QTest::newRow("500 with HTML fails to decode")
        << P::Status << F::ServerError << false << QList<K>{K::Decoding} << u"not valid JSON"_s << 200;
    QTest::newRow("wrong type in status") << P::Status << F::WrongType << false << QList<K>{K::Decoding}
                                          << u"connection: expected true or false, got a string"_s << 200;
    QTest::newRow("wrong type in trip info")
        << P::Trip << F::WrongType << false << QList<K>{K::Decoding}
        << u"trip.totalDistance: expected a whole number, got a string"_s << 200;
    // Qt reports these statuses as errors of their own kinds; a body that decodes is still the answer.
    for (const int status : {400, 407, 418}) {
        QTest::addRow("%d with a good document", status)
            << P::Status << F::None << true << QList<K>{} << QString() << status;
    }
    // A reset surfaces either as a network error or as the truncated body failing to decode.
    QTest::newRow("reset mid-body") << P::Trip << F::Reset << false << QList<K>{K::Network, K::Decoding}
                                    << QString() << 200;
}

void TestPortalClient::faultOutcomes() {
    QFETCH(PortalSimulator::Path, path);
    QFETCH(PortalSimulator::Fault, fault);
    QFETCH(bool, succeeds);
    QFETCH(QList<PortalError::Kind>, kinds);
    QFETCH(QString, descriptionContains);
    QFETCH(int, status);

    m_sim->setFault(path, fault);
    m_sim->setStatusCode(path, status);
    ICEPortalClient* client = trustingClient();
    int calls = 0;
    bool ok = false;
    PortalError error{PortalError::Kind::Network, {}};
    auto record = [&](const auto& outcome) {
        ++calls;
        ok = outcome.ok();
        if (!ok) {
            error = outcome.error();
        }
    };
    if (path == PortalSimulator::Path::Status) {
        client->fetchStatus().then(this, record);
    } else {
        client->fetchTrip().then(this, record);
    }
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, waitLimitMs);
    QCOMPARE(ok, succeeds);
    if (!succeeds) {
        QVERIFY2(kinds.contains(error.kind), qPrintable(error.description));
        QVERIFY2(error.description.contains(descriptionContains), qPrintable(error.description));
        QVERIFY(!error.description.isEmpty());
    }
    QTest::qWait(200); // nothing may report a second time once the connection is torn down
    QCOMPARE(calls, 1);
}

void TestPortalClient::timeouts_data() {
    QTest::addColumn<PortalSimulator::Fault>("fault");
    QTest::newRow("hang: accepted, never answered") << PortalSimulator::Fault::Hang;
    QTest::newRow("trickle: a byte a second never completes") << PortalSimulator::Fault::Trickle;
}

void TestPortalClient::timeouts() {
    QFETCH(PortalSimulator::Fault, fault);
    m_sim->setFault(PortalSimulator::Path::Status, fault);
    ICEPortalClient* client = trustingClient();

    QElapsedTimer elapsed;
    elapsed.start();
    int calls = 0;
    std::optional<PortalError> error;
    client->fetchStatus().then(this, [&](const auto& outcome) {
        ++calls;
        if (!outcome.ok()) {
            error = outcome.error();
        }
    });
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, waitLimitMs);
    const qint64 ms = elapsed.elapsed();
    QVERIFY(error.has_value());
    QCOMPARE(error->kind, PortalError::Kind::Timeout);
    QVERIFY2(ms >= 2500 && ms <= 3500, qPrintable(u"failed after %1 ms"_s.arg(ms)));
    QTest::qWait(300);
    QCOMPARE(calls, 1);
}

void TestPortalClient::hugeBodyFailsWithoutGrowingMemory() {
    m_sim->setFault(PortalSimulator::Path::Trip, PortalSimulator::Fault::Huge);
    ICEPortalClient* client = trustingClient();
    // Warm up TLS and the network stack so that their one-off allocations do not count.
    QVERIFY(await(client->fetchStatus()).ok());

    const qint64 before = statusFieldKiB("VmRSS:");
    QVERIFY(resetPeakResident());
    const auto outcome = await(client->fetchTrip());
    const qint64 growth = statusFieldKiB("VmHWM:") - before;
    QVERIFY(!outcome.ok());
    QCOMPARE(outcome.error().kind, PortalError::Kind::TooLarge);
    QVERIFY2(outcome.error().description.contains(u"4 MiB"_s), qPrintable(outcome.error().description));
    qInfo("peak resident memory grew by %lld KiB", growth);
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed memory in quarantine, so only a plain build can tell.
    QVERIFY2(growth < 10 * 1024, qPrintable(u"resident memory grew by %1 KiB"_s.arg(growth)));
#endif
}

void TestPortalClient::bodySizeLimit_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("succeeds");
    QTest::newRow("exactly 4 MiB") << ICEPortalClient::maximumBodySize << true;
    QTest::newRow("one byte more, declared up front") << ICEPortalClient::maximumBodySize + 1 << false;
}

void TestPortalClient::bodySizeLimit() {
    QFETCH(qint64, size);
    QFETCH(bool, succeeds);
    const QByteArray prefix = R"({"tzn":")";
    const QByteArray suffix = R"("})";
    const QByteArray body = prefix + QByteArray(size - prefix.size() - suffix.size(), 'x') + suffix;
    m_sim->setBody(PortalSimulator::Path::Status, body);

    const auto outcome = await(trustingClient()->fetchStatus());
    QCOMPARE(outcome.ok(), succeeds);
    if (succeeds) {
        QCOMPARE(outcome.value().tzn->size(), size - prefix.size() - suffix.size());
    } else {
        QCOMPARE(outcome.error().kind, PortalError::Kind::TooLarge);
    }
}

void TestPortalClient::plainHttpIsRefused() {
    ICEPortalClient client(timeoutSeconds, QUrl(u"http://127.0.0.1:%1"_s.arg(m_sim->port())),
                           PortalSimulator::caCertificates());
    const auto outcome = await(client.fetchStatus());
    QVERIFY(!outcome.ok());
    QCOMPARE(outcome.error().kind, PortalError::Kind::Network);
    QVERIFY2(outcome.error().description.contains(u"https"_s), qPrintable(outcome.error().description));
    QTest::qWait(100);
    QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 0);
}

void TestPortalClient::connectionReuse_data() {
    QTest::addColumn<bool>("keepAlive");
    QTest::addColumn<bool>("closedWhileIdle");
    QTest::addColumn<int>("connections");
    QTest::newRow("a kept connection carries the next request") << true << false << 1;
    QTest::newRow("an answer that closes is not reused") << false << false << 2;
    // Closed by the portal just before the next request, with no chance for the client to notice.
    QTest::newRow("a connection closed while idle is replaced") << true << true << 2;
}

void TestPortalClient::connectionReuse() {
    QFETCH(bool, keepAlive);
    QFETCH(bool, closedWhileIdle);
    QFETCH(int, connections);
    m_sim->setKeepAlive(keepAlive);
    ICEPortalClient* client = trustingClient();
    const auto first = await(client->fetchStatus());
    QVERIFY2(first.ok(), qPrintable(first.ok() ? QString() : first.error().description));
    if (closedWhileIdle) {
        m_sim->closeIdleConnections();
    }
    const auto second = await(client->fetchStatus());
    QVERIFY2(second.ok(), qPrintable(second.ok() ? QString() : second.error().description));
    QCOMPARE(m_sim->connectionCount(), connections);
    QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 2);
}

void TestPortalClient::tripArrivesWhileStatusHangs() {
    // The two documents travel independently: a stuck status request must not hold up trip info.
    m_sim->setFault(PortalSimulator::Path::Status, PortalSimulator::Fault::Hang);
    ICEPortalClient* client = trustingClient();
    const auto status = client->fetchStatus();
    const auto trip = client->fetchTrip();
    QVERIFY(await(trip).ok());
    QVERIFY(!status.isFinished());

    // A client released with a fetch in flight reports nothing, ever, and leaves nothing behind.
    delete client;
    QTest::qWait(3500);
    QVERIFY(!status.isFinished());
}

void TestPortalClient::bothInFlightReportTheirOwnOutcome_data() {
    QTest::addColumn<PortalSimulator::Path>("failingPath");
    QTest::newRow("status fails, trip info succeeds") << PortalSimulator::Path::Status;
    QTest::newRow("status succeeds, trip info fails") << PortalSimulator::Path::Trip;
}

void TestPortalClient::bothInFlightReportTheirOwnOutcome() {
    QFETCH(PortalSimulator::Path, failingPath);
    m_sim->setFault(failingPath, PortalSimulator::Fault::ServerError);
    ICEPortalClient* client = trustingClient();

    // Consumed the way a polling tick does: status first, then trip info, whatever the first outcome.
    QStringList order;
    const auto status = client->fetchStatus();
    const auto trip = client->fetchTrip();
    status.then(this, [&, trip](const PortalFetch<ICEStatus>::Outcome& s) {
        order << (s.ok() ? u"status ok"_s : u"status failed"_s);
        trip.then(this, [&](const PortalFetch<ICETripInfo>::Outcome& t) {
            order << (t.ok() ? u"trip ok"_s : u"trip failed"_s);
        });
    });
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, waitLimitMs);
    const bool statusFails = failingPath == PortalSimulator::Path::Status;
    QCOMPARE(order, (QStringList{statusFails ? u"status failed"_s : u"status ok"_s,
                                 statusFails ? u"trip ok"_s : u"trip failed"_s}));
}

void TestPortalClient::untrustedCertificateFails() {
    // The system's authorities do not know the simulator's test CA: the fetch must fail, never proceed.
    ICEPortalClient client(timeoutSeconds, m_sim->origin(), QSslConfiguration::systemCaCertificates());
    const auto outcome = await(client.fetchStatus());
    QVERIFY(!outcome.ok());
    QCOMPARE(outcome.error().kind, PortalError::Kind::Network);
    QVERIFY2(outcome.error().description.contains(u"SSL"_s, Qt::CaseInsensitive),
             qPrintable(outcome.error().description));
    QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 0);
}

void TestPortalClient::refusedConnectionFails() {
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 closedPort = probe.serverPort();
    probe.close();

    ICEPortalClient client(timeoutSeconds, QUrl(u"https://127.0.0.1:%1"_s.arg(closedPort)),
                           PortalSimulator::caCertificates());
    QElapsedTimer elapsed;
    elapsed.start();
    const auto outcome = await(client.fetchTrip());
    QVERIFY(!outcome.ok());
    QCOMPARE(outcome.error().kind, PortalError::Kind::Network);
    QVERIFY2(outcome.error().description.contains(u"refused"_s, Qt::CaseInsensitive),
             qPrintable(outcome.error().description));
    QVERIFY(elapsed.elapsed() < 2000);
}

void TestPortalClient::handlerOfADestroyedContextNeverRuns() {
    ICEPortalClient* client = trustingClient();
    auto* context = new QObject;
    bool ran = false;
    const auto fetch = client->fetchStatus();
    fetch.then(context, [&](const auto&) { ran = true; });
    delete context;
    await(fetch);
    QVERIFY(fetch.outcome()->ok());
    QVERIFY(!ran);

    // Without a context there is nothing to outlive: the handler runs, also when attached after completion.
    fetch.then(nullptr, [&](const auto&) { ran = true; });
    QVERIFY(ran);
}

QTEST_GUILESS_MAIN(TestPortalClient)
#include "tst_portalclient.moc"
