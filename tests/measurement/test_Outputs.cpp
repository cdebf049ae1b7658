#include "MeasurementTestHelpers.h"
#include "measurement/Measurement.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

const QStringList Labels{"Serial #   : 4410-0815", "Start Date : 3/7/2026",
                         "Start Time : 11:00:00 PM"};

TMeasurement Measure(const QStringList& Lines, TUnit Unit = TUnit::PciL) {
    return Measurement::Measure(Lines, {}, Unit, QLocale::system(), Chicago);
}

QStringList WithoutFigures(QStringList Lines) {
    return Lines.replaceInStrings(" 4.0 pCi/l", " -- pCi/l");
}

// The keys of a JSON text in the order they are written.
QStringList Keys(const QByteArray& Json) {
    QStringList Out;
    const QRegularExpression Key(QStringLiteral("\"(\\w+)\": "));
    for (auto Match = Key.globalMatch(QString::fromUtf8(Json)); Match.hasNext();)
        Out << Match.next().captured(1);
    Out.removeDuplicates();
    return Out;
}

} // namespace

TEST(Outputs, JsonKeysInOrderNumbersUnroundedNullsWhereUnknown) {
    const QByteArray Json = Measurement::Json(
        Measure(Report({" 3.9 T 4.0 x 3.95 ", " 1.0 4.0 4.0 "}, "Time Interval 1 Hr", Labels)));
    EXPECT_EQ(Keys(Json).join(','),
              "interval_minutes,start,end,readings,k,text,pCi_L,events,summary,count,valid,hours,"
              "mean_all,mean_after_4h,max,max_k,events_T,events_P,instrument_overall_avg,"
              "instrument_epa_protocol,checks,id,ok,verdict,review");
    QJsonParseError Error;
    const QJsonObject Object = QJsonDocument::fromJson(Json, &Error).object();
    ASSERT_EQ(Error.error, QJsonParseError::NoError) << Json.constData();
    EXPECT_EQ(Object["interval_minutes"].toInt(), 60);
    EXPECT_EQ(Object["start"].toString(), "2026-03-07T23:00:00-06:00");
    EXPECT_EQ(Object["end"].toString(), "2026-03-08T07:00:00-05:00"); // after the clocks moved
    const QJsonArray Values = Object["readings"].toArray();
    ASSERT_EQ(Values.size(), 7);
    EXPECT_EQ(Values[1].toObject(),
              QJsonObject({{"k", 2}, {"text", "4.0"}, {"pCi_L", 4.0}, {"events", "T"}}));
    EXPECT_TRUE(Values[2].toObject()["pCi_L"].isNull());
    const QJsonObject Summary = Object["summary"].toObject();
    EXPECT_EQ(Summary["hours"].toDouble(), 7);
    EXPECT_DOUBLE_EQ(Summary["mean_all"].toDouble(), 20.85 / 6);
    EXPECT_DOUBLE_EQ(Summary["mean_after_4h"].toDouble(), 3.0); // values 5 to 7
    EXPECT_EQ(Summary["max"].toDouble(), 4.0);
    EXPECT_EQ(Summary["max_k"].toInt(), 2);
    EXPECT_EQ(Summary["instrument_epa_protocol"].toDouble(), 4.0);
    const QJsonArray Checks = Object["checks"].toArray();
    QStringList Ids;
    for (const QJsonValue& Check : Checks)
        Ids << Check.toObject()["id"].toString();
    EXPECT_EQ(Ids.join(','), "duration_48h,end_agrees,all_valid,no_events,agrees_overall_avg,"
                             "agrees_epa_protocol,calibration,action_level");
    EXPECT_TRUE(Checks[6].toObject()["ok"].isNull()); // no calibration date known
    EXPECT_EQ(Object["verdict"].toObject(),
              QJsonObject({{"valid", false},
                           {"review", true},
                           {"text", "Not a valid test: it lasted less than 48 hours; the report "
                                    "gives no end to compare; some values are not readings; "
                                    "events are marked; the mean differs from the instrument's "
                                    "Overall Avg; the mean differs from the instrument's EPA "
                                    "Protocol; the monitor's calibration date is unknown"}}));

    // Nothing known: nulls, an empty list.
    const QByteArray Empty =
        Measurement::Json(Measure(WithoutFigures(Report({}, "Time Interval"))));
    for (const char* Null :
         {"\"interval_minutes\": null", "\"start\": null", "\"end\": null", "\"readings\": []",
          "\"hours\": null", "\"mean_all\": null", "\"max\": null", "\"max_k\": null",
          "\"instrument_overall_avg\": null"})
        EXPECT_TRUE(Empty.contains(Null)) << Null;
    EXPECT_FALSE(QJsonDocument::fromJson(Empty).isNull());
}

