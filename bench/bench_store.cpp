#include "BenchSupport.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/StopSnapshot.h"
#include "store/Trip.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <random>

using namespace quendle2;
using namespace quendle2::bench;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int tripCount = 1000;
constexpr int samplesPerTrip = 2000;
constexpr int snapshotsPerTrip = 5;
constexpr qint64 sampleSpacingMs = 5000;
constexpr qint64 dayMs = 24 * 3600 * 1000;
constexpr qint64 firstTripStartMs = 1640995200000; // 2022-01-01T00:00:00Z
constexpr int tripsPerTransaction = 100;

using OpenResult = Result<std::unique_ptr<ModelContainer>, StoreError>;

struct Fixture {
    QTemporaryDir dir;
    QString path;     ///< never written to by a benchmark, so every figure sees the same 2,000,000 samples
    QString tickPath; ///< a copy for the tick benchmark, which adds rows
};

Fixture* fixture = nullptr;

// A Result hands its value out by const reference only, so the container stays inside it; destroying the
// Store destroys the container (which commits and closes its connection).
class Store {
public:
    explicit Store(const QString& path)
        : m_opened(ModelContainer::open(path)) {}

    bool ok() const { return m_opened.ok(); }
    QString error() const { return m_opened.ok() ? QString() : m_opened.error().description; }
    ModelContext* context() const { return m_opened.value()->mainContext(); }

private:
    OpenResult m_opened;
};

FetchDescriptor newestFirst() {
    return FetchDescriptor{{}, {{u"startDate"_s, false}}, std::nullopt};
}

void fill(const QString& path) {
    std::mt19937 random(20240719);
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };

    StoreFiller filler(path, u"bench-store-fill"_s);
    filler.execute(u"PRAGMA synchronous = OFF"_s);
    QSqlQuery snapshot = filler.prepare(uR"(INSERT INTO "StopSnapshot" ("createdAt", "trip", "stationEva",
                              "stationName", "scheduledArrivalTime", "actualArrivalTime", "arrivalDelayText")
                              VALUES (?, ?, ?, ?, ?, ?, ?))"_s);
    for (int t = 0; t < tripCount; ++t) {
        if (t % tripsPerTransaction == 0) {
            filler.begin();
        }
        const bool newest = t == tripCount - 1;
        const qint64 start = firstTripStartMs + t * dayMs + pick(5 * 60, 16 * 60) * 60000LL;
        const qint64 end = start + samplesPerTrip * sampleSpacingMs;

        SpeedProfile profile(random);
        SampleSeries samples;
        for (int i = 0; i < samplesPerTrip; ++i) {
            samples.append(start + i * sampleSpacingMs, profile.next());
        }
        const TripRow row{
            .startMs = start,
            .endMs = newest ? std::nullopt : std::optional(end),
            .trainIdentifier = u"ICE %1"_s.arg(500 + t % 400),
            .active = newest,
            .selectedStopEva =
                t % 3 == 0 ? std::optional(QString::number(8000100 + t % 50 * 7)) : std::nullopt,
        };
        const qint64 tripKey = filler.addTrip(row, samples);

        for (int k = 0; k < snapshotsPerTrip; ++k) {
            const qint64 createdAt = start + (k + 1) * (end - start) / (snapshotsPerTrip + 1);
            const qint64 scheduled = createdAt + 10 * 60000;
            const int delayMinutes = pick(-1, 25);
            const int station = (t * snapshotsPerTrip + k) % 300;
            snapshot.bindValue(0, createdAt);
            snapshot.bindValue(1, tripKey);
            snapshot.bindValue(2, QString::number(8000000 + station * 7));
            snapshot.bindValue(3, u"Haltepunkt %1 Hbf"_s.arg(station));
            snapshot.bindValue(4, scheduled);
            snapshot.bindValue(5,
                               delayMinutes < 0 ? QVariant() : QVariant(scheduled + delayMinutes * 60000LL));
            snapshot.bindValue(6, delayMinutes > 0 ? QVariant(u"+%1"_s.arg(delayMinutes)) : QVariant());
            StoreFiller::run(snapshot, "write a snapshot to");
        }
        if ((t + 1) % tripsPerTransaction == 0) {
            filler.commit();
        }
    }

    if (filler.rowCount(u"Trip"_s) != tripCount ||
        filler.rowCount(u"SpeedSample"_s) != qint64(tripCount) * samplesPerTrip ||
        filler.rowCount(u"StopSnapshot"_s) != qint64(tripCount) * snapshotsPerTrip) {
        die(u"the fixture does not have the expected number of rows"_s);
    }
}

