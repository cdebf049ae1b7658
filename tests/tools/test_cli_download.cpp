#include "test_cli_run.h"

#include "Sim.h"
#include "platform/PortMap.h"

#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>

using namespace CliTest;
using TestSupport::ReadFile;
using TestSupport::TSim;
using TestSupport::WriteFile;

namespace {

QString FixturePath(const char* Name) {
    return QStringLiteral(HALVORN_REPORT_FIXTURES "/") + QLatin1String(Name);
}

class CliDownload : public ::testing::Test {
protected:
    QString In(const QString& Name) const { return Dir.filePath(Name); }

    TestSupport::TempConfig Config;
    QTemporaryDir Dir;
};

// A download over the line gives the report that build gives for the bytes sent, and its
// export is what export makes of that report.
TEST_F(CliDownload, EqualsBuildOfTheBytesSent) {
    for (const char* Name : {"short.bin", "long.bin"}) {
        SCOPED_TRACE(Name);
        TSim Sim({"--file", FixturePath(Name), "--unpaced"});
        ASSERT_TRUE(Sim.Started());
        const TRun R = Cli({"download", Sim.DevicePath(), "-o", In("report.txt"), "--export",
                            In("export.txt"), "--info-disabled"});
        ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
        EXPECT_TRUE(R.Out.isEmpty());

        const TRun Built = Cli({"build", FixturePath(Name), "--info-disabled"});
        ASSERT_EQ(Built.ExitCode, 0);
        EXPECT_EQ(ReadFile(In("report.txt")), Built.Out);

        ASSERT_EQ(Cli({"export", In("report.txt"), "-o", In("export2.txt")}).ExitCode, 0);
        EXPECT_EQ(ReadFile(In("export.txt")), ReadFile(In("export2.txt")));
    }
}

// Through the port map as COM1, with the states of the window's status bar on stderr and the
// report on stdout.
TEST_F(CliDownload, ComPortShowsTheStates) {
    TSim Sim(
        {"--file", FixturePath("short.bin"), "--baud", "9600", "--delay", "300", "--com", "1"});
    ASSERT_TRUE(Sim.Started());
    const TRun R = Cli({"download", "COM1", "--info-disabled"});
    ASSERT_EQ(R.ExitCode, 0) << R.Err.toStdString();
    EXPECT_EQ(R.Out, Cli({"build", FixturePath("short.bin"), "--info-disabled"}).Out);
    EXPECT_EQ(R.Err, QByteArray("Listening for data on Com 1...\n"
                                "Acquiring Data on Com 1 - Please Wait...\n"
                                "Idle\n"));
}

// A process held up while bytes arrive (a busy machine) must not end the transfer early: the
// ticks it missed are not made up back to back.
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
    EXPECT_EQ(P.readAllStandardOutput(),
              Cli({"build", FixturePath("short.bin"), "--info-disabled"}).Out);
}

TEST_F(CliDownload, WaitGivesUpOnASilentLine) {
    TSim Sim({"--delay", "600000"});
    ASSERT_TRUE(Sim.Started());
    const TRun R = Cli({"download", Sim.DevicePath(), "--wait", "1", "-o", In("r.txt")});
    EXPECT_EQ(R.ExitCode, 3);
    EXPECT_LT(R.Ms, 5000);
    EXPECT_TRUE(R.Err.endsWith(
        ("halvorn-cli: No data received on " + Sim.DevicePath() + "\n").toLocal8Bit()))
        << R.Err.toStdString();
    EXPECT_FALSE(QFile::exists(In("r.txt")));
}

TEST_F(CliDownload, PortFailuresNameThePort) {
    PortMap::MapPort(QStringLiteral("COM9"), In("no-such-tty"));
    const TRun Missing = Cli({"download", "COM9", "--wait", "1", "-o", In("r.txt")});
    EXPECT_EQ(Missing.ExitCode, 1);
    // The port's own message first, then how to reach the device, all on one line.
    EXPECT_TRUE(Missing.Err.startsWith("halvorn-cli: COM9: Serial port error OpenFailed (8): No "
                                       "such file or directory (2): COM9 leads to the device " +
                                       In("no-such-tty").toLocal8Bit()))
        << Missing.Err.toStdString();
    EXPECT_EQ(Missing.Err.count('\n'), 1);

    // Where the report could not be written, nothing is received.
    TSim Waiting({"--file", FixturePath("short.bin"), "--unpaced"});
    ASSERT_TRUE(Waiting.Started());
    for (const QStringList& Outputs :
         {QStringList{"-o", In("absent/r.txt")}, QStringList{"--export", In("absent/e.txt")}}) {
        const TRun R = Cli(QStringList{"download", Waiting.DevicePath()} + Outputs);
        EXPECT_EQ(R.ExitCode, 1);
        EXPECT_TRUE(R.Err.startsWith("halvorn-cli: Cannot create file ")) << R.Err.toStdString();
        EXPECT_FALSE(R.Err.contains("Listening")) << R.Err.toStdString();
    }

    // The instrument's side goes away while it sends: the bytes are lost, no report.
    TSim Sim({"--file", FixturePath("short.bin"), "--baud", "4800", "--linger", "0"});
    ASSERT_TRUE(Sim.Started());
    const QString Device = Sim.DevicePath();
    const TRun Gone = Cli({"download", Device, "-o", In("r.txt")}, {}, 60000);
    EXPECT_EQ(Gone.ExitCode, 1);
    EXPECT_TRUE(Gone.Err.contains((Device + ": Serial port error ").toLocal8Bit()))
        << Gone.Err.toStdString();
    EXPECT_FALSE(QFile::exists(In("r.txt")));
}

// The printout is never lost to a refused export: the report is written, the export is not.
TEST_F(CliDownload, RefusedExportKeepsTheReport) {
    const QByteArray Bytes("Title\r------------------------\rbody\r------------------------\r"
                           "end 1\rend 2\r");
    WriteFile(In("odd.bin"), Bytes);
    TSim Sim({"--file", In("odd.bin"), "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    const TRun R = Cli({"download", Sim.DevicePath(), "-o", In("r.txt"), "--export", In("e.txt"),
                        "--info-disabled"});
    EXPECT_EQ(R.ExitCode, 1);
    const QByteArray Failure = R.Err.mid(R.Err.indexOf("Idle\n") + 5);
    EXPECT_TRUE(Failure.startsWith(("halvorn-cli: " + In("e.txt") + ": ").toLocal8Bit()))
        << R.Err.toStdString();
    EXPECT_EQ(Failure.count('\n'), 1);
    EXPECT_EQ(ReadFile(In("r.txt")), Cli({"build", In("odd.bin"), "--info-disabled"}).Out);
    EXPECT_FALSE(QFile::exists(In("e.txt")));
}

} // namespace
