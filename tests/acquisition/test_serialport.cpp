#include "acquisition/TSerialPort.h"

#include "Printout.h"
#include "Pty.h"
#include "Sim.h"
#include "TestSupport.h"
#include "platform/PortMap.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

using TestSupport::OpenDescriptorCount;
using TestSupport::TPty;
using TestSupport::TSim;

namespace {

// Runs F and returns the ECommError it throws; fails the test when it throws none.
template <typename F> ECommError CommErrorOf(F&& Call) {
    try {
        Call();
    } catch (const ECommError& Error) {
        return Error;
    }
    ADD_FAILURE() << "no ECommError";
    return ECommError(0, 0);
}

// Calls BytesWaiting until it reports Count or the time is up.
uint32_t AwaitBytes(TSerialPort& Port, uint32_t Count, int TimeoutMs = 10000) {
    const QDeadlineTimer Deadline(TimeoutMs);
    uint32_t Waiting = 0;
    while ((Waiting = Port.BytesWaiting()) < Count && !Deadline.hasExpired())
        usleep(1000);
    return Waiting;
}

// Descriptors of this process open on Path.
QList<int> DescriptorsOn(const QString& Path) {
    QList<int> Found;
    for (const QFileInfo& Entry : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
        if (Entry.symLinkTarget() == Path)
            Found.append(Entry.fileName().toInt());
    return Found;
}

// Drains the port with ReadLine and checks every piece's shape on the way.
QByteArray DrainByLines(TSerialPort& Port) {
    QByteArray All;
    char Buffer[200];
    while (Port.BytesWaiting() > 0) {
        const uint32_t Count = Port.ReadLine(Buffer, sizeof Buffer);
        EXPECT_GE(Count, 2u);
        EXPECT_LE(Count, 200u);
        EXPECT_EQ(Buffer[Count - 1], 0);
        const QByteArray Piece(Buffer, Count - 1);
        // A piece ends at its carriage return or because the buffer is full.
        EXPECT_TRUE(Piece.endsWith('\r') || Piece.size() == 199) << Piece.size();
        const qsizetype Cr = Piece.indexOf('\r');
        EXPECT_TRUE(Cr < 0 || Cr == Piece.size() - 1);
        All += Piece;
    }
    return All;
}

TEST(SerialPort, ClosedPortRefusesQueueAndReads) {
    TSerialPort Port;
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_EQ(Port.PortName(), "COM1");
    char Buffer[8];
    EXPECT_EQ(CommErrorOf([&] { Port.BytesWaiting(); }).Code, ECommError::PortNotOpen);
    EXPECT_EQ(CommErrorOf([&] { Port.ReadByte(); }).Code, ECommError::PortNotOpen);
    EXPECT_EQ(CommErrorOf([&] { Port.ReadLine(Buffer, 8); }).Code, ECommError::PortNotOpen);
    EXPECT_EQ(CommErrorOf([&] { Port.RequireOpen(); }).Code, ECommError::PortNotOpen);
    EXPECT_NO_THROW(Port.RequireClosed());
    EXPECT_NO_THROW(Port.Close());
}

TEST(SerialPort, FailedOpenLeavesThePortClosedAndNoDescriptor) {
    QTemporaryFile Plain;
    ASSERT_TRUE(Plain.open());
    const struct {
        QString Path;
        uint8_t Code;
        int Errno;
    } Cases[] = {
        {"/nonexistent/ttyUSB9", ECommError::OpenFailed, ENOENT},
        {"/", ECommError::OpenFailed, EISDIR},
        {"/dev/null", ECommError::GetStateFailed, ENOTTY},
        {Plain.fileName(), ECommError::GetStateFailed, ENOTTY},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Path.toStdString());
        const int Before = OpenDescriptorCount();
        TSerialPort Port;
        Port.SetPortName(Case.Path);
        const ECommError Error = CommErrorOf([&] { Port.Open(); });
        EXPECT_EQ(Error.Code, Case.Code);
        EXPECT_EQ(Error.SystemError, uint32_t(Case.Errno));
        EXPECT_FALSE(Port.IsOpen());
        EXPECT_EQ(OpenDescriptorCount(), Before);
        EXPECT_EQ(CommErrorOf([&] { Port.BytesWaiting(); }).Code, ECommError::PortNotOpen);
    }
}

TEST(SerialPort, OpenSetsARawLineAndKeepsTheDriversOtherSettings) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    // Settings a raw 8N1 receiver has no business changing.
    const int Probe = ::open(Pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(Probe, 0);
    termios Before{};
    ASSERT_EQ(tcgetattr(Probe, &Before), 0);
    Before.c_iflag |= ICRNL | IXON | IXOFF;
    Before.c_lflag |= ICANON | ECHO | ISIG;
    Before.c_cflag |= PARENB | CSTOPB | HUPCL;
    Before.c_cc[VEOF] = 5;
    Before.c_cc[VSTART] = 21;
    ASSERT_EQ(tcsetattr(Probe, TCSANOW, &Before), 0);

    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    termios After{};
    ASSERT_EQ(tcgetattr(Probe, &After), 0);
    ::close(Probe);
    EXPECT_EQ(After.c_iflag & (ICRNL | IXON | IXOFF | ISTRIP | INLCR | IGNCR), 0u);
    EXPECT_EQ(After.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(After.c_oflag & OPOST, 0u);
    EXPECT_EQ(After.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t(CS8));
    EXPECT_EQ(After.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
    EXPECT_EQ(cfgetispeed(&After), speed_t(B1200));
    EXPECT_NE(After.c_cflag & HUPCL, 0u);
    EXPECT_EQ(After.c_cc[VEOF], 5);
    EXPECT_EQ(After.c_cc[VSTART], 21);
    EXPECT_EQ(Port.Timeouts().ReadTotalTimeoutConstant + Port.Timeouts().ReadTotalTimeoutMultiplier,
              251u);
}

TEST(SerialPort, OpenIsExclusiveAndOpenTwiceDoesNothing) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    TSerialPort First;
    First.SetPortName(Pty.SlavePath());
    First.Open();
    const int Held = OpenDescriptorCount();
    EXPECT_NO_THROW(First.Open());
    EXPECT_EQ(OpenDescriptorCount(), Held);

    EXPECT_EQ(CommErrorOf([&] { First.SetPortName("/dev/ttyS3"); }).Code,
              ECommError::PortAlreadyOpen);
    EXPECT_EQ(First.PortName(), Pty.SlavePath());

    TSerialPort Second;
    Second.SetPortName(Pty.SlavePath());
    const ECommError Busy = CommErrorOf([&] { Second.Open(); });
    EXPECT_EQ(Busy.Code, ECommError::OpenFailed);
    EXPECT_TRUE(Busy.SystemError == EBUSY || Busy.SystemError == EWOULDBLOCK) << Busy.SystemError;
    EXPECT_FALSE(Second.IsOpen());
    EXPECT_EQ(OpenDescriptorCount(), Held);

    // The first holder still receives, and once it lets go the port is free again.
    ASSERT_TRUE(Pty.Write("x"));
    EXPECT_EQ(AwaitBytes(First, 1), 1u);
    First.Close();
    EXPECT_FALSE(First.IsOpen());
    EXPECT_NO_THROW(Second.Open());
    EXPECT_TRUE(Second.IsOpen());
}

TEST(SerialPort, ReadLineCutsPiecesAtCarriageReturnsAndCapacity) {
    const QByteArray Long250(250, 'x');
    const struct {
        const char* Name;
        QByteArray Input;
        uint32_t Capacity;
        std::vector<QByteArray> Pieces;
    } Cases[] = {
        {"line", "AB\r", 200, {"AB\r"}},
        {"two lines", "A\rBC\r", 200, {"A\r", "BC\r"}},
        {"empty lines", "\r\r", 200, {"\r", "\r"}},
        {"no carriage return", Long250, 200, {Long250.left(199), Long250.mid(199)}},
        {"exactly full", QByteArray(198, 'y') + '\r', 200, {QByteArray(198, 'y') + '\r'}},
        {"one past full", QByteArray(199, 'y') + '\r', 200, {QByteArray(199, 'y'), "\r"}},
        {"zero byte kept", QByteArray("A\0B\r", 4), 200, {QByteArray("A\0B\r", 4)}},
        {"small buffer", "ABCDE\r", 3, {"AB", "CD", "E\r"}},
        {"line feed is text", "A\nB\r", 200, {"A\nB\r"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TPty Pty;
        ASSERT_TRUE(Pty.Ok());
        ASSERT_TRUE(Pty.Write(Case.Input));
        TSerialPort Port;
        Port.SetPortName(Pty.SlavePath());
        Port.Open();
        ASSERT_EQ(AwaitBytes(Port, Case.Input.size()), uint32_t(Case.Input.size()));
        std::vector<char> Buffer(Case.Capacity + 8, '#');
        for (const QByteArray& Expected : Case.Pieces) {
            std::fill(Buffer.begin(), Buffer.end(), '#');
            const uint32_t Count = Port.ReadLine(Buffer.data(), Case.Capacity);
            EXPECT_EQ(Count, uint32_t(Expected.size() + 1));
            EXPECT_EQ(QByteArray(Buffer.data(), Expected.size()), Expected);
            EXPECT_EQ(Buffer[Expected.size()], 0);
            EXPECT_EQ(Buffer[Expected.size() + 1], '#') << "wrote past the zero byte";
        }
        EXPECT_EQ(Port.BytesWaiting(), 0u);
    }
}

TEST(SerialPort, ReadLineWithNothingToReadOrNoRoom) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    char Buffer[4] = {'#', '#', '#', '#'};
    EXPECT_EQ(Port.ReadLine(Buffer, 4), 0u);
    EXPECT_EQ(Buffer[0], 0);
    EXPECT_EQ(Buffer[1], '#');

    ASSERT_TRUE(Pty.Write("AB\r"));
    ASSERT_EQ(AwaitBytes(Port, 3), 3u);
    Buffer[0] = '#';
    EXPECT_EQ(Port.ReadLine(Buffer, 0), 0u);
    EXPECT_EQ(Buffer[0], '#');
    EXPECT_EQ(Port.BytesWaiting(), 3u);
}

TEST(SerialPort, ReadByteTimesOutWithoutAByte) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    EXPECT_EQ(Port.ReadByte(), std::nullopt);
    ASSERT_TRUE(Pty.Write("\xFF"));
    EXPECT_EQ(Port.ReadByte(), std::optional<uint8_t>(0xFF));
}

TEST(SerialPort, QueueHoldsAWholePrintoutBeyondTheKernelsBuffer) {
    SimPrintout::TOptions Options;
    Options.Hours = 1560;
    const QByteArray Printout = SimPrintout::Generate(Options);
    ASSERT_GT(Printout.size(), 30 * 1024);
    ASSERT_LE(Printout.size(), int(TSerialPort::InputQueueSize));

    TSim Sim({"--hours", "1560", "--unpaced"});
    ASSERT_TRUE(Sim.Started());
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    // Nothing is read until the whole printout waits.
    EXPECT_EQ(AwaitBytes(Port, Printout.size()), uint32_t(Printout.size()));
    EXPECT_EQ(DrainByLines(Port), Printout);
}

TEST(SerialPort, QueueStopsAtItsSizeAndTheKernelKeepsTheRest) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    QByteArray Data;
    for (int I = 0; Data.size() < int(TSerialPort::InputQueueSize) + 3000; ++I)
        Data += QByteArray::number(I) + '\r';
    // Feed in steps, as the line would, moving each into the queue.
    for (qsizetype At = 0; At < Data.size(); At += 1000) {
        ASSERT_TRUE(Pty.Write(Data.mid(At, 1000)));
        AwaitBytes(Port, std::min<uint32_t>(At + 1000, TSerialPort::InputQueueSize), 2000);
    }
    EXPECT_EQ(Port.BytesWaiting(), TSerialPort::InputQueueSize);
    QByteArray Read;
    while (Read.size() < Data.size()) {
        const std::optional<uint8_t> Byte = Port.ReadByte();
        if (!Byte)
            break;
        Read += char(*Byte);
    }
    EXPECT_EQ(Read, Data);
}

TEST(SerialPort, HangUpFailsTheCallThatMeetsIt) {
    for (const bool QueueFirst : {true, false}) {
        SCOPED_TRACE(QueueFirst ? "queue count" : "read");
        TPty Pty;
        ASSERT_TRUE(Pty.Ok());
        TSerialPort Port;
        Port.SetPortName(Pty.SlavePath());
        Port.Open();
        ASSERT_TRUE(Pty.Write("abc"));
        ASSERT_EQ(AwaitBytes(Port, 3), 3u);
        Pty.CloseMaster();
        if (QueueFirst) {
            const ECommError Error = CommErrorOf([&] { Port.BytesWaiting(); });
            EXPECT_EQ(Error.Code, ECommError::QueueStatusFailed);
            EXPECT_EQ(Error.SystemError, uint32_t(EIO));
        } else {
            // Bytes already taken from the line stay readable; the hang-up comes next.
            for (const char Expected : {'a', 'b', 'c'})
                EXPECT_EQ(Port.ReadByte(), std::optional<uint8_t>(Expected));
            const ECommError Error = CommErrorOf([&] { Port.ReadByte(); });
            EXPECT_EQ(Error.Code, ECommError::ReadFailed);
            EXPECT_EQ(Error.SystemError, uint32_t(EIO));
        }
        // Every later call fails at once rather than hanging or spinning.
        EXPECT_EQ(CommErrorOf([&] { Port.BytesWaiting(); }).Code, ECommError::QueueStatusFailed);
        EXPECT_TRUE(Port.IsOpen());
        EXPECT_NO_THROW(Port.Close());
    }
}

TEST(SerialPort, SimulatorExitingWhileAReadWaitsFailsTheRead) {
    TSim Sim({"--file", "/dev/null", "--linger", "150"});
    ASSERT_TRUE(Sim.Started());
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    const QDeadlineTimer Deadline(10000);
    bool Failed = false;
    while (!Failed && !Deadline.hasExpired()) {
        try {
            EXPECT_EQ(Port.ReadByte(), std::nullopt);
        } catch (const ECommError& Error) {
            EXPECT_EQ(Error.Code, ECommError::ReadFailed);
            Failed = true;
        }
    }
    EXPECT_TRUE(Failed);
    EXPECT_EQ(Sim.WaitForExit(), 0);
}

TEST(SerialPort, PortPresentFollowsThePortMap) {
    TestSupport::TempConfig Config;
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    PortMap::MapPort("COM1", Pty.SlavePath());
    PortMap::MapPort("COM2", "/nonexistent/ttyUSB7");
    PortMap::MapPort("COM3", "/dev/null");
    EXPECT_TRUE(PortPresent(1));
    EXPECT_FALSE(PortPresent(2));
    EXPECT_FALSE(PortPresent(3));

    // The probe leaves the port free; a port in use is not offered.
    const int Before = OpenDescriptorCount();
    TSerialPort Port;
    Port.SetPortName("COM1");
    ASSERT_NO_THROW(Port.Open());
    EXPECT_FALSE(PortPresent(1));
    Port.Close();
    EXPECT_TRUE(PortPresent(1));
    EXPECT_EQ(OpenDescriptorCount(), Before);

    Port.SetPortName("COM2");
    const ECommError Missing = CommErrorOf([&] { Port.Open(); });
    EXPECT_EQ(Missing.Code, ECommError::OpenFailed);
    EXPECT_EQ(Missing.SystemError, uint32_t(ENOENT));
}

TEST(SerialPort, FailedCloseStillReleasesTheDescriptor) {
    TPty Pty;
    ASSERT_TRUE(Pty.Ok());
    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    const QList<int> Before = DescriptorsOn(Pty.SlavePath());
    Port.Open();
    const int Open = OpenDescriptorCount();
    const auto PortDescriptor = [&] {
        for (const int Fd : DescriptorsOn(Pty.SlavePath()))
            if (!Before.contains(Fd))
                return Fd;
        return -1;
    };
    // Another party closing our descriptor makes our close fail with EBADF.
    const int Fd = PortDescriptor();
    ASSERT_GE(Fd, 0);
    ::close(Fd);
    ASSERT_EQ(OpenDescriptorCount(), Open - 1);
    const ECommError Error = CommErrorOf([&] { Port.Close(); });
    EXPECT_EQ(Error.Code, ECommError::CloseFailed);
    EXPECT_EQ(Error.SystemError, uint32_t(EBADF));
    EXPECT_FALSE(Port.IsOpen());
    EXPECT_NO_THROW(Port.Close());
}

} // namespace