void build(Fixture& built) {
    if (!built.dir.isValid()) {
        die(u"cannot create a temporary folder: %1"_s.arg(built.dir.errorString()));
    }
    built.path = built.dir.filePath(u"store.sqlite"_s);
    built.tickPath = built.dir.filePath(u"tick.sqlite"_s);

    QElapsedTimer timer;
    timer.start();
    {
        Store created(built.path);
        if (!created.ok()) {
            die(created.error());
        }
    }
    fill(built.path);
    if (!QFile::copy(built.path, built.tickPath)) {
        die(u"cannot copy the fixture to %1"_s.arg(built.tickPath));
    }

    const double megabytes = double(QFileInfo(built.path).size()) / (1024.0 * 1024.0);
    const QString summary =
        u"%1 trips, %2 samples, %3 snapshots, %4 MiB at %5, built in %6 s"_s.arg(tripCount)
            .arg(tripCount * samplesPerTrip)
            .arg(tripCount * snapshotsPerTrip)
            .arg(megabytes, 0, 'f', 1)
            .arg(built.path)
            .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1);
    std::fprintf(stderr, "fixture: %s\n", qPrintable(summary));
    benchmark::AddCustomContext("fixture", summary.toStdString());
}

Trip* newestTrip(benchmark::State& state, const Store& store) {
    if (!store.ok()) {
        state.SkipWithError(qPrintable(store.error()));
        return nullptr;
    }
    const auto trips = store.context()->fetch<Trip>(newestFirst());
    if (!trips.ok() || trips.value().size() != tripCount) {
        state.SkipWithError("the trip list is not the fixture's");
        return nullptr;
    }
    return trips.value().first();
}

// What the app does at launch before it can show the trip list.
void openAndFetchTrips(benchmark::State& state) {
    std::unique_ptr<Store> store;
    qsizetype trips = 0;
    for (auto _ : state) {
        state.PauseTiming();
        store.reset(); // there is no earlier container at launch
        state.ResumeTiming();
        store = std::make_unique<Store>(fixture->path);
        if (!store->ok()) {
            state.SkipWithError(qPrintable(store->error()));
            break;
        }
        const auto list = store->context()->fetch<Trip>(newestFirst());
        if (!list.ok()) {
            state.SkipWithError(qPrintable(list.error().description));
            break;
        }
        trips = list.value().size();
        benchmark::DoNotOptimize(trips);
    }
    state.counters["trips"] = double(trips);
}

// The share of the launch figure that is not the fetch.
void openOnly(benchmark::State& state) {
    std::unique_ptr<Store> store;
    for (auto _ : state) {
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
        store = std::make_unique<Store>(fixture->path);
        if (!store->ok()) {
            state.SkipWithError(qPrintable(store->error()));
            break;
        }
    }
}

// What the status service asks of the newest trip every few seconds once it has shown a first status.
void statusWarm(benchmark::State& state) {
    const Store store(fixture->path);
    Trip* trip = newestTrip(state, store);
    if (trip == nullptr) {
        return;
    }
    trip->latestSample();
    trip->positiveSpeedStats();
    for (auto _ : state) {
        SpeedSample* latest = trip->latestSample();
        Trip::SpeedStats stats = trip->positiveSpeedStats();
        benchmark::DoNotOptimize(latest);
        benchmark::DoNotOptimize(stats);
    }
    state.counters["samples"] = double(trip->sampleCount());
}

