#include "portal/HttpResponseReader.h"
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

/// A valid stop with every kind of field.
const QByteArray goodStop = R"({"station":{"evaNr":"8000105","name":"Frankfurt(Main)Hbf",
    "geocoordinates":{"latitude":50.107145,"longitude":8.663789}},
    "timetable":{"scheduledArrivalTime":1721371860000,"arrivalDelay":"+10"},
    "track":{"scheduled":"13","actual":"12"},"info":{"status":0,"passed":true,"distance":0},
    "delayReasons":[{"code":"47","text":"verspätete Bereitstellung des Zuges"}]})";

template <typename T>
QString problemOf(const Result<T, DecodingError>& result) {
    return result.ok() ? QString() : result.error().description();
}

const QString invalidJson = u"the body is not valid JSON"_s;

template <typename Document>
void decodesAsExpected() {
    QFETCH(QByteArray, json);
    QFETCH(Document, expected);
    const auto result = Document::decode(json);
    QVERIFY2(result.ok(), qPrintable(problemOf(result)));
    QCOMPARE(result.value(), expected);
}

} // namespace

class TestDecoding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The tables are defined after the class: moc misreads some raw string literals inside a class body.
    void status_data();
    void status() { decodesAsExpected<ICEStatus>(); }

    void trip_data();
    void trip() { decodesAsExpected<ICETripInfo>(); }

    void problems_data();
    void problems() {
        QFETCH(QByteArray, json);
        QFETCH(bool, trip);
        QFETCH(QString, problem);
        const auto status = ICEStatus::decode(json);
        const auto tripInfo = ICETripInfo::decode(json);
        const QString found = trip ? problemOf(tripInfo) : problemOf(status);
        QCOMPARE(problem == invalidJson ? found.left(problem.size()) : found, problem);
        // A fault of the document as a whole names no field, and both decoders report it alike.
        if (!status.ok() && status.error().path.isEmpty()) {
            QVERIFY(!tripInfo.ok());
            QCOMPARE(tripInfo.error(), status.error());
        }
    }

    // Documents as real portals sent them; fields no table row spells out are checked one by one.
    void samples() {
        for (const QString& file : {u"status-2020-old-keys.json"_s, u"status-2025-10-service-error.json"_s,
                                    u"status-2025-12-cruising.json"_s}) {
            const auto result = ICEStatus::decode(sample(file));
            QVERIFY2(result.ok(), qPrintable(file + u": "_s + problemOf(result)));
            QVERIFY2(result.value().tzn && result.value().speed && result.value().connectivity,
                     qPrintable(file));
        }
        std::vector<Trip> trips;
        for (const auto& [file, stops] :
             {std::pair{u"trip-2024-07-delay-reasons.json"_s, 22}, {u"trip-2025-12.json"_s, 11}}) {
            const auto result = ICETripInfo::decode(sample(file));
            QVERIFY2(result.ok(), qPrintable(file + u": "_s + problemOf(result)));
            QVERIFY(result.value().trip && result.value().trip->stops);
            QCOMPARE(int(result.value().trip->stops->size()), stops);
            for (const Stop& stop : *result.value().trip->stops) {
                QVERIFY(stop.station && stop.station->evaNr && stop.timetable && stop.info);
            }
            trips.push_back(*result.value().trip);
        }
        const Trip& delayed = trips.at(0);
        const std::vector<Stop>& stops = delayed.stops.value();
        QCOMPARE(delayed.stopInfo->finalStationName, std::optional<QString>(u"Ostseebad Binz"_s));
        QCOMPARE(stops.back().station->evaNr, delayed.stopInfo->finalStationEvaNr);
        QCOMPARE(stops.at(2).station->name, std::optional<QString>(u"Gießen"_s));
        QCOMPARE(stops.at(5).delayReasons, (std::optional(std::vector<Stop::DelayReason>{
                                               {u"47"_s, u"verspätete Bereitstellung des Zuges"_s}})));
        QCOMPARE(trips.at(1).stops->front().timetable->scheduledDepartureTime,
                 std::optional<qint64>(1766939880000));
    }

    // Each prefix sits in a buffer of exactly its size, so a read past the end trips the address sanitizer.
    void everyTruncationFails() {
        const QByteArray document = sample(u"trip-2025-12.json"_s).trimmed();
        for (qsizetype length = 0; length < document.size(); ++length) {
            std::vector<char> exact(document.begin(), document.begin() + length);
            JsonTape tape;
            QVERIFY2(!tape.parse(QByteArrayView(exact.data(), length)), qPrintable(QString::number(length)));
        }
        JsonTape whole;
        QVERIFY(whole.parse(document));
    }

    void responseFraming_data();
    void responseFraming() {
        QFETCH(QByteArray, wire);
        QFETCH(qint64, maximumSize);
        QFETCH(bool, connectionEnds);
        QFETCH(bool, keepsConnection);
        QFETCH(QString, problem);
        // However the bytes are split on the way, the answer reads the same.
        for (const qsizetype piece : {wire.size(), qsizetype{1}, qsizetype{7}}) {
            HttpResponseReader reader(maximumSize);
            for (qsizetype at = 0; at < wire.size(); at += piece) {
                reader.read(QByteArrayView(wire).sliced(at, std::min(piece, wire.size() - at)));
            }
            if (connectionEnds) {
                reader.finishAtEnd();
            }
            const QString where = u"in pieces of %1"_s.arg(piece);
            if (problem.isEmpty()) {
                QVERIFY2(reader.state() == HttpResponseReader::State::Complete,
                         qPrintable(where + u": "_s +
                                    (reader.state() == HttpResponseReader::State::Failed
                                         ? reader.error().description
                                         : u"unfinished"_s)));
                QTEST(reader.takeBody(), "body");
                QCOMPARE(reader.keepsConnection(), keepsConnection);
            } else {
                QVERIFY2(reader.state() == HttpResponseReader::State::Failed, qPrintable(where));
                QVERIFY2(reader.error().description.contains(problem),
                         qPrintable(reader.error().description));
            }
        }
    }
};