TEST(Outputs, JsonEscapesTexts) {
    const QStringList Lines = Report({QString::fromLatin1(" 1\"\\2\x01\xe9 ")});
    const QJsonObject Object = QJsonDocument::fromJson(Measurement::Json(Measure(Lines))).object();
    EXPECT_EQ(Object["readings"].toArray()[0].toObject()["text"].toString(),
              QString::fromLatin1("1\"\\2\x01\xe9"));
}

TEST(Outputs, CsvRowsQuotingAndTimes) {
    const QStringList Table{" 1.4 T 3.95 1,5 \"x\" TP 0.5 "};
    const QByteArray Head = "interval,time,date,clock,radon_pci_l,radon_bq_m3,events\r\n";
    const QByteArray Csv =
        Measurement::Csv(Measure(Report(Table, "Time Interval 1 Hr", Labels)).Readings);
    // The last interval crosses the change to daylight saving (2026-03-08 2:00).
    EXPECT_EQ(Csv, Head + "1,2026-03-07T23:00:00-06:00,2026-03-07,23:00,1.4,52,\r\n"
                          "2,2026-03-08T00:00:00-06:00,2026-03-08,00:00,3.95,146,T\r\n"
                          "3,2026-03-08T01:00:00-06:00,2026-03-08,01:00,\"1,5\",,\r\n"
                          "4,2026-03-08T03:00:00-05:00,2026-03-08,03:00,\"\"\"x\"\"\",,\r\n"
                          "5,2026-03-08T04:00:00-05:00,2026-03-08,04:00,0.5,19,TP\r\n");
    // Without a start the times stay empty; a line feed inside a value is quoted; UTF-8; a
    // text a spreadsheet would take for a formula is marked, a signed number is not; seconds
    // show when the start has them.
    EXPECT_EQ(Measurement::Csv(Measure(Report({QString::fromLatin1(" 2.0 a\nb \xb5 ")})).Readings),
              Head + "1,,,,2.0,74,\r\n2,,,,\"a\nb\",,\r\n3,,,,\xc2\xb5,,\r\n");
    EXPECT_EQ(Measurement::Csv(
                  Measure(Report({" =hyperlink(\"http://x\",\"y\") -1.5 +a @b -c "})).Readings),
              Head + "1,,,,\"'=hyperlink(\"\"http://x\"\",\"\"y\"\")\",,\r\n2,,,,-1.5,-56,\r\n"
                     "3,,,,'+a,,\r\n4,,,,'@b,,\r\n5,,,,'-c,,\r\n");
    const QStringList At = {"Start Date : 3/7/2026", "Start Time : 9:00:30 AM"};
    EXPECT_TRUE(Measurement::Csv(Measure(Report({" 1.0 "}, "Time Interval 1 Hr", At)).Readings)
                    .contains(",2026-03-07,09:00:30,"));
    EXPECT_EQ(Measurement::Csv(Measure(Report({})).Readings), Head);
}

