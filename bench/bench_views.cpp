// What the main window's views cost the UI thread from construction to the first complete frame: the detail
// of a long trip with its chart, and the trip list of a store that has been in use for years.

#include "BenchSupport.h"
#include "store/LiveQueryModel.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"
#include "views/ContentView.h"
#include "views/DetailPaneView.h"
#include "views/SidebarView.h"
#include "views/SpeedChartPlot.h"
#include "views/SpeedChartView.h"
#include "views/TripDetailView.h"
#include "views/TripSelection.h"
#include "views/ViewEnvironment.h"

#include <QApplication>
#include <QChartView>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QListView>
#include <QPixmap>
#include <QTemporaryDir>

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <vector>

using namespace quendle2;
using namespace quendle2::bench;
using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int detailSampleCount = 20000;
constexpr int listTripCount = 1000;
// Only active trips carry samples in the list fixture: the window loads those of the trip it shows, which
// is the active one, and no other trip's samples are read.
constexpr int activeTripSampleCount = 2000;
constexpr int activeTripCount = 3;
constexpr qint64 sampleSpacingMs = 5000;
constexpr qint64 dayMs = 24 * 3600 * 1000;
constexpr qint64 firstTripStartMs = 1640995200000; // 2022-01-01T00:00:00Z

constexpr QSize detailSize(900, 700);
constexpr QSize sidebarSize(300, 700);

struct Fixture {
    QTemporaryDir dir;
    QString detailPath; ///< one closed trip with 20,000 samples
    QString listPath;   ///< 1,000 trips in no particular order of their start
};

Fixture* fixture = nullptr;

QtMessageHandler defaultMessageHandler = nullptr;

// The offscreen platform warns on every window shown; writing that to the terminal would be timed with it.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message == "This plugin does not support propagateSizeHints()"_L1) {
        return;
    }
    defaultMessageHandler(type, context, message);
}

void createSchema(const QString& path) {
    auto opened = ModelContainer::open(path);
    if (!opened.ok()) {
        die(opened.error().description);
    }
}

void fillDetail(const QString& path) {
    createSchema(path);
    std::mt19937 random(20240719);
    SpeedProfile profile(random);
    SampleSeries samples;
    for (int i = 0; i < detailSampleCount; ++i) {
        samples.append(firstTripStartMs + i * sampleSpacingMs, profile.next());
    }
    StoreFiller filler(path, u"bench-views-detail"_s);
    filler.begin();
    filler.addTrip(TripRow{.startMs = firstTripStartMs,
                           .endMs = firstTripStartMs + detailSampleCount * sampleSpacingMs,
                           .trainIdentifier = u"ICE 9473"_s,
                           .selectedStopEva = std::nullopt},
                   samples);
    filler.commit();
    if (filler.rowCount(u"SpeedSample"_s) != detailSampleCount) {
        die(u"the detail fixture does not have the expected number of samples"_s);
    }
}

void fillList(const QString& path) {
    createSchema(path);
    std::mt19937 random(20250101);
    // Every trip starts on a day of its own, and the store's order is not the order of the days, so that the
    // newest-first list really sorts.
    std::vector<int> days(listTripCount);
    std::iota(days.begin(), days.end(), 0);
    std::shuffle(days.begin(), days.end(), random);

    StoreFiller filler(path, u"bench-views-list"_s);
    filler.begin();
    for (int t = 0; t < listTripCount; ++t) {
        // The newest trips are the active ones (the app leaves a trip active when it quits mid-journey), so
        // that the rows on screen show the badge.
        const bool active = days[t] >= listTripCount - activeTripCount;
        const qint64 start = firstTripStartMs + days[t] * dayMs +
                             std::uniform_int_distribution<int>(5 * 60, 16 * 60)(random) * 60000LL;
        SampleSeries samples;
        if (active) {
            SpeedProfile profile(random);
            for (int i = 0; i < activeTripSampleCount; ++i) {
                samples.append(start + i * sampleSpacingMs, profile.next());
            }
        }
        filler.addTrip(
            TripRow{.startMs = start,
                    .endMs = active ? std::nullopt : std::optional(start + (1 + t % 6) * 3600 * 1000LL),
                    .trainIdentifier = t % 10 == 3 ? u""_s : u"ICE %1"_s.arg(500 + t % 400),
                    .active = active,
                    .selectedStopEva = std::nullopt},
            samples);
    }
    filler.commit();
    if (filler.rowCount(u"Trip"_s) != listTripCount ||
        filler.rowCount(u"SpeedSample"_s) != activeTripCount * activeTripSampleCount) {
        die(u"the list fixture does not have the expected number of rows"_s);
    }
}

