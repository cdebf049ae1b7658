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

namespace {

template <typename F> ECommError CommErrorOf(F&& Call) {
    try {
        Call();
    } catch (const ECommError& Error) {
        return Error;
    }
    ADD_FAILURE() << "no ECommError";
    return ECommError(0, 0);
}

uint32_t AwaitBytes(TSerialPort& Port, uint32_t Count) {
    const QDeadlineTimer Deadline(10000);
    uint32_t Waiting = 0;
    while ((Waiting = Port.BytesWaiting()) < Count && !Deadline.hasExpired())
        usleep(1000);
    return Waiting;
}

struct TOpenPort {
    TPty Pty;
    TSerialPort Port;
    TOpenPort() {
        Port.SetPortName(Pty.SlavePath());
        Port.Open();
    }
};

TEST(SerialPort, ClosedPortRefusesQueueAndReads) {
    TSerialPort Port;
    char Buffer[8];
    EXPECT_EQ(Port.PortName(), "COM1");
    EXPECT_EQ(CommErrorOf([&] { Port.BytesWaiting(); }).Code, ECommError::PortNotOpen);
    EXPECT_EQ(CommErrorOf([&] { Port.ReadByte(); }).Code, ECommError::PortNotOpen);
    EXPECT_EQ(CommErrorOf([&] { Port.ReadLine(Buffer, 8); }).Code, ECommError::PortNotOpen);
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
    }
}

