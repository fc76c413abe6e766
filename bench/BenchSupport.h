#pragma once

#include <QByteArray>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <benchmark/benchmark.h>
#include <functional>
#include <memory>
#include <optional>

namespace quendle2::bench {

/// A benchmark without its fixture would measure nothing, so any failure to build one ends the program.
[[noreturn]] void die(const QString& message);

/// A captured portal document from tests/data.
QByteArray sampleDocument(const char* fileName);

/// A trip document in the shape of the captured 2024-07 trip, unknown keys and nulls included: every stop is
/// a copy of a real intermediate stop with its own station, times, distances and, on every third stop, a
/// delay reason, so that no two stops are byte-identical. The first third of the stops is passed with a delay
/// of 7 minutes; the stops ahead show `aheadDelayMinutes`, so that a caller can vary the forecast between
/// ticks.
QByteArray syntheticTrip(int stopCount, int aheadDelayMinutes = 7);

/// One trip's speed samples as bulk-insert columns, with the figures its Trip row keeps of them.
struct SampleSeries {
    QVariantList timestamps;
    QVariantList speeds;
    double maximum = 0;
    double positiveSum = 0;
    int positiveCount = 0;

    void append(qint64 timestampMs, double speed);
    double average() const { return positiveCount > 0 ? positiveSum / positiveCount : 0.0; }
};

/// The columns of a Trip row that do not follow from its samples.
struct TripRow {
    qint64 startMs = 0;
    std::optional<qint64> endMs;
    QString trainIdentifier;
    bool active = false;
    std::optional<QString> selectedStopEva;
};

/// Writes fixture rows with plain SQL, on a connection of its own, into a store file whose schema
/// ModelContainer has already created: through ModelContext every sample would stay alive as an object in
/// its identity map, and a fixture of many thousand samples would take longer to build than to measure.
class StoreFiller {
public:
    StoreFiller(const QString& path, const QString& connectionName);
    ~StoreFiller();
    StoreFiller(const StoreFiller&) = delete;
    StoreFiller& operator=(const StoreFiller&) = delete;

    void execute(const QString& sql);
    void begin();
    void commit();

    /// Inserts the trip and all its samples; returns the trip's row key.
    qint64 addTrip(const TripRow& row, const SampleSeries& samples);

    /// A statement on this connection for rows the filler has no method for.
    QSqlQuery prepare(const QString& sql);
    static void run(QSqlQuery& query, const char* what);

    qint64 rowCount(const QString& table);

private:
    struct Connection;

    QString m_connectionName;
    std::unique_ptr<Connection> m_connection;
};

/// Runs the benchmarks the command line selects while a QCoreApplication exists, since the store commits at
/// the end of an event-loop turn. `run` is called after the arguments are checked, so that `--help` or a typo
/// does not first build an expensive fixture; it builds what it needs and then runs the benchmarks itself.
int runBenchmarks(int argc, char** argv, const std::function<void()>& run);

/// runBenchmarks() for benchmarks that share one fixture, reachable through `shared` while they run.
template <typename Fixture>
int runWithFixture(int argc, char** argv, Fixture*& shared, void (*build)(Fixture&)) {
    return runBenchmarks(argc, argv, [&shared, build] {
        Fixture built;
        build(built);
        shared = &built;
        benchmark::RunSpecifiedBenchmarks();
        shared = nullptr;
    });
}

} // namespace quendle2::bench
