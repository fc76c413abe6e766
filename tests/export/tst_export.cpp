// quendle2-status: its lines for bars, and `export`: trips read from a store file without writing it,
// exported, and read back by programs that did not write them.

#include "StatusLine.h"
#include "export/TripExport.h"
#include "store/ModelContainer.h"
#include "store/ModelContext.h"
#include "store/SpeedSample.h"
#include "store/Trip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace quendle2;
using namespace Qt::StringLiterals;

namespace {

QDateTime at(int hour, int minute, int second, int ms = 0) {
    return QDateTime(QDate(2025, 12, 28), QTime(hour, minute, second, ms), Qt::UTC);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

/// The program's standard output, or nothing when it did not finish cleanly.
QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool clean = process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit &&
                       process.exitCode() == 0;
    if (!clean) {
        qWarning().noquote() << program << process.readAllStandardError();
    }
    return clean ? process.readAllStandardOutput() : QByteArray();
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid() && QDir(m_dir.path()).mkdir(u"quendle2"_s));
        qputenv("XDG_DATA_HOME", m_dir.path().toLocal8Bit());
        auto opened = ModelContainer::open(m_dir.filePath(u"quendle2/store.sqlite"_s));
        QVERIFY(opened.ok());
        m_store = opened.takeValue();
        ModelContext* context = m_store->mainContext();
        auto* older = context->insert(std::make_unique<Trip>(at(10, 0, 0), u""_s, false));
        context->insert(std::make_unique<SpeedSample>(at(10, 5, 0), 80, older, nullptr, 48.14, 11.56));
        m_trips.insert(u"older"_s, older);
        auto* newer =
            context->insert(std::make_unique<Trip>(at(19, 30, 0), u"ICE <5> & \"Sprinter\"\x01"_s, true));
        // Recorded out of time order: the exports follow the clock, not the insertion.
        context->insert(std::make_unique<SpeedSample>(at(19, 41, 0, 250), 99.25, newer, nullptr, 50.2, 8.7));
        context->insert(std::make_unique<SpeedSample>(at(19, 40, 0), 120.5, newer, nullptr, 50.107, 8.663));
        context->insert(std::make_unique<SpeedSample>(at(19, 40, 30, 125), 0, newer));
        m_trips.insert(u"latest"_s, newer);
        QVERIFY(context->save());
    }

    void readsAndExports_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("trip");
        QTest::addColumn<QString>("failure");
        QTest::addColumn<QStringList>("csvRows");
        QTest::addColumn<QString>("firstPoint");
        QTest::addColumn<int>("points");

        QTest::newRow("latest, some samples without a position")
            << QStringList() << u"latest"_s << QString()
            << QStringList{u"2025-12-28T19:40:00.000Z|120.5|50.107|8.663"_s,
                           u"2025-12-28T19:40:30.125Z|0||"_s, u"2025-12-28T19:41:00.250Z|99.25|50.2|8.7"_s}
            << u"50.107000|8.663000|2025/12/28|19:40:00"_s << 2;
        QTest::newRow("by id, before a train was known")
            << QStringList() << u"older"_s << QString()
            << QStringList{u"2025-12-28T10:05:00.000Z|80|48.14|11.56"_s}
            << u"48.140000|11.560000|2025/12/28|10:05:00"_s << 1;
        QTest::newRow("no such trip")
            << QStringList() << u"5f0c7c52-5e46-4a52-9d3c-3bd1b9d6a8a1"_s
            << u"no such trip: 5f0c7c52-5e46-4a52-9d3c-3bd1b9d6a8a1"_s << QStringList() << QString() << 0;
        QTest::newRow("the demo's store, absent")
            << QStringList{u"--demo"_s} << u"latest"_s << u"no trip store at "_s << QStringList() << QString()
            << 0;
        QTest::newRow("an output folder that is not there")
            << QStringList{u"--output"_s, u"/nonexistent/trip.csv"_s} << u"latest"_s
            << u"/nonexistent/trip.csv: "_s << QStringList() << QString() << 0;
    }

    void readsAndExports() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, trip);
        QFETCH(QString, failure);
        const QString store = m_dir.filePath(u"quendle2/store.sqlite"_s);
        const QByteArray before = fileBytes(store);
        const QDateTime modified = QFileInfo(store).lastModified();
        const QString id = m_trips.contains(trip) ? m_trips.value(trip)->id().toString() : trip;
        const QString csvPath = m_dir.filePath(u"trip.csv"_s);
        QFile::remove(csvPath);
        if (!arguments.contains(u"--output"_s)) {
            arguments << u"--output"_s << csvPath;
        }

        QProcess tool;
        tool.start(QStringLiteral(QUENDLE2_STATUS),
                   QStringList{u"export"_s, id, u"--format"_s, u"CSV"_s} + arguments);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(tool.readAllStandardError()).left(failure.size() + 17),
                 failure.isEmpty() ? QString() : u"quendle2-status: "_s + failure);
        QCOMPARE(tool.exitCode(), failure.isEmpty() ? 0 : 1);
        QCOMPARE(fileBytes(store), before);
        QCOMPARE(QFileInfo(store).lastModified(), modified);
        if (!failure.isEmpty()) {
            QVERIFY(!QFileInfo::exists(csvPath));
            return;
        }

        const QByteArray parsed = run(u"python3"_s, {u"-c"_s,
                                                     u"import csv, json, sys\n"
                                                     u"with open(sys.argv[1], newline='') as f:\n"
                                                     u"    print(json.dumps(list(csv.reader(f))))"_s,
                                                     csvPath});
        QStringList csvRows;
        for (const QJsonValue& row : QJsonDocument::fromJson(parsed).array()) {
            csvRows << row.toVariant().toStringList().join(u'|');
        }
        QCOMPARE(csvRows.value(0), u"timestamp|speed_kmh|latitude|longitude"_s);
        QTEST(csvRows.mid(1), "csvRows");
        // The window exports what it holds in memory, and that is what the file holds.
        const ExportTrip held = TripExport::of(*m_trips.value(trip));
        QCOMPARE(TripExport::csv(held), fileBytes(csvPath));

        const QString gpsbabel = QStandardPaths::findExecutable(u"gpsbabel"_s);
        if (gpsbabel.isEmpty()) {
            QSKIP("gpsbabel is not installed (scripts/setup installs it)");
        }
        // Standard output, when no file is named.
        const QString gpxPath = m_dir.filePath(u"trip.gpx"_s);
        const QByteArray written =
            run(QStringLiteral(QUENDLE2_STATUS), {u"export"_s, id, u"--format"_s, u"gpx"_s});
        QCOMPARE(written, TripExport::gpx(held));
        QFile gpx(gpxPath);
        QVERIFY(gpx.open(QIODevice::WriteOnly) && gpx.write(written) > 0);
        gpx.close();
        const QList<QByteArray> lines = run(gpsbabel, {u"-t"_s, u"-i"_s, u"gpx"_s, u"-f"_s, gpxPath, u"-o"_s,
                                                       u"unicsv"_s, u"-F"_s, u"-"_s})
                                            .trimmed()
                                            .split('\n');
        QTEST(int(lines.size()) - 1, "points");
        QTEST(QString::fromUtf8(lines.value(1).trimmed()).section(u',', 1).replace(u',', u'|'), "firstPoint");
    }

    void statusLines_data() {
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("waybar");

        QTest::newRow("a journey, markup in names")
            << true << true << u"\U0001F684 0 km/h <5m> & more"_s
            << u"{\"alt\":\"connected\",\"class\":\"connected\",\"text\":\"\U0001F684 0 km/h &lt;5m&gt; "
               u"&amp; more\","
               u"\"tooltip\":\"ICE 1\\n14:32 A &amp; B\\nWi-Fi: HIGH\"}"_s;
        QTest::newRow("disconnected")
            << true << false << u"Disconnected"_s
            << u"{\"alt\":\"disconnected\",\"class\":\"disconnected\",\"text\":\"Disconnected\",\"tooltip\":"
               u"\"Disconnected\"}"_s;
        QTest::newRow("not running")
            << false << false << u"Disconnected"_s
            << u"{\"alt\":\"disconnected\",\"class\":\"disconnected\",\"text\":\"Disconnected\",\"tooltip\":"
               u"\"quendle2 is not running\"}"_s;
    }

    void statusLines() {
        QFETCH(bool, running);
        QFETCH(bool, connected);
        QFETCH(QString, title);
        const QVariantMap journey{{u"Title"_s, title},
                                  {u"Connected"_s, connected},
                                  {u"TrainIdentifier"_s, u"ICE 1"_s},
                                  {u"NextStops"_s, QStringList{u"14:32 A & B"_s}},
                                  {u"Wifi"_s, u"HIGH"_s}};
        const auto line = [&](status::LineStyle style) {
            return status::statusLine(style, running ? std::optional(journey) : std::nullopt);
        };
        QCOMPARE(QString::fromUtf8(line(status::LineStyle::Title)), title);
        QTEST(QString::fromUtf8(line(status::LineStyle::Waybar)), "waybar");
        // Scripts find every property, also while nothing runs.
        const QJsonObject json = QJsonDocument::fromJson(line(status::LineStyle::Json)).object();
        QCOMPARE(json.value(u"Connected"_s).toBool(), connected);
        QCOMPARE(json.size(), running ? journey.size() : 12);
    }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("no format") << QStringList{u"export"_s, u"latest"_s};
        QTest::newRow("unknown format") << QStringList{u"export"_s, u"latest"_s, u"--format"_s, u"kml"_s};
        QTest::newRow("no trip") << QStringList{u"export"_s, u"--format"_s, u"gpx"_s};
        QTest::newRow("two styles") << QStringList{u"--json"_s, u"--waybar"_s};
        QTest::newRow("unknown option") << QStringList{u"--jsno"_s};
    }

    void usageErrors() {
        QFETCH(QStringList, arguments);
        QProcess tool;
        tool.start(QStringLiteral(QUENDLE2_STATUS), arguments);
        QVERIFY(tool.waitForFinished(30000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(tool.readAllStandardOutput().isEmpty());
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ModelContainer> m_store;
    QHash<QString, Trip*> m_trips;
};

QTEST_GUILESS_MAIN(ExportTest)
#include "tst_export.moc"
