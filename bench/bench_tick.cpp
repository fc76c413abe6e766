// What one polling tick costs the UI thread once both documents have arrived: decoding them, applying the
// status and the trip info to a trip that already holds a long journey's samples, and the commit at the end
// of the event-loop turn. The network itself is left out: it runs off the thread's critical path.

#include "BenchSupport.h"
#include "journeybus/JourneyState.h"
#include "menubar/JourneyMenu.h"
#include "notify/JourneyNotices.h"
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"
#include "portal/PortalClient.h"
#include "service/TrainService.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/Trip.h"
#include "support/ManualClock.h"
#include "support/TrainServiceProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

using namespace quendle2;
using namespace quendle2::bench;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int stopCount = 60;
constexpr int initialSamples = 20000;
constexpr double tickSeconds = 5.0;
// The stops ahead change their delay every this many ticks (two minutes), as a real forecast does now and
// then; the other ticks find every text unchanged.
constexpr int ticksPerDelayChange = 24;
// Consecutive speeds differ by more than 1 km/h, so that every tick records a sample, as on a moving train.
constexpr int speedVariants = 7;
const QString trainIdentifier = u"ICE 9473"_s;

QByteArray statusAt(double speed) {
    QJsonObject status = QJsonDocument::fromJson(sampleDocument("status-2025-12-cruising.json")).object();
    status.insert("speed"_L1, speed);
    return QJsonDocument(status).toJson(QJsonDocument::Compact);
}

// Hands out the documents it was last given, decoded as the real client does on arrival: on the UI thread.
class DocumentClient final : public PortalClient {
public:
    QByteArray status;
    QByteArray trip;
    qint64 decodeNs = 0;

    PortalFetch<ICEStatus> fetchStatus() override { return decoded<ICEStatus>(status); }
    PortalFetch<ICETripInfo> fetchTrip() override { return decoded<ICETripInfo>(trip); }

private:
    template <typename T>
    PortalFetch<T> decoded(const QByteArray& body) {
        QElapsedTimer timer;
        timer.start();
        PortalFetch<T> fetch;
        auto document = T::decode(body);
        if (document.ok()) {
            fetch.complete(PortalFetch<T>::Outcome::success(document.takeValue()));
        } else {
            fetch.complete(PortalFetch<T>::Outcome::failure(
                {PortalError::Kind::Decoding, document.error().description()}));
        }
        decodeNs += timer.nsecsElapsed();
        return fetch;
    }
};

struct Fixture {
    QTemporaryDir dir;
    std::vector<QByteArray> statuses;
    std::array<QByteArray, 2> trips;
    ManualClock clock;
    std::unique_ptr<ModelContainer> store;
    DocumentClient* client = nullptr;
    std::unique_ptr<TrainService> service;
    qint64 saves = 0;
    qint64 ticks = 0;
};

Fixture* fixture = nullptr;

void fillTrip(const QString& path, qint64 firstSampleMs) {
    SampleSeries samples;
    for (int i = 0; i < initialSamples; ++i) {
        // Standing for the first and last tenth of every 500 samples, cruising between.
        const int phase = i % 500;
        const double speed =
            phase < 50 || phase >= 450 ? 0.0 : std::round((230.0 + 40.0 * std::sin(i / 37.0)) * 10) / 10;
        samples.append(firstSampleMs + qint64(i) * qint64(tickSeconds * 1000), speed);
    }
    StoreFiller filler(path, u"bench-tick-fill"_s);
    filler.begin();
    const TripRow row{
        .startMs = firstSampleMs,
        .endMs = std::nullopt,
        .trainIdentifier = trainIdentifier,
        .active = true,
        .selectedStopEva = std::nullopt,
    };
    filler.addTrip(row, samples);
    filler.commit();
}

