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
              "interval_minutes,start,readings,k,text,pCi_L,events,summary,count,valid,hours,"
              "mean_all,mean_after_4h,max,max_k,events_T,events_P,instrument_overall_avg,"
              "instrument_epa_protocol,checks,id,ok");
    QJsonParseError Error;
    const QJsonObject Object = QJsonDocument::fromJson(Json, &Error).object();
    ASSERT_EQ(Error.error, QJsonParseError::NoError) << Json.constData();
    EXPECT_EQ(Object["interval_minutes"].toInt(), 60);
    EXPECT_EQ(Object["start"].toString(), "2026-03-07T23:00:00-06:00");
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
    ASSERT_EQ(Checks.size(), 7);
    EXPECT_EQ(Checks[0].toObject()["id"].toString(), "duration_48h");
    EXPECT_TRUE(Checks[5].toObject()["ok"].isNull()); // no calibration date known

    // Nothing known: nulls, an empty list.
    const QByteArray Empty =
        Measurement::Json(Measure(WithoutFigures(Report({}, "Time Interval"))));
    for (const char* Null : {"\"interval_minutes\": null", "\"start\": null", "\"readings\": []",
                             "\"hours\": null", "\"mean_all\": null", "\"max\": null",
                             "\"max_k\": null", "\"instrument_overall_avg\": null"})
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
    const QByteArray Csv =
        Measurement::Csv(Measure(Report(Table, "Time Interval 1 Hr", Labels)).Readings);
    // The last interval crosses the change to daylight saving (2026-03-08 2:00).
    EXPECT_EQ(Csv, "interval,time,radon_pci_l,radon_bq_m3,events\r\n"
                   "1,2026-03-07T23:00:00-06:00,1.4,52,\r\n"
                   "2,2026-03-08T00:00:00-06:00,3.95,146,T\r\n"
                   "3,2026-03-08T01:00:00-06:00,\"1,5\",,\r\n"
                   "4,2026-03-08T03:00:00-05:00,\"\"\"x\"\"\",,\r\n"
                   "5,2026-03-08T04:00:00-05:00,0.5,19,TP\r\n");
    // Without a start the time stays empty; a line feed inside a value is quoted; UTF-8.
    EXPECT_EQ(Measurement::Csv(Measure(Report({QString::fromLatin1(" 2.0 a\nb \xb5 ")})).Readings),
              "interval,time,radon_pci_l,radon_bq_m3,events\r\n1,,2.0,74,\r\n2,,\"a\nb\",,\r\n"
              "3,,\xc2\xb5,,\r\n");
    EXPECT_EQ(Measurement::Csv(Measure(Report({})).Readings),
              "interval,time,radon_pci_l,radon_bq_m3,events\r\n");
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
    EXPECT_EQ(InBq, "Readings: 6 (5 valid)\n"
                    "Interval: 1 hour\n"
                    "Start: 3/7/2026 11:00:00 PM\n"
                    "Duration: 6 hours\n"
                    "Mean of all readings: 111 Bq/m3 (3.0 pCi/L)\n"
                    "Mean without the first 4 hours: 167 Bq/m3 (4.5 pCi/L)\n"
                    "Highest reading: 185 Bq/m3 (5.0 pCi/L), value 6\n"
                    "Events: T on 0 values, P on 0 values\n"
                    "Instrument's Overall Avg: 148 Bq/m3 (4.0 pCi/L)\n"
                    "Instrument's EPA Protocol: 148 Bq/m3 (4.0 pCi/L)\n"
                    "\nChecks:\n"
                    "  Failed    The test lasted 6 hours, less than the 48 hours a test needs\n"
                    "  Failed    1 of 6 values is not a number (value 3)\n"
                    "  Passed    No value carries an event letter (T or P)\n"
                    "  Failed    The mean of all readings, 111 Bq/m3 (3.0 pCi/L), differs by "
                    "more than 0.1 pCi/L from the instrument's Overall Avg of 148 Bq/m3 (4.0 "
                    "pCi/L)\n"
                    "  Failed    The mean without the first 4 hours, 167 Bq/m3 (4.5 pCi/L), "
                    "differs by more than 0.1 pCi/L from the instrument's EPA Protocol of 148 "
                    "Bq/m3 (4.0 pCi/L)\n"
                    "  Undecided No calibration date is known for the monitor 4410-0815\n"
                    "  Failed    EPA protocol average 148 Bq/m3 (4.0 pCi/L) is at or above the "
                    "EPA action level of 148 Bq/m3 (4.0 pCi/L)\n");
    for (const QStringList& Lines : {Report({}), QStringList{"no table"}})
        EXPECT_EQ(Measurement::ForPeople(Measure(Lines), TUnit::PciL),
                  "No readings table in this report\n");
}
