#include "test_cli_run.h"

#include "Printout.h"
#include "files/ExportWriter.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace CliTest;
using TestSupport::ReadFile;
using TestSupport::WriteFile;

namespace {

class CliReports : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }
    QString Put(const QString& Name, const QByteArray& Bytes) const {
        WriteFile(In(Name), Bytes);
        return In(Name);
    }
    QString SampleInfoFile(const QLocale& Locale = QLocale::system()) const {
        return Put(QStringLiteral("sample.zev"), InfoFile::Format(SampleValues(), Locale));
    }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};

// build runs the same builder the window runs after a download, on the same bytes.
TEST_F(CliReports, BuildEqualsTheWindowsReport) {
    SimPrintout::TOptions Crlf;
    Crlf.CrLf = true;
    const struct {
        const char* Name;
        QByteArray Bytes;
        bool CrLf;
    } Captures[] = {
        {"short fixture", Fixture("short.bin"), false},
        {"long fixture", Fixture("long.bin"), false},
        {"simulator printout", SimPrintout::Generate({}), false},
        {"simulator printout, CR LF", SimPrintout::Generate(Crlf), true},
    };
    const QString Info = SampleInfoFile();
    for (const auto& C : Captures) {
        for (const bool Enabled : {false, true}) {
            SCOPED_TRACE(std::string(C.Name) + (Enabled ? ", info enabled" : ", info disabled"));
            const QString Capture = Put(QStringLiteral("capture.bin"), C.Bytes);
            const TRun R = Cli(
                {"build", Capture, "--info", Info, Enabled ? "--info-enabled" : "--info-disabled"});
            ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
            EXPECT_TRUE(R.Err.isEmpty());
            const QStringList Expected = BuildReport(C.Bytes, InfoOf(SampleValues(), Enabled));
            EXPECT_EQ(R.Out, Saved(Expected));
            // Independent of the builder: the information reached the labels.
            EXPECT_EQ(R.Out.startsWith("Tamsor Radon Services\r\n12 Birch Lane\r\n"), Enabled);
            if (C.CrLf) {
                // The line feed opens the next line, so no caption is bare; it stays in the file.
                EXPECT_TRUE(R.Out.contains("\r\n\nSerial #\r\n"));
            } else {
                EXPECT_EQ(R.Out.contains("Serial #   : 4410-0123\r\n"), Enabled);
                EXPECT_EQ(R.Out.contains("End Time   : 12:00:00 AM\r\n"), Enabled);
            }
            EXPECT_TRUE(R.Out.endsWith(Enabled ? "Tested by A. Lind\r\n" : "\r\n"));
            EXPECT_FALSE(R.Out.contains('~'));
        }
    }
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

TEST_F(CliReports, BuildWritesTheFileOrStdout) {
    const QString Out = In("report.txt");
    WriteFile(Out, "older report");
    const TRun R = Cli({"build", Put("c.bin", Fixture("short.bin")), "-o", Out});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_TRUE(R.Out.isEmpty());
    EXPECT_EQ(ReadFile(Out), Saved(BuildReport(Fixture("short.bin"), TReportInfo{})));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// Without options the information comes from the store: InstallDir's info.zev, InfoEnable.
TEST_F(CliReports, InformationFromTheStore) {
    WriteFile(In("info.zev"), InfoFile::Format(SampleValues()));
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(HalvornSettingsKey, true));
        Reg.WriteString(QStringLiteral("InstallDir"), Dir.path());
    }
    const QString Capture = Put("c.bin", Fixture("short.bin"));
    const auto Expect = [&](bool Enabled) {
        return Saved(BuildReport(Fixture("short.bin"), InfoOf(SampleValues(), Enabled)));
    };
    EXPECT_EQ(Cli({"build", Capture}).Out, Expect(false)) << "no InfoEnable: disabled";
    {
        TRegistry Reg;
        ASSERT_TRUE(Reg.OpenKey(HalvornSettingsKey, true));
        Reg.WriteInteger(QStringLiteral("InfoEnable"), 1);
    }
    EXPECT_EQ(Cli({"build", Capture}).Out, Expect(true));
    EXPECT_EQ(Cli({"build", Capture, "--info-disabled"}).Out, Expect(false));

    // No info file in the folder: empty information, as at the program's first start.
    QFile::remove(In("info.zev"));
    EXPECT_EQ(Cli({"build", Capture}).Out,
              Saved(BuildReport(Fixture("short.bin"), InfoOf({}, true))));
}