void build(Fixture& built) {
    if (!built.dir.isValid()) {
        die(u"cannot create a temporary folder: %1"_s.arg(built.dir.errorString()));
    }
    built.detailPath = built.dir.filePath(u"detail.sqlite"_s);
    built.listPath = built.dir.filePath(u"list.sqlite"_s);
    QElapsedTimer timer;
    timer.start();
    fillDetail(built.detailPath);
    fillList(built.listPath);
    const QString summary =
        u"one trip of %1 samples; %2 trips, %3 active with %4 samples each; built in %5 s"_s
            .arg(detailSampleCount)
            .arg(listTripCount)
            .arg(activeTripCount)
            .arg(activeTripSampleCount)
            .arg(double(timer.elapsed()) / 1000.0, 0, 'f', 1);
    std::fprintf(stderr, "fixture: %s\n", qPrintable(summary));
    benchmark::AddCustomContext("fixture", summary.toStdString());
}

// The fixture was checked when it was built, so a store that will not open is broken beyond what a single
// benchmark could skip.
std::unique_ptr<ModelContainer> openStore(const QString& path) {
    auto opened = ModelContainer::open(path);
    if (!opened.ok()) {
        die(opened.error().description);
    }
    return opened.takeValue();
}

Trip* onlyTrip(const ModelContainer& store) {
    const auto trips = store.mainContext()->fetch<Trip>();
    if (!trips.ok() || trips.value().size() != 1) {
        die(u"the detail fixture does not hold exactly one trip"_s);
    }
    return trips.value().first();
}

// Counts the paints a widget receives, so that a figure is refused when the frame it claims to include was
// never drawn.
class PaintCounter final : public QObject {
public:
    int paints = 0;

