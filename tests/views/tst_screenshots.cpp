// Renders the main window to PNG files in the build folder, reached as a person would: the README's images.
#include "ViewsTestSupport.h"
#include "app/Translations.h"
#include "menubar/JourneyMenu.h"
#include "store/SpeedSample.h"
#include "views/ContentView.h"
#include "views/DetailPaneView.h"
#include "views/SidebarView.h"
#include "views/StopRow.h"
#include "views/StopsView.h"
#include "views/TripDetailView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QSet>
#include <QTest>

#include <cmath>

using namespace quendle2;
using namespace quendle2::test;

class ScreenshotsTest : public QObject {
    Q_OBJECT

private:
    /// Fewer than a handful of colours means nothing but the background was drawn.
    static void save(QWidget& window, const QString& name) {
        QCoreApplication::processEvents();
        const QImage image = window.grab().toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3) {
            for (int x = 0; x < image.width(); x += 3) {
                colours.insert(image.pixel(x, y));
            }
        }
        QVERIFY2(colours.size() > 16, qPrintable(name));
        QDir().mkpath(QStringLiteral(QUENDLE2_SCREENSHOT_DIR));
        const QString path = QStringLiteral(QUENDLE2_SCREENSHOT_DIR) + u'/' + name;
        QVERIFY2(image.save(path), qPrintable(path));
        QVERIFY(QFile(path).size() > 10'000);
    }

    static bool shown(QWidget& window, int width, int height) {
        window.resize(width, height);
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

private Q_SLOTS:
    void render() {
        Fixture f;
        ModelContext* context = f.h.context();
        {
            ContentView empty(f.environment());
            QVERIFY(shown(empty, 1040, 700));
            save(empty, u"empty.png"_s);
        }

        // A captured Chur-Frankfurt route, joined two hours before the moment shown near Freiburg.
        QFile document(QStringLiteral(QUENDLE2_TEST_DATA "/trip-2025-12.json"));
        QVERIFY(document.open(QIODevice::ReadOnly));
        const ICETripInfo info = decodeTrip(document.readAll());
        const QDateTime now(QDate(2025, 12, 28), QTime(19, 40), Qt::UTC);
        f.h.clock.set(now.addSecs(-7200));

        // Three earlier journeys, one without a train number.
        const QStringList earlier{u"ICE 578"_s, u""_s, u"ICE 1007"_s};
        for (int i = 0; i < earlier.size(); ++i) {
            auto trip = std::make_unique<Trip>(now.addDays(-(i + 1) * 3).addSecs(-3600 * (i + 2)),
                                               earlier.at(i), false);
            trip->setEndDate(trip->startDate().addSecs(3 * 3600 + 1200 * i));
            trip->setMaxSpeed(248.6 + i * 10);
            trip->setAvgSpeed(163.2 - i * 9);
            context->insert(std::move(trip));
        }
        f.tick(reached(u"ICE 272"_s, 0), TripOutcome::success(info));
        Trip* running = f.service->currentTrip();
        QVERIFY(running != nullptr);
        for (int s = 30; s <= 7200; s += 30) {
            const double cruise = 120 + 80 * std::sin(s / 900.0) + 40 * std::sin(s / 170.0);
            const double speed = s < 600 ? s * 0.3 : std::max(0.0, s > 3300 && s < 3600 ? 0.0 : cruise);
            context->insert(std::make_unique<SpeedSample>(running->startDate().addSecs(s), speed, running));
        }
        running->setMaxSpeed(running->positiveSpeedStats().maximum);
        running->setAvgSpeed(running->positiveSpeedStats().average);
        f.h.clock.set(now);
        f.tick(reached(u"ICE 272"_s, 231), TripOutcome::success(info));

        ContentView window(f.environment());
        QVERIFY(shown(window, 1040, 860));
        TripDetailView* detail = window.detailPane()->detailView();
        QCOMPARE(detail->trip(), running);
        QCoreApplication::processEvents();
        // The route box shows where the train is, not only where the journey began.
        const QList<StopRow*> rows = detail->stopsView()->rows();
        const qsizetype current = f.service->currentStopIndex().value_or(-1);
        QVERIFY(current > 2 && current < rows.size());
        const QWidget* routeBox = rows.at(current)->parentWidget()->parentWidget();
        QVERIFY(routeBox->rect().contains(
            QRect(rows.at(current)->mapTo(routeBox, QPoint()), rows.at(current)->size())));
        rows.at(current - 1)->setExpanded(true);
        save(window, u"running-trip.png"_s);

        // Through the window as a person uses it: a click on a past trip, then on the Settings link.
        QListView* list = window.sidebar()->tripList();
        clickRow(list, 2);
        QVERIFY(window.detailPane()->shownTrip() != running);
        save(window, u"trip-list.png"_s);

        clickRow(window.sidebar()->findChild<QListWidget*>(), 0);
        QVERIFY(window.settingsView() != nullptr);
        QVERIFY(!list->selectionModel()->hasSelection());
        save(window, u"settings.png"_s);

        // A narrow window still shows the whole running trip.
        clickRow(list, 0);
        window.resize(800, 700);
        save(window, u"narrow.png"_s);

        // German, settings included although their tables were first read in English above.
        const QLocale locale;
        const QLocale german(QLocale::German, QLocale::Germany);
        QLocale::setDefault(german);
        {
            const Translations translations(german);
            ContentView de(f.environment());
            QVERIFY(shown(de, 1040, 860));
            de.detailPane()->detailView()->stopsView()->rows().at(current - 1)->setExpanded(true);
            save(de, u"running-trip-de.png"_s);
            QStringList shown;
            for (const QLabel* label : de.findChildren<QLabel*>()) {
                shown << label->text();
            }
            for (const JourneyMenuEntry& entry : composeJourneyMenu(JourneySnapshot::of(*f.service), now)) {
                shown << entry.label;
            }
            clickRow(de.sidebar()->findChild<QListWidget*>(), 0);
            shown << de.settingsView()->findChild<QCheckBox*>()->text();
            for (const QString& text :
                 {u"Dauer"_s, u"Fahrtverlauf"_s, u"Gl. 15"_s, u"Automatisch (nächster Halt)"_s,
                  u"quendle2 öffnen"_s, u"Geschwindigkeit anzeigen"_s}) {
                QVERIFY2(shown.contains(text), qPrintable(text));
            }
        }
        QLocale::setDefault(locale);

        // A dark desktop: every colour comes from the palette, none is fixed to a light background.
        QApplication::setStyle(u"Fusion"_s);
        QApplication::setPalette(darkPalette());
        ContentView dark(f.environment());
        QVERIFY(shown(dark, 1040, 860));
        save(dark, u"running-trip-dark.png"_s);
    }
};

QTEST_MAIN(ScreenshotsTest)
#include "tst_screenshots.moc"