void TestDecoding::status_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ICEStatus>("expected");
    const auto row = [](const char* name, const QByteArray& json, const ICEStatus& expected) {
        QTest::newRow(name) << json << expected;
    };
    // The field after the number shows that the literal was read to its end and no further.
    const auto whole = [&](const char* name, const QByteArray& literal, qint64 value) {
        row(name, "{\"serverTime\":" + literal + ",\"tzn\":\"ICE9473\"}",
            {.tzn = u"ICE9473"_s, .serverTime = value});
    };
    const auto tzn = [&](const char* name, const QByteArray& json, const QString& value) {
        row(name, json, {.tzn = value});
    };

    row("empty object", "{}", {});
    // Every field has its own value, so that a field read from the wrong key shows.
    row("every field", R"({"connection":true,"serviceLevel":"AVAILABLE_SERVICE","gpsStatus":"VALID",
        "internet":"HIGH","latitude":52.766562,"longitude":-10.25,"speed":169.5,"trainType":"ICE","tzn":"Tz1191",
        "wagonClass":"SECOND","serverTime":1603913237508,
        "connectivity":{"currentState":"HIGH","nextState":"WEAK","remainingTimeSeconds":58},"bapInstalled":false})",
        {.connection = true,
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
         .connectivity = ICEStatus::Connectivity{u"HIGH"_s, u"WEAK"_s, 58},
         .bapInstalled = false});
    row("null is absent", R"({"speed":null,"connection":null,"connectivity":null})", {});
    row("unknown keys, case differs",
        R"({"servicelevel":"AVAILABLE_SERVICE","Speed":"fast","tileX":216,"extra":{"a":[1,null]}})", {});
    row("values kept as sent", R"({"internet":"medium","tzn":""})", {.internet = u"medium"_s, .tzn = u""_s});
    row("empty connectivity", R"({"connectivity":{}})", {.connectivity = ICEStatus::Connectivity{}});
    row("connectivity partly null", R"({"connectivity":{"currentState":"NO_INTERNET","nextState":null}})",
        {.connectivity = ICEStatus::Connectivity{.currentState = u"NO_INTERNET"_s}});
    row("duplicate key, last wins",
        R"({"serverTime":-9223372036854775809,"serverTime":-9223372036854775808})",
        {.serverTime = INT64_MIN});

    whole("integer", "1500", 1500);
    whole("whole double", "1500.0", 1500);
    whole("exponent", "15e2", 1500);
    whole("negative exponent, whole", "1500e-2", 15);
    whole("negative zero", "-0", 0);
    whole("greatest", "9223372036854775807", INT64_MAX);
    whole("least", "-9223372036854775808", INT64_MIN);
    whole("greatest as double", "9223372036854775807.0", INT64_MAX);

    row("number written as an integer", R"({"speed":12})", {.speed = 12.0});
    row("number with exponent", R"({"speed":2.44E2})", {.speed = 244.0});
    row("too small to hold, exponent", R"({"speed":1e-400})", {.speed = 0.0});
    row("too small to hold, written out", "{\"speed\":0." + QByteArray(400, '0') + "1}", {.speed = 0.0});

    // The parser is our own, so JSON's corners are ours to test: here strings, among the problems the rest.
    tzn("escaped umlaut", R"({"tzn":"Gie\u00dfen"})", u"Gießen"_s);
    tzn("raw UTF-8", "{\"tzn\":\"Gie\303\237en\"}", u"Gießen"_s);
    tzn("surrogate pair", R"({"tzn":"\ud83d\ude84"})", u"🚄"_s);
    // A high surrogate before a plain character, before an escape that is no low one, and a low one alone.
    tzn("unpaired surrogates", R"({"tzn":"\ud83d!\ud83d\u0041\ude84"})", u"\ufffd!\ufffdA\ufffd"_s);
    tzn("simple escapes", "{\"tzn\":\"a\\\"b\\\\c\\/d\\te\\b\\f\\n\\r\"}", u"a\"b\\c/d\te\b\f\n\r"_s);
    tzn("escaped key", R"({"t\u007an":"ICE9473"})", u"ICE9473"_s);
    tzn("whitespace everywhere", " {\r\n\t\"tzn\" :\n \"X\" \t} \n", u"X"_s);
}

