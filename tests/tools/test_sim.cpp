#include "Printout.h"

#include "Sim.h"
#include "TestSupport.h"
#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"
#include "platform/PortMap.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TestSupport::TSim;

namespace {

// Reads Count bytes from the port, or what came before the time ran out.
QByteArray ReadBytes(TSerialPort& Port, qsizetype Count, int TimeoutMs = 20000) {
    QByteArray Read;
    const QDeadlineTimer Deadline(TimeoutMs);
    while (Read.size() < Count && !Deadline.hasExpired())
        if (const std::optional<uint8_t> Byte = Port.ReadByte())
            Read += char(*Byte);
    return Read;
}

QByteArray Received(const QStringList& Arguments, qsizetype Count) {
    TSim Sim(Arguments);
    if (!Sim.Started())
        return {};
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    return ReadBytes(Port, Count);
}

TEST(Sim, UsageErrorsExitWithTwo) {
    const QStringList Cases[] = {
        {"--bogus"},
        {"extra"},
        {"--hours", "0"},
        {"--hours", "ten"},
        {"--hours", "4", "--hours", "5"},
        {"--baud", "10"},
        {"--baud", "1200", "--unpaced"},
        {"--delay", "-5"},
        {"--pause", "100"},
        {"--pause", "a:10"},
        {"--com", "10"},
        {"--linger", "soon"},
        {"--control", "--no-control"},
        {"--file", "/etc/hostname", "--crlf"},
        {"--print", "--com", "1"},
        {"--hours"},
    };
    for (const QStringList& Arguments : Cases) {
        SCOPED_TRACE(Arguments.join(' ').toStdString());
        const TSim::TResult Result = TSim::Run(Arguments);
        EXPECT_EQ(Result.ExitCode, 2);
        EXPECT_TRUE(Result.StdErr.contains("Try 'halvorn-sim --help'"))
            << Result.StdErr.constData();
        EXPECT_TRUE(Result.StdOut.isEmpty());
    }
}

TEST(Sim, HelpNamesEveryOption) {
    const TSim::TResult Result = TSim::Run({"--help"});
    EXPECT_EQ(Result.ExitCode, 0);
    for (const char* Option :
         {"--file", "--hours", "--seed", "--crlf", "--control", "--no-control", "--print", "--baud",
          "--unpaced", "--delay", "--pause", "--linger", "--com", "--help"})
        EXPECT_TRUE(Result.StdOut.contains(Option)) << Option;
}

TEST(Sim, PrintWritesTheBuiltInPrintoutAndTheFixturesMatchIt) {
    SimPrintout::TOptions Options;
    EXPECT_EQ(TSim::Run({"--print"}).StdOut, SimPrintout::Generate(Options));
    Options.Hours = 7;
    Options.Seed = 3;
    Options.Control = false;
    Options.CrLf = true;
    EXPECT_EQ(
        TSim::Run({"--print", "--hours", "7", "--seed", "3", "--no-control", "--crlf"}).StdOut,
        SimPrintout::Generate(Options));
    EXPECT_EQ(TSim::Run({"--print", "--hours", "4", "--seed", "11"}).StdOut,
              TestSupport::ReadFile(HALVORN_ACQUISITION_FIXTURES "/short_printout.txt"));
    EXPECT_EQ(TSim::Run({"--print", "--hours", "1200", "--seed", "12"}).StdOut,
              TestSupport::ReadFile(HALVORN_ACQUISITION_FIXTURES "/long_printout.txt"));
}

TEST(Sim, FileBytesArriveExactly) {
    QTemporaryDir Dir;
    QByteArray Data;
    for (int I = 0; I < 10000; ++I)
        Data += char((I * 7 + I / 256) % 256); // every byte value, XON, XOFF and NUL among them
    const QString Path = Dir.filePath("bytes.bin");
    TestSupport::WriteFile(Path, Data);
    EXPECT_EQ(Received({"--file", Path, "--unpaced"}, Data.size()), Data);
    EXPECT_EQ(Received({"--file", Path, "--baud", "921600"}, Data.size()), Data);
    EXPECT_EQ(TSim::Run({"--print", "--file", Path}).StdOut, Data);

    const TSim::TResult Missing = TSim::Run({"--file", Dir.filePath("none")});
    EXPECT_EQ(Missing.ExitCode, 1);
    EXPECT_TRUE(Missing.StdErr.contains("none"));
}

TEST(Sim, CrLfReachesTheLineUnchanged) {
    SimPrintout::TOptions Options;
    Options.Hours = 30;
    Options.CrLf = true;
    const QByteArray Expected = SimPrintout::Generate(Options);
    EXPECT_EQ(Received({"--hours", "30", "--crlf", "--unpaced"}, Expected.size()), Expected);
}

TEST(Sim, PauseSplitsTheStreamIntoTwoDownloads) {
    QTemporaryDir Dir;
    const QByteArray Data = QByteArray(99, 'a') + '\r' + QByteArray(399, 'b') + '\r';
    const QString Path = Dir.filePath("paused.txt");
    TestSupport::WriteFile(Path, Data);
    TSim Sim({"--file", Path, "--unpaced", "--pause", "100:1500"});
    ASSERT_TRUE(Sim.Started());
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    TDownload Download(Port);
    Download.Start();
    const QDeadlineTimer Deadline(10000);
    while (Port.BytesWaiting() < 100 && !Deadline.hasExpired())
        usleep(1000);
    // Two ticks in a row inside the pause see the same count: the download ends there.
    EXPECT_FALSE(Download.Tick());
    EXPECT_TRUE(Download.Tick());
    EXPECT_EQ(Download.DownloadText(), Data.left(100));

    Download.Start();
    while (Port.BytesWaiting() < 400 && !Deadline.hasExpired())
        usleep(1000);
    EXPECT_FALSE(Download.Tick());
    EXPECT_TRUE(Download.Tick());
    EXPECT_EQ(Download.DownloadText(), Data.mid(100));
}

TEST(Sim, DelayHoldsTheBytesBack) {
    TSim Sim({"--hours", "4", "--unpaced", "--delay", "60000"});
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    EXPECT_EQ(Port.ReadByte(), std::nullopt);
    EXPECT_EQ(Port.BytesWaiting(), 0u);
    EXPECT_EQ(Sim.Stop(), 0) << "SIGTERM ends the wait cleanly";
}

TEST(Sim, ComOptionMapsThePortInTheStore) {
    TestSupport::TempConfig Config;
    TSim Sim({"--com", "2", "--hours", "4", "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    EXPECT_EQ(PortMap::DevicePath("COM2"), Sim.DevicePath());
    EXPECT_TRUE(PortPresent(2));
    TSerialPort Port;
    Port.SetPortName("COM2");
    Port.Open();
    SimPrintout::TOptions Options;
    Options.Hours = 4;
    const QByteArray Expected = SimPrintout::Generate(Options);
    EXPECT_EQ(ReadBytes(Port, Expected.size()), Expected);
}

} // namespace