void build(Fixture& built) {
    if (!built.dir.isValid()) {
        die(u"cannot create a temporary folder"_s);
    }
    const QString path = built.dir.filePath(u"store.sqlite"_s);
    {
        auto created = ModelContainer::open(path);
        if (!created.ok()) {
            die(created.error().description);
        }
    }
    const qint64 firstSampleMs =
        built.clock.now().toMSecsSinceEpoch() - qint64(initialSamples) * qint64(tickSeconds * 1000);
    fillTrip(path, firstSampleMs);

    for (int i = 0; i < speedVariants; ++i) {
        built.statuses.push_back(statusAt(180.0 + 3.7 * i));
    }
    built.trips = {syntheticTrip(stopCount, 7), syntheticTrip(stopCount, 8)};

    auto opened = ModelContainer::open(path);
    if (!opened.ok()) {
        die(opened.error().description);
    }
    built.store = opened.takeValue();
    auto client = std::make_unique<DocumentClient>();
    built.client = client.get();
    built.service =
        std::make_unique<TrainService>(built.store->mainContext(), std::move(client), built.clock);
    QObject::connect(built.store->mainContext(), &ModelContext::saved, [&built] { ++built.saves; });
    TrainServiceProbe::reconcileActiveTrips(*built.service);
    const Trip* trip = built.service->currentTrip();
    if (trip == nullptr || trip->trainIdentifier() != trainIdentifier ||
        trip->sampleCount() != initialSamples) {
        die(u"the filled trip did not become the current one"_s);
    }
    benchmark::AddCustomContext(
        "fixture", u"one active trip with %1 samples, %2 stops in the trip document"_s.arg(initialSamples)
                       .arg(stopCount)
                       .toStdString());
}

// The documents of the next tick, with the clock already moved on to it; true when the delays ahead differ
// from the last tick's.
bool nextTick(Fixture& f) {
    f.clock.advance(tickSeconds);
    f.client->status = f.statuses[static_cast<std::size_t>(f.ticks % speedVariants)];
    f.client->trip = f.trips[static_cast<std::size_t>((f.ticks / ticksPerDelayChange) % 2)];
    return f.ticks++ % ticksPerDelayChange == 0;
}

double medianMicroseconds(std::vector<qint64> nanoseconds) {
    if (nanoseconds.empty()) {
        return 0;
    }
    const auto middle = nanoseconds.begin() + static_cast<std::ptrdiff_t>(nanoseconds.size() / 2);
    std::nth_element(nanoseconds.begin(), middle, nanoseconds.end());
    return double(*middle) / 1000.0;
}

double quantileMicroseconds(std::vector<qint64> nanoseconds, double q) {
    if (nanoseconds.empty()) {
        return 0;
    }
    const auto at = nanoseconds.begin() + static_cast<std::ptrdiff_t>(double(nanoseconds.size() - 1) * q);
    std::nth_element(nanoseconds.begin(), at, nanoseconds.end());
    return double(*at) / 1000.0;
}

// The whole tick as the timer runs it: both fetches complete at once, so tick() decodes, applies and
// finishes synchronously; the commit follows when the event loop gets its turn back.
void tick(benchmark::State& state) {
    Fixture& f = *fixture;
    std::vector<qint64> total;
    std::vector<qint64> decode;
    std::vector<qint64> commit;
    std::vector<qint64> delayChanges;
    qint64 samplesBefore = f.service->currentTrip()->sampleCount();
    QElapsedTimer timer;
    for (auto _ : state) {
        const bool delaysChanged = nextTick(f);
        const qint64 savesBefore = f.saves;
        f.client->decodeNs = 0;
        timer.start();
        TrainServiceProbe::tick(*f.service);
        const qint64 applied = timer.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 elapsed = timer.nsecsElapsed();
        if (f.saves != savesBefore + 1 || f.store->mainContext()->hasUncommittedChanges() ||
            f.store->mainContext()->lastSaveError()) {
            state.SkipWithError("the turn ended without a successful commit");
            break;
        }
        total.push_back(elapsed);
        decode.push_back(f.client->decodeNs);
        commit.push_back(elapsed - applied);
        if (delaysChanged) {
            delayChanges.push_back(elapsed);
        }
    }
    const Trip* trip = f.service->currentTrip();
    if (trip == nullptr || trip->trainIdentifier() != trainIdentifier) {
        state.SkipWithError("the ticks left the filled trip");
        return;
    }
    if (trip->sampleCount() - samplesBefore != qint64(total.size())) {
        state.SkipWithError("not every tick recorded a sample");
        return;
    }
    state.counters["median_us"] = medianMicroseconds(total);
    state.counters["p99_us"] = quantileMicroseconds(total, 0.99);
    state.counters["max_us"] = quantileMicroseconds(total, 1.0);
    state.counters["decode_us"] = medianMicroseconds(decode);
    state.counters["commit_us"] = medianMicroseconds(commit);
    state.counters["delay_change_tick_us"] = medianMicroseconds(delayChanges);
    state.counters["samples"] = double(trip->sampleCount());
}