void TestDecoding::trip_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<ICETripInfo>("expected");

    const auto row = [](const char* name, const QByteArray& json, const ICETripInfo& expected) {
        QTest::newRow(name) << json << expected;
    };
    using Station = Stop::Station;
    row("no trip key", "{}", {});
    row("trip null", R"({"trip":null})", {});
    row("trip empty", R"({"trip":{}})", {Trip{}});
    row("no stops key", R"({"trip":{"vzn":"1672","totalDistance":735150}})",
        {Trip{.vzn = u"1672"_s, .totalDistance = 735150}});
    row("no stops", R"({"trip":{"stops":[]}})", {Trip{.stops = std::vector<Stop>{}}});
    row("stop without station, passed null", R"({"trip":{"stops":[{"info":{"status":0,"passed":null}}]}})",
        {Trip{.stops = std::vector<Stop>{Stop{.info = Stop::Info{.status = 0}}}}});
    row("order kept, unknown keys ignored", R"({"trip":{"journeyDisplayValue":"ICE 272","stops":[
            {"station":{"evaNr":"3","code":null}},
            {"station":{"evaNr":"1"},"delayReasons":[]},
            {"station":{"evaNr":"2"},"delayReasons":[{"code":"80","text":"b"},{"code":"47"}]}]}})",
        {Trip{.stops = std::vector<Stop>{
                  Stop{.station = Station{.evaNr = u"3"_s}},
                  Stop{.station = Station{.evaNr = u"1"_s}, .delayReasons = std::vector<Stop::DelayReason>{}},
                  Stop{.station = Station{.evaNr = u"2"_s},
                       .delayReasons =
                           std::vector<Stop::DelayReason>{{u"80"_s, u"b"_s}, {u"47"_s, std::nullopt}}},
              }}});
}