TEST_F(CliReports, DatesFollowTheUsersLocale) {
    const QLocale German(QStringLiteral("de_DE"));
    const QString Info = SampleInfoFile(German);
    const TRun R =
        Cli({"build", Put("c.bin", Fixture("short.bin")), "--info", Info, "--info-enabled"},
            {"LC_ALL=de_DE.UTF-8"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out,
              Saved(BuildReport(Fixture("short.bin"), InfoOf(SampleValues(), true), German)));
    EXPECT_TRUE(R.Out.contains("Start Date : 05.03.2026\r\n"));
    EXPECT_TRUE(R.Out.contains("Start Time : 16:05:09\r\n"));
}

// apply-info is OK of "Information Setup" on a report opened from a file.
TEST_F(CliReports, ApplyInfoEqualsTheDialogsRebuild) {
    const QStringList Plain = BuildReport(Fixture("long.bin"), TReportInfo{});
    const QString Report = Put("plain.txt", Saved(Plain));
    const QString Info = SampleInfoFile();
    for (const bool Enabled : {true, false}) {
        SCOPED_TRACE(Enabled);
        const TRun R = Cli(
            {"apply-info", Report, "--info", Info, Enabled ? "--info-enabled" : "--info-disabled"});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_EQ(R.Out, Saved(*ApplyInfo(Plain, InfoOf(SampleValues(), Enabled))));
    }
    // An archive rebuilt in place.
    const TRun R = Cli({"apply-info", Report, "--info", Info, "--info-enabled", "-o", Report});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_EQ(ReadFile(Report), Saved(*ApplyInfo(Plain, InfoOf(SampleValues(), true))));
}

TEST_F(CliReports, ApplyInfoWithoutSeparatorKeepsTheReport) {
    const struct {
        const char* Name;
        QByteArray In, Out;
    } Cases[] = {
        {"no separator, LF line ends", "Notes\nno body here\n", "Notes\r\nno body here\r\n"},
        {"no final line end", "Notes\r\nmore", "Notes\r\nmore"},
        {"empty file", "", ""},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TRun R = Cli({"apply-info", Put("r.txt", C.In), "--info-enabled"});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_EQ(R.Out, C.Out);
    }
}

// export is Save As with "Import Friendly Format" of a report opened from a file.
TEST_F(CliReports, ExportEqualsSaveAsImportFriendly) {
    for (const char* Name : {"short.bin", "long.bin"}) {
        SCOPED_TRACE(Name);
        const QStringList Lines = BuildReport(Fixture(Name), InfoOf(SampleValues(), true));
        const QString Report = Put("r.txt", Saved(Lines));
        const QString Out = In("r_s.csv.data");
        const TRun R = Cli({"export", Report, "-o", Out});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());
        EXPECT_EQ(ReadFile(Out), ExportWriter::BuildExport(Lines));
        EXPECT_TRUE(ReadFile(Out).contains("\r\nInterval\t1\t2\t"));
    }
}

