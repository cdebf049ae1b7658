#include "PlatformTest.h"
#include "platform/DateTimeText.h"
#include "platform/Exception.h"

#include <gtest/gtest.h>

using namespace DateTimeText;

namespace {

const QLocale US("en_US");
const QLocale DE("de_DE");

QString ConvertMessage(const QString& Text, const QLocale& Locale) {
    try {
        StrToDateTime(Text, Locale);
    } catch (const EConvertError& E) {
        return E.Message;
    }
    return QStringLiteral("<no error>");
}

} // namespace

TEST(DateTimeText, FormatsFollowTheLocaleWithFourDigitYearsAndNoZone) {
    struct Case {
        QLocale Locale;
        QString Date, Time;
    } Cases[] = {
        {US, "M/d/yyyy", "h:mm:ss AP"},
        {DE, "dd.MM.yyyy", "HH:mm:ss"},
        {QLocale("en_GB"), "dd/MM/yyyy", "HH:mm:ss"}, // already four digits: unchanged
        {QLocale("ca_ES"), "d/M/yyyy", "H:mm:ss"},    // "H:mm:ss (t)"
        {QLocale("zh_TW"), "yyyy/M/d", "Bh:mm:ss"},   // "Bh:mm:ss [t]"
        {QLocale("yue_CN"), "yyyy/M/d", "HH:mm:ss"},  // "t HH:mm:ss"
        // Quoted literals stay as they are, letters and all.
        {QLocale("bg_BG"), "d.MM.yyyy 'г'.", "H:mm:ss 'ч'."},
        {QLocale("fr_CA"), "yyyy-MM-dd", "HH 'h' mm 'min' ss 's'"},
        {QLocale("eo"), "yyyy-MM-dd", "H-'a' 'horo' 'kaj' m:ss"},
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(ShortDateFormat(C.Locale), C.Date) << C.Locale.name().toStdString();
        EXPECT_EQ(LongTimeFormat(C.Locale), C.Time) << C.Locale.name().toStdString();
    }
}

TEST(DateTimeText, FormatDateAndTime) {
    const QDate Date(2026, 3, 5);
    const QTime Time(16, 5, 9);
    EXPECT_EQ(FormatDate(Date, US), "3/5/2026");
    EXPECT_EQ(FormatTime(Time, US), "4:05:09 PM");
    EXPECT_EQ(FormatDate(Date, DE), "05.03.2026");
    EXPECT_EQ(FormatTime(Time, DE), "16:05:09");
    EXPECT_EQ(FormatTime(QTime(0, 0, 0), US), "12:00:00 AM");
    EXPECT_EQ(FormatTime(QTime(12, 0, 0), US), "12:00:00 PM");
}

TEST(DateTimeText, ReportTimeWritesMidnightTheSameInEveryLocale) {
    for (const QLocale& Locale : {US, DE}) {
        EXPECT_EQ(ReportTime(QTime(0, 0, 0), Locale), "12:00:00 AM");
        EXPECT_EQ(ReportTime(QTime(0, 0, 0, 999), Locale), "12:00:00 AM");
    }
    EXPECT_EQ(ReportTime(QTime(0, 0, 1), DE), "00:00:01");
    EXPECT_EQ(ReportTime(QTime(0, 0, 1), US), "12:00:01 AM");
    EXPECT_EQ(ReportTime(QTime(23, 59, 59), DE), "23:59:59");
}

TEST(DateTimeText, DateTimeToStrDropsMidnightAndZeroDate) {
    struct Case {
        QDateTime Value;
        QString Us, De;
    } Cases[] = {
        {QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9)), "3/5/2026 4:05:09 PM",
         "05.03.2026 16:05:09"},
        {QDateTime(QDate(2026, 3, 5), QTime(0, 0)), "3/5/2026", "05.03.2026"},
        {QDateTime(ZeroDate(), QTime(7, 8, 9)), "7:08:09 AM", "07:08:09"},
        {QDateTime(ZeroDate(), QTime(0, 0)), "12:00:00 AM", "00:00:00"},
        {QDateTime(QDate(2026, 3, 5), QTime(0, 0, 1)), "3/5/2026 12:00:01 AM",
         "05.03.2026 00:00:01"},
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(DateTimeToStr(C.Value, US), C.Us);
        EXPECT_EQ(DateTimeToStr(C.Value, DE), C.De);
    }
    EXPECT_EQ(ZeroDate(), QDate(1899, 12, 30));
}

