#include "portal/ICEStatus.h"
#include "portal/ICETripInfo.h"
#include "portal/JsonTape.h"

#include <QFile>
#include <QtTest>

#include <cstdint>
#include <vector>

// Expected documents name only the fields they carry; every field left out is meant to be absent.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace quendle2;
using namespace Qt::Literals::StringLiterals;

using Trip = ICETripInfo::Trip;
using Stop = Trip::Stop;

Q_DECLARE_METATYPE(quendle2::ICEStatus)
Q_DECLARE_METATYPE(quendle2::ICETripInfo)

namespace {

QByteArray sample(const QString& fileName) {
    QFile file(QStringLiteral(QUENDLE2_TEST_DATA "/") + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("cannot read %s", qPrintable(file.fileName()));
    }
    return file.readAll();
}

// Valid stops, with every kind of field, surround the faulty one: the reported index must point at the fault.
const QByteArray goodStop = R"({"station":{"evaNr":"8000105","name":"Frankfurt(Main)Hbf",
    "geocoordinates":{"latitude":50.107145,"longitude":8.663789}},
    "timetable":{"scheduledArrivalTime":1721371860000,"arrivalDelay":"+10"},
    "track":{"scheduled":"13","actual":"12"},"info":{"status":0,"passed":true,"distance":0},
    "delayReasons":[{"code":"47","text":"verspätete Bereitstellung des Zuges"}]})";

QByteArray tripWith(const QList<QByteArray>& stops) {
    return "{\"trip\":{\"vzn\":\"1672\",\"stops\":[" + stops.join(',') + "]}}";
}

template <typename T>
QString problemOf(const Result<T, DecodingError>& result) {
    return result.ok() ? QString() : result.error().description();
}

QString decodingProblem(bool trip, const QByteArray& json) {
    return trip ? problemOf(ICETripInfo::decode(json)) : problemOf(ICEStatus::decode(json));
}

} // namespace

class TestDecoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void status_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<ICEStatus>("expected");

        QTest::newRow("empty object") << QByteArray("{}") << ICEStatus{};
        // Every field has its own value, so that a field read from the wrong key shows.
        QTest::newRow("every field") << QByteArray(R"({"connection":true,"serviceLevel":"AVAILABLE_SERVICE",
            "gpsStatus":"VALID","internet":"HIGH","latitude":52.766562,"longitude":-10.25,"speed":169.5,
            "trainType":"ICE","tzn":"Tz1191","wagonClass":"SECOND","serverTime":1603913237508,
            "connectivity":{"currentState":"HIGH","nextState":"WEAK","remainingTimeSeconds":58},
            "bapInstalled":false})")
                                     << ICEStatus{.connection = true,
                                                  .serviceLevel = u"AVAILABLE_SERVICE"_s,
                                                  .gpsStatus = u"VALID"_s,
                                                  .internet = u"HIGH"_s,
                                                  .latitude = 52.766562,
                                                  .longitude = -10.25,
                                                  .speed = 169.5,
                                                  .trainType = u"ICE"_s,
                                                  .tzn = u"Tz1191"_s,
                                                  .wagonClass = u"SECOND"_s,
                                                  .serverTime = 1603913237508,
                                                  .connectivity =
                                                      ICEStatus::Connectivity{u"HIGH"_s, u"WEAK"_s, 58},
                                                  .bapInstalled = false};
        QTest::newRow("null is absent")
            << QByteArray(R"({"speed":null,"connection":null,"connectivity":null})") << ICEStatus{};
        QTest::newRow("integers are numbers")
            << QByteArray(R"({"speed":12,"latitude":-7})") << ICEStatus{.latitude = -7.0, .speed = 12.0};
        QTest::newRow("unknown keys, case differs")
            << QByteArray(
                   R"({"servicelevel":"AVAILABLE_SERVICE","Speed":"fast","tileX":216,"extra":{"a":[1,null]}})")
            << ICEStatus{};
        QTest::newRow("values kept as sent") << QByteArray(R"({"internet":"medium","tzn":""})")
                                             << ICEStatus{.internet = u"medium"_s, .tzn = u""_s};
        QTest::newRow("empty connectivity")
            << QByteArray(R"({"connectivity":{}})") << ICEStatus{.connectivity = ICEStatus::Connectivity{}};
        QTest::newRow("duplicate key, last wins")
            << QByteArray(R"({"serverTime":-9223372036854775809,"serverTime":-9223372036854775808})")
            << ICEStatus{.serverTime = INT64_MIN};
        QTest::newRow("connectivity partly null")
            << QByteArray(R"({"connectivity":{"currentState":"NO_INTERNET","nextState":null}})")
            << ICEStatus{.connectivity = ICEStatus::Connectivity{.currentState = u"NO_INTERNET"_s}};
    }

    void status() {
        QFETCH(QByteArray, json);
        QFETCH(ICEStatus, expected);

        const auto result = ICEStatus::decode(json);
        QVERIFY2(result.ok(), qPrintable(problemOf(result)));
        QCOMPARE(result.value(), expected);
    }

    void integers_data() {
        QTest::addColumn<QByteArray>("literal");
        QTest::addColumn<qint64>("value");
        QTest::addColumn<QString>("problem"); // empty when the literal is accepted

        const QString notWhole = u"serverTime: expected a whole number, got "_s;
        const QString outOfRange = u"serverTime: expected a whole number in the signed 64-bit range, got "_s;
        QTest::newRow("integer") << QByteArray("1500") << qint64(1500) << QString();
        QTest::newRow("whole double") << QByteArray("1500.0") << qint64(1500) << QString();
        QTest::newRow("exponent") << QByteArray("15e2") << qint64(1500) << QString();
        QTest::newRow("negative") << QByteArray("-42") << qint64(-42) << QString();
        QTest::newRow("greatest") << QByteArray("9223372036854775807") << qint64(INT64_MAX) << QString();
        QTest::newRow("least") << QByteArray("-9223372036854775808") << qint64(INT64_MIN) << QString();
        QTest::newRow("greatest as double")
            << QByteArray("9223372036854775807.0") << qint64(INT64_MAX) << QString();
        QTest::newRow("fraction") << QByteArray("1.5") << qint64(0) << notWhole + u"1.5"_s;
        QTest::newRow("negative fraction") << QByteArray("-0.5") << qint64(0) << notWhole + u"-0.5"_s;
        QTest::newRow("fraction a double rounds to whole")
            << QByteArray("9007199254740993.5") << qint64(0) << notWhole + u"9007199254740993.5"_s;
        QTest::newRow("one above greatest")
            << QByteArray("9223372036854775808") << qint64(0) << outOfRange + u"9223372036854775808"_s;
        QTest::newRow("one below least")
            << QByteArray("-9223372036854775809") << qint64(0) << outOfRange + u"-9223372036854775809"_s;
        QTest::newRow("negative exponent, whole") << QByteArray("1500e-2") << qint64(15) << QString();
        QTest::newRow("negative exponent, fraction")
            << QByteArray("15e-1") << qint64(0) << notWhole + u"15e-1"_s;
        QTest::newRow("negative zero") << QByteArray("-0") << qint64(0) << QString();
        QTest::newRow("a hundred digits, quoted short")
            << QByteArray(100, '9') << qint64(0) << outOfRange + QString(40, u'9') + u"..."_s;
        QTest::newRow("huge exponent") << QByteArray("1e300") << qint64(0) << outOfRange + u"1e300"_s;
        QTest::newRow("string") << QByteArray("\"1500\"") << qint64(0) << notWhole + u"a string"_s;
        QTest::newRow("boolean") << QByteArray("true") << qint64(0) << notWhole + u"true"_s;
    }

    void integers() {
        QFETCH(QByteArray, literal);
        QFETCH(qint64, value);
        QFETCH(QString, problem);

        const auto result = ICEStatus::decode("{\"serverTime\":" + literal + ",\"tzn\":\"ICE9473\"}");
        if (!problem.isEmpty()) {
            QVERIFY(!result.ok());
            QCOMPARE(result.error().description(), problem);
            return;
        }
        QVERIFY2(result.ok(), qPrintable(problemOf(result)));
        QCOMPARE(result.value().serverTime, std::optional<qint64>(value));
        QCOMPARE(result.value().tzn, std::optional<QString>(u"ICE9473"_s));
    }

    void wrongTypes_data() {
        QTest::addColumn<bool>("trip");
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("problem");

        const auto stops = [](int badIndex, const QByteArray& bad) {
            QList<QByteArray> list(badIndex, goodStop);
            list << bad << goodStop;
            return tripWith(list);
        };

        QTest::newRow("bool as string") << false << QByteArray(R"({"connection":"true"})")
                                        << u"connection: expected true or false, got a string"_s;
        QTest::newRow("bool as 1") << false << QByteArray(R"({"connection":1})")
                                   << u"connection: expected true or false, got 1"_s;
        QTest::newRow("bool as 0, after valid fields")
            << false << QByteArray(R"({"connection":true,"speed":106.3,"tzn":"ICE9473","bapInstalled":0})")
            << u"bapInstalled: expected true or false, got 0"_s;
        QTest::newRow("number as string")
            << false << QByteArray(R"({"speed":"106.3"})") << u"speed: expected a number, got a string"_s;
        QTest::newRow("string as number")
            << false << QByteArray(R"({"tzn":9473})") << u"tzn: expected a string, got 9473"_s;
        QTest::newRow("object as array") << false << QByteArray(R"({"connectivity":[]})")
                                         << u"connectivity: expected an object, got an array"_s;
        QTest::newRow("nested in status")
            << false << QByteArray(R"({"connectivity":{"remainingTimeSeconds":1.5}})")
            << u"connectivity.remainingTimeSeconds: expected a whole number, got 1.5"_s;

        QTest::newRow("trip as string")
            << true << QByteArray(R"({"trip":"ICE 1672"})") << u"trip: expected an object, got a string"_s;
        QTest::newRow("stops as object") << true << QByteArray(R"({"trip":{"stops":{}}})")
                                         << u"trip.stops: expected an array, got an object"_s;
        QTest::newRow("stop null") << true << stops(1, "null")
                                   << u"trip.stops[1]: expected an object, got null"_s;
        QTest::newRow("stop number") << true << stops(0, "7")
                                     << u"trip.stops[0]: expected an object, got 7"_s;
        QTest::newRow("fractional time")
            << true << stops(3, R"({"timetable":{"scheduledArrivalTime":1.5}})")
            << u"trip.stops[3].timetable.scheduledArrivalTime: expected a whole number, got 1.5"_s;
        QTest::newRow("three objects deep")
            << true << stops(2, R"({"station":{"geocoordinates":{"latitude":"50.1"}}})")
            << u"trip.stops[2].station.geocoordinates.latitude: expected a number, got a string"_s;
        QTest::newRow("passed as 1") << true << stops(1, R"({"info":{"passed":1}})")
                                     << u"trip.stops[1].info.passed: expected true or false, got 1"_s;
        QTest::newRow("delay reason null")
            << true << stops(1, R"({"delayReasons":[{"code":"47"},null]})")
            << u"trip.stops[1].delayReasons[1]: expected an object, got null"_s;
        QTest::newRow("delay code number")
            << true << stops(0, R"({"delayReasons":[{"code":47}]})")
            << u"trip.stops[0].delayReasons[0].code: expected a string, got 47"_s;
        QTest::newRow("stop info") << true
                                   << QByteArray(R"({"trip":{"stopInfo":{"finalStationEvaNr":8011191}}})")
                                   << u"trip.stopInfo.finalStationEvaNr: expected a string, got 8011191"_s;
        QTest::newRow("long literal deep in the stops")
            << true
            << stops(1,
                     R"({"timetable":{"scheduledArrivalTime":1,"actualArrivalTime":-9223372036854775809}})")
            << u"trip.stops[1].timetable.actualArrivalTime: expected a whole number in the signed 64-bit range, got -9223372036854775809"_s;
        QTest::newRow("trip integer as string")
            << true << QByteArray(R"({"trip":{"totalDistance":"735150"}})")
            << u"trip.totalDistance: expected a whole number, got a string"_s;
    }

    void wrongTypes() {
        QFETCH(bool, trip);
        QFETCH(QByteArray, json);
        QFETCH(QString, problem);

        QCOMPARE(decodingProblem(trip, json), problem);
    }

    void notAnObject_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("problemStart");

        QTest::newRow("empty") << QByteArray() << u"the body is empty"_s;
        QTest::newRow("whitespace") << QByteArray(" \r\n\t") << u"the body is empty"_s;
        QTest::newRow("array") << QByteArray("[]")
                               << u"expected a JSON object at the top level, got an array"_s;
        QTest::newRow("html") << QByteArray("<html><body>Willkommen an Bord</body></html>")
                              << u"the body is not valid JSON"_s;
        QTest::newRow("truncated") << sample(u"trip-2025-12.json"_s).left(700)
                                   << u"the body is not valid JSON"_s;
        QTest::newRow("trailing garbage") << QByteArray("{} {}") << u"the body is not valid JSON"_s;
        QTest::newRow("bare value") << QByteArray("42") << QString();
    }

    void notAnObject() {
        QFETCH(QByteArray, body);
        QFETCH(QString, problemStart);

        const auto status = ICEStatus::decode(body);
        const auto trip = ICETripInfo::decode(body);
        QVERIFY(!status.ok());
        QVERIFY(!trip.ok());
        QCOMPARE(status.error(), trip.error());
        QVERIFY(status.error().path.isEmpty());
        QVERIFY2(status.error().problem.startsWith(problemStart), qPrintable(status.error().problem));
        QVERIFY(!status.error().problem.isEmpty());
    }

    void trip_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<ICETripInfo>("expected");

        using Station = Stop::Station;
        QTest::newRow("no trip key") << QByteArray("{}") << ICETripInfo{};
        QTest::newRow("trip null") << QByteArray(R"({"trip":null})") << ICETripInfo{};
        QTest::newRow("trip empty") << QByteArray(R"({"trip":{}})") << ICETripInfo{Trip{}};
        QTest::newRow("no stops key") << QByteArray(R"({"trip":{"vzn":"1672","totalDistance":735150}})")
                                      << ICETripInfo{Trip{.vzn = u"1672"_s, .totalDistance = 735150}};
        QTest::newRow("no stops") << QByteArray(R"({"trip":{"stops":[]}})")
                                  << ICETripInfo{Trip{.stops = std::vector<Stop>{}}};
        QTest::newRow("stop without station, passed null")
            << QByteArray(R"({"trip":{"stops":[{"info":{"status":0,"passed":null}}]}})")
            << ICETripInfo{Trip{.stops = std::vector<Stop>{Stop{.info = Stop::Info{.status = 0}}}}};
        QTest::newRow("order kept, unknown keys ignored")
            << QByteArray(R"({"trip":{"journeyDisplayValue":"ICE 272","stops":[
                {"station":{"evaNr":"3","code":null}},
                {"station":{"evaNr":"1"},"delayReasons":[]},
                {"station":{"evaNr":"2"},"delayReasons":[{"code":"80","text":"b"},{"code":"47"}]}]}})")
            << ICETripInfo{
                   Trip{.stops = std::vector<Stop>{
                            Stop{.station = Station{.evaNr = u"3"_s}},
                            Stop{.station = Station{.evaNr = u"1"_s},
                                 .delayReasons = std::vector<Stop::DelayReason>{}},
                            Stop{.station = Station{.evaNr = u"2"_s},
                                 .delayReasons = std::vector<Stop::DelayReason>{{u"80"_s, u"b"_s},
                                                                                {u"47"_s, std::nullopt}}},
                        }}};
    }

    void trip() {
        QFETCH(QByteArray, json);
        QFETCH(ICETripInfo, expected);

        const auto result = ICETripInfo::decode(json);
        QVERIFY2(result.ok(), qPrintable(problemOf(result)));
        QCOMPARE(result.value(), expected);
    }

    void samples_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("stops"); // -1 for a status document

        QTest::newRow("2020 old keys") << u"status-2020-old-keys.json"_s << -1;
        QTest::newRow("2025-10 service error") << u"status-2025-10-service-error.json"_s << -1;
        QTest::newRow("2025-12 cruising") << u"status-2025-12-cruising.json"_s << -1;
        QTest::newRow("2024-07 delay reasons") << u"trip-2024-07-delay-reasons.json"_s << 22;
        QTest::newRow("2025-12 trip") << u"trip-2025-12.json"_s << 11;
    }

    void samples() {
        QFETCH(QString, file);
        QFETCH(int, stops);

        if (stops < 0) {
            const auto result = ICEStatus::decode(sample(file));
            QVERIFY2(result.ok(), qPrintable(problemOf(result)));
            QVERIFY(result.value().tzn && result.value().speed && result.value().connectivity);
            return;
        }
        const auto result = ICETripInfo::decode(sample(file));
        QVERIFY2(result.ok(), qPrintable(problemOf(result)));
        QVERIFY(result.value().trip && result.value().trip->stops);
        QCOMPARE(int(result.value().trip->stops->size()), stops);
        for (const Stop& stop : *result.value().trip->stops) {
            QVERIFY(stop.station && stop.station->evaNr && stop.timetable && stop.info);
        }
    }

    void sampleDetails() {
        const auto oldKeys = ICEStatus::decode(sample(u"status-2020-old-keys.json"_s)).value();
        QCOMPARE(oldKeys.serviceLevel, std::nullopt); // sent as "servicelevel"
        QCOMPARE(oldKeys.bapInstalled, std::nullopt);
        QCOMPARE(oldKeys.connectivity->remainingTimeSeconds, std::optional<qint64>(58));

        const auto serviceError = ICEStatus::decode(sample(u"status-2025-10-service-error.json"_s)).value();
        QCOMPARE(serviceError.connection, std::optional<bool>(false));
        QCOMPARE(serviceError.internet, std::optional<QString>(u"OFFLINE"_s));
        QCOMPARE(serviceError.connectivity, std::optional<ICEStatus::Connectivity>(
                                                ICEStatus::Connectivity{.currentState = u"NO_INTERNET"_s}));

        const auto cruising = ICEStatus::decode(sample(u"status-2025-12-cruising.json"_s)).value();
        QCOMPARE(cruising.speed, std::optional<double>(106.3));
        QCOMPARE(cruising.tzn, std::optional<QString>(u"ICE9473"_s));
        QCOMPARE(cruising.serverTime, std::optional<qint64>(1766950394685));
        QCOMPARE(cruising.longitude, std::optional<double>(7.5974206667));

        const auto delayed =
            ICETripInfo::decode(sample(u"trip-2024-07-delay-reasons.json"_s)).value().trip.value();
        QCOMPARE(delayed.stopInfo->finalStationName, std::optional<QString>(u"Ostseebad Binz"_s));
        const std::vector<Stop>& delayedStops = delayed.stops.value();
        QCOMPARE(delayedStops.front().delayReasons, std::nullopt);
        QCOMPARE(delayedStops.at(2).station->name, std::optional<QString>(u"Gießen"_s));
        QCOMPARE(delayedStops.at(5).delayReasons->size(), std::size_t(1));
        QCOMPARE(delayedStops.at(5).delayReasons->front(),
                 (Stop::DelayReason{u"47"_s, u"verspätete Bereitstellung des Zuges"_s}));
        QCOMPARE(delayedStops.back().station->evaNr, delayed.stopInfo->finalStationEvaNr);
        QCOMPARE(delayedStops.back().timetable->scheduledDepartureTime, std::nullopt);

        const auto december = ICETripInfo::decode(sample(u"trip-2025-12.json"_s)).value().trip.value();
        const Stop::Timetable& first = *december.stops->front().timetable;
        QCOMPARE(first.scheduledArrivalTime, std::nullopt);
        QCOMPARE(first.actualArrivalTime, std::nullopt);
        QCOMPARE(first.scheduledDepartureTime, std::optional<qint64>(1766939880000));
        QCOMPARE(december.stops->front().station->name, std::optional<QString>(u"Chur"_s));
    }

    void jsonSyntax_data();
    void jsonSyntax();
    void doubles_data();
    void doubles();
    void everyTruncationFails();
};

