#include "BenchSupport.h"
#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"

#include <QJsonDocument>

#include <benchmark/benchmark.h>

using namespace quendle2;
using namespace quendle2::bench;

namespace {

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
    decode<ICETripInfo>(state, sampleDocument("trip-2024-07-delay-reasons.json"));
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
    decode<ICEStatus>(state, sampleDocument("status-2025-12-cruising.json"));
}

} // namespace

BENCHMARK(tripSample)->Name("ICETripInfo::decode/sample 22 stops")->Unit(benchmark::kMicrosecond);
BENCHMARK(tripSynthetic)->Name("ICETripInfo::decode/synthetic")->Arg(60)->Unit(benchmark::kMicrosecond);
BENCHMARK(parseSynthetic)->Name("QJsonDocument::fromJson/synthetic")->Arg(60)->Unit(benchmark::kMicrosecond);
BENCHMARK(statusSample)->Name("ICEStatus::decode/sample")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