TEST(DateTimeText, RoundTrips) {
    const QDateTime Values[] = {
        QDateTime(QDate(2026, 3, 5), QTime(0, 0)),
        QDateTime(QDate(2026, 3, 5), QTime(12, 0)),
        QDateTime(QDate(2026, 3, 5), QTime(23, 59, 59)),
        QDateTime(QDate(2000, 1, 1), QTime(0, 0)),
        QDateTime(QDate(2099, 12, 31), QTime(13, 1, 2)),
        QDateTime(QDate(2024, 2, 29), QTime(6, 7, 8)),
        QDateTime(ZeroDate(), QTime(9, 30, 0)),
        QDateTime(ZeroDate(), QTime(0, 0)),
        QDateTime(QDate(1950, 6, 15), QTime(0, 0, 1)),
    };
    for (const QLocale& Locale : {US, DE, QLocale("en_GB"), QLocale(QLocale::C)}) {
        for (const QDateTime& Value : Values) {
            const QString Text = DateTimeToStr(Value, Locale);
            const QDateTime Back = StrToDateTime(Text, Locale);
            EXPECT_EQ(Back.date(), Value.date()) << Text.toStdString();
            EXPECT_EQ(Back.time(), Value.time()) << Text.toStdString();
        }
    }
}

TEST(DateTimeText, ParsingIsLenientAboutDigitsAndSeconds) {
    struct Case {
        QLocale Locale;
        QString Text;
        QDateTime Expected;
    } Cases[] = {
        {US, "03/05/2026 04:05:09 pm", QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9))},
        {US, "  3/5/2026  ", QDateTime(QDate(2026, 3, 5), QTime(0, 0))},
        {US, "4:05 PM", QDateTime(ZeroDate(), QTime(16, 5))},
        {US, "12:00:00 AM", QDateTime(ZeroDate(), QTime(0, 0))},
        {DE, "5.3.2026 6:05:09", QDateTime(QDate(2026, 3, 5), QTime(6, 5, 9))},
        {DE, "16:05", QDateTime(ZeroDate(), QTime(16, 5))},
    };
    for (const Case& C : Cases) {
        const QDateTime Value = StrToDateTime(C.Text, C.Locale);
        EXPECT_EQ(Value.date(), C.Expected.date()) << C.Text.toStdString();
        EXPECT_EQ(Value.time(), C.Expected.time()) << C.Text.toStdString();
    }
}

TEST(DateTimeText, GarbageIsAConvertError) {
    const QString Cases[] = {"x",
                             "",
                             "   ",
                             "13/45/2026",
                             "2/29/2023",
                             "25:00:00 PM",
                             "3/5/26",
                             "3/5/2026 x",
                             "3/5/2026 4:05:09 PM extra",
                             "4:61:00 PM",
                             "3/5/2026 25:00:00"};
    for (const QString& Text : Cases)
        EXPECT_EQ(ConvertMessage(Text, US), "'" + Text + "' is not a valid date and time");
    EXPECT_EQ(ConvertMessage("3/5/2026", DE), "'3/5/2026' is not a valid date and time");
    EXPECT_EQ(ConvertMessage("4:05:09 PM", DE), "'4:05:09 PM' is not a valid date and time");
}

TEST(DateTimeText, DefaultLocaleIsTheSystemLocale) {
    const QDateTime Value(QDate(2026, 3, 5), QTime(16, 5, 9));
    const QLocale System = QLocale::system();
    EXPECT_EQ(ShortDateFormat(), ShortDateFormat(System));
    EXPECT_EQ(LongTimeFormat(), LongTimeFormat(System));
    EXPECT_EQ(FormatDate(Value.date()), FormatDate(Value.date(), System));
    EXPECT_EQ(FormatTime(Value.time()), FormatTime(Value.time(), System));
    EXPECT_EQ(DateTimeToStr(Value), DateTimeToStr(Value, System));
    EXPECT_EQ(StrToDateTime(DateTimeToStr(Value)).time(), Value.time());
    EXPECT_EQ(StrToDateTime(DateTimeToStr(Value)).date(), Value.date());
}
