#include "CliRun.h"
#include "Printout.h"
#include "Sim.h"
#include "TestSupport.h"
#include "acquisition/TSerialPort.h"
#include "files/ExportWriter.h"
#include "files/PrintLayout.h"
#include "files/ReportText.h"
#include "info/InfoFile.h"
#include "measurement/Measurement.h"
#include "measurement/chart/ReadingsChart.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"
#include "report/ReportInfo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

// These tests run the built halvorn-cli (and halvorn-sim) as a script would, and compare with
// the library calls the window makes.
using TestSupport::ReadFile;
using TestSupport::TSim;
using TestSupport::WriteFile;

namespace {

// The bytes the window's Save writes for Lines.
QByteArray Saved(const QStringList& Lines) {
    return ReportText::EncodeText(QStringList(Lines) << QString());
}

QByteArray Fixture(const char* Name) {
    return TestSupport::ReadFile(FixturePath(Name));
}

TReportInfo InfoOf(TReportInfo V, bool Enabled) {
    V.Enabled = Enabled;
    return V;
}

TReportInfo SampleValues() {
    TReportInfo V;
    V.SerialNumbers = {QStringLiteral("4410-0007"), QStringLiteral("4410-0123")};
    V.Header = {QStringLiteral("Tamsor Radon Services"), QStringLiteral("12 Birch Lane")};
    V.Footer = {QStringLiteral("Tested by A. Lind")};
    V.StartDate = QDateTime(QDate(2026, 3, 5), QTime(0, 0), Qt::UTC);
    V.StartTime = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9), Qt::UTC);
    V.EndDate = QDateTime(QDate(2026, 3, 7), QTime(0, 0), Qt::UTC);
    V.EndTime = V.EndDate;
    V.SerialNumber = QStringLiteral("4410-0123");
    V.Location = QStringLiteral("Basement, north wall");
    return V;
}

struct TWord {
    int Page; // from 0
    double X, Y;
    QString Text;
};

QString Tool(const char* Name, const QStringList& Arguments) {
    QProcess P;
    P.start(QLatin1String(Name), Arguments);
    P.waitForFinished(30000);
    return QString::fromUtf8(P.readAllStandardOutput());
}

// Every marker word of the PDF with its page and top-left corner in points.
std::vector<TWord> Markers(const QString& Pdf) {
    static const QRegularExpression Item(
        QStringLiteral("<page |<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\"[^>]*>(L[0-9]{4})<"));
    std::vector<TWord> Found;
    int Page = -1;
    for (auto It = Item.globalMatch(Tool("pdftotext", {"-bbox", Pdf, "-"})); It.hasNext();) {
        const QRegularExpressionMatch M = It.next();
        if (M.captured(0) == QLatin1String("<page "))
            ++Page;
        else
            Found.push_back(
                {Page, M.captured(1).toDouble(), M.captured(2).toDouble(), M.captured(3)});
    }
    return Found;
}

bool HasPages(const QString& Pdf, int Pages) {
    return Tool("pdfinfo", {Pdf})
        .contains(QRegularExpression(QStringLiteral("Pages: +%1\n").arg(Pages)));
}

QString Marker(int i) {
    return QStringLiteral("L%1").arg(i + 1, 4, 10, QLatin1Char('0'));
}

class CliTest : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }
    QString Put(const QString& Name, const QByteArray& Bytes) const {
        WriteFile(In(Name), Bytes);
        return In(Name);
    }
    QString SampleInfoFile(const QLocale& Locale = QLocale::system()) const {
        return Put(QStringLiteral("sample.zev"), InfoFile::Format(SampleValues(), Locale));
    }
    static QByteArray Built(const QString& Capture) {
        return Cli({"build", Capture, "--info-disabled"}).Out;
    }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};
using CliReports = CliTest;
using CliDownload = CliTest;
using CliPrint = CliTest;