// The parser is our own, so JSON's corners are tested here: strings as the portal escapes them, and
// everything a broken or hostile body may contain.
void TestDecoding::jsonSyntax_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("tzn");     // expected when the document is accepted
    QTest::addColumn<QString>("problem"); // start of the error otherwise

    QTest::newRow("escaped umlaut") << QByteArray(R"({"tzn":"Gie\u00dfen"})") << u"Gießen"_s << QString();
    QTest::newRow("raw UTF-8") << QByteArray("{\"tzn\":\"Gie\xc3\x9f"
                                             "en\"}")
                               << u"Gießen"_s << QString();
    QTest::newRow("surrogate pair") << QByteArray(R"({"tzn":"\ud83d\ude84"})") << u"🚄"_s << QString();
    QTest::newRow("lone surrogate") << QByteArray(R"({"tzn":"\ud83d!"})") << u"\ufffd!"_s << QString();
    QTest::newRow("simple escapes") << QByteArray("{\"tzn\":\"a\\\"b\\\\c\\/d\\te\"}") << u"a\"b\\c/d\te"_s
                                    << QString();
    QTest::newRow("control escapes") << QByteArray(R"({"tzn":"\b\f\n\r"})") << u"\b\f\n\r"_s << QString();
    QTest::newRow("high surrogate, then no low one")
        << QByteArray(R"({"tzn":"\ud83d\u0041"})") << u"\ufffdA"_s << QString();
    QTest::newRow("lone low surrogate") << QByteArray(R"({"tzn":"\ude84"})") << u"\ufffd"_s << QString();
    QTest::newRow("escaped key") << QByteArray(R"({"t\u007an":"ICE9473"})") << u"ICE9473"_s << QString();
    QTest::newRow("whitespace everywhere")
        << QByteArray(" {\r\n\t\"tzn\" :\n \"X\" \t} \n") << u"X"_s << QString();
    const QString invalid = u"the body is not valid JSON"_s;
    QTest::newRow("control character") << QByteArray("{\"tzn\":\"a\nb\"}") << QString() << invalid;
    QTest::newRow("bad escape") << QByteArray(R"({"tzn":"\x"})") << QString() << invalid;
    QTest::newRow("short unicode escape") << QByteArray(R"({"tzn":"\u12"})") << QString() << invalid;
    QTest::newRow("unterminated string") << QByteArray(R"({"tzn":"ICE)") << QString() << invalid;
    QTest::newRow("leading zero") << QByteArray(R"({"speed":01})") << QString() << invalid;
    QTest::newRow("bare point") << QByteArray(R"({"speed":1.})") << QString() << invalid;
    QTest::newRow("leading point") << QByteArray(R"({"speed":.5})") << QString() << invalid;
    QTest::newRow("plus sign") << QByteArray(R"({"speed":+1})") << QString() << invalid;
    QTest::newRow("empty exponent") << QByteArray(R"({"speed":1e})") << QString() << invalid;
    QTest::newRow("misspelt literal") << QByteArray(R"({"connection":tru})") << QString() << invalid;
    QTest::newRow("trailing comma") << QByteArray(R"({"tzn":"X",})") << QString() << invalid;
    QTest::newRow("missing colon") << QByteArray(R"({"tzn" "X"})") << QString() << invalid;
    QTest::newRow("single quotes") << QByteArray("{'tzn':'X'}") << QString() << invalid;
    QTest::newRow("nested too deep") << QByteArray(R"({"connectivity":)") + QByteArray(200, '[') +
                                            QByteArray(200, ']') + "}"
                                     << QString() << invalid;
    QTest::newRow("number too large for a double")
        << QByteArray(R"({"speed":1e400})") << QString()
        << u"speed: expected a number within the range of a double, got 1e400"_s;
}