    void watch(QWidget* widget) {
        if (widget != nullptr) {
            widget->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

// What a window does between show() and its first frame on screen: polish, layout, the expose event and
// the paint of every visible widget into the backing store, all delivered by the event loop.
void showAndPaint(QWidget& widget) {
    widget.show();
    QCoreApplication::processEvents();
}

// Destroys what an iteration built, and lets deferred deletions happen, outside the timed part.
template <typename View>
void discard(std::unique_ptr<View>& view) {
    view.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

QWidget* chartViewport(const TripDetailView& view) {
    auto* chart = view.chart()->findChild<QChartView*>();
    return chart != nullptr ? chart->viewport() : nullptr;
}

bool paintedChart(benchmark::State& state, const TripDetailView& view, const PaintCounter& counter) {
    if (view.chart()->plot().points.size() != detailSampleCount) {
        state.SkipWithError("the chart does not plot every sample");
        return false;
    }
    if (counter.paints == 0) {
        state.SkipWithError("the chart was not painted");
        return false;
    }
    return true;
}

std::unique_ptr<TripDetailView> showDetail(Trip* trip, const ViewEnvironment& environment,
                                           PaintCounter& counter) {
    auto view = std::make_unique<TripDetailView>(trip, environment);
    view->resize(detailSize);
    counter.watch(chartViewport(*view));
    showAndPaint(*view);
    return view;
}

enum class Memory { Cold, Warm };

// Times building, showing and painting one view per iteration; the previous one is destroyed untimed.
// Cold: a store opened afresh (untimed) each time, so everything the view reads comes from the file.
// Warm: one store, and one untimed showing first, so the records the view reads are objects in memory.
template <typename View, typename Show, typename Check>
void timeShowing(benchmark::State& state, const QString& path, Memory memory, Show show, Check painted) {
    std::unique_ptr<View> view;
    std::unique_ptr<ModelContainer> store;
    if (memory == Memory::Warm) {
        store = openStore(path);
        PaintCounter counter;
        view = show(*store, counter);
    }
    for (auto _ : state) {
        state.PauseTiming();
        discard(view);
        if (memory == Memory::Cold) {
            store.reset();
            store = openStore(path);
        }
        state.ResumeTiming();
        PaintCounter counter;
        view = show(*store, counter);
        if (!painted(state, *view, counter)) {
            break;
        }
    }
    discard(view);
}

// Opening a trip: cold, its samples come from the file; warm, it was shown before in this session.
void detail(benchmark::State& state, Memory memory) {
    timeShowing<TripDetailView>(
        state, fixture->detailPath, memory,
        [](ModelContainer& store, PaintCounter& counter) {
            return showDetail(onlyTrip(store), ViewEnvironment{store.mainContext(), nullptr, nullptr},
                              counter);
        },
        paintedChart);
}

void partPlot(benchmark::State& state) {
    const std::unique_ptr<ModelContainer> store = openStore(fixture->detailPath);
    Trip* trip = onlyTrip(*store);
    const QList<SpeedSample*> samples = trip->samples();
    for (auto _ : state) {
        SpeedChartPlot plot = SpeedChartPlot::from(samples);
        benchmark::DoNotOptimize(plot);
    }
}

// The axes keep their range from one iteration to the next, so this is the series' share of setSamples.
void partSetSamples(benchmark::State& state) {
    const std::unique_ptr<ModelContainer> store = openStore(fixture->detailPath);
    Trip* trip = onlyTrip(*store);
    const QList<SpeedSample*> samples = trip->samples();
    SpeedChartView chart;
    chart.resize(detailSize.width(), 300);
    showAndPaint(chart);
    for (auto _ : state) {
        chart.setSamples(samples);
    }
}

bool paintedList(benchmark::State& state, const SidebarView& sidebar, const PaintCounter& counter) {
    if (sidebar.trips()->rowCount() != listTripCount) {
        state.SkipWithError("the list does not show every trip");
        return false;
    }
    if (counter.paints == 0) {
        state.SkipWithError("the list was not painted");
        return false;
    }
    return true;
}

std::unique_ptr<SidebarView> showSidebar(ModelContext* context, TripSelection* selection,
                                         PaintCounter& counter) {
    auto sidebar = std::make_unique<SidebarView>(context, selection);
    sidebar->resize(sidebarSize);
    counter.watch(sidebar->tripList()->viewport());
    showAndPaint(*sidebar);
    return sidebar;
}

// The list after launch (cold: every trip read from the file) and when the window opens again (warm).
void sidebar(benchmark::State& state, Memory memory) {
    TripSelection selection;
    timeShowing<SidebarView>(
        state, fixture->listPath, memory,
        [&selection](ModelContainer& store, PaintCounter& counter) {
            return showSidebar(store.mainContext(), &selection, counter);
        },
        paintedList);
}

std::unique_ptr<ContentView> showContent(ModelContext* context, PaintCounter& counter) {
    auto window = std::make_unique<ContentView>(ViewEnvironment{context, nullptr, nullptr});
    counter.watch(window->sidebar()->tripList()->viewport());
    showAndPaint(*window);
    return window;
}

bool paintedWindow(benchmark::State& state, const ContentView& window, const PaintCounter& counter) {
    if (!paintedList(state, *window.sidebar(), counter)) {
        return false;
    }
    const Trip* shown = window.detailPane()->shownTrip();
    if (shown == nullptr || !shown->active() || shown->samples().size() != activeTripSampleCount) {
        state.SkipWithError("the window does not show an active trip with its samples");
        return false;
    }
    return true;
}

// The whole window: the list, and the detail of the active trip with its chart; at launch (cold) and when
// opened again from the status item (warm).
void content(benchmark::State& state, Memory memory) {
    timeShowing<ContentView>(
        state, fixture->listPath, memory,
        [](ModelContainer& store, PaintCounter& counter) {
            return showContent(store.mainContext(), counter);
        },
        paintedWindow);
}

} // namespace

BENCHMARK_CAPTURE(detail, detailCold, Memory::Cold)
    ->Name("detail: 20,000-sample trip, build + show + paint, samples cold")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(detail, detailWarm, Memory::Warm)
    ->Name("detail: 20,000-sample trip, build + show + paint, samples warm")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(partPlot)->Name("detail part: SpeedChartPlot::from")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(partSetSamples)
    ->Name("detail part: SpeedChartView::setSamples, same samples again on a shown chart")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(sidebar, sidebarCold, Memory::Cold)
    ->Name("list: 1,000 trips, build + show + paint, store just opened")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(sidebar, sidebarWarm, Memory::Warm)
    ->Name("list: 1,000 trips, build + show + paint, trips in memory")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(content, contentCold, Memory::Cold)
    ->Name("window: 1,000 trips + active trip of 2,000 samples, store just opened")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(content, contentWarm, Memory::Warm)
    ->Name("window: 1,000 trips + active trip of 2,000 samples, objects in memory")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    // Widgets need a display; the figures should not depend on the machine having one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    defaultMessageHandler = qInstallMessageHandler(quietOffscreen);
    return runWithFixture<Fixture, QApplication>(argc, argv, fixture, build);
}
