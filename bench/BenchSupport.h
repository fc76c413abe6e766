#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

#include <benchmark/benchmark.h>
#include <functional>
#include <memory>
#include <optional>
#include <random>

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

/// Speeds shaped like an ICE's: pulling out of a station, cruising with some noise, braking into the next one
/// and standing there for a few minutes, so that a realistic share of the samples is zero.
class SpeedProfile {
public:
    explicit SpeedProfile(std::mt19937& random);

    double next();

private:
    double uniform(double low, double high);
    int uniform(int low, int high);
    void stop();

    std::mt19937& m_random;
    double m_speed = 0;
    double m_cruise = 0;
    int m_standing = 0;
    int m_untilBraking = 0;
};

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

/// runBenchmarks() once the application exists; `argc` and `argv` are what the application left of them.
int runParsedBenchmarks(int& argc, char** argv, const std::function<void()>& run);

/// Runs the benchmarks the command line selects while an application exists, since the store commits at
/// the end of an event-loop turn; widgets need a QApplication instead of the default QCoreApplication. `run`
/// is called after the arguments are checked, so that `--help` or a typo does not first build an expensive
/// fixture; it builds what it needs and then runs the benchmarks itself.
template <typename Application = QCoreApplication>
int runBenchmarks(int argc, char** argv, const std::function<void()>& run) {
    // The application takes its own options (such as -platform) out of the arguments first, so that the
    // benchmark library does not reject them.
    const Application app(argc, argv);
    return runParsedBenchmarks(argc, argv, run);
}

/// runBenchmarks() for benchmarks that share one fixture, reachable through `shared` while they run.
template <typename Fixture, typename Application = QCoreApplication>
int runWithFixture(int argc, char** argv, Fixture*& shared, void (*build)(Fixture&)) {
    return runBenchmarks<Application>(argc, argv, [&shared, build] {
        Fixture built;
        build(built);
        shared = &built;
        benchmark::RunSpecifiedBenchmarks();
        shared = nullptr;
    });
}

} // namespace quendle2::bench