void TestDecoding::problems_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("trip");
    QTest::addColumn<QString>("problem");
    const auto status = [](const char* name, const QByteArray& json, const QString& problem) {
        QTest::newRow(name) << json << false << problem;
    };
    const auto trip = [](const char* name, const QByteArray& json, const QString& problem) {
        QTest::newRow(name) << json << true << problem;
    };
    const QString notWhole = u"serverTime: expected a whole number, got "_s;
    const QString outOfRange = u"serverTime: expected a whole number in the signed 64-bit range, got "_s;
    const auto serverTime = [&](const char* name, const QByteArray& literal, const QString& problem) {
        status(name, "{\"serverTime\":" + literal + "}", problem);
    };
    // Valid stops, with every kind of field, surround the faulty one: the reported index must point at it.
    const auto stops = [](int badIndex, const QByteArray& bad) {
        QList<QByteArray> list(badIndex, goodStop);
        list << bad << goodStop;
        return "{\"trip\":{\"vzn\":\"1672\",\"stops\":[" + list.join(',') + "]}}";
    };

    status("empty", "", u"the body is empty, expected a JSON object"_s);
    status("whitespace", " \r\n\t", u"the body is empty, expected a JSON object"_s);
    status("html", "<html><body>Willkommen an Bord</body></html>", invalidJson);
    status("array", "[]", u"expected a JSON object at the top level, got an array"_s);
    status("bare value", "42", u"expected a JSON object at the top level, got 42"_s);

    serverTime("fraction", "1.5", notWhole + u"1.5"_s);
    serverTime("negative fraction", "-0.5", notWhole + u"-0.5"_s);
    serverTime("negative exponent, fraction", "15e-1", notWhole + u"15e-1"_s);
    serverTime("fraction a double rounds to whole", "9007199254740993.5", notWhole + u"9007199254740993.5"_s);
    serverTime("boolean", "true", notWhole + u"true"_s);
    serverTime("one above greatest", "9223372036854775808", outOfRange + u"9223372036854775808"_s);
    serverTime("one below least", "-9223372036854775809", outOfRange + u"-9223372036854775809"_s);
    serverTime("huge exponent", "1e300", outOfRange + u"1e300"_s);
    serverTime("a hundred digits, quoted short", QByteArray(100, '9'),
               outOfRange + QString(40, u'9') + u"..."_s);
    status("too large for a double", R"({"speed":-2e308})",
           u"speed: expected a number within the range of a double, got -2e308"_s);

    status("control character", "{\"tzn\":\"a\nb\"}", invalidJson);
    status("bad escape", R"({"tzn":"\x"})", invalidJson);
    status("short unicode escape", R"({"tzn":"\u12"})", invalidJson);
    status("unterminated string", R"({"tzn":"ICE)", invalidJson);
    status("leading zero", R"({"speed":01})", invalidJson);
    status("bare point", R"({"speed":1.})", invalidJson);
    status("leading point", R"({"speed":.5})", invalidJson);
    status("plus sign", R"({"speed":+1})", invalidJson);
    status("empty exponent", R"({"speed":1e})", invalidJson);
    status("misspelt literal", R"({"connection":tru})", invalidJson);
    status("trailing comma", R"({"tzn":"X",})", invalidJson);
    status("missing colon", R"({"tzn" "X"})", invalidJson);
    status("single quotes", "{'tzn':'X'}", invalidJson);
    status("trailing garbage", "{} {}", invalidJson);
    status("nested too deep", R"({"connectivity":)" + QByteArray(200, '[') + QByteArray(200, ']') + "}",
           invalidJson);

    status("bool as 0, after valid fields",
           R"({"connection":true,"speed":106.3,"tzn":"ICE9473","bapInstalled":0})",
           u"bapInstalled: expected true or false, got 0"_s);
    status("number as string", R"({"speed":"106.3"})", u"speed: expected a number, got a string"_s);
    status("string as number", R"({"tzn":9473})", u"tzn: expected a string, got 9473"_s);
    status("object as array", R"({"connectivity":[]})", u"connectivity: expected an object, got an array"_s);
    status("nested in status", R"({"connectivity":{"remainingTimeSeconds":1.5}})",
           u"connectivity.remainingTimeSeconds: expected a whole number, got 1.5"_s);

    trip("trip as string", R"({"trip":"ICE 1672"})", u"trip: expected an object, got a string"_s);
    trip("trip integer as string", R"({"trip":{"totalDistance":"735150"}})",
         u"trip.totalDistance: expected a whole number, got a string"_s);
    trip("stop info", R"({"trip":{"stopInfo":{"finalStationEvaNr":8011191}}})",
         u"trip.stopInfo.finalStationEvaNr: expected a string, got 8011191"_s);
    trip("stops as object", R"({"trip":{"stops":{}}})", u"trip.stops: expected an array, got an object"_s);
    trip("stop null", stops(1, "null"), u"trip.stops[1]: expected an object, got null"_s);
    trip("three objects deep", stops(2, R"({"station":{"geocoordinates":{"latitude":"50.1"}}})"),
         u"trip.stops[2].station.geocoordinates.latitude: expected a number, got a string"_s);
    trip("passed as 1", stops(1, R"({"info":{"passed":1}})"),
         u"trip.stops[1].info.passed: expected true or false, got 1"_s);
    trip("delay reason null", stops(1, R"({"delayReasons":[{"code":"47"},null]})"),
         u"trip.stops[1].delayReasons[1]: expected an object, got null"_s);
    trip("delay code number", stops(0, R"({"delayReasons":[{"code":47}]})"),
         u"trip.stops[0].delayReasons[0].code: expected a string, got 47"_s);
    trip(
        "long literal deep in the stops",
        stops(3, R"({"timetable":{"scheduledArrivalTime":1,"actualArrivalTime":-9223372036854775809}})"),
        u"trip.stops[3].timetable.actualArrivalTime: expected a whole number in the signed 64-bit range, got -9223372036854775809"_s);
}