TEST(SerialPort, OpenSetsARawLineAndKeepsTheDriversOtherSettings) {
    TPty Pty;
    const TFd Probe(::open(Pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    ASSERT_TRUE(Probe.Valid());
    termios Line{};
    tcgetattr(Probe.Get(), &Line);
    Line.c_iflag |= ICRNL | IXON | IXOFF;
    Line.c_lflag |= ICANON | ECHO | ISIG;
    Line.c_cflag |= PARENB | CSTOPB | HUPCL;
    Line.c_cc[VEOF] = 5;
    ASSERT_EQ(tcsetattr(Probe.Get(), TCSANOW, &Line), 0);

    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    ASSERT_EQ(tcgetattr(Probe.Get(), &Line), 0);
    EXPECT_EQ(Line.c_iflag & (ICRNL | IXON | IXOFF), 0u);
    EXPECT_EQ(Line.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(Line.c_cflag & (CSIZE | PARENB | CSTOPB | CREAD | CLOCAL),
              tcflag_t(CS8 | CREAD | CLOCAL));
    EXPECT_EQ(cfgetispeed(&Line), speed_t(B1200));
    EXPECT_NE(Line.c_cflag & HUPCL, 0u);
    EXPECT_EQ(Line.c_cc[VEOF], 5);
}

// A line left cooked by an earlier program: every byte value still arrives as it was sent.
TEST(SerialPort, EveryByteValueArrivesIntactWhateverTheLineWasSetTo) {
    TPty Pty;
    const TFd Probe(::open(Pty.SlavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    ASSERT_TRUE(Probe.Valid());
    termios Line{};
    ASSERT_EQ(tcgetattr(Probe.Get(), &Line), 0);
    Line.c_iflag |= ISTRIP | IGNCR | INLCR | ICRNL | IXON | IXOFF | PARMRK;
    Line.c_lflag |= ICANON | ISIG | IEXTEN;
    ASSERT_EQ(tcsetattr(Probe.Get(), TCSANOW, &Line), 0);

    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    QByteArray Sent;
    for (int Value = 0; Value < 256; ++Value)
        Sent += char(Value);
    ASSERT_TRUE(Pty.Write(Sent));
    AwaitBytes(Port, 256);
    QByteArray Received;
    while (Port.BytesWaiting() > 0)
        Received += char(*Port.ReadByte());
    EXPECT_EQ(Received.toHex(' ').toStdString(), Sent.toHex(' ').toStdString());
}

TEST(SerialPort, OpenIsExclusiveAndOpenTwiceDoesNothing) {
    TOpenPort First;
    const int Held = OpenDescriptorCount();
    EXPECT_NO_THROW(First.Port.Open());
    EXPECT_EQ(OpenDescriptorCount(), Held);
    EXPECT_EQ(CommErrorOf([&] { First.Port.SetPortName("COM2"); }).Code,
              ECommError::PortAlreadyOpen);
    EXPECT_EQ(First.Port.PortName(), First.Pty.SlavePath());

    TSerialPort Second;
    Second.SetPortName(First.Pty.SlavePath());
    const ECommError Busy = CommErrorOf([&] { Second.Open(); });
    EXPECT_EQ(Busy.Code, ECommError::OpenFailed);
    EXPECT_TRUE(Busy.SystemError == EBUSY || Busy.SystemError == EWOULDBLOCK) << Busy.SystemError;
    EXPECT_EQ(OpenDescriptorCount(), Held);
    First.Port.Close();
    EXPECT_NO_THROW(Second.Open());
}

TEST(SerialPort, ReadLineCutsPiecesAtCarriageReturnsAndCapacity) {
    const QByteArray Long(250, 'x');
    const struct {
        QByteArray Input;
        uint32_t Capacity;
        std::vector<QByteArray> Pieces;
    } Cases[] = {
        {"AB\r", 200, {"AB\r"}},
        {"A\r\rBC\r", 200, {"A\r", "\r", "BC\r"}},
        {Long, 200, {Long.left(199), Long.mid(199)}},
        {QByteArray(199, 'y') + '\r', 200, {QByteArray(199, 'y'), "\r"}},
        {QByteArray("A\0B\n\r", 5), 200, {QByteArray("A\0B\n\r", 5)}},
        {"ABCDE\r", 3, {"AB", "CD", "E\r"}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Input.left(20).toStdString());
        TOpenPort Line;
        ASSERT_TRUE(Line.Pty.Write(Case.Input));
        ASSERT_EQ(AwaitBytes(Line.Port, Case.Input.size()), uint32_t(Case.Input.size()));
        for (const QByteArray& Expected : Case.Pieces) {
            std::vector<char> Buffer(Case.Capacity + 1, '#');
            EXPECT_EQ(Line.Port.ReadLine(Buffer.data(), Case.Capacity), Expected.size() + 1);
            EXPECT_EQ(QByteArray(Buffer.data(), Buffer.size()),
                      Expected + '\0' + QByteArray(Case.Capacity - Expected.size(), '#'));
        }
    }
}

TEST(SerialPort, ReadLineWithNothingWaitingOrNoRoom) {
    TOpenPort Line;
    char Buffer[2] = {'#', '#'};
    EXPECT_EQ(Line.Port.ReadLine(Buffer, 2), 0u);
    EXPECT_EQ(QByteArray(Buffer, 2), QByteArray("\0#", 2));
    EXPECT_EQ(Line.Port.ReadByte(), std::nullopt);

    ASSERT_TRUE(Line.Pty.Write("AB\r"));
    ASSERT_EQ(AwaitBytes(Line.Port, 3), 3u);
    Buffer[0] = '#';
    EXPECT_EQ(Line.Port.ReadLine(Buffer, 0), 0u);
    EXPECT_EQ(Buffer[0], '#');
    EXPECT_EQ(Line.Port.BytesWaiting(), 3u);
}

TEST(SerialPort, QueueHoldsAWholePrintoutBeyondTheKernelsBuffer) {
    SimPrintout::TOptions Options;
    Options.Hours = 1560;
    const QByteArray Printout = SimPrintout::Generate(Options);
    ASSERT_GT(Printout.size(), 30 * 1024);

    TestSupport::TSim Sim({"--hours", "1560", "--unpaced"});
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    EXPECT_EQ(AwaitBytes(Port, Printout.size()), uint32_t(Printout.size()));
    QByteArray All;
    char Buffer[200];
    while (Port.BytesWaiting() > 0) {
        const uint32_t Count = Port.ReadLine(Buffer, sizeof Buffer);
        const QByteArray Piece(Buffer, Count - 1);
        EXPECT_TRUE(Piece.indexOf('\r') == Piece.size() - 1 || Piece.size() == 199);
        All += Piece;
    }
    EXPECT_EQ(All, Printout);
}

// Writes Data into the line while the port takes what the kernel holds, as its queue grows.
void Feed(TOpenPort& Line, const QByteArray& Data) {
    qsizetype Sent = 0;
    while (Sent < Data.size()) {
        const ssize_t N = ::write(Line.Pty.Master(), Data.constData() + Sent, Data.size() - Sent);
        if (N > 0)
            Sent += N;
        else
            Line.Port.BytesWaiting();
    }
}

QByteArray Pattern(qsizetype Size, int Seed) {
    QByteArray Bytes(Size, Qt::Uninitialized);
    for (qsizetype i = 0; i < Size; ++i)
        Bytes[i] = char((i * 7 + Seed) % 251);
    return Bytes;
}

TEST(SerialPort, QueueWrapsAndGrowsKeepingEveryByteInOrder) {
    TOpenPort Line;
    EXPECT_EQ(Line.Port.QueueCapacity(), TSerialPort::InputQueueSize);
    // Taking bytes from the front makes the next ones wrap around the ring's end; growing then
    // has to put both runs in order.
    const QByteArray First = Pattern(30000, 1);
    Feed(Line, First);
    ASSERT_EQ(AwaitBytes(Line.Port, 30000), 30000u);
    QByteArray Read;
    for (int i = 0; i < 20000; ++i)
        Read += char(*Line.Port.ReadByte());
    const QByteArray Second = Pattern(100000, 2);
    Feed(Line, Second);
    ASSERT_EQ(AwaitBytes(Line.Port, 110000), 110000u) << "the count grows past 32 KiB";
    EXPECT_EQ(Line.Port.QueueCapacity(), 4 * TSerialPort::InputQueueSize);
    for (int i = 0; i < 30000; ++i)
        Read += char(*Line.Port.ReadByte());
    const QByteArray Third = Pattern(40000, 3);
    Feed(Line, Third);
    ASSERT_EQ(AwaitBytes(Line.Port, 120000), 120000u);
    const QByteArray All = First + Second + Third;
    // What a failed download keeps: the grown queue as it stands, across the ring's end.
    EXPECT_TRUE(Line.Port.Queued() == All.mid(Read.size()));
    while (Line.Port.BytesWaiting() > 0)
        Read += char(*Line.Port.ReadByte());
    EXPECT_TRUE(Read == All);
    Line.Port.Close();
    EXPECT_EQ(Line.Port.QueueCapacity(), 0u) << "a grown queue is given back";
}

TEST(SerialPort, MoreThanTheQueuesLimitIsAFault) {
    TOpenPort Line;
    const QByteArray Block = Pattern(1 << 20, 3);
    for (uint32_t Sent = 0; Sent < TSerialPort::MaxQueueSize; Sent += Block.size())
        Feed(Line, Block);
    ASSERT_EQ(AwaitBytes(Line.Port, TSerialPort::MaxQueueSize), TSerialPort::MaxQueueSize);
    ASSERT_TRUE(Line.Pty.Write("!"));
    const QDeadlineTimer Deadline(10000);
    std::optional<ECommError> Error;
    while (!Error && !Deadline.hasExpired()) {
        try {
            Line.Port.BytesWaiting();
        } catch (const ECommError& E) {
            Error.emplace(E);
        }
    }
    ASSERT_TRUE(Error);
    EXPECT_EQ(Error->Code, ECommError::QueueStatusFailed);
    EXPECT_EQ(Error->SystemError, uint32_t(ENOBUFS));
    EXPECT_TRUE(Error->Message.startsWith("The printout is longer than 64 MiB"))
        << Error->Message.toStdString();
}

TEST(SerialPort, HangUpFailsTheCallThatMeetsIt) {
    for (const bool Read : {false, true}) {
        TOpenPort Line;
        ASSERT_TRUE(Line.Pty.Write("abc"));
        ASSERT_EQ(AwaitBytes(Line.Port, 3), 3u);
        Line.Pty.CloseMaster();
        // Bytes already taken from the line stay readable.
        for (const char Expected : {'a', 'b', 'c'}) {
            if (Read) {
                EXPECT_EQ(Line.Port.ReadByte(), std::optional<uint8_t>(Expected));
            }
        }
        const ECommError Error = Read ? CommErrorOf([&] { Line.Port.ReadByte(); })
                                      : CommErrorOf([&] { Line.Port.BytesWaiting(); });
        EXPECT_EQ(Error.Code, Read ? ECommError::ReadFailed : ECommError::QueueStatusFailed);
        EXPECT_EQ(Error.SystemError, uint32_t(EIO));
        EXPECT_EQ(CommErrorOf([&] { Line.Port.BytesWaiting(); }).Code,
                  ECommError::QueueStatusFailed);
    }
}

TEST(SerialPort, SimulatorExitingWhileAReadWaitsFailsTheRead) {
    TestSupport::TSim Sim({"--file", "/dev/null", "--linger", "150"});
    TSerialPort Port;
    Port.SetPortName(Sim.DevicePath());
    Port.Open();
    const QDeadlineTimer Deadline(10000);
    std::optional<ECommError> Error;
    while (!Error && !Deadline.hasExpired()) {
        try {
            Port.ReadByte();
        } catch (const ECommError& E) {
            Error.emplace(E);
        }
    }
    ASSERT_TRUE(Error);
    EXPECT_EQ(Error->Code, ECommError::ReadFailed);
    EXPECT_EQ(Sim.WaitForExit(), 0);
}

TEST(SerialPort, PortPresentFollowsThePortMapAndLeavesThePortFree) {
    TestSupport::TempConfig Config;
    TPty Pty;
    PortMap::MapPort("COM1", Pty.SlavePath());
    PortMap::MapPort("COM2", "/nonexistent/ttyUSB7");
    PortMap::MapPort("COM3", "/dev/null");
    const int Before = OpenDescriptorCount();
    EXPECT_TRUE(PortPresent(1));
    EXPECT_FALSE(PortPresent(2));
    EXPECT_FALSE(PortPresent(3));
    EXPECT_EQ(OpenDescriptorCount(), Before);

    TSerialPort Port;
    Port.SetPortName("COM1");
    ASSERT_NO_THROW(Port.Open());
    EXPECT_FALSE(PortPresent(1)) << "in use";
    Port.Close();
    Port.SetPortName("COM2");
    EXPECT_EQ(CommErrorOf([&] { Port.Open(); }).SystemError, uint32_t(ENOENT));
}

TEST(SerialPort, FailedCloseStillReleasesTheDescriptor) {
    TPty Pty;
    const auto On = [&] {
        QList<int> Found;
        for (const QFileInfo& Fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
            if (Fd.symLinkTarget() == Pty.SlavePath())
                Found.append(Fd.fileName().toInt());
        return Found;
    };
    const QList<int> Before = On();
    TSerialPort Port;
    Port.SetPortName(Pty.SlavePath());
    Port.Open();
    // Someone else closing our descriptor makes our close fail.
    for (const int Fd : On())
        if (!Before.contains(Fd))
            ::close(Fd);
    const ECommError Error = CommErrorOf([&] { Port.Close(); });
    EXPECT_EQ(Error.Code, ECommError::CloseFailed);
    EXPECT_EQ(Error.SystemError, uint32_t(EBADF));
    EXPECT_FALSE(Port.IsOpen());
}

} // namespace
