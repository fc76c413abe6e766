#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray sample(const char* fileName) {
    QFile file(QStringLiteral(QUENDLE2_TEST_DATA "/") + QString::fromLatin1(fileName));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    return file.readAll();
}

// Coordinates come with six decimals, as in the captured documents.
double micro(double degrees) {
    return std::round(degrees * 1e6) / 1e6;
}

// A longer journey in the shape of the captured 2024-07 trip: every stop is a copy of a real intermediate
// stop (unknown keys and nulls included) with its own station, times, distances and, on every third stop, a
// delay reason, so that no two stops are byte-identical.
QByteArray syntheticTrip(int stopCount) {
    const QJsonObject document = QJsonDocument::fromJson(sample("trip-2024-07-delay-reasons.json")).object();
    QJsonObject trip = document.value("trip"_L1).toObject();
    const QJsonObject model = trip.value("stops"_L1).toArray().at(5).toObject();

    const qint64 departure = 1721371860000;
    const qint64 stopSpacing = 14 * 60 * 1000;
    const int delayMinutes = 7;
    const qint64 delay = qint64(delayMinutes) * 60 * 1000;
    QJsonArray stops;
    for (int i = 0; i < stopCount; ++i) {
        const qint64 arrival = departure + i * stopSpacing;
        QJsonObject station = model.value("station"_L1).toObject();
        station.insert("evaNr"_L1, QString::number(8000100 + i * 7));
        station.insert("name"_L1, u"Haltepunkt %1 (Hbf)"_s.arg(i + 1));
        station.insert("geocoordinates"_L1, QJsonObject{{"latitude"_L1, micro(50.107145 + i * 0.061)},
                                                        {"longitude"_L1, micro(8.663789 + i * 0.083)}});

        QJsonObject timetable = model.value("timetable"_L1).toObject();
        const bool first = i == 0;
        const bool last = i == stopCount - 1;
        timetable.insert("scheduledArrivalTime"_L1, first ? QJsonValue() : QJsonValue(arrival));
        timetable.insert("actualArrivalTime"_L1, first ? QJsonValue() : QJsonValue(arrival + delay));
        timetable.insert("arrivalDelay"_L1, first ? u""_s : u"+%1"_s.arg(delayMinutes));
        timetable.insert("scheduledDepartureTime"_L1, last ? QJsonValue() : QJsonValue(arrival + 120000));
        timetable.insert("actualDepartureTime"_L1,
                         last ? QJsonValue() : QJsonValue(arrival + 120000 + delay));
        timetable.insert("departureDelay"_L1, last ? u""_s : u"+%1"_s.arg(delayMinutes));

        QJsonObject info = model.value("info"_L1).toObject();
        info.insert("passed"_L1, i < stopCount / 3);
        info.insert("positionStatus"_L1, i < stopCount / 3 ? u"passed"_s : u"future"_s);
        info.insert("distance"_L1, first ? 0 : 12000 + (i * 3571) % 20000);
        info.insert("distanceFromStart"_L1, i * 22500);

        QJsonObject stop = model;
        stop.insert("station"_L1, station);
        stop.insert("timetable"_L1, timetable);
        stop.insert("track"_L1, QJsonObject{{"scheduled"_L1, QString::number(1 + i % 12)},
                                            {"actual"_L1, QString::number(1 + (i + i / 5) % 12)}});
        stop.insert("info"_L1, info);
        stop.insert("delayReasons"_L1, i % 3 == 1 ? model.value("delayReasons"_L1) : QJsonValue());
        stops.append(stop);
    }
    trip.insert("totalDistance"_L1, (stopCount - 1) * 22500);
    trip.insert("stops"_L1, stops);
    return QJsonDocument(QJsonObject{{"trip"_L1, trip}}).toJson(QJsonDocument::Compact);
}

template <typename Document>
void decode(benchmark::State& state, const QByteArray& json) {
    const auto check = Document::decode(json);
    if (!check.ok()) {
        state.SkipWithError(qPrintable(check.error().description()));
        return;
    }
    for (auto _ : state) {
        auto result = Document::decode(json);
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * json.size());
    state.counters["bytes"] = double(json.size());
}

void tripSample(benchmark::State& state) {
    decode<ICETripInfo>(state, sample("trip-2024-07-delay-reasons.json"));
}

void tripSynthetic(benchmark::State& state) {
    const QByteArray json = syntheticTrip(int(state.range(0)));
    const auto check = ICETripInfo::decode(json);
    if (!check.ok() || check.value().trip->stops->size() != std::size_t(state.range(0))) {
        state.SkipWithError("the synthetic trip does not decode to the requested stops");
        return;
    }
    decode<ICETripInfo>(state, json);
}

// The floor under the synthetic figure: Qt's parser alone, on the same document.
void parseSynthetic(benchmark::State& state) {
    const QByteArray json = syntheticTrip(int(state.range(0)));
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(json);
        benchmark::DoNotOptimize(document);
    }
}

void statusSample(benchmark::State& state) {
    decode<ICEStatus>(state, sample("status-2025-12-cruising.json"));
}

} // namespace

BENCHMARK(tripSample)->Name("ICETripInfo::decode/sample 22 stops")->Unit(benchmark::kMicrosecond);
BENCHMARK(tripSynthetic)->Name("ICETripInfo::decode/synthetic")->Arg(60)->Unit(benchmark::kMicrosecond);
BENCHMARK(parseSynthetic)->Name("QJsonDocument::fromJson/synthetic")->Arg(60)->Unit(benchmark::kMicrosecond);
BENCHMARK(statusSample)->Name("ICEStatus::decode/sample")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
