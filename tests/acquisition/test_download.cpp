#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"

#include "report/CaptureText.h"
#include "report/ReportBuilder.h"

#include "Printout.h"
#include "Pty.h"
#include "Sim.h"
#include "TestSupport.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <unistd.h>

using TestSupport::TPty;
using TState = TDownload::TState;

namespace {

// Waits until the port's queue holds Count bytes, so a tick sees what the test wrote.
void Settle(TSerialPort& Port, uint32_t Count) {
    const QDeadlineTimer Deadline(5000);
    while (Port.BytesWaiting() < Count && !Deadline.hasExpired())
        usleep(500);
    ASSERT_EQ(Port.BytesWaiting(), Count);
}

struct TStep {
    QByteArray Arrives; // written to the line before the tick
    bool Restart;       // Start again before the tick
    bool Ended;
    TState State;
    int LastQueueCount;
};

TEST(Download, TicksEndAtTheFirstUnchangedCount) {
    const struct {
        const char* Name;
        std::vector<TStep> Steps;
        QByteArray Text;
    } Cases[] = {
        {"nothing sent: listens for ever",
         {{"", false, false, TState::Listening, 0},
          {"", false, false, TState::Listening, 0},
          {"", false, false, TState::Listening, 0}},
         ""},
        {"one burst",
         {{"", false, false, TState::Listening, 0},
          {"AB\r", false, false, TState::Acquiring, 3},
          {"", false, true, TState::Idle, 3}},
         "AB\r"},
        {"growing count keeps it going",
         {{"Line 1\r", false, false, TState::Acquiring, 7},
          {"Line 2\r", false, false, TState::Acquiring, 14},
          {"L", false, false, TState::Acquiring, 15},
          {"ine 3\r", false, false, TState::Acquiring, 21},
          {"", false, true, TState::Idle, 21}},
         "Line 1\rLine 2\rLine 3\r"},
        {"restart while acquiring keeps the bytes and stores the count afresh",
         {{"ABCDE", false, false, TState::Acquiring, 5},
          {"", true, false, TState::Acquiring, 5},
          {"", false, true, TState::Idle, 5}},
         "ABCDE"},
        {"zero byte ends its piece",
         {{QByteArray("AB\0CD\rEF\r", 9), false, false, TState::Acquiring, 9},
          {"", false, true, TState::Idle, 9}},
         "ABEF\r"},
        {"300 bytes and CR arrive whole",
         {{QByteArray(300, 'z') + '\r', false, false, TState::Acquiring, 301},
          {"", false, true, TState::Idle, 301}},
         QByteArray(300, 'z') + '\r'},
        // A zero byte inside the first piece shows where that piece ends: 199 bytes, then 102.
        {"300 bytes and CR come as 199 and 102",
         {{QByteArray(150, 'a') + '\0' + QByteArray(149, 'b') + '\r', false, false,
           TState::Acquiring, 301},
          {"", false, true, TState::Idle, 301}},
         QByteArray(150, 'a') + QByteArray(101, 'b') + '\r'},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TPty Pty;
        ASSERT_TRUE(Pty.Ok());
        TSerialPort Port;
        Port.SetPortName(Pty.SlavePath());
        TDownload Download(Port);
        Download.Start();
        EXPECT_EQ(Download.State(), TState::Listening);
        EXPECT_TRUE(Port.IsOpen());
        uint32_t Written = 0;
        for (size_t I = 0; I < Case.Steps.size(); ++I) {
            SCOPED_TRACE(I);
            const TStep& Step = Case.Steps[I];
            ASSERT_TRUE(Pty.Write(Step.Arrives));
            Written += Step.Arrives.size();
            Settle(Port, Written);
            if (Step.Restart) {
                Download.Start();
                EXPECT_EQ(Download.State(), TState::Listening);
                EXPECT_EQ(Download.LastQueueCount(), 0);
                EXPECT_TRUE(Port.IsOpen());
            }
            EXPECT_EQ(Download.Tick(), Step.Ended);
            EXPECT_EQ(Download.State(), Step.State);
            EXPECT_EQ(Download.LastQueueCount(), Step.LastQueueCount);
            EXPECT_EQ(Port.IsOpen(), Step.State != TState::Idle);
        }
        EXPECT_EQ(Download.DownloadText(), Case.Text);
    }
}

TEST(Download, ErrorsEndTheDownloadCleanlyAndANewStartWorks) {
    TSerialPort Port;
    TDownload Download(Port);
    auto Pty = std::make_unique<TPty>();
    Port.SetPortName(Pty->SlavePath());
    ASSERT_TRUE(Pty->Write("Half a printout\r"));
    Download.Start();
    Settle(Port, 16);
    EXPECT_FALSE(Download.Tick());
    Pty->CloseMaster(); // the instrument's cable pulled
    try {
        Download.Tick();
        ADD_FAILURE() << "no error";
    } catch (const ECommError& Error) {
        EXPECT_EQ(Error.Code, ECommError::QueueStatusFailed);
    }
    EXPECT_EQ(Download.State(), TState::Idle);
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_TRUE(Download.DownloadText().isEmpty()) << "no report from a partial transfer";
    EXPECT_FALSE(Download.Tick());

    Pty = std::make_unique<TPty>();
    Port.SetPortName(Pty->SlavePath());
    ASSERT_TRUE(Pty->Write("Whole\r"));
    Download.Start();
    Settle(Port, 6);
    EXPECT_FALSE(Download.Tick());
    EXPECT_TRUE(Download.Tick());
    EXPECT_EQ(Download.TakeDownloadText(), "Whole\r");
    EXPECT_TRUE(Download.DownloadText().isEmpty());

    // A failed open leaves nothing of the earlier download behind.
    ASSERT_TRUE(Pty->Write("Again\r"));
    Download.Start();
    Settle(Port, 6);
    Download.Tick();
    ASSERT_TRUE(Download.Tick());
    Port.SetPortName("/nonexistent/ttyS9");
    EXPECT_THROW(Download.Start(), ECommError);
    EXPECT_EQ(Download.State(), TState::Idle);
    EXPECT_TRUE(Download.DownloadText().isEmpty());

    Port.SetPortName(Pty->SlavePath());
    Download.Start();
    Download.Abort();
    EXPECT_EQ(Download.State(), TState::Idle);
    EXPECT_FALSE(Port.IsOpen());
}

// Printouts back to back, Size bytes in all, the last line ended.
QByteArray LongPrintout(qsizetype Size) {
    QByteArray Bytes;
    SimPrintout::TOptions Options;
    Options.Hours = 2000;
    for (Options.Seed = 1; Bytes.size() < Size; ++Options.Seed)
        Bytes += SimPrintout::Generate(Options);
    Bytes.truncate(Size - 1);
    return Bytes + '\r';
}

// Ticks every 250 ms as the window's timer does, until the transfer has ended. Drain: the
// port is also asked between ticks, as fast as a line without pacing needs.
QByteArray Downloaded(const QString& Device, bool Drain) {
    TSerialPort Port;
    Port.SetPortName(Device);
    TDownload Download(Port);
    Download.Start();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point Deadline = Clock::now() + std::chrono::seconds(100);
    Clock::time_point TickAt = Clock::now();
    for (;;) {
        TickAt += std::chrono::milliseconds(TDownload::TickIntervalMs);
        while (Drain && Clock::now() < TickAt - std::chrono::milliseconds(5)) {
            Port.BytesWaiting();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        std::this_thread::sleep_until(TickAt);
        TickAt = Clock::now();
        if (Download.Tick() || TickAt > Deadline)
            break;
    }
    return Download.TakeDownloadText();
}

// Far longer than the 32 KiB a port is asked to hold: the count keeps growing, so the download
// ends only on a quiet line and gives what the builder makes of the bytes sent.
TEST(Download, LongPrintoutsArriveWhole) {
    const struct {
        qsizetype Size;
        QStringList Pace;
        bool Drain;
    } Cases[] = {
        {200 * 1000, {"--baud", "115200"}, false},
        {2 * 1000 * 1000, {"--unpaced"}, true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Size);
        QTemporaryDir Dir;
        const QString File = Dir.filePath("printout.bin");
        const QByteArray Sent = LongPrintout(Case.Size);
        TestSupport::WriteFile(File, Sent);
        // A line quiet for a tick ends a download by design, and on a loaded machine the
        // simulator itself can stall that long: a short transfer is tried once more. A queue
        // that stops growing falls short every time.
        QByteArray Text;
        for (int Attempt = 0; Attempt < 2 && Text.size() != Sent.size(); ++Attempt) {
            TestSupport::TSim Sim(QStringList{"--file", File} + Case.Pace);
            ASSERT_TRUE(Sim.Started());
            Text = Downloaded(Sim.DevicePath(), Case.Drain);
        }
        EXPECT_EQ(Text.size(), Sent.size());
        EXPECT_TRUE(Text == CaptureText::DownloadText(Sent));
        EXPECT_EQ(BuildReport(Text, TReportInfo{}),
                  BuildReport(CaptureText::DownloadText(Sent), TReportInfo{}));
    }
}

TEST(Download, StatusTexts) {
    EXPECT_EQ(StatusText(TState::Idle, 2), "Idle");
    EXPECT_EQ(StatusText(TState::Listening, 2), "Listening for data on Com 2...");
    EXPECT_EQ(StatusText(TState::Acquiring, 4), "Acquiring Data on Com 4 - Please Wait...");
}

} // namespace