void TestDecoding::jsonSyntax() {
    QFETCH(QByteArray, json);
    QFETCH(QString, tzn);
    QFETCH(QString, problem);
    const auto result = ICEStatus::decode(json);
    if (!problem.isEmpty()) {
        QVERIFY(!result.ok());
        QVERIFY2(result.error().description().startsWith(problem), qPrintable(result.error().description()));
        return;
    }
    QVERIFY2(result.ok(), qPrintable(problemOf(result)));
    QCOMPARE(result.value().tzn, std::optional<QString>(tzn));
}

void TestDecoding::doubles_data() {
    QTest::addColumn<QByteArray>("literal");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("integer literal") << QByteArray("12") << 12.0 << QString();
    QTest::newRow("negative") << QByteArray("-3.5") << -3.5 << QString();
    QTest::newRow("exponent") << QByteArray("2.44E2") << 244.0 << QString();
    QTest::newRow("too small to hold, exponent") << QByteArray("1e-400") << 0.0 << QString();
    QTest::newRow("too small to hold, written out") << "0." + QByteArray(400, '0') + "1" << 0.0 << QString();
    QTest::newRow("too large to hold")
        << QByteArray("-2e308") << 0.0
        << u"speed: expected a number within the range of a double, got -2e308"_s;
}

void TestDecoding::doubles() {
    QFETCH(QByteArray, literal);
    QFETCH(double, value);
    QFETCH(QString, problem);
    const auto result = ICEStatus::decode("{\"speed\":" + literal + "}");
    if (!problem.isEmpty()) {
        QVERIFY(!result.ok());
        QCOMPARE(result.error().description(), problem);
        return;
    }
    QVERIFY2(result.ok(), qPrintable(problemOf(result)));
    QCOMPARE(result.value().speed, std::optional<double>(value));
}

void TestDecoding::everyTruncationFails() {
    // A body cut off anywhere must be rejected cleanly. Each prefix sits in a buffer of exactly its size,
    // so a read past the end is caught by the address sanitizer.
    const QByteArray document = sample(u"trip-2025-12.json"_s).trimmed();
    for (qsizetype length = 0; length < document.size(); ++length) {
        std::vector<char> exact(document.begin(), document.begin() + length);
        JsonTape tape;
        QVERIFY2(!tape.parse(QByteArrayView(exact.data(), length)), qPrintable(QString::number(length)));
    }
    JsonTape whole;
    QVERIFY(whole.parse(document));
}

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
