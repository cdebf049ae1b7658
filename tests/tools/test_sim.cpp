#include "Printout.h"

#include "Sim.h"
#include "TestSupport.h"
#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"
#include "platform/PortMap.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using TestSupport::TSim;

namespace {

// Count bytes from the port, or what came before the time ran out.
QByteArray ReadBytes(const QString& PortName, qsizetype Count) {
    TSerialPort Port;
    Port.SetPortName(PortName);
    Port.Open();
    QByteArray Read;
    const QDeadlineTimer Deadline(20000);
    while (Read.size() < Count && !Deadline.hasExpired())
        if (const std::optional<uint8_t> Byte = Port.ReadByte())
            Read += char(*Byte);
    return Read;
}

QByteArray Received(const QStringList& Arguments, qsizetype Count) {
    TSim Sim(Arguments);
    return Sim.Started() ? ReadBytes(Sim.DevicePath(), Count) : QByteArray();
}

bool Matches(const char* Pattern, const QByteArray& Line) {
    return QRegularExpression(Pattern).match(QString::fromLatin1(Line)).hasMatch();
}

// Checks the instrument's shape; returns the table's readings in tenths.
std::vector<int> CheckShape(const QByteArray& Printout, const QByteArray& End) {
    EXPECT_TRUE(Printout.endsWith(End));
    EXPECT_EQ(Printout.count('\r'), Printout.count(End));
    EXPECT_TRUE(Matches("^[\\x0d\\x0a\\x0f\\x13\\x1d\\x1f\\xff\\x20-\\x7e]*$", Printout));
    QByteArray Text = Printout;
    for (const char Byte : QByteArray("\x0F\x13\x1D\x1F\xFF", 5))
        Text.replace(QByteArray(1, Byte), QByteArray());
    QList<QByteArray> Lines = Text.replace(End, "\r").split('\r');
    Lines.removeLast();

    EXPECT_EQ(Lines.value(0), QByteArray(24, '-')) << "the first separator opens the body";
    const qsizetype Serial = Lines.indexOf("Serial #");
    EXPECT_GT(Serial, 1) << "a title comes first";
    EXPECT_EQ(Lines.mid(Serial, 6),
              (QList<QByteArray>{"Serial #", "Start Date", "Start Time",
                                 "Location:", QByteArray(24, '-'), "Time Interval   1 Hr"}));
    qsizetype Average = Serial + 7;
    std::vector<int> Readings;
    for (; Average < Lines.size() && Lines[Average] != ""; ++Average) {
        EXPECT_TRUE(Matches("^ ( +(T|P|TP)? +\\d+\\.\\d)+ $", Lines[Average]))
            << Lines[Average].data();
        for (const QByteArray& Value : Lines[Average].split(' '))
            if (Matches("^\\d+\\.\\d$", Value))
                Readings.push_back(int(std::lround(Value.toDouble() * 10)));
    }
    ++Average;
    EXPECT_TRUE(Matches("^Overall Avg +\\d+\\.\\d pCi/l$", Lines.value(Average)));
    EXPECT_TRUE(Matches("^EPA Protocol +\\d+\\.\\d pCi/l$", Lines.value(Average + 1)));
    EXPECT_EQ(Lines.value(Average + 2), QByteArray(24, '-'));
    const qsizetype Upper = Lines.indexOf(SimPrintout::ScaleLine);
    const qsizetype Lower = Lines.lastIndexOf(SimPrintout::ScaleLine);
    EXPECT_GT(Upper, Average + 3);
    EXPECT_EQ(Lower - Upper - 1, qsizetype(Readings.size())) << "one graph row per reading";
    for (qsizetype I = Upper + 1; I < Lower && I - Upper <= qsizetype(Readings.size()); ++I) {
        // Bars grow with the readings.
        EXPECT_TRUE(Matches("^   \\|~*$", Lines[I]));
        if (I > Upper + 1 && Readings[I - Upper - 2] < Readings[I - Upper - 1]) {
            EXPECT_LE(Lines[I - 1].size(), Lines[I].size());
        }
    }
    EXPECT_TRUE(Lines.value(Lower + 1).startsWith("   0   ")) << "axis under the lower scale line";
    EXPECT_EQ(Lines.value(Lower + 2), QByteArray(24, '-')) << "the last separator closes it";
    EXPECT_EQ(Lines.size(), Lower + 5) << "two closing lines";
    return Readings;
}

TEST(SimPrintout, HasTheInstrumentsShape) {
    const SimPrintout::TOptions Cases[] = {
        // 4 hours with seed 11 and 1200 with seed 12 are the acquisition fixtures.
        {1, 0, true, false}, {4, 11, true, false},    {48, 0, false, false},
        {48, 5, true, true}, {1200, 12, true, false}, {1560, 0, true, false}};
    for (const SimPrintout::TOptions& Options : Cases) {
        SCOPED_TRACE(testing::Message() << Options.Hours << " hours, control " << Options.Control
                                        << ", crlf " << Options.CrLf);
        const QByteArray Printout = SimPrintout::Generate(Options);
        const std::vector<int> Readings = CheckShape(Printout, Options.CrLf ? "\r\n" : "\r");
        const std::vector<SimPrintout::TReading> Expected = SimPrintout::Readings(Options);
        ASSERT_EQ(Readings.size(), Expected.size());
        for (size_t I = 0; I < Readings.size(); ++I)
            EXPECT_EQ(Readings[I], Expected[I].Tenths);
        EXPECT_EQ(Printout.contains('\xFF'), Options.Control);
        EXPECT_EQ(Printout, SimPrintout::Generate(Options)) << "deterministic";
    }
}

TEST(Sim, UsageErrorsExitWithTwo) {
    for (const char* Line :
         {"--bogus", "extra", "--hours", "--hours ten", "--hours 4 --hours 5", "--baud 10",
          "--baud 1200 --unpaced", "--delay -5", "--pause a:10", "--com 10",
          "--control --no-control", "--file /etc/hostname --crlf", "--print --com 1"}) {
        const QStringList Arguments = QString::fromLatin1(Line).split(QLatin1Char(' '));
        SCOPED_TRACE(Arguments.join(' ').toStdString());
        const TSim::TResult Result = TSim::Run(Arguments);
        EXPECT_EQ(Result.ExitCode, 2);
        EXPECT_TRUE(Result.StdErr.contains("Try 'halvorn-sim --help'"))
            << Result.StdErr.constData();
        EXPECT_TRUE(Result.StdOut.isEmpty());
    }
}

TEST(Sim, PrintWritesTheBuiltInPrintoutAndTheFixturesMatchIt) {
    const QString Fixtures = QStringLiteral(HALVORN_ACQUISITION_FIXTURES);
    for (const auto& [Line, Bytes] :
         {std::pair<const char*, QByteArray>{"--print", SimPrintout::Generate({})},
          {"--print --hours 7 --seed 3 --no-control --crlf",
           SimPrintout::Generate({7, 3, false, true})},
          {"--print --hours 4 --seed 11", TestSupport::ReadFile(Fixtures + "/short_printout.txt")},
          {"--print --hours 1200 --seed 12",
           TestSupport::ReadFile(Fixtures + "/long_printout.txt")}})
        EXPECT_EQ(TSim::Run(QString::fromLatin1(Line).split(QLatin1Char(' '))).StdOut, Bytes)
            << Line;
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

// CR LF line ends reach the line unchanged, here through the port the store maps as COM2.
TEST(Sim, CrLfReachesComTwoUnchanged) {
    TestSupport::TempConfig Config;
    TSim Sim({"--com", "2", "--hours", "30", "--crlf", "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    EXPECT_EQ(PortMap::DevicePath("COM2"), Sim.DevicePath());
    EXPECT_TRUE(PortPresent(2));
    const QByteArray Expected = SimPrintout::Generate({30, 0, true, true});
    EXPECT_EQ(ReadBytes(QStringLiteral("COM2"), Expected.size()), Expected);
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
    const QDeadlineTimer Deadline(10000);
    for (const auto& [Waiting, Text] : {std::pair{100u, Data.left(100)}, {400u, Data.mid(100)}}) {
        Download.Start();
        while (Port.BytesWaiting() < Waiting && !Deadline.hasExpired())
            usleep(1000);
        // Two ticks in a row inside the pause see the same count: the download ends there.
        EXPECT_FALSE(Download.Tick());
        EXPECT_TRUE(Download.Tick());
        EXPECT_EQ(Download.DownloadText(), Text);
    }
}

} // namespace