// build runs the builder the window runs after a download, on the same bytes; with -o the
// report replaces the file, otherwise it goes to stdout.
TEST_F(CliReports, BuildEqualsTheWindowsReport) {
    SimPrintout::TOptions Crlf;
    Crlf.CrLf = true;
    const QLocale English(QStringLiteral("en_US")), German(QStringLiteral("de_DE"));
    const struct {
        const char* Name;
        QByteArray Bytes;
        QLocale Locale;
    } Captures[] = {
        {"short fixture", Fixture("short.bin"), English},
        {"long fixture", Fixture("long.bin"), English},
        {"simulator printout", SimPrintout::Generate({}), English},
        {"simulator printout, CR LF", SimPrintout::Generate(Crlf), English},
        {"German dates", Fixture("short.bin"), German},
    };
    const QString Out = In("report.txt");
    for (const auto& C : Captures) {
        const QString Info = SampleInfoFile(C.Locale);
        const QString Env = QStringLiteral("LC_ALL=%1.UTF-8").arg(C.Locale.name());
        for (const bool Enabled : {false, true}) {
            SCOPED_TRACE(std::string(C.Name) + (Enabled ? ", info enabled" : ", info disabled"));
            WriteFile(Out, "older report");
            QStringList Args = {"build", Put("capture.bin", C.Bytes), "--info", Info,
                                Enabled ? "--info-enabled" : "--info-disabled"};
            if (Enabled)
                Args << "-o" << Out;
            const TRun R = Cli(Args, {Env});
            ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
            EXPECT_TRUE(R.Err.isEmpty());
            const QByteArray Report = Enabled ? ReadFile(Out) : R.Out;
            EXPECT_TRUE(!Enabled || R.Out.isEmpty());
            EXPECT_EQ(Report,
                      Saved(BuildReport(C.Bytes, InfoOf(SampleValues(), Enabled), C.Locale)));
        }
    }
    // Nothing is left beside the report.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

TEST_F(CliReports, BuildSplitsTheCaptureAsTheDownloadDoes) {
    // A zero byte ends its piece of the download: "Serial #" survives, "garbage" does not.
    const QByteArray Capture = QByteArray("Title\rSerial #\r") + QByteArray("Loc\0garbage\r", 12) +
                               "ation:\r------------------------\rend 1\rend 2\r";
    const TRun R = Cli({"build", Put("zero.bin", Capture), "--info-disabled"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, QByteArray("Title\r\nSerial #   : \r\nLocation   : \r\n"
                                "------------------------\r\n"));
}

// Without options the information comes from the store: InstallDir's info.zev, InfoEnable.
TEST_F(CliReports, InformationFromTheStore) {
    WriteFile(In("info.zev"), InfoFile::Format(SampleValues()));
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(HalvornSettingsKey, true));
        Reg.WriteString(QStringLiteral("InstallDir"), Dir.path());
        Reg.WriteInteger(QStringLiteral("InfoEnable"), 1);
    }
    const QString Capture = Put("c.bin", Fixture("short.bin"));
    const auto Expect = [&](const TReportInfo& V, bool Enabled) {
        return Saved(BuildReport(Fixture("short.bin"), InfoOf(V, Enabled)));
    };
    EXPECT_EQ(Cli({"build", Capture}).Out, Expect(SampleValues(), true));
    EXPECT_EQ(Cli({"build", Capture, "--info-disabled"}).Out, Expect(SampleValues(), false));
    // No info file in the folder: empty information, as at the program's first start.
    QFile::remove(In("info.zev"));
    EXPECT_EQ(Cli({"build", Capture}).Out, Expect({}, true));
}

// apply-info is OK of "Information Setup" on a report opened from a file.
TEST_F(CliReports, ApplyInfoEqualsTheDialogsRebuild) {
    const QStringList Plain = BuildReport(Fixture("long.bin"), TReportInfo{});
    const QString Report = Put("plain.txt", Saved(Plain));
    const QString Info = SampleInfoFile();
    for (const bool Enabled : {false, true}) {
        SCOPED_TRACE(Enabled);
        QStringList Args = {"apply-info", Report, "--info", Info,
                            Enabled ? "--info-enabled" : "--info-disabled"};
        if (Enabled)
            Args << "-o" << Report; // an archive rebuilt in place
        const TRun R = Cli(Args);
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_EQ(Enabled ? ReadFile(Report) : R.Out,
                  Saved(*ApplyInfo(Plain, InfoOf(SampleValues(), Enabled))));
    }
    // Without a separator the report is kept, in the window's line ends.
    for (const auto& [From, To] :
         {std::pair<QByteArray, QByteArray>{"Notes\nno body\n", "Notes\r\nno body\r\n"},
          {"Notes\r\nmore", "Notes\r\nmore"}}) {
        const TRun K = Cli({"apply-info", Put("r.txt", From), "--info-enabled"});
        ASSERT_EQ(K.ExitCode, 0) << K.Err.toStdString();
        EXPECT_EQ(K.Out, To);
    }
}

// export is Save As with "Import Friendly Format" of a report opened from a file.
TEST_F(CliReports, ExportEqualsSaveAsImportFriendly) {
    for (const char* Name : {"short.bin", "long.bin"}) {
        SCOPED_TRACE(Name);
        const QStringList Lines = BuildReport(Fixture(Name), InfoOf(SampleValues(), true));
        const QString Out = In("r_s.csv.data");
        const TRun R = Cli({"export", Put("r.txt", Saved(Lines)), "-o", Out});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());
        EXPECT_EQ(ReadFile(Out), ExportWriter::BuildExport(Lines));
    }
}