// The same work taken apart, to see where the time goes.
void tickPhases(benchmark::State& state) {
    Fixture& f = *fixture;
    std::vector<qint64> decode;
    std::vector<qint64> status;
    std::vector<qint64> stops;
    std::vector<qint64> commit;
    std::vector<qint64> menu;
    std::vector<qint64> bus;
    JourneyNotices notices;
    JourneyState published;
    QElapsedTimer timer;
    for (auto _ : state) {
        nextTick(f);
        timer.start();
        auto statusDocument = ICEStatus::decode(f.client->status);
        auto tripDocument = ICETripInfo::decode(f.client->trip);
        const qint64 decoded = timer.nsecsElapsed();
        if (!statusDocument.ok() || !tripDocument.ok()) {
            state.SkipWithError("a document does not decode");
            break;
        }
        TrainServiceProbe::apply(*f.service, statusDocument.value());
        const qint64 appliedStatus = timer.nsecsElapsed();
        TrainServiceProbe::applyTripInfo(*f.service, tripDocument.value());
        const qint64 appliedStops = timer.nsecsElapsed();
        // What the status item and the notices add after every update: the menu and the notices due.
        const QDateTime now = f.clock.now();
        benchmark::DoNotOptimize(composeJourneyMenu(JourneySnapshot::of(*f.service), now));
        benchmark::DoNotOptimize(notices.update(NoticeSnapshot::of(*f.service), NoticeSettings{}, now));
        const qint64 composed = timer.nsecsElapsed();
        // What the journey's D-Bus interface adds: its values, and the names that changed.
        JourneyState next = JourneyState::of(f.service.get(), QStringLiteral("title"));
        benchmark::DoNotOptimize(changedProperties(published, next));
        published = std::move(next);
        const qint64 toBus = timer.nsecsElapsed();
        QCoreApplication::processEvents();
        const qint64 committed = timer.nsecsElapsed();
        decode.push_back(decoded);
        status.push_back(appliedStatus - decoded);
        stops.push_back(appliedStops - appliedStatus);
        menu.push_back(composed - appliedStops);
        bus.push_back(toBus - composed);
        commit.push_back(committed - toBus);
    }
    state.counters["decode_us"] = medianMicroseconds(decode);
    state.counters["apply_status_us"] = medianMicroseconds(status);
    state.counters["apply_trip_us"] = medianMicroseconds(stops);
    state.counters["menu_and_notices_us"] = medianMicroseconds(menu);
    state.counters["journey_bus_us"] = medianMicroseconds(bus);
    state.counters["commit_us"] = medianMicroseconds(commit);
}

} // namespace

BENCHMARK(tick)
    ->Name("tick: decode both + apply + applyTripInfo + commit, 20k samples, 60 stops")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(tickPhases)
    ->Name("tick phases (medians in the counters)")
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    return runWithFixture(argc, argv, fixture, build);
}
