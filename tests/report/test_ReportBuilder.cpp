#include "ReportFixtures.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace ReportFixtures;

namespace {

const QString Scale = StreamConventions::ScaleLine;

// Two closing lines that the builder trims, so a case sees only its own lines.
QStringList BuildBody(const QByteArray& Body, const TReportInfo& Info,
                      const QLocale& Locale = UnitedStates) {
    return BuildReport(Body + "closing 1\rclosing 2\r", Info, Locale);
}

QByteArray Joined(const QStringList& Lines) {
    QByteArray Bytes;
    for (const QString& Line : Lines)
        Bytes += Line.toLatin1() + '\r';
    return Bytes;
}

struct TLineCase {
    const char* Name;
    QByteArray Line;
    QStringList Enabled;  // lines produced with information enabled
    QStringList Disabled; // and disabled
};

} // namespace

TEST(ReportBuilder, MarkerLinesAndNearMisses) {
    const QStringList Same; // empty: the line passes through unchanged
    const std::vector<TLineCase> Cases = {
        {"serial", "Serial #", {"Serial #   : 4410-0815"}, {"Serial #   : "}},
        {"start date", "Start Date", {"Start Date : 3/5/2026"}, {"Start Date : "}},
        {"start time gives three lines",
         "Start Time",
         {"Start Time : 4:05:09 PM", "End Date   : 3/7/2026", "End Time   : 12:00:00 AM"},
         {"Start Time : ", "End Date   : ", "End Time   : "}},
        {"location", "Location:", {"Location   : Basement, 12 Elm St."}, {"Location   : "}},
        {"control bytes are gone before the match",
         "\x0fSerial #\x1d\xff",
         {"Serial #   : 4410-0815"},
         {"Serial #   : "}},
        {"trailing space", "Serial # ", Same, Same},
        {"leading space", " Start Date", Same, Same},
        {"other case", "START TIME", Same, Same},
        {"location without colon", "Location", Same, Same},
        {"caption with a value", "Serial # 123", Same, Same},
        {"end captions are not markers", "End Date", Same, Same},
        {"line feed before the caption", "\nLocation:", Same, Same},
    };
    for (const TLineCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QString Plain = QString::fromLatin1(Case.Line);
        const QStringList Unchanged{Plain};
        EXPECT_EQ(BuildBody(Case.Line + '\r', SampleInfo(true)),
                  QStringList(SampleInfo(true).Header)
                      << (Case.Enabled.isEmpty() ? Unchanged : Case.Enabled) << "closing 1"
                      << "closing 2" << SampleInfo(true).Footer);
        EXPECT_EQ(BuildBody(Case.Line + '\r', SampleInfo(false)),
                  Case.Disabled.isEmpty() ? Unchanged : Case.Disabled);
    }
}

TEST(ReportBuilder, CharactersOfALine) {
    const struct {
        const char* Name;
        QByteArray Line;
        QString Expected;
    } Cases[] = {
        {"tilde anywhere", "~a~~", "=a=="},
        {"discarded bytes",
         "\x0f"
         "A\x13"
         "B\x1d"
         "C\x1f"
         "D\xff",
         "ABCD"},
        {"line feed stays inside", "\nA\nB", "\nA\nB"},
        {"tab and other controls pass", "\t\x01\x1b\x7f", "\t\x01\x1b\x7f"},
        {"zero byte passes", QByteArray("a\0b", 3), QString::fromLatin1("a\0b", 3)},
        {"bytes above 127 keep their value", "\x80\xe9\xfe", QString::fromLatin1("\x80\xe9\xfe")},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildBody(Case.Line + '\r', SampleInfo(false)), QStringList{Case.Expected});
    }
}

TEST(ReportBuilder, EveryTextByteRoundTrips) {
    QByteArray Line;
    for (int b = 0; b < 256; ++b)
        if (b != 13 && b != 126 && b != 15 && b != 19 && b != 29 && b != 31 && b != 255)
            Line += static_cast<char>(b);
    const QStringList Lines = BuildBody(Line + '\r', SampleInfo(false));
    ASSERT_EQ(Lines.size(), 1);
    EXPECT_EQ(Lines.front().toLatin1(), Line);
}