// Every failure: its exit status, one line on stderr naming what failed, nothing written.
// readings prints what the window's panel shows, in the unit asked for or stored, and writes
// the model's JSON and CSV byte for byte.
TEST_F(CliReports, ReadingsEqualTheModelsOutputs) {
    const QStringList Lines = BuildReport(Fixture("long.bin"), TReportInfo{});
    const QString Report = Put("r.txt", Saved(Lines));
    const TMeasurement Pci = Measurement::Measure(Lines, {}, TUnit::PciL);
    const TMeasurement Bq = Measurement::Measure(Lines, {}, TUnit::BqM3);
    ASSERT_TRUE(Pci.Readings.Refusal.isEmpty());
    const QString Csv = In("r.csv");
    const struct {
        const char* Name;
        QStringList Args;
        const char* StoredUnits;
        QByteArray Out;
        bool WritesCsv;
    } Cases[] = {
        {"default unit", {}, nullptr, Measurement::ForPeople(Pci, TUnit::PciL).toUtf8(), false},
        {"stored unit", {}, "Bq/m3", Measurement::ForPeople(Bq, TUnit::BqM3).toUtf8(), false},
        {"stored unit unknown",
         {},
         "mSv",
         Measurement::ForPeople(Pci, TUnit::PciL).toUtf8(),
         false},
        {"option over the store",
         {"--units", "pCi/L"},
         "Bq/m3",
         Measurement::ForPeople(Pci, TUnit::PciL).toUtf8(),
         false},
        {"json", {"--json"}, nullptr, Measurement::Json(Pci), false},
        {"json in Bq/m3", {"--json", "--units=Bq/m3"}, nullptr, Measurement::Json(Bq), false},
        {"csv alone", {"--csv", Csv}, nullptr, {}, true},
        {"csv and json", {"--csv", Csv, "--json"}, nullptr, Measurement::Json(Pci), true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        {
            TRegistry Reg;
            ASSERT_TRUE(Reg.OpenKey(HalvornSettingsKey, true));
            if (C.StoredUnits)
                Reg.WriteString(QStringLiteral("Units"), QLatin1String(C.StoredUnits));
            else
                Reg.DeleteValue(QStringLiteral("Units"));
        }
        QFile::remove(Csv);
        const TRun R = Cli(QStringList{"readings", Report} + C.Args);
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.isEmpty());
        EXPECT_EQ(R.Out, C.Out);
        EXPECT_EQ(QFile::exists(Csv), C.WritesCsv);
        if (C.WritesCsv) {
            EXPECT_EQ(ReadFile(Csv), Measurement::Csv(Pci.Readings));
        }
    }
}

