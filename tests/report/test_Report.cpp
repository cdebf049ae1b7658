#include "QtPrint.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "report/StreamConventions.h"

#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>
#include <ostream>

namespace {

// A printout as the instrument sends it (tests/report/fixtures, see make_fixtures.py).
QByteArray Printout(const char* Name) {
    QFile File(QStringLiteral(HALVORN_REPORT_FIXTURES "/") + QLatin1String(Name));
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

const QLocale UnitedStates(QLocale::English, QLocale::UnitedStates);

TReportInfo SampleInfo(bool Enabled) {
    TReportInfo Info;
    Info.Enabled = Enabled;
    Info.Header = QStringList{"Radon Services Ltd.", "Job 17"};
    Info.Footer = QStringList{"Tested by A. Berg"};
    Info.SerialNumber = "4410-0815";
    Info.Location = "Basement, 12 Elm St.";
    Info.StartDate = QDateTime(QDate(2026, 3, 5), QTime(9, 30));
    Info.StartTime = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9));
    Info.EndDate = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    Info.EndTime = QDateTime(QDate(2026, 3, 7), QTime(0, 0));
    return Info;
}

const QString S = StreamConventions::ScaleLine;

// Lines written as "a|b|#": '|' between lines, '#' at a line's start for the scale line.
QStringList L(const char* Text) {
    if (!*Text)
        return {};
    QStringList Lines = QString::fromLatin1(Text).split('|');
    for (QString& Line : Lines)
        if (Line.startsWith('#'))
            Line = S + Line.mid(1);
    return Lines;
}

QStringList Build(const QByteArray& Download, const TReportInfo& Info) {
    return BuildReport(Download, Info, UnitedStates);
}

TReportInfo With(const char* Header, const char* Footer) {
    TReportInfo Info = SampleInfo(true);
    Info.Header = L(Header);
    Info.Footer = L(Footer);
    return Info;
}

const QString Sep = StreamConventions::Separator;

QStringList Apply(const QStringList& Lines, const TReportInfo& Info) {
    return ApplyInfo(Lines, Info, UnitedStates).value_or(QStringList{"<unchanged>"});
}

// A rebuilt report with SampleInfo: header, two empty lines, body, four empty lines, footer.
QStringList Wrapped(const QStringList& Body, bool Enabled) {
    const TReportInfo Info = SampleInfo(Enabled);
    const QStringList None;
    return (Enabled ? Info.Header : None) + QStringList{"", ""} + Body + QStringList(4, "") +
           (Enabled ? Info.Footer : None);
}

} // namespace

TEST(ReportBuilder, MarkerLinesAndNearMisses) {
    const struct {
        QByteArray Line;
        const char *Enabled, *Disabled; // the lines made of it; "" for the line itself
    } Cases[] = {
        {"Serial #", "Serial #   : 4410-0815", "Serial #   : "},
        {"Start Date", "Start Date : 3/5/2026", "Start Date : "},
        {"Start Time", "Start Time : 4:05:09 PM|End Date   : 3/7/2026|End Time   : 12:00:00 AM",
         "Start Time : |End Date   : |End Time   : "},
        {"Location:", "Location   : Basement, 12 Elm St.", "Location   : "},
        {"\x0fSerial #\x1d\xff", "Serial #   : 4410-0815", "Serial #   : "},
        {"Serial # ", "", ""},
        {"START TIME", "", ""},
        {"Location", "", ""},
        {"End Date", "", ""},
        {"\nLocation:", "", ""},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Line.toStdString());
        const QStringList Plain{QString::fromLatin1(Case.Line)};
        const QByteArray Download = Case.Line + "\rclosing 1\rclosing 2\r";
        EXPECT_EQ(Build(Download, SampleInfo(true)),
                  L("Radon Services Ltd.|Job 17") << (*Case.Enabled ? L(Case.Enabled) : Plain)
                                                  << L("closing 1|closing 2|Tested by A. Berg"));
        EXPECT_EQ(Build(Download, SampleInfo(false)), *Case.Disabled ? L(Case.Disabled) : Plain);
    }
}

