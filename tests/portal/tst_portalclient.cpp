// The client against the simulated portal over real TLS and sockets; time-outs are waited out for real.

#include "PortalSimulator.h"
#include "portal/ICEPortalClient.h"
#include "support/ManualClock.h"

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

template <typename Outcome>
QString problemOf(const Outcome& outcome) {
    return outcome.ok() ? QString() : outcome.error().description;
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
    void init() {
        m_sim = std::make_unique<PortalSimulator>(Scenario::builtInJourney(), m_clock);
        m_sim->play(1.0, 2400); // on the line between Frankfurt Airport and Cologne, at speed
        QVERIFY2(m_sim->listen(), qPrintable(m_sim->errorString()));
    }

    void cleanup() { m_sim.reset(); }

    // The production origin unless told otherwise; a trailing slash on the origin is not doubled.
    void requestUrls() {
        QCOMPARE(ICEPortalClient(timeoutSeconds).urlFor(u"api1/rs/status"_s).toString(),
                 u"https://iceportal.de/api1/rs/status"_s);
        const ICEPortalClient local(timeoutSeconds, QUrl(u"https://127.0.0.1:8443/"_s), {});
        QCOMPARE(local.urlFor(u"api1/rs/tripInfo/trip"_s).toString(),
                 u"https://127.0.0.1:8443/api1/rs/tripInfo/trip"_s);
    }

    void fetchesTheSimulatedDocuments() {
        ICEPortalClient* client = trustingClient();
        const auto status = client->fetchStatus();
        const auto trip = client->fetchTrip();
        QVERIFY(!status.isFinished()); // the call itself never waits for the network
        auto* context = new QObject;
        bool ran = false;
        status.then(context, [&](const auto&) { ran = true; });
        delete context; // a handler never outlives its context

        const auto statusOutcome = await(status);
        QVERIFY(!ran);
        // Without a context the handler runs, also when attached after completion.
        status.then(nullptr, [&](const auto&) { ran = true; });
        QVERIFY(ran);
        QVERIFY2(statusOutcome.ok(), qPrintable(problemOf(statusOutcome)));
        const ICEStatus& s = statusOutcome.value();
        QCOMPARE(s.speed, m_sim->scenario().speedAt(m_sim->scenarioTime()));
        QVERIFY(*s.speed > 100);
        QCOMPARE(s.tzn, u"ICE9473"_s);
        QCOMPARE(s.connection, true);

        const auto tripOutcome = await(trip);
        QVERIFY2(tripOutcome.ok(), qPrintable(problemOf(tripOutcome)));
        const auto& stops = tripOutcome.value().trip->stops;
        QCOMPARE(stops->size(), m_sim->scenario().stops().size());
        QCOMPARE(stops->at(0).info->passed, true);
        QCOMPARE(stops->at(2).station->name, u"Köln Messe/Deutz"_s);
        QCOMPARE(stops->at(2).info->passed, false);
        QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 1);
        QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Trip), 1);
    }

    void faultOutcomes_data() {
        QTest::addColumn<PortalSimulator::Path>("path");
        QTest::addColumn<PortalSimulator::Fault>("fault");
        QTest::addColumn<bool>("succeeds");
        QTest::addColumn<QList<PortalError::Kind>>("kinds");
        QTest::addColumn<QString>("descriptionContains");
        QTest::addColumn<int>("status");

        using P = PortalSimulator::Path;
        using F = PortalSimulator::Fault;
        using K = PortalError::Kind;
        const auto ok = [](const char* name, P path, F fault, int status = 200) {
            QTest::newRow(name) << path << fault << true << QList<K>{} << QString() << status;
        };
        const auto fails = [](const char* name, P path, F fault, QList<K> kinds, const QString& text = {}) {
            QTest::newRow(name) << path << fault << false << kinds << text << 200;
        };
        ok("404 with JSON is a success", P::Status, F::NotFoundJson);
        ok("404 with JSON trip info", P::Trip, F::NotFoundJson);
        ok("chunked body", P::Trip, F::Chunked);
        ok("body ended by closing", P::Status, F::NoLength);
        // Qt reports these statuses as errors of their own kinds; a body that decodes is still the answer.
        ok("400 with a good document", P::Status, F::None, 400);
        ok("407 with a good document", P::Status, F::None, 407);
        ok("418 with a good document", P::Status, F::None, 418);
        fails("500 with HTML fails to decode", P::Status, F::ServerError, {K::Decoding}, u"not valid JSON"_s);
        fails("wrong type in status", P::Status, F::WrongType, {K::Decoding},
              u"connection: expected true or false, got a string"_s);
        fails("wrong type in trip info", P::Trip, F::WrongType, {K::Decoding},
              u"trip.totalDistance: expected a whole number, got a string"_s);
        // A reset surfaces either as a network error or as the truncated body failing to decode.
        fails("reset mid-body", P::Trip, F::Reset, {K::Network, K::Decoding});
        // These wait out the real time-out.
        fails("hang: accepted, never answered", P::Status, F::Hang, {K::Timeout});
        fails("trickle: a byte a second never completes", P::Status, F::Trickle, {K::Timeout});
    }

    void faultOutcomes() {
        QFETCH(PortalSimulator::Path, path);
        QFETCH(PortalSimulator::Fault, fault);
        QFETCH(bool, succeeds);
        QFETCH(QList<PortalError::Kind>, kinds);
        QFETCH(QString, descriptionContains);
        QFETCH(int, status);

        m_sim->setFault(path, fault);
        m_sim->setStatusCode(path, status);
        ICEPortalClient* client = trustingClient();
        QElapsedTimer elapsed;
        elapsed.start();
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
        // Both documents in flight, as a tick asks for them: the other one must not share the fault.
        const auto statusFetch = client->fetchStatus();
        const auto tripFetch = client->fetchTrip();
        const bool statusFaulted = path == PortalSimulator::Path::Status;
        if (statusFaulted) {
            statusFetch.then(this, record);
        } else {
            tripFetch.then(this, record);
        }
        QVERIFY(statusFaulted ? await(tripFetch).ok() : await(statusFetch).ok());
        const bool timesOut = kinds == QList{PortalError::Kind::Timeout};
        QVERIFY(!timesOut || calls == 0); // not held up by the stuck one
        QTRY_COMPARE_WITH_TIMEOUT(calls, 1, waitLimitMs);
        const qint64 ms = elapsed.elapsed();
        QCOMPARE(ok, succeeds);
        if (!succeeds) {
            QVERIFY2(kinds.contains(error.kind), qPrintable(error.description));
            QVERIFY2(error.description.contains(descriptionContains), qPrintable(error.description));
            QVERIFY(!error.description.isEmpty());
        }
        if (timesOut) {
            QVERIFY2(ms >= 2500 && ms <= 3500, qPrintable(u"failed after %1 ms"_s.arg(ms)));
        }
        QTest::qWait(200); // nothing may report a second time once the connection is torn down
        QCOMPARE(calls, 1);
    }

    void bodySizeLimit_data() {
        QTest::addColumn<qint64>("size"); // 0: the simulator's 20 MiB without a declared length
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("exactly 4 MiB") << ICEPortalClient::maximumBodySize << true;
        QTest::newRow("one byte more, declared up front") << ICEPortalClient::maximumBodySize + 1 << false;
        QTest::newRow("huge, without a declared length") << qint64(0) << false;
    }

    void bodySizeLimit() {
        QFETCH(qint64, size);
        QFETCH(bool, succeeds);
        const QByteArray prefix = "{\"tzn\":\"";
        const QByteArray suffix = "\"}";
        if (size > 0) {
            m_sim->setBody(PortalSimulator::Path::Status,
                           prefix + QByteArray(size - prefix.size() - suffix.size(), 'x') + suffix);
        } else {
            m_sim->setFault(PortalSimulator::Path::Status, PortalSimulator::Fault::Huge);
        }
        ICEPortalClient* client = trustingClient();
        // Warm up TLS and the network stack so that their one-off allocations do not count.
        QVERIFY(await(client->fetchTrip()).ok());

        const qint64 before = statusFieldKiB("VmRSS:");
        QVERIFY(resetPeakResident());
        const auto outcome = await(client->fetchStatus());
        const qint64 growth = statusFieldKiB("VmHWM:") - before;
        QCOMPARE(outcome.ok(), succeeds);
        if (succeeds) {
            QCOMPARE(outcome.value().tzn->size(), size - prefix.size() - suffix.size());
            return;
        }
        QCOMPARE(outcome.error().kind, PortalError::Kind::TooLarge);
        QVERIFY2(outcome.error().description.contains(u"4 MiB"_s), qPrintable(outcome.error().description));
        qInfo("peak resident memory grew by %lld KiB", growth);
#ifndef __SANITIZE_ADDRESS__
        // AddressSanitizer keeps freed memory in quarantine, so only a plain build can tell.
        QVERIFY2(growth < 10 * 1024, qPrintable(u"resident memory grew by %1 KiB"_s.arg(growth)));
#endif
    }

    // Each fails at once as a network error, and no request reaches the portal.
    void unreachablePortal_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("descriptionContains");
        QTest::newRow("plain HTTP is refused") << u"http"_s << u"https"_s;
        // The system's authorities do not know the simulator's test CA: the fetch must fail, never proceed.
        QTest::newRow("untrusted certificate") << u"untrusted"_s << u"SSL"_s;
        QTest::newRow("refused connection") << u"closed"_s << u"refused"_s;
    }

    void unreachablePortal() {
        QFETCH(QString, kind);
        QFETCH(QString, descriptionContains);
        QUrl origin = m_sim->origin();
        QList<QSslCertificate> authorities = PortalSimulator::caCertificates();
        if (kind == u"http"_s) {
            origin.setScheme(u"http"_s);
        } else if (kind == u"untrusted"_s) {
            authorities = QSslConfiguration::systemCaCertificates();
        } else {
            QTcpServer probe; // a port that was free a moment ago, closed again
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            origin.setPort(probe.serverPort());
        }
        ICEPortalClient client(timeoutSeconds, origin, authorities);
        QElapsedTimer elapsed;
        elapsed.start();
        const auto outcome = await(client.fetchStatus());
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error().kind, PortalError::Kind::Network);
        QVERIFY2(outcome.error().description.contains(descriptionContains, Qt::CaseInsensitive),
                 qPrintable(outcome.error().description));
        QVERIFY(elapsed.elapsed() < 2000);
        QTest::qWait(100);
        QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 0);
    }

    void connectionReuse_data() {
        QTest::addColumn<bool>("keepAlive");
        QTest::addColumn<bool>("closedWhileIdle");
        QTest::addColumn<int>("connections");
        QTest::newRow("a kept connection carries the next request") << true << false << 1;
        QTest::newRow("an answer that closes is not reused") << false << false << 2;
        // Closed by the portal just before the next request, with no chance for the client to notice.
        QTest::newRow("a connection closed while idle is replaced") << true << true << 2;
    }

    void connectionReuse() {
        QFETCH(bool, keepAlive);
        QFETCH(bool, closedWhileIdle);
        m_sim->setKeepAlive(keepAlive);
        ICEPortalClient* client = trustingClient();
        const auto first = await(client->fetchStatus());
        QVERIFY2(first.ok(), qPrintable(problemOf(first)));
        if (closedWhileIdle) {
            m_sim->closeIdleConnections();
        }
        const auto second = await(client->fetchStatus());
        QVERIFY2(second.ok(), qPrintable(problemOf(second)));
        QTEST(m_sim->connectionCount(), "connections");
        QCOMPARE(m_sim->requestCount(PortalSimulator::Path::Status), 2);
    }

    // A client released with a fetch in flight reports nothing, ever, and leaves nothing behind.
    void releasedClientReportsNothing() {
        m_sim->setFault(PortalSimulator::Path::Status, PortalSimulator::Fault::Hang);
        ICEPortalClient* client = trustingClient();
        const auto status = client->fetchStatus();
        delete client;
        QTest::qWait(3500);
        QVERIFY(!status.isFinished());
    }

private:
    ICEPortalClient* trustingClient() {
        return new ICEPortalClient(timeoutSeconds, m_sim->origin(), PortalSimulator::caCertificates(), this);
    }

    ManualClock m_clock{QDateTime(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC)};
    std::unique_ptr<PortalSimulator> m_sim;
};

QTEST_GUILESS_MAIN(TestPortalClient)
#include "tst_portalclient.moc"