// Every failure: its exit status, one line on stderr naming what failed, nothing written.
TEST_F(CliReports, FailuresWriteNothing) {
    const QString Capture = Put("c.bin", Fixture("short.bin"));
    const QString NoLandmarks = Put("notes.txt", "Just notes\r\n--------------------------\r\n");
    const QString Kept = Put("kept.txt", "previous export");
    const QString Short = Put("short.zev", "1\r\n4410-0007\r\n0\r\n");
    const QString BadCount = Put("bad.zev", "x\r\n");
    const QString BadDate = Put("baddate.zev", "0\r\n0\r\n0\r\nyesterday\r\n");
    const QString Missing = In("absent/report.txt");
    const struct {
        const char* Name;
        QStringList Args;
        int Status;
        QString Says;
        QString MustNotExist;
    } Cases[] = {
        {"output into a missing folder", {"build", Capture, "-o", Missing}, 1, Missing, Missing},
        {"missing capture",
         {"build", In("none.bin"), "-o", In("o.txt")},
         1,
         In("none.bin"),
         In("o.txt")},
        {"capture of zero bytes",
         {"build", Put("z.bin", QByteArray(8, '\0')), "-o", In("o.txt")},
         3,
         "No data in",
         In("o.txt")},
        {"missing report",
         {"export", In("none.txt"), "-o", In("o.txt")},
         1,
         In("none.txt"),
         In("o.txt")},
        {"report is a folder",
         {"apply-info", Dir.path(), "-o", In("o.txt")},
         1,
         Dir.path(),
         In("o.txt")},
        {"export without landmarks",
         {"export", NoLandmarks, "-o", In("o.txt")},
         1,
         NoLandmarks,
         In("o.txt")},
        {"named info file missing",
         {"build", Capture, "--info", In("none.zev")},
         1,
         In("none.zev"),
         {}},
        {"info file cut short",
         {"build", Capture, "--info", Short},
         1,
         "ends before its footer",
         {}},
        {"info file bad count",
         {"build", Capture, "--info", BadCount},
         1,
         "'x' is not a valid integer value",
         {}},
        {"info file bad date",
         {"apply-info", NoLandmarks, "--info", BadDate},
         1,
         "'yesterday' is not a valid date and time",
         {}},
        {"bad option", {"build", Capture, "--colour"}, 2, "unknown option '--colour'", {}},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        const TRun R = Cli(C.Args);
        EXPECT_EQ(R.ExitCode, C.Status);
        EXPECT_TRUE(R.Out.isEmpty());
        const QString Err = QString::fromLocal8Bit(R.Err);
        EXPECT_TRUE(Err.startsWith(QLatin1String("halvorn-cli: "))) << Err.toStdString();
        EXPECT_TRUE(Err.contains(C.Says)) << Err.toStdString();
        EXPECT_EQ(Err.count(QLatin1Char('\n')), 1) << Err.toStdString();
        if (!C.MustNotExist.isEmpty()) {
            EXPECT_FALSE(QFile::exists(C.MustNotExist));
        }
    }
    // A refused export leaves an existing file as it was.
    EXPECT_EQ(Cli({"export", NoLandmarks, "-o", Kept}).ExitCode, 1);
    EXPECT_EQ(ReadFile(Kept), "previous export");
}

TEST_F(CliReports, UnreadableStoreIsNamed) {
    Config.WriteStore(
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\r\n");
    const TRun R = Cli({"build", Put("c.bin", Fixture("short.bin"))});
    EXPECT_EQ(R.ExitCode, 1);
    EXPECT_TRUE(R.Out.isEmpty());
    EXPECT_TRUE(QString::fromLocal8Bit(R.Err).contains(Config.StoreFile())) << R.Err.toStdString();
    EXPECT_EQ(R.Err.count('\n'), 1);

    // An ill-typed InfoEnable names the store as well.
    Config.WriteStore("Windows Registry Editor Version 5.00\r\n\r\n"
                      "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n"
                      "\"InfoEnable\"=\"yes\"\r\n");
    const TRun T = Cli({"build", Put("c.bin", Fixture("short.bin"))});
    EXPECT_EQ(T.ExitCode, 1);
    EXPECT_TRUE(QString::fromLocal8Bit(T.Err).contains(Config.StoreFile())) << T.Err.toStdString();
}

TEST_F(CliReports, HelpAndVersion) {
    const TRun Help = Cli({"--help"});
    EXPECT_EQ(Help.ExitCode, 0);
    for (const char* Line :
         {"halvorn-cli download PORT [-o REPORT] [--export FILE] [--info FILE]",
          "halvorn-cli build CAPTURE [-o REPORT] [--info FILE] [--info-enabled|--info-disabled]",
          "halvorn-cli export REPORT -o FILE", "halvorn-cli --version | --help", "3 no data"})
        EXPECT_TRUE(Help.Out.contains(Line)) << Line;
    const TRun Version = Cli({"--version"});
    EXPECT_EQ(Version.ExitCode, 0);
    EXPECT_TRUE(Version.Out.startsWith("halvorn-cli 1.")) << Version.Out.toStdString();
}

} // namespace