TEST(ReportBuilder, BytesLinesAndTrimming) {
    const struct {
        QByteArray Download;
        QStringList Expected; // the last two lines removed
    } Cases[] = {
        {"~a~~\rx\ry\r", {"=a=="}},
        {"\x0f"
         "A\x13\t\x1d\x01\x1f\x7f\xff\x80\xe9\r\rx\ry\r",
         {QString::fromLatin1("A\t\x01\x7f\x80\xe9"), ""}},
        {"\nA\nB\rx\ry\r", {"\nA\nB"}},
        {"A\r\nB\r\nC\r\nD\r", {"A", "\nB"}},
        {"A\rB\rC\rD\runterminated tail", {"A", "B"}},
        {"no carriage return", {}},
        {"", {}},
        {"A\rB\r", {}},
        {"A\rB\rC\r", {"A"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Download.toStdString());
        EXPECT_EQ(Build(Case.Download, SampleInfo(false)), Case.Expected);
    }
}

TEST(ReportBuilder, HeaderAndFooter) {
    const struct {
        TReportInfo Info;
        const char* Expected;
    } Cases[] = {
        // The instrument's last two lines go only when no footer follows them.
        {SampleInfo(true), "Radon Services Ltd.|Job 17|A|B|C|D|Tested by A. Berg"},
        {With("H", ""), "H|A|B"},
        {With("", "F"), "A|B|C|D|F"},
        {With("", ""), "A|B"},
        {SampleInfo(false), "A|B"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Expected);
        EXPECT_EQ(Build("A\rB\rC\rD\r", Case.Info), L(Case.Expected));
    }
}

TEST(ReportBuilder, GraphFixUp) {
    const TReportInfo Off = SampleInfo(false);
    const struct {
        TReportInfo Info;
        const char *Download, *Expected; // the download's lines, the closing two not shown
    } Cases[] = {
        {Off, "a|b|#|~|#|axis", "a|axis|b|#|=|#|axis"},
        {Off, "b|#|#|axis", "axis|b|#|#|axis"},
        {Off, "a|b|#|x|#|y|#|axis", "a|axis|b|#|x|#|y|#|axis"},
        {Off, "a|b|#|axis", "a|b|#|axis"},
        {Off, "#|b|#|axis", "#|b|#|axis"},
        {Off, "a|b", "a|b"},
        {Off, "a|b|# |~|#|axis", "a|b|# |=|#|axis"},
        {With("#", ""), "a|b|#|~|#|axis", "#|a|b|#|=|#|axis"},
        {With("Title|#", ""), "a|#|~|#|axis", "axis|Title|#|a|#|=|#|axis"},
        {With("", "#|after"), "a|b|#|~", "a|after|b|#|=|c1|c2|#|after"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Download);
        const QByteArray Download = L(Case.Download).join('\r').toLatin1() + "\rc1\rc2\r";
        EXPECT_EQ(Build(Download, Case.Info), L(Case.Expected));
    }
    // The last frame as the very last line: nothing to copy.
    EXPECT_EQ(Build(L("a|b|#|~|#|").join('\r').toLatin1(), Off), L("a|b|#"));
}

TEST(ReportBuilder, ArbitraryBytesNeverBreakIt) {
    std::vector<QByteArray> Inputs = {QByteArray(1000, '\0'), QByteArray(32768, '\r')};
    QRandomGenerator Random(4410);
    for (int i = 0; i < 200; ++i) {
        QByteArray Bytes(static_cast<qsizetype>(Random.bounded(2000)), Qt::Uninitialized);
        for (char& Byte : Bytes)
            Byte = Random.bounded(4) == 0 ? "\r~\n S"[Random.bounded(5)]
                                          : static_cast<char>(Random.bounded(256));
        Inputs.push_back(Bytes);
    }
    for (const QByteArray& Input : Inputs)
        for (const bool Enabled : {false, true})
            for (const QString& Line : Build(Input, SampleInfo(Enabled)))
                EXPECT_FALSE(Line.contains(QLatin1Char('\r')) || Line.contains(QLatin1Char('~')));
}

TEST(ApplyInfo, BodyLinesAreRenewedInTestOrder) {
    const struct {
        QString Line, Enabled, Disabled;
    } Cases[] = {
        {"Start Date : 1/1/2020", "Start Date : 3/5/2026", "Start Date : "},
        {"Start Time : 1:00:00 AM", "Start Time : 4:05:09 PM", "Start Time : "},
        {"End Date   : ", "End Date   : 3/7/2026", "End Date   : "},
        {"End Time   : x", "End Time   : 12:00:00 AM", "End Time   : "},
        {"Serial #   : old", "Serial #   : 4410-0815", "Serial #   : "},
        {"Location:", "Location   : Basement, 12 Elm St.", "Location   : "},
        {"End Time Start Date", "Start Date : 3/5/2026", "Start Date : "},
        {"Serial # Start Time", "Start Time : 4:05:09 PM", "Start Time : "},
        {"start date", "start date", "start date"}, // other case: no match
        {" 1.2  T 3.4 ", " 1.2  T 3.4 ", " 1.2  T 3.4 "},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Line.toStdString());
        const QStringList Report{"old header", Sep, Case.Line, Sep, "old footer"};
        EXPECT_EQ(Apply(Report, SampleInfo(true)), Wrapped({Sep, Case.Enabled, Sep}, true));
        EXPECT_EQ(Apply(Report, SampleInfo(false)), Wrapped({Sep, Case.Disabled, Sep}, false));
    }
}

TEST(ApplyInfo, SeparatorsDecideTheBody) {
    const QStringList Unchanged{"<unchanged>"};
    const struct {
        const char* Name;
        QStringList Report, Expected;
    } Cases[] = {
        {"one separator", {"above", Sep + " x", "below"}, Wrapped({Sep + " x"}, true)},
        {"first to last, 23 hyphens are no separator",
         {"a", "==" + Sep + "==", "b", QString(23, '-'), Sep, "c"},
         Wrapped({"==" + Sep + "==", "b", QString(23, '-'), Sep}, true)},
        {"no editor lines", {}, Unchanged},
        {"no separator", {"Serial #   : ", "Start Date : "}, Unchanged},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(Apply(Case.Report, SampleInfo(true)), Case.Expected);
    }
}

TEST(ApplyInfo, RebuildIsIdempotent) {
    // Frame the whole printout, as a report meant for rebuilding is.
    const QStringList Built = QStringList{Sep}
                              << BuildReport(Printout("short.bin"), SampleInfo(false), UnitedStates)
                              << Sep;
    TReportInfo Info = SampleInfo(true);
    const QStringList Once = Apply(Built, Info);
    EXPECT_EQ(Apply(Once, Info), Once);
    EXPECT_TRUE(Once.contains("Serial #   : 4410-0815"));
    EXPECT_TRUE(Once.contains("HALVORN 4410 CONTINUOUS RADON MONITOR"));

    // Other information replaces the first one completely.
    Info.SerialNumber = "9999";
    const QStringList Twice = Apply(Once, Info);
    EXPECT_TRUE(Twice.contains("Serial #   : 9999"));
    EXPECT_FALSE(Twice.contains("Serial #   : 4410-0815"));
    EXPECT_EQ(Twice.size(), Once.size());
}