// chart draws the panel's chart alone; report-pdf lays out the window's client report.
TEST_F(CliPrint, ChartAndClientReport) {
    const QStringList Lines = BuildReport(Fixture("long.bin"), TReportInfo{});
    const QString Report = Put("r.txt", Saved(Lines));
    const QString Png = In("c.png");
    const struct {
        QStringList Args;
        QSize Size;
        TUnit Unit;
    } Charts[] = {
        {{}, {1200, 500}, TUnit::PciL},
        {{"--width", "640", "--height=300", "--units", "Bq/m3"}, {640, 300}, TUnit::BqM3},
    };
    for (const auto& C : Charts) {
        SCOPED_TRACE(C.Args.join(' ').toStdString());
        const TRun R = Cli(QStringList{"chart", Report, "-o", Png} + C.Args);
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty() && R.Err.isEmpty());
        const QImage Drawn = QImage::fromData(ReadFile(Png), "PNG");
        EXPECT_EQ(Drawn.size(), C.Size);
        const QImage Expected = QImage::fromData(
            ReadingsChart::RenderPng(Measurement::Measure(Lines, {}, C.Unit), C.Unit, C.Size,
                                     ReadingsChart::LightPalette()),
            "PNG");
        EXPECT_TRUE(Drawn == Expected);
    }

    if (QProcess::execute(QStringLiteral("pdftotext"), {"-v"}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString Pdf = In("client.pdf");
    const TRun R = Cli({"report-pdf", Report, "-o", Pdf, "--info", SampleInfoFile(),
                        "--info-enabled", "--paper", "Letter", "--units", "Bq/m3"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Out.isEmpty() && R.Err.isEmpty());
    const QString Text = Tool("pdftotext", {Pdf, "-"});
    EXPECT_TRUE(Text.contains(ClientReport::Title)) << Text.toStdString();
    EXPECT_TRUE(Text.contains(SampleValues().Header.first())) << Text.toStdString();
    EXPECT_TRUE(Tool("pdfinfo", {Pdf}).contains(QLatin1String("612 x 792 pts")));
    // Nothing is left beside the outputs.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4);
}

// The job's fields and the chosen level on page 1, the logo beside the company; a job file's
// mistakes refused with the file named, nothing written.
TEST_F(CliPrint, ClientReportWithAJob) {
    if (QProcess::execute(QStringLiteral("pdftotext"), {"-v"}) < 0)
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    const QString Report = Put("r.txt", Saved(BuildReport(Fixture("long.bin"), TReportInfo{})));
    QImage Logo(60, 30, QImage::Format_RGB32);
    Logo.fill(Qt::darkGreen);
    ASSERT_TRUE(Logo.save(In("brand.png")));
    const QString Job = Put("job.json", R"({"client": "Dana Whitfield", "address": "12 Elm Street",
        "test_type": "post-mitigation", "conditions": "not-maintained", "notes": "",
        "inspector": "A. Lind", "certification": "NRPP 42", "logo": "brand.png"})");
    const QString Pdf = In("c.pdf");
    const TRun R = Cli({"report-pdf", Report, "-o", Pdf, "--job", Job, "--level", "eu", "--units",
                        "Bq/m3", "--info-disabled"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    const QString Text = Tool("pdftotext", {Pdf, "-"}).simplified();
    for (const char* Shown :
         {"Dana Whitfield", "12 Elm Street", "Test after mitigation", "Not maintained", "A. Lind",
          "NRPP 42", "EU reference level 300 Bq/m3", "Result: mean without the first 24 hours"})
        EXPECT_TRUE(Text.contains(QLatin1String(Shown))) << Shown << Text.toStdString();
    EXPECT_EQ(Tool("pdfimages", {"-list", Pdf}).count('\n'), 3); // the heading and one image
    EXPECT_TRUE(Cli({"readings", Report, "--json", "--level", "150", "Bq/m3"})
                    .Out.contains("the reference level of 4.1 pCi/L (150 Bq/m3)"));

    const struct {
        QByteArray Json;
        const char* Says;
    } Refused[] = {
        {R"({"cleint": "x"})", "the key \"cleint\" is not one of client, address"},
        {R"({"test_type": "annual"})", "\"test_type\" must be real-estate, initial"},
        {R"({"notes": 5})", "the value of \"notes\" must be a string"},
        {"[1]", "it must hold one JSON object"},
        {"{", "it is not JSON"},
        {R"({"logo": "missing.png"})", "missing.png\" does not exist"},
    };
    for (const auto& C : Refused) {
        SCOPED_TRACE(C.Says);
        const QString Bad = Put("bad.json", C.Json);
        const TRun Failed = Cli({"report-pdf", Report, "-o", In("no.pdf"), "--job", Bad});
        EXPECT_EQ(Failed.ExitCode, 1);
        EXPECT_TRUE(Failed.Err.contains(C.Says)) << Failed.Err.toStdString();
        if (!QByteArray(C.Says).contains("missing.png")) {
            EXPECT_TRUE(Failed.Err.contains("bad.json")) << Failed.Err.toStdString();
        }
        EXPECT_FALSE(QFile::exists(In("no.pdf")));
    }
}

TEST_F(CliReports, FailuresWriteNothing) {
    Put("c.bin", Fixture("short.bin"));
    Put("notes.txt", "Just notes\r\n--------------------------\r\n");
    const QString Kept = Put("kept.txt", "previous export");
    Put("z.bin", QByteArray(8, '\0'));
    Put("s.zev", "1\r\n4410-0007\r\n0\r\n");
    Put("n.zev", "x\r\n");
    Put("d.zev", "0\r\n0\r\n0\r\nyesterday\r\n");
    Put("x.bin", "x\r");
    Put("nocr.bin", "A title and no line end");
    Put("empty.txt", "");
    Put("r.txt", Saved(BuildReport(Fixture("short.bin"), TReportInfo{})));
    ASSERT_TRUE(QFile::resize(Put("huge.txt", ""), 16 * 1024 * 1024 + 1));
    ASSERT_TRUE(QFile::resize(Put("huge.zev", ""), 1024 * 1024 + 1));
    for (const char* Name : {"ro.txt", "ro.pdf"})
        ASSERT_TRUE(QFile::setPermissions(Put(Name, "read-only"), QFile::ReadOwner));
    const QByteArray Head =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software";
    const QByteArray IllTyped = Head + "\\Tamsor\\Halvorn 4410]\r\n\"InfoEnable\"=\"yes\"\r\n";
    const QByteArray DirIllTyped =
        Head + "\\Tamsor\\Halvorn 4410]\r\n\"InstallDir\"=dword:00000001\r\n";
    const struct {
        const char *Name, *Args;
        int Status;
        const char *Says, *MustNotExist;
        QByteArray Store = {};
    } Cases[] = {
        {"output folder missing", "build D/c.bin -o D/x/r.txt", 1, "D/x/r.txt", "D/x/r.txt"},
        {"output names a folder", "export D/r.txt -o D/", 1,
         "Cannot create file D/: the name ends in \"/\" and so names a folder", ""},
        {"read-only report", "build D/c.bin -o D/ro.txt", 1,
         "Cannot create file D/ro.txt: the file is read-only", ""},
        {"read-only PDF", "print D/r.txt -o D/ro.pdf", 1,
         "Cannot create file D/ro.pdf: the file is read-only", ""},
        {"capture missing", "build D/none -o D/o.txt", 1, "D/none", "D/o.txt"},
        {"zero bytes", "build D/z.bin -o D/o.txt", 3, "No data in", "D/o.txt"},
        {"no line of a report", "build D/x.bin -o D/o.txt", 3,
         "No data in D/x.bin: the capture holds no line of a report", "D/o.txt"},
        {"no line end", "build D/nocr.bin", 3, "No data in D/nocr.bin", ""},
        {"empty report", "apply-info D/empty.txt -o D/o.txt", 3,
         "No data in D/empty.txt: the report has no line", "D/o.txt"},
        {"endless capture", "build /dev/zero -o D/o.txt", 1,
         "/dev/zero holds more than 64 MiB, the most halvorn-cli takes for a capture", "D/o.txt"},
        {"report past the editor's capacity", "export D/huge.txt -o D/o.txt", 1,
         "Text exceeds memo capacity: D/huge.txt holds more than 16 MiB", "D/o.txt"},
        {"empty capture name", "build \"\" -o D/o.txt", 2, "build wants CAPTURE, not an empty name",
         "D/o.txt"},
        {"report missing", "export D/none -o D/o.txt", 1, "D/none", "D/o.txt"},
        {"report is a folder", "apply-info D/ -o D/o.txt", 1, "D/", "D/o.txt"},
        {"export without landmarks", "export D/notes.txt -o D/o.txt", 1, "D/notes.txt", "D/o.txt"},
        {"export over a file", "export D/notes.txt -o D/kept.txt", 1, "D/notes.txt", ""},
        {"print folder missing", "print D/notes.txt -o D/x/r.pdf", 1, "file D/x/r.pdf",
         "D/x/r.pdf"},
        {"print report missing", "print D/none -o D/o.pdf", 1, "D/none", "D/o.pdf"},
        {"readings without landmarks", "readings D/notes.txt --csv D/o.csv --json", 1,
         "D/notes.txt: No readings table in this report", "D/o.csv"},
        {"readings of an empty report", "readings D/empty.txt", 1,
         "D/empty.txt: No readings table in this report", ""},
        {"readings CSV folder missing", "readings D/r.txt --csv D/x/r.csv", 1, "D/x/r.csv",
         "D/x/r.csv"},
        {"client report without landmarks", "report-pdf D/notes.txt -o D/o.pdf", 1,
         "D/notes.txt: No readings table in this report", "D/o.pdf"},
        {"chart without landmarks", "chart D/notes.txt -o D/o.png", 1,
         "D/notes.txt: No readings table in this report", "D/o.png"},
        {"chart folder missing", "chart D/r.txt -o D/x/c.png", 1, "D/x/c.png", "D/x/c.png"},
        {"chart too narrow", "chart D/r.txt -o D/o.png --width 5", 2,
         "--width wants a whole number from 100 to 10000, not '5'", "D/o.png"},
        {"client report without -o", "report-pdf D/r.txt", 2, "report-pdf wants -o FILE", ""},
        {"unknown unit", "readings D/r.txt --units Bq/l", 2,
         "--units wants pCi/L or Bq/m3, not 'Bq/l'", ""},
        {"info missing", "build D/c.bin --info D/none", 1, "D/none", ""},
        {"info cut short", "build D/c.bin --info D/s.zev", 1, "before its footer", ""},
        {"info count", "build D/c.bin --info D/n.zev", 1, "'x' is not a valid integer", ""},
        {"info past its limit", "build D/c.bin --info D/huge.zev -o D/o.txt", 1,
         "D/huge.zev is larger than 1 MiB", "D/o.txt"},
        {"info date", "apply-info D/notes.txt --info D/d.zev", 1, "'yesterday' is not a valid", ""},
        {"bad option", "build D/c.bin --colour", 2, "unknown option '--colour'", ""},
        {"store unreadable", "build D/c.bin", 1, "", "", Head + "\r\n"},
        {"InfoEnable ill-typed", "build D/c.bin", 1, "Invalid data type for 'InfoEnable'", "",
         IllTyped},
        {"InstallDir ill-typed", "build D/c.bin", 1, "Invalid data type for 'InstallDir'", "",
         DirIllTyped},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        if (!C.Store.isEmpty())
            Config.WriteStore(C.Store);
        const TRun R = Cli(Words(QLatin1String(C.Args), Dir.path()));
        EXPECT_EQ(R.ExitCode, C.Status);
        EXPECT_TRUE(R.Out.isEmpty());
        const QString Err = QString::fromLocal8Bit(R.Err);
        const QString Says = Words(C.Says, Dir.path()).join(' ');
        EXPECT_TRUE(Err.startsWith(QLatin1String("halvorn-cli: "))) << Err.toStdString();
        EXPECT_TRUE(Err.contains(Says)) << Err.toStdString();
        // A store that cannot be used is named.
        EXPECT_TRUE(C.Store.isEmpty() || Err.contains(Config.StoreFile())) << Err.toStdString();
        EXPECT_EQ(Err.count(QLatin1Char('\n')), 1) << Err.toStdString();
        EXPECT_TRUE(!*C.MustNotExist || !QFile::exists(Words(C.MustNotExist, Dir.path()).value(0)));
    }
    EXPECT_EQ(ReadFile(Kept), "previous export");
    EXPECT_EQ(ReadFile(In("ro.txt")), "read-only");
    EXPECT_EQ(ReadFile(In("ro.pdf")), "read-only");
}

// A download gives the report build gives for the bytes sent, and its export is what export
// makes of that report; through the port map as COM1 the window's states go to stderr.
TEST_F(CliDownload, EqualsBuildOfTheBytesSent) {
    const struct {
        const char* Name;
        QStringList Sim;
        bool Com1;
    } Cases[] = {
        {"short.bin", {"--unpaced"}, false},
        {"long.bin", {"--unpaced"}, false},
        {"short.bin", {"--baud", "9600", "--delay", "300", "--com", "1"}, true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        TSim Sim(QStringList{"--file", FixturePath(C.Name)} + C.Sim);
        ASSERT_TRUE(Sim.Started());
        const TRun R = Cli({"download", C.Com1 ? QStringLiteral("COM1") : Sim.DevicePath(), "-o",
                            In("report.txt"), "--export", In("export.txt"), "--info-disabled"});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());
        EXPECT_EQ(ReadFile(In("report.txt")), Built(FixturePath(C.Name)));
        ASSERT_EQ(Cli({"export", In("report.txt"), "-o", In("export2.txt")}).ExitCode, 0);
        EXPECT_EQ(ReadFile(In("export.txt")), ReadFile(In("export2.txt")));
        if (C.Com1) {
            EXPECT_EQ(R.Err, QByteArray("Listening for data on Com 1...\n"
                                        "Acquiring Data on Com 1 - Please Wait...\n"
                                        "Idle\n"));
        }
    }
}

// A process held up while bytes arrive must not end the transfer early: the ticks it missed
// are not made up back to back.
TEST_F(CliDownload, StalledProcessStillGetsTheWholePrintout) {
    TSim Sim({"--file", FixturePath("short.bin"), "--baud", "2400", "--delay", "300"});
    ASSERT_TRUE(Sim.Started());
    QProcess P;
    P.start(Program(), {"download", Sim.DevicePath(), "--info-disabled"});
    ASSERT_TRUE(P.waitForStarted(5000));
    P.setReadChannel(QProcess::StandardError);
    QByteArray Err;
    while (!Err.contains("Acquiring") && P.waitForReadyRead(10000))
        Err += P.readAllStandardError();
    ASSERT_TRUE(Err.contains("Acquiring")) << Err.toStdString();
    ::kill(static_cast<pid_t>(P.processId()), SIGSTOP);
    QThread::msleep(700);
    ::kill(static_cast<pid_t>(P.processId()), SIGCONT);
    ASSERT_TRUE(P.waitForFinished(30000));
    EXPECT_EQ(P.exitCode(), 0);
    EXPECT_EQ(P.readAllStandardOutput(), Built(FixturePath("short.bin")));
}

// Every failure: its status and, as the last line on stderr, one line naming what failed; no
// report unless only the export was refused.
TEST_F(CliDownload, FailuresNameWhatFailed) {
    WriteFile(In("odd.bin"), "Title\r------------------------\rbody\r------------------------\r"
                             "end 1\rend 2\r");
    WriteFile(In("x.bin"), "x\r");
    PortMap::MapPort(QStringLiteral("COM9"), In("no-such-tty"));
    const struct {
        const char *Name, *Sim, *Args;
        int Status;
        const char* Says;
        bool Listens, Reported, Held = false;
    } Cases[] = {
        {"silent line", "--delay 600000", "@ --wait 1 -o D/r.txt", 3, "No data received on @", true,
         false},
        {"no device", "", "COM9 --wait 1 -o D/r.txt", 1,
         "COM9 leads to the device D/no-such-tty, which does not exist.", false, false},
        {"no serial port", "", "/dev/null --wait 1 -o D/r.txt", 1,
         "/dev/null is not a serial port: Serial port error GetStateFailed (14)", false, false},
        {"port in use", "--delay 600000", "@ --wait 1 -o D/r.txt", 1,
         "@ is in use by another program: Serial port error OpenFailed (8)", false, false, true},
        {"no port named", "", "\"\" --wait 1", 2, "download wants PORT, not an empty name", false,
         false},
        {"report folder missing", "--file F/short.bin --unpaced", "@ -o D/x/r.txt", 1,
         "Cannot create file", false, false},
        {"report names a folder", "--file F/short.bin --unpaced", "@ -o D/x/", 1,
         "Cannot create file D/x/: it names a folder, not a file", false, false},
        {"export folder missing", "--file F/short.bin --unpaced", "@ -o D/r.txt --export D/x/e", 1,
         "Cannot create file", false, false},
        {"line hung up", "--file F/short.bin --baud 4800 --linger 0", "@ -o D/r.txt", 1,
         "The instrument on @ was disconnected after", true, false},
        {"export refused", "--file D/odd.bin --unpaced",
         "@ -o D/r.txt --export D/e.txt --info-disabled", 1, "D/e.txt:", true, true},
        {"no line of a report", "--file D/x.bin --unpaced", "@ -o D/r.txt", 3,
         "No data received on @: the printout holds no line of a report", true, false},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        QFile::remove(In("r.txt"));
        std::optional<TSim> Sim;
        if (*C.Sim) {
            ASSERT_TRUE(Sim.emplace(Words(C.Sim, Dir.path())).Started());
        }
        const QString Device = Sim ? Sim->DevicePath() : QString();
        TSerialPort Holder;
        if (C.Held) {
            Holder.SetPortName(Device);
            Holder.Open();
        }
        const TRun R = Cli(QStringList{"download"} + Words(C.Args, Dir.path(), Device), {}, 60000);
        EXPECT_EQ(R.ExitCode, C.Status);
        const QString Err = QString::fromLocal8Bit(R.Err);
        EXPECT_TRUE(Err.section(QLatin1Char('\n'), -2)
                        .startsWith("halvorn-cli: " + Words(C.Says, Dir.path(), Device).join(' ')))
            << Err.toStdString();
        EXPECT_TRUE(Err.endsWith(QLatin1Char('\n')));
        EXPECT_EQ(Err.contains(QLatin1String("Listening")), C.Listens) << Err.toStdString();
        EXPECT_TRUE(C.Status != 3 || R.Ms < 5000);
        EXPECT_EQ(QFile::exists(In("r.txt")), C.Reported);
        EXPECT_FALSE(QFile::exists(In("e.txt")));
        if (C.Reported) {
            EXPECT_EQ(ReadFile(In("r.txt")), Built(In("odd.bin")));
        }
    }
}

// The printed pages hold the lines where the Print command's layout rule puts them.
TEST_F(CliPrint, PagesFollowTheLayoutRule) {
    const int Count = 150;
    QStringList Lines;
    for (int i = 0; i < Count; ++i)
        Lines << Marker(i) + QStringLiteral(" \t 5.7 TP 7.6");
    const QString Report = Dir.filePath(QStringLiteral("report.txt"));
    WriteFile(Report, Saved(Lines));

    const struct {
        const char *Name, *Args, *Env;
        QPageSize::PageSizeId Paper;
        int Points, Dpi;
        const char* PdfInfoSize;
    } Cases[] = {
        {"defaults, United States", "", "", QPageSize::Letter, 10, 600, "(letter)"},
        {"defaults, Germany", "", "LC_ALL=de_DE.UTF-8", QPageSize::A4, 10, 600, "(A4)"},
        {"chosen", "--paper A4 --font-size 14 --dpi 300 --font Courier", "", QPageSize::A4, 14, 300,
         "(A4)"},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const QString Pdf = Dir.filePath(QStringLiteral("report.pdf"));
        const TRun R =
            Cli(QStringList{"print", Report, "-o", Pdf} + Words(C.Args, {}), Words(C.Env, {}));
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Err.isEmpty()) << R.Err.toStdString();

        QPrinter Printer(QPrinter::HighResolution);
        Printer.setOutputFormat(QPrinter::PdfFormat);
        Printer.setResolution(C.Dpi);
        Printer.setPageSize(QPageSize(C.Paper));
        const QRect Paint = Printer.pageLayout().paintRectPixels(C.Dpi);
        const PrintLayout::TPageLayout Layout =
            PrintLayout::ComputeLayout(C.Dpi, Paint.height(), C.Points, Count);
        ASSERT_GE(Layout.Pages, 2);
        EXPECT_TRUE(HasPages(Pdf, Layout.Pages));
        EXPECT_TRUE(Tool("pdfinfo", {Pdf}).contains(QLatin1String(C.PdfInfoSize)));

        const std::vector<TWord> Found = Markers(Pdf);
        ASSERT_EQ(Found.size(), static_cast<size_t>(Count));
        const double PointsPerPixel = 72.0 / C.Dpi;
        const double Left = (Paint.left() + PrintLayout::LeftMargin) * PointsPerPixel;
        std::map<int, int> FirstOfPage; // rows are measured from the page's first line
        for (int i = Count - 1; i >= 0; --i)
            FirstOfPage[Found.at(i).Page] = i;
        for (int i = 0; i < Count; ++i) {
            SCOPED_TRACE(i);
            const TWord& W = Found.at(i);
            const int First = FirstOfPage[W.Page];
            EXPECT_EQ(W.Text, Marker(i));
            EXPECT_EQ(W.Page, Layout.Lines.at(i).Page);
            EXPECT_NEAR(W.X, Left, 0.5);
            EXPECT_NEAR(W.Y - Found.at(First).Y,
                        (Layout.Lines.at(i).Y - Layout.Lines.at(First).Y) * PointsPerPixel, 0.05);
        }
        // The first page starts one row lower than the later ones.
        EXPECT_NEAR(Found.at(0).Y - Found.at(Layout.FirstPageLines).Y, Layout.H * PointsPerPixel,
                    0.05);
    }
    // Nothing is left beside the PDF.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);

    WriteFile(Report, "");
    ASSERT_EQ(Cli({"print", Report, "-o", Dir.filePath("empty.pdf")}).ExitCode, 0);
    EXPECT_TRUE(HasPages(Dir.filePath("empty.pdf"), 1)) << "an empty report prints a blank page";
    EXPECT_TRUE(Markers(Dir.filePath("empty.pdf")).empty());
}

} // namespace

namespace {

// A print that fails half-way, on a full disk (a small tmpfs, where mounting is allowed) or past
// a file-size limit, leaves the old PDF as it was and says why; a replaced PDF keeps its mode.
TEST_F(CliPrint, TheOldPdfStaysUntilTheNewOneIsComplete) {
    QStringList Lines;
    for (int i = 0; i < 5000; ++i)
        Lines << Marker(i) + QStringLiteral(" 12.5 T 13.0 P 14.1");
    const QString Long = Dir.filePath("long.txt");
    WriteFile(Long, Saved(Lines));
    const QString Short = Dir.filePath("short.txt");
    WriteFile(Short, Saved({Marker(0)}));

    const QString Folder = Dir.filePath("small");
    ASSERT_TRUE(QDir().mkpath(Folder));
    const bool Mounted = ::geteuid() == 0 && ::mount("tmpfs", QFile::encodeName(Folder).constData(),
                                                     "tmpfs", 0, "size=64k") == 0;
    const QString Old = Folder + "/old.pdf";
    ASSERT_EQ(Cli({"print", Short, "-o", Old}).ExitCode, 0);
    ASSERT_TRUE(QFile::setPermissions(Old, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_EQ(Cli({"print", Short, "-o", Old, "--font-size", "12"}).ExitCode, 0);
    EXPECT_EQ(QFile::permissions(Old),
              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
    EXPECT_TRUE(HasPages(Old, 1));
    const QByteArray Before = ReadFile(Old);

    TRun R;
    if (Mounted) {
        R = Cli({"print", Long, "-o", Old});
    } else {
        // The limit and the ignored signal pass to the program started now.
        rlimit Saved{};
        ::getrlimit(RLIMIT_FSIZE, &Saved);
        const auto Handler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{64 * 1024, Saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &Limit);
        QProcess P;
        P.start(Program(), {"print", Long, "-o", Old});
        ::setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, Handler);
        P.waitForFinished(60000);
        R = {P.exitCode(), P.readAllStandardOutput(), P.readAllStandardError(), 0};
    }
    const QByteArray Listing =
        QDir(Folder).entryList(QDir::Files | QDir::Hidden).join(' ').toUtf8();
    const QByteArray Now = ReadFile(Old);
    if (Mounted)
        ::umount(QFile::encodeName(Folder).constData());
    EXPECT_EQ(R.ExitCode, 1);
    const QString Why = Mounted ? "the disk is full (No space left on device)"
                                : "the file would be larger than this system allows";
    EXPECT_TRUE(R.Err.startsWith(("halvorn-cli: Cannot create file " + Old + ": " + Why).toUtf8()))
        << R.Err.toStdString();
    EXPECT_TRUE(Now == Before) << "the old PDF was replaced";
    EXPECT_EQ(Listing, "old.pdf") << "nothing is left beside it";
}

// Files the tools write are not written through a link another user planted in a shared
// folder; the target stays as it was.
TEST_F(CliReports, OutputsRefuseAnotherUsersLink) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can plant a link owned by another user";
    const QString Shared = In("tmp");
    ASSERT_TRUE(QDir().mkpath(Shared));
    ASSERT_EQ(::chmod(QFile::encodeName(Shared).constData(), 01777), 0);
    const QString Victim = Put("victim.txt", "precious");
    const QString Report = Put("r.txt", Saved(BuildReport(Fixture("short.bin"), TReportInfo{})));
    const QString Capture = Put("c.bin", Fixture("short.bin"));
    const QString Link = Shared + "/out";
    ASSERT_EQ(::symlink(QFile::encodeName(Victim).constData(), QFile::encodeName(Link).constData()),
              0);
    ASSERT_EQ(::lchown(QFile::encodeName(Link).constData(), 65534, 65534), 0);
    const QStringList Commands[] = {
        {"build", Capture, "--info-disabled", "-o", Link},
        {"apply-info", Report, "--info-disabled", "-o", Link},
        {"export", Report, "-o", Link},
        {"print", Report, "-o", Link},
    };
    for (const QStringList& Command : Commands) {
        SCOPED_TRACE(Command.first().toStdString());
        const TRun R = Cli(Command);
        EXPECT_EQ(R.ExitCode, 1);
        EXPECT_TRUE(R.Err.contains("is a link that another user (uid 65534) put into the shared "
                                   "folder"))
            << R.Err.toStdString();
        EXPECT_EQ(ReadFile(Victim), "precious");
    }
}

} // namespace