void TestDecoding::responseFraming_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<qint64>("maximumSize");
    QTest::addColumn<bool>("connectionEnds");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("keepsConnection");
    QTest::addColumn<QString>("problem");

    const qint64 limit = 16;
    const auto ok = [&](const char* name, const QByteArray& wire, const QByteArray& body, bool keeps,
                        bool connectionEnds = false) {
        QTest::newRow(name) << wire << limit << connectionEnds << body << keeps << QString();
    };
    const auto bad = [&](const char* name, const QByteArray& wire, const QString& problem,
                         bool connectionEnds = false) {
        QTest::newRow(name) << wire << limit << connectionEnds << QByteArray() << false << problem;
    };

    const QByteArray h = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = h + "Transfer-Encoding: chunked\r\n\r\n";
    const QByteArray two = "Content-Length: 2\r\n\r\n{}";
    ok("declared length", h + "Content-Length: 5\r\n\r\nhello", "hello", true);
    ok("exactly the limit", h + "Content-length: 16\r\n\r\n1234567890abcdef", "1234567890abcdef", true);
    ok("any status, any reason", "HTTP/1.1 418 I'm a teapot\r\n" + two, "{}", true);
    ok("chunks with an extension and a trailer",
       chunked + "3;x=y\r\nhel\r\nA\r\nlo, world!\r\n0\r\nX-T: 1\r\n\r\n", "hello, world!", true);
    ok("chunks of the limit", chunked + "8\r\n12345678\r\n0\r\n\r\n", "12345678", true);
    ok("body until the connection ends", h + "\r\nhello", "hello", false, true);
    ok("HTTP/1.0 closes unless kept", "HTTP/1.0 200 OK\r\n" + two, "{}", false);
    ok("HTTP/1.0 kept alive", "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\n" + two, "{}", true);
    ok("Connection: close", h + "Connection: close\r\n" + two, "{}", false);
    ok("an interim answer first", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 404 Not Found\r\n" + two, "{}",
       true);
    ok("no content", "HTTP/1.1 204 No Content\r\n\r\n", "", true);
    ok("bare line feeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\n{}", "{}", true);
    ok("bytes beyond the answer", h + two + "HTTP", "{}", false);
    ok("an unknown coding runs to the end", h + "Transfer-Encoding: gzip\r\n\r\nzz", "zz", false, true);

    const QString cutOff = u"Connection closed before the response was complete"_s;
    bad("not HTTP", "<html>\r\n\r\n", u"Invalid HTTP response: no status line"_s);
    bad("cut off in the head", h + "Content-Le", cutOff, true);
    bad("cut off in the body", h + "Content-Length: 5\r\n\r\nhel", cutOff, true);
    bad("cut off between chunks", chunked + "3\r\nhel\r\n", cutOff, true);
    bad("nothing at all", "", u"Connection closed"_s, true);
    bad("declared one byte too many", h + "Content-Length: 17\r\n\r\n",
        u"The response is too large (17 bytes declared"_s);
    bad("one byte too many until the end", h + "\r\n1234567890abcdefg",
        u"The response is too large (more than"_s);
    bad("chunks one byte too many", chunked + "8\r\n12345678\r\n9\r\n", u"The response is too large"_s);
    bad("conflicting lengths", h + "Content-Length: 3\r\n" + two, u"bad content length"_s);
    bad("a length that is no number", h + "Content-Length: -1\r\n\r\n", u"bad content length"_s);
    bad("a chunk size that is no number", chunked + "zz\r\n", u"bad chunk size"_s);
    bad("a chunk longer than announced", chunked + "2\r\nabc\r\n0\r\n\r\n", u"chunk overruns"_s);
    bad("a header without end", h + "X: " + QByteArray(70 * 1024, 'x'), u"a header is too long"_s);
}

QTEST_GUILESS_MAIN(TestDecoding)
#include "tst_decoding.moc"