TEST(Outputs, ForPeople) {
    // A mean of exactly 3.95 shows 4.0, one of 3.949 shows 3.9.
    const QString At = Measurement::ForPeople(Measure(Report({" 3.9 4.0 "})), TUnit::PciL);
    EXPECT_TRUE(At.contains("Mean of all readings: 4.0 pCi/L (146 Bq/m3)\n")) << At.toStdString();
    const QString Below = Measurement::ForPeople(Measure(Report({" 3.9 3.998 "})), TUnit::PciL);
    EXPECT_TRUE(Below.contains("Mean of all readings: 3.9 pCi/L (146 Bq/m3)\n"))
        << Below.toStdString();

    const QString InBq = Measurement::ForPeople(
        Measure(Report({" 1.0 2.0 x ", "3.0 4.0 5.0 "}, "Time Interval 1 Hr", Labels), TUnit::BqM3),
        TUnit::BqM3);
    EXPECT_EQ(InBq, "Readings: 6, 1 of them not a reading\n"
                    "Interval: 1 hour\n"
                    "Start: 3/7/2026 11:00:00 PM\n"
                    "End: 3/8/2026 6:00:00 AM\n"
                    "Duration: 6 hours\n"
                    "Mean of all readings: 111 Bq/m3 (3.0 pCi/L)\n"
                    "Mean without the first 4 hours: 167 Bq/m3 (4.5 pCi/L)\n"
                    "Highest reading: 185 Bq/m3 (5.0 pCi/L) at 3/8/2026 5:00:00 AM\n"
                    "Events: none\n"
                    "Instrument's Overall Avg: 148 Bq/m3 (4.0 pCi/L)\n"
                    "Instrument's EPA Protocol: 148 Bq/m3 (4.0 pCi/L)\n"
                    "Result: 148 Bq/m3 (4.0 pCi/L), at or above the EPA action level of 148 "
                    "Bq/m3 (4.0 pCi/L)\n"
                    "\nNot a valid test: it lasted less than 48 hours; the report gives no end to "
                    "compare; some values are not readings; the mean differs from the "
                    "instrument's Overall Avg; the mean differs from the instrument's EPA "
                    "Protocol; the monitor's calibration date is unknown\n"
                    "\nChecks:\n"
                    "  Failed      The test lasted 6 hours, less than the 48 hours a test needs\n"
                    "  Undecided   The report gives no end\n"
                    "  Failed      1 of 6 values is not a reading (value 3)\n"
                    "  Passed      No value carries an event letter (T or P)\n"
                    "  Failed      The mean of all readings, 111 Bq/m3 (3.0 pCi/L), differs by "
                    "more than 0.1 pCi/L from the instrument's Overall Avg of 148 Bq/m3 (4.0 "
                    "pCi/L)\n"
                    "  Failed      The mean without the first 4 hours, 167 Bq/m3 (4.5 pCi/L), "
                    "differs by more than 0.1 pCi/L from the instrument's EPA Protocol of 148 "
                    "Bq/m3 (4.0 pCi/L)\n"
                    "  Undecided   No calibration date is known for the monitor 4410-0815\n"
                    "  At or above EPA protocol average 148 Bq/m3 (4.0 pCi/L) is at or above the "
                    "EPA action level of 148 Bq/m3 (4.0 pCi/L)\n");
    // Events in everyday words.
    EXPECT_TRUE(Measurement::ForPeople(Measure(Report({" T 1.0 TP 2.0 P 3.0 "})), TUnit::PciL)
                    .contains("Events: T on 2 values, P on 2 values\n"));
    EXPECT_TRUE(Measurement::ForPeople(Measure(Report({" T 1.0 "})), TUnit::PciL)
                    .contains("Events: T on 1 value\n"));
    for (const QStringList& Lines : {Report({}), QStringList{"no table"}})
        EXPECT_EQ(Measurement::ForPeople(Measure(Lines), TUnit::PciL),
                  "No readings table in this report\n");
}
