#include "PlatformTest.h"
#include "platform/DateTimeText.h"

#include <gtest/gtest.h>

using namespace DateTimeText;

namespace {

const QLocale US("en_US");
const QLocale DE("de_DE");

QDateTime At(const QDate& Date, int H, int M, int S = 0) {
    return QDateTime(Date, QTime(H, M, S));
}

const QDate March5(2026, 3, 5);

} // namespace

TEST(DateTimeText, FormatsFollowTheLocaleWithFourDigitYearsAndNoZone) {
    const struct {
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
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(ShortDateFormat(C.Locale), C.Date) << C.Locale.name().toStdString();
        EXPECT_EQ(LongTimeFormat(C.Locale), C.Time) << C.Locale.name().toStdString();
    }
}

TEST(DateTimeText, FormatDateTimeAndReportTime) {
    EXPECT_EQ(FormatDate(March5, US), "3/5/2026");
    EXPECT_EQ(FormatTime(QTime(16, 5, 9), US), "4:05:09 PM");
    EXPECT_EQ(FormatDate(March5, DE), "05.03.2026");
    EXPECT_EQ(FormatTime(QTime(16, 5, 9), DE), "16:05:09");
    EXPECT_EQ(FormatTime(QTime(0, 0, 0), US), "12:00:00 AM");
    EXPECT_EQ(FormatTime(QTime(12, 0, 0), US), "12:00:00 PM");
    // Report lines write midnight the same in every locale.
    for (const QLocale& Locale : {US, DE}) {
        EXPECT_EQ(ReportTime(QTime(0, 0, 0), Locale), "12:00:00 AM");
        EXPECT_EQ(ReportTime(QTime(0, 0, 0, 999), Locale), "12:00:00 AM");
    }
    EXPECT_EQ(ReportTime(QTime(0, 0, 1), DE), "00:00:01");
    EXPECT_EQ(ReportTime(QTime(0, 0, 1), US), "12:00:01 AM");
}

// Every date and time shown beside a report: the locale's own, four-digit years, and midnight
// in the locale's form (only report lines keep "12:00:00 AM").
TEST(DateTimeText, DatesAndTimesBesideAReportInFourLocales) {
    const QDateTime Midnight(QDate(2026, 12, 5), QTime(0, 0));
    const QDateTime Evening(QDate(2026, 12, 5), QTime(21, 7, 5));
    const struct {
        const char* Locale;
        const char *Midnight, *Evening, *Short;
    } Cases[] = {
        {"en_US", "12/5/2026 12:00:00 AM", "12/5/2026 9:07:05 PM", "9:07 PM"},
        {"en_GB", "05/12/2026 00:00:00", "05/12/2026 21:07:05", "21:07"},
        {"de_DE", "05.12.2026 00:00:00", "05.12.2026 21:07:05", "21:07"},
        {"fr_FR", "05/12/2026 00:00:00", "05/12/2026 21:07:05", "21:07"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Locale);
        const QLocale Locale(C.Locale);
        EXPECT_EQ(FormatDateTime(Midnight, Locale), C.Midnight);
        EXPECT_EQ(FormatDateTime(Evening, Locale), C.Evening);
        EXPECT_EQ(FormatShortTime(Evening.time(), Locale), C.Short);
        // A date typed in the locale's short format, one-digit fields too.
        EXPECT_EQ(ParseDate(FormatDate(Evening.date(), Locale), Locale), Evening.date());
    }
    EXPECT_EQ(ParseDate("5.3.2026", DE), March5);
    EXPECT_FALSE(ParseDate("none3152026", US).isValid());
    EXPECT_FALSE(FormatDateTime(QDateTime(), US).size());
}

TEST(DateTimeText, DateTimeToStrDropsMidnightAndZeroDate) {
    const struct {
        QDateTime Value;
        QString Us, De;
    } Cases[] = {
        {At(March5, 16, 5, 9), "3/5/2026 4:05:09 PM", "05.03.2026 16:05:09"},
        {At(March5, 0, 0), "3/5/2026", "05.03.2026"},
        {At(ZeroDate(), 7, 8, 9), "7:08:09 AM", "07:08:09"},
        {At(ZeroDate(), 0, 0), "12:00:00 AM", "00:00:00"},
        {At(March5, 0, 0, 1), "3/5/2026 12:00:01 AM", "05.03.2026 00:00:01"},
    };
    for (const auto& C : Cases) {
        EXPECT_EQ(DateTimeToStr(C.Value, US), C.Us);
        EXPECT_EQ(DateTimeToStr(C.Value, DE), C.De);
    }
}

TEST(DateTimeText, RoundTrips) {
    const QDateTime Values[] = {At(March5, 0, 0),
                                At(March5, 12, 0),
                                At(March5, 23, 59, 59),
                                At({2000, 1, 1}, 0, 0),
                                At({2099, 12, 31}, 13, 1, 2),
                                At({2024, 2, 29}, 6, 7, 8),
                                At(ZeroDate(), 9, 30),
                                At(ZeroDate(), 0, 0),
                                At({1950, 6, 15}, 0, 0, 1)};
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
    const struct {
        QLocale Locale;
        QString Text;
        QDateTime Expected;
    } Cases[] = {
        {US, "03/05/2026 04:05:09 pm", At(March5, 16, 5, 9)},
        {US, "  3/5/2026  ", At(March5, 0, 0)},
        {US, "4:05 PM", At(ZeroDate(), 16, 5)},
        {US, "12:00:00 AM", At(ZeroDate(), 0, 0)},
        {DE, "5.3.2026 6:05:09", At(March5, 6, 5, 9)},
        {DE, "16:05", At(ZeroDate(), 16, 5)},
    };
    for (const auto& C : Cases) {
        const QDateTime Value = StrToDateTime(C.Text, C.Locale);
        EXPECT_EQ(Value.date(), C.Expected.date()) << C.Text.toStdString();
        EXPECT_EQ(Value.time(), C.Expected.time()) << C.Text.toStdString();
    }
}

TEST(DateTimeText, GarbageIsAConvertError) {
    const auto Message = [](const QString& Text, const QLocale& Locale) {
        return TestSupport::MessageOf<EConvertError>([&] { StrToDateTime(Text, Locale); });
    };
    for (const QString Text :
         {"x", "", "   ", "13/45/2026", "2/29/2023", "25:00:00 PM", "3/5/26", "3/5/2026 x",
          "4:61:00 PM", "3/5/2026 4:05:09 PM extra", "3/5/2026 25:00:00"})
        EXPECT_EQ(Message(Text, US), "'" + Text + "' is not a valid date and time");
    for (const QString Text : {"3/5/2026", "4:05:09 PM"})
        EXPECT_EQ(Message(Text, DE), "'" + Text + "' is not a valid date and time");
}