TEST(ReportBuilder, LinesAndTrimming) {
    const struct {
        const char* Name;
        QByteArray Download;
        QStringList Expected;
    } Cases[] = {
        {"unterminated tail is dropped", "A\rB\rC\rD\rtail", {"A", "B"}},
        {"no carriage return at all", "just text", {}},
        {"one line", "A\r", {}},
        {"two lines", "A\rB\r", {}},
        {"three lines keep the first", "A\rB\rC\r", {"A"}},
        {"only control bytes and returns", "\x0f\r\x13\x1d\r\x1f\xff\r\r\r", {"", "", ""}},
        {"carriage return plus line feed", "A\r\nB\r\nC\r\nD\r", {"A", "\nB"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildReport(Case.Download, SampleInfo(false), UnitedStates), Case.Expected);
    }
}

TEST(ReportBuilder, CarriageReturnLineFeedStreamMatchesOnlyTheFirstCaption) {
    const QStringList Lines =
        BuildReport("Serial #\r\nStart Date\r\nx\r\ny\r", SampleInfo(false), UnitedStates);
    EXPECT_EQ(Lines, (QStringList{"Serial #   : ", "\nStart Date"}));
}

TEST(ReportBuilder, HeaderAndFooter) {
    TReportInfo NoFooter = SampleInfo(true);
    NoFooter.Footer.clear();
    TReportInfo NoHeader = SampleInfo(true);
    NoHeader.Header.clear();
    const QByteArray Download = "A\rB\rC\rD\r";
    const struct {
        const char* Name;
        TReportInfo Info;
        QStringList Expected;
    } Cases[] = {
        {"both: the footer ends the report, the instrument's lines stay",
         SampleInfo(true),
         {"Radon Services Ltd.", "Job 17", "A", "B", "C", "D", "Tested by A. Berg"}},
        {"empty footer: the instrument's last two lines go",
         NoFooter,
         {"Radon Services Ltd.", "Job 17", "A", "B"}},
        {"empty header", NoHeader, {"A", "B", "C", "D", "Tested by A. Berg"}},
        {"disabled: neither", SampleInfo(false), {"A", "B"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildReport(Download, Case.Info, UnitedStates), Case.Expected);
    }
}

TEST(ReportBuilder, GraphFixUp) {
    const QString S = Scale;
    TReportInfo HeaderIsScale = SampleInfo(true);
    HeaderIsScale.Header = QStringList{S};
    HeaderIsScale.Footer.clear();
    TReportInfo SecondHeaderIsScale = HeaderIsScale;
    SecondHeaderIsScale.Header = QStringList{"Title", S};
    TReportInfo FooterIsScale = SampleInfo(true);
    FooterIsScale.Header.clear();
    FooterIsScale.Footer = QStringList{S, "after"};
    const TReportInfo Off = SampleInfo(false);

    const struct {
        const char* Name;
        TReportInfo Info;
        QStringList Body; // the instrument's lines before the two closing ones
        QStringList Expected;
    } Cases[] = {
        {"axis copied two lines above the upper frame",
         Off,
         {"a", "b", S, "~", S, "axis"},
         {"a", "axis", "b", S, "=", S, "axis"}},
        {"upper frame at position 1", Off, {"b", S, S, "axis"}, {"axis", "b", S, S, "axis"}},
        {"three frames: first and last count",
         Off,
         {"a", "b", S, "x", S, "y", S, "axis"},
         {"a", "axis", "b", S, "x", S, "y", S, "axis"}},
        {"a single frame", Off, {"a", "b", S, "axis"}, {"a", "b", S, "axis"}},
        {"no frame", Off, {"a", "b"}, {"a", "b"}},
        {"frame at position 0", Off, {S, "b", S, "axis"}, {S, "b", S, "axis"}},
        {"frame with a trailing space is not a frame",
         Off,
         {"a", "b", S + " ", "~", S, "axis"},
         {"a", "b", S + " ", "=", S, "axis"}},
        {"a header line equal to the frame at position 0",
         HeaderIsScale,
         {"a", "b", S, "~", S, "axis"},
         {S, "a", "b", S, "=", S, "axis"}},
        {"a header line equal to the frame counts as the first",
         SecondHeaderIsScale,
         {"a", S, "~", S, "axis"},
         {"axis", "Title", S, "a", S, "=", S, "axis"}},
        {"a footer line equal to the frame counts as the last",
         FooterIsScale,
         {"a", "b", S, "~"},
         {"a", "after", "b", S, "=", "closing 1", "closing 2", S, "after"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(BuildBody(Joined(Case.Body), Case.Info), Case.Expected);
    }
}

TEST(ReportBuilder, LastFrameAsLastLineSkipsTheFixUp) {
    const QStringList Lines =
        BuildReport(Joined({"a", "b", Scale, "~", Scale}), SampleInfo(false), UnitedStates);
    EXPECT_EQ(Lines, (QStringList{"a", "b", Scale}));
}

TEST(ReportBuilder, TimesAndDatesFollowTheLocale) {
    TReportInfo Info = SampleInfo(true);
    Info.Header.clear();
    Info.Footer.clear();
    Info.StartTime.setTime(QTime(0, 0));
    Info.EndTime.setTime(QTime(15, 30, 0));
    const QByteArray Download = "Start Date\rStart Time\rx\ry\r";
    EXPECT_EQ(BuildReport(Download, Info, UnitedStates),
              (QStringList{"Start Date : 3/5/2026", "Start Time : 12:00:00 AM",
                           "End Date   : 3/7/2026", "End Time   : 3:30:00 PM"}));
    EXPECT_EQ(BuildReport(Download, Info, Germany),
              (QStringList{"Start Date : 05.03.2026", "Start Time : 12:00:00 AM",
                           "End Date   : 07.03.2026", "End Time   : 15:30:00"}));
}

TEST(ReportBuilder, ShortPrintout) {
    const QByteArray Download = Printout("short.bin");
    ASSERT_FALSE(Download.isEmpty());
    const QStringList Lines = BuildReport(Download, SampleInfo(true), UnitedStates);

    EXPECT_EQ(Lines.front(), "Radon Services Ltd.");
    EXPECT_EQ(Lines.at(2), "HALVORN 4410 CONTINUOUS RADON MONITOR");
    EXPECT_EQ(Lines.mid(4, 6),
              (QStringList{"Serial #   : 4410-0815", "Start Date : 3/5/2026",
                           "Start Time : 4:05:09 PM", "End Date   : 3/7/2026",
                           "End Time   : 12:00:00 AM", "Location   : Basement, 12 Elm St."}));
    // The instrument's closing lines stay above the footer.
    EXPECT_EQ(Lines.back(), "Tested by A. Berg");
    EXPECT_EQ(Lines.at(Lines.size() - 2), "END OF REPORT");

    const qsizetype Upper = Lines.indexOf(Scale);
    const qsizetype Lower = Lines.lastIndexOf(Scale);
    ASSERT_GT(Upper, 2);
    EXPECT_EQ(Lower - Upper - 1, 12); // one graph row per reading
    EXPECT_EQ(Lines.at(Upper - 2), Lines.at(Lower + 1));
    EXPECT_TRUE(Lines.at(Lower + 1).startsWith("   0   1"));

    for (const QString& Line : Lines)
        for (const QChar Char : Line)
            EXPECT_FALSE(QStringLiteral("\x0f\x13\x1d\x1f\xff~\r").contains(Char))
                << Line.toStdString();
}

TEST(ReportBuilder, LongPrintoutKeepsEveryLine) {
    const QByteArray Download = Printout("long.bin");
    ASSERT_GT(Download.size(), 4096);
    const QStringList Lines = BuildReport(Download, SampleInfo(false), UnitedStates);
    // Received lines, plus two for the "Start Time" caption, plus the copied axis line,
    // less the two trimmed.
    EXPECT_EQ(Lines.size(), Download.count('\r') + 2 + 1 - 2);
    EXPECT_EQ(Lines.at(Lines.indexOf(Scale) - 1 - 1), Lines.at(Lines.lastIndexOf(Scale) + 1));
}

TEST(ReportBuilder, ArbitraryBytesNeverBreakIt) {
    QByteArray AllValues;
    for (int Round = 0; Round < 4; ++Round)
        for (int b = 0; b < 256; ++b)
            AllValues += static_cast<char>(b);
    std::vector<QByteArray> Inputs = {AllValues, QByteArray(1000, '\0'), QByteArray(32768, 'x'),
                                      QByteArray(32768, '\r'), QByteArray(4096, '~')};
    QRandomGenerator Random(4410);
    for (int i = 0; i < 200; ++i) {
        QByteArray Bytes(static_cast<qsizetype>(Random.bounded(2000)), Qt::Uninitialized);
        for (char& Byte : Bytes) {
            const char Likely[] = {'\r', '~', '\n', ' ', 'S'};
            Byte = Random.bounded(4) == 0 ? Likely[Random.bounded(5)]
                                          : static_cast<char>(Random.bounded(256));
        }
        Inputs.push_back(Bytes);
    }
    for (const QByteArray& Input : Inputs) {
        for (const bool Enabled : {false, true}) {
            const QStringList Lines = BuildReport(Input, SampleInfo(Enabled), UnitedStates);
            const qsizetype Received = Input.count('\r');
            EXPECT_LE(Lines.size(), Received + 2 * Received + 5 + 1);
            for (const QString& Line : Lines)
                EXPECT_FALSE(Line.contains(QLatin1Char('\r')) || Line.contains(QLatin1Char('~')));
        }
    }
    EXPECT_EQ(BuildReport(QByteArray(32768, 'x'), SampleInfo(false), UnitedStates), QStringList());
}