// The first statistics of the first trip after launch: a new connection, so neither the statement nor the
// trip's pages are in SQLite's cache (the operating system's file cache is warm).
void statsColdAfterOpen(benchmark::State& state) {
    std::unique_ptr<Store> store;
    qint64 count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        store.reset();
        store = std::make_unique<Store>(fixture->path);
        Trip* trip = newestTrip(state, *store);
        state.ResumeTiming();
        if (trip == nullptr) {
            break;
        }
        const Trip::SpeedStats stats = trip->positiveSpeedStats();
        count = stats.count;
        benchmark::DoNotOptimize(stats);
    }
    state.counters["positive"] = double(count);
}

// The first statistics of a trip the open store has not counted yet, as when the user browses older trips.
void statsColdOtherTrip(benchmark::State& state) {
    std::unique_ptr<Store> store;
    QList<Trip*> trips;
    qsizetype next = 0;
    for (auto _ : state) {
        if (next == trips.size()) {
            state.PauseTiming();
            trips.clear(); // the objects belong to the container about to go
            store.reset();
            store = std::make_unique<Store>(fixture->path);
            if (store->ok()) {
                if (const auto list = store->context()->fetch<Trip>(newestFirst()); list.ok()) {
                    trips = list.value();
                }
            }
            next = 0;
            state.ResumeTiming();
            if (trips.isEmpty()) {
                state.SkipWithError("the fixture has no trips");
                break;
            }
        }
        const Trip::SpeedStats stats = trips[next++]->positiveSpeedStats();
        benchmark::DoNotOptimize(stats);
    }
}

// One status tick's writes, up to their commit at the end of the event-loop turn.
void tick(benchmark::State& state) {
    const Store store(fixture->tickPath);
    Trip* trip = newestTrip(state, store);
    if (trip == nullptr) {
        return;
    }
    ModelContext* context = store.context();
    const SpeedSample* latest = trip->latestSample();
    QDateTime at = latest != nullptr ? latest->timestamp() : trip->startDate();
    trip->positiveSpeedStats();

    qint64 saves = 0;
    const QObject receiver;
    QObject::connect(context, &ModelContext::saved, &receiver, [&saves] { ++saves; });

    std::mt19937 random(7);
    std::uniform_real_distribution<double> speed(0.0, 300.0);
    std::uniform_int_distribution<int> delay(0, 25);
    // The mean hides the turns on which SQLite checkpoints its write-ahead log into the file.
    qint64 slowestNs = 0;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        const qint64 savesBefore = saves;
        at = at.addMSecs(sampleSpacingMs);
        context->insert(std::make_unique<SpeedSample>(at, std::round(speed(random) * 10) / 10, trip));
        const Trip::SpeedStats stats = trip->positiveSpeedStats();
        trip->setMaxSpeed(stats.maximum);
        trip->setAvgSpeed(stats.average);
        const QDateTime scheduled = at.addSecs(10 * 60);
        const int minutes = delay(random);
        context->insert(std::make_unique<StopSnapshot>(at, trip, u"8000105"_s, u"Frankfurt(Main)Hbf"_s,
                                                       scheduled, scheduled.addSecs(minutes * 60),
                                                       u"+%1"_s.arg(minutes)));
        QCoreApplication::processEvents();
        if (saves == savesBefore || context->hasUncommittedChanges() || context->lastSaveError()) {
            state.SkipWithError("the turn ended without a successful commit");
            break;
        }
        slowestNs = std::max(slowestNs, timer.nsecsElapsed());
    }
    state.counters["samples"] = double(trip->sampleCount());
    state.counters["slowest_us"] = double(slowestNs) / 1000.0;
}

} // namespace

BENCHMARK(openAndFetchTrips)
    ->Name("launch: ModelContainer::open + fetch<Trip> newest first")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(openOnly)->Name("launch: ModelContainer::open alone")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(statusWarm)
    ->Name("status: latestSample + positiveSpeedStats, warm")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(statsColdAfterOpen)
    ->Name("status: positiveSpeedStats, cold, newest trip after open")
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(200)
    ->UseRealTime();
BENCHMARK(statsColdOtherTrip)
    ->Name("status: positiveSpeedStats, cold, uncounted trip of an open store")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(tick)
    ->Name("tick: sample + trip speeds + snapshot + commit")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    return runWithFixture(argc, argv, fixture, build);
}
