#include "SerialTest.h"
#include "Sim.h"

#include "components/serial/SerialLine.h"
#include "platform/ComponentPalette.h"

#include <QApplication>
#include <QPointer>
#include <QVariant>
#include <termios.h>

using namespace SerialTest;

namespace {

speed_t MasterSpeed(int Master) {
    termios t{};
    ::tcgetattr(Master, &t); // a pty master reports its slave's settings
    return ::cfgetospeed(&t);
}

} // namespace

TEST(AdvancedCom, NewComponentHasItsInitialValues) {
    TAdvancedCom com;
    const std::pair<const char*, QVariant> initial[] = {
        {"BufSize", 254u},
        {"Baud", 9600u},
        {"DataBits", 8u},
        {"Parity", 0},
        {"StopBits", 0},
        {"Port", 1u},
        {"PacketSize", 80u},
        {"Timeout", 100u},
        {"Dtr", false},
        {"Rts", false},
        {"DtrControl", 1},
        {"RtsControl", 1},
        {"ControlVersion", QStringLiteral("1.04.00")},
    };
    for (const auto& [name, value] : initial) {
        const QVariant read = com.property(name);
        ASSERT_TRUE(read.isValid()) << name;
        if (value.typeId() == QMetaType::QString)
            EXPECT_EQ(read.toString(), value.toString()) << name;
        else
            EXPECT_EQ(read.toUInt(), value.toUInt()) << name;
    }
    EXPECT_FALSE(com.Initialized);
    EXPECT_TRUE(com.LastError.isEmpty());
    EXPECT_FALSE(com.ComThread);
    EXPECT_EQ(com.PacketListener, nullptr);
    EXPECT_EQ(com.GetPacketSize(), -1);

    EXPECT_TRUE(com.setProperty("ControlVersion", QStringLiteral("9.99")));
    EXPECT_EQ(com.ControlVersion(), QStringLiteral("1.04.00"));
    EXPECT_TRUE(com.setProperty("Parity", TAdvancedCom::mark));
    EXPECT_EQ(com.Parity(), TAdvancedCom::mark);
}

TEST_F(TComTest, ConfigurationSettersRefuseWhileOpenAndAcceptWhileClosed) {
    struct TCase {
        const char* Message;
        std::function<void(TAdvancedCom&)> Set;
        std::function<bool(const TAdvancedCom&)> Changed;
    };
    const TCase cases[] = {
        {"Buffer can only be resized before ComInit()!", [](auto& c) { c.SetBufSize(100); },
         [](auto& c) { return c.BufSize() == 100; }},
        {"Data bits can only be set before ComInit()!", [](auto& c) { c.SetDataBits(7); },
         [](auto& c) { return c.DataBits() == 7; }},
        {"Parity can only be set before ComInit()!", [](auto& c) { c.SetParity(c.even); },
         [](auto& c) { return c.Parity() == c.even; }},
        {"Stop bits can only be set before ComInit()!", [](auto& c) { c.SetStopBits(c.s2); },
         [](auto& c) { return c.StopBits() == c.s2; }},
        {"Port can only be set before ComInit()!", [](auto& c) { c.SetPortA(2); },
         [](auto& c) { return c.Port() == 2; }},
        {"Timeout can only be set before ComInit()!", [](auto& c) { c.SetTimeout(5); },
         [](auto& c) { return c.Timeout() == 5; }},
        {"Dtr control can only be set before ComInit()!",
         [](auto& c) { c.SetDtrControl(c.dtrDisable); },
         [](auto& c) { return c.DtrControl() == c.dtrDisable; }},
        {"Rts control can only be set before ComInit()!",
         [](auto& c) { c.SetRtsControl(c.rtsDisable); },
         [](auto& c) { return c.RtsControl() == c.rtsDisable; }},
    };
    for (const TCase& c : cases) {
        TAdvancedCom com;
        Open(com);
        EXPECT_EQ(MessageOf([&] { c.Set(com); }), QString::fromLatin1(c.Message));
        EXPECT_FALSE(c.Changed(com)) << c.Message;
        com.ComClose();
        EXPECT_EQ(MessageOf([&] { c.Set(com); }), QStringLiteral("<no error>"));
        EXPECT_TRUE(c.Changed(com)) << c.Message;
    }
}

TEST_F(TComTest, OneAndAHalfStopBitsNeedFiveDataBitsOpenOrClosed) {
    const QString combination =
        QStringLiteral("1.5 Stop Bits with 6,7, or 8 Data Bits is an invalid combination");
    TAdvancedCom com;
    EXPECT_EQ(MessageOf([&] { com.SetStopBits(com.s1_5); }), combination);
    EXPECT_EQ(com.StopBits(), com.s1);
    com.SetDataBits(5);
    com.SetStopBits(com.s1_5);
    EXPECT_EQ(MessageOf([&] { com.SetDataBits(6); }), combination);
    EXPECT_EQ(com.DataBits(), 5u);
    com.SetDataBits(5);

    // The port accepts the line (a pty keeps 8 data bits whatever it is told).
    Open(com);
    EXPECT_EQ(MessageOf([&] { com.SetDataBits(8); }), combination);
    EXPECT_EQ(MessageOf([&] { com.SetDataBits(5); }),
              QStringLiteral("Data bits can only be set before ComInit()!"));
}

TEST_F(TComTest, BaudWhileOpenChangesTheRunningLine) {
    TAdvancedCom com;
    Open(com);
    EXPECT_EQ(MasterSpeed(Pty.Master()), speed_t(B9600));
    com.SetBaud(115200);
    EXPECT_EQ(com.Baud(), 115200u);
    EXPECT_EQ(MasterSpeed(Pty.Master()), speed_t(B115200));

    // A rate the system cannot set is refused and changes nothing.
    EXPECT_EQ(MessageOf([&] { com.SetBaud(14400); }), QStringLiteral("Baud rate cannot be set!"));
    EXPECT_EQ(com.Baud(), 115200u);
    EXPECT_EQ(MasterSpeed(Pty.Master()), speed_t(B115200));
}

TEST_F(TComTest, FailedComInitShowsNothingAndLeavesPortZero) {
    struct TCase {
        const char* Why;
        std::function<void(TAdvancedCom&)> Prepare;
    };
    const QString plainFile = Config.ConfigHome() + "/not-a-tty";
    TestSupport::WriteFile(plainFile, "x");
    const TCase cases[] = {
        {"missing device",
         [](auto&) {
             PortMap::MapPort(QStringLiteral("COM1"), QStringLiteral("/nonexistent/tty"));
         }},
        {"not a terminal", [&](auto&) { PortMap::MapPort(QStringLiteral("COM1"), plainFile); }},
        {"rate the system cannot set", [](auto& c) { c.SetBaud(14400); }},
        {"queues too large to allocate", [](auto& c) { c.SetBufSize(0xFFFFFFFFu); }},
        {"port number beyond the map", [](auto& c) { c.SetPortA(0xFFFFFFFFu); }},
    };
    for (const TCase& c : cases) {
        PortMap::MapPort(QStringLiteral("COM1"), Pty.SlavePath());
        TAdvancedCom com;
        bool fired = false;
        com.OnComInit = [&](QObject*) { fired = true; };
        c.Prepare(com);
        com.ComInit();
        EXPECT_FALSE(fired) << c.Why;
        EXPECT_FALSE(com.Initialized) << c.Why;
        EXPECT_EQ(com.Port(), 0u) << c.Why;
        EXPECT_FALSE(com.ComThread) << c.Why;
        EXPECT_FALSE(com.PortHandle) << c.Why;
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << c.Why;
        // The device is free again.
        EXPECT_TRUE(TSerialLine::Probe(Pty.SlavePath())) << c.Why;
    }
}

TEST_F(TComTest, ComInitOpensFiresAndStartsWithBufSizePackets) {
    TAdvancedCom com;
    QObject* sender = nullptr;
    com.OnComInit = [&](QObject* Sender) { sender = Sender; };
    Open(com);
    EXPECT_EQ(sender, &com);
    EXPECT_TRUE(com.Initialized);
    EXPECT_EQ(com.GetPacketSize(), 254);
    EXPECT_EQ(com.ComThread->Packet, QByteArray(258, 'X'));
    EXPECT_FALSE(TSerialLine::Probe(Pty.SlavePath())) << "the port is not held exclusively";
    com.SetPacketSize(16);
    EXPECT_EQ(com.GetPacketSize(), 16);
    EXPECT_EQ(com.PacketSize(), 16u);

    // ComInit again reopens with the new settings; the reader starts over at BufSize.
    com.ComClose();
    com.SetBufSize(32);
    com.ComInit();
    EXPECT_EQ(com.GetPacketSize(), 32);
    EXPECT_EQ(com.ComThread->Packet.size(), 36);
}

TEST_F(TComTest, LengthPacketsCompleteAgainWithoutRestart) {
    TAdvancedCom com;
    TCapture capture;
    capture.Attach(com);
    Open(com);
    com.SetPacketSize(4);
    com.SetPacketNotify(true);
    Pty.Write("ABC");
    Pty.Write("D");
    ASSERT_TRUE(WaitUntil([&] { return capture.Events.size() == 1; }));
    Pty.Write("E");
    ASSERT_TRUE(WaitUntil([&] { return capture.Events.size() == 2; }));

    const QByteArray tail(258 - 5, 'X');
    for (const auto& packets : {capture.Listened(), capture.Events}) {
        ASSERT_EQ(packets.size(), 2u);
        EXPECT_EQ(packets[0].Count, 4u);
        EXPECT_EQ(packets[0].Text, "ABCDX" + tail);
        EXPECT_EQ(packets[1].Count, 5u);
        EXPECT_EQ(packets[1].Text, "ABCDE" + tail);
    }

    // A restart counts from the start again but keeps the earlier characters.
    com.SetPacketSize(2);
    Pty.Write("12");
    ASSERT_TRUE(WaitUntil([&] { return capture.Events.size() == 3; }));
    EXPECT_EQ(capture.Events[2].Count, 2u);
    EXPECT_EQ(capture.Events[2].Text, "12CDE" + tail);
}

TEST_F(TComTest, StopBytePacketsCompleteOnTheStopByte) {
    struct TCase {
        quint8 Stop;
        QByteArray Before;
        QByteArray StopByte;
    };
    const TCase cases[] = {{13, "12", "\r"}, {255, "\x01\x00\x7f", "\xff"}, {0, "ab", {"\0", 1}}};
    for (const TCase& c : cases) {
        TAdvancedCom com;
        TCapture capture;
        capture.Attach(com);
        Open(com);
        com.SetStopByte(c.Stop);
        com.SetUseStopByte(true);
        com.SetPacketNotify(true);
        Pty.Write(c.Before);
        ASSERT_TRUE(
            WaitUntil([&] { return com.ComThread->PacketCount == quint32(c.Before.size()); }));
        EXPECT_TRUE(capture.Events.empty()) << int(c.Stop);
        Pty.Write(c.StopByte);
        ASSERT_TRUE(WaitUntil([&] { return capture.Events.size() == 1; })) << int(c.Stop);
        EXPECT_EQ(capture.Events[0].Count, quint32(c.Before.size() + 1));
        EXPECT_EQ(capture.Events[0].Text.left(c.Before.size() + 1), c.Before + c.StopByte);
        EXPECT_EQ(capture.ListenedCount(), 1u);
    }
}

TEST_F(TComTest, NotifyOffStillCallsDataRecieved) {
    TAdvancedCom com;
    TCapture capture;
    capture.Attach(com);
    Open(com);
    com.SetPacketSize(1);
    Pty.Write("xyz");
    ASSERT_TRUE(WaitUntil([&] { return capture.ListenedCount() == 3; }));
    QCoreApplication::processEvents();
    EXPECT_TRUE(capture.Events.empty());
    EXPECT_EQ(capture.Listened()[2].Count, 3u);
}

TEST_F(TComTest, ReaderSettingsDoNotOutliveTheReader) {
    TAdvancedCom com;
    com.SetStopByte(13); // no reader yet: nothing to keep them
    com.SetUseStopByte(true);
    com.SetPacketNotify(true);
    Open(com);
    EXPECT_EQ(com.ComThread->StopByte, 0);
    EXPECT_FALSE(com.ComThread->UseStopByte);
    EXPECT_FALSE(com.ComThread->PacketNotify);
    com.SetStopByte(13);
    com.ComInit();
    EXPECT_EQ(com.ComThread->StopByte, 0);
}

TEST_F(TComTest, BytesBeyondAFullPacketAreDroppedAndCounted) {
    TAdvancedCom com;
    TCapture capture;
    capture.Attach(com);
    com.SetBufSize(4);
    Open(com);
    com.SetPacketSize(100); // longer than the packet text can hold
    Pty.Write("123456789");
    ASSERT_TRUE(WaitUntil([&] { return com.ComThread->DroppedBytes == 1; }));
    EXPECT_EQ(com.ComThread->PacketCount, 8u);
    EXPECT_EQ(com.ComThread->Packet, "12345678");
    EXPECT_EQ(capture.ListenedCount(), 0u);
    com.SetPacketSize(2); // a restart makes room again
    Pty.Write("ab");
    ASSERT_TRUE(WaitUntil([&] { return capture.ListenedCount() == 1; }));
    EXPECT_EQ(capture.Listened()[0].Text, "ab345678");
    com.ComClose();
    EXPECT_FALSE(com.ComThread);
}

TEST_F(TComTest, WriteSendsOrRecordsOrDoesNothing) {
    TAdvancedCom com;
    com.Write("abc", 3);
    EXPECT_EQ(com.LastError, QStringLiteral("Com not initialized."));
    EXPECT_FALSE(com.Initialized);

    Open(com);
    com.Write(QByteArray("\x00\x01hello\xff\r", 9));
    EXPECT_EQ(ReadFrom(Pty.Master(), 9), QByteArray("\x00\x01hello\xff\r", 9));
    com.Write("zz", 0);
    com.Write("zz", -5);
    com.Write("!", 1);
    EXPECT_EQ(ReadFrom(Pty.Master(), 2, 200), "!");
    Pty.CloseMaster(); // a hung-up line reports the system error and stays open
    EXPECT_EQ(MessageOf([&] { com.Write("abc", 3); }), QStringLiteral("Send Error: %1").arg(EIO));
    EXPECT_TRUE(com.ComThread);

    com.ComClose();
    EXPECT_TRUE(com.Initialized) << "ComClose leaves Initialized alone";
    com.LastError.clear();
    com.Write("abc", 3);
    EXPECT_FALSE(com.Initialized);
    EXPECT_EQ(com.LastError, QStringLiteral("Com not initialized."));
}

TEST_F(TComTest, WriteThatCannotFinishTimesOutAndKeepsThePortOpen) {
    TAdvancedCom com;
    com.SetBaud(4000000); // 2.4 ms of wait limit per byte
    Open(com);
    // The master reads nothing: the line fills and the last write cannot finish.
    QString raised;
    for (int i = 0; i < 100000 && raised.isEmpty(); ++i) {
        try {
            com.Write(QByteArray(100, 'w'));
        } catch (const Exception& e) {
            raised = e.Message;
        }
    }
    EXPECT_EQ(raised, QStringLiteral("Send Timeout"));
    EXPECT_TRUE(com.ComThread);
    EXPECT_TRUE(com.Initialized);
}

TEST(AdvancedCom, WriteWaitLimitNeverOverflows) {
    EXPECT_EQ(TAdvancedCom::WriteWaitLimit(1000, 9600), 1000000u);
    EXPECT_EQ(TAdvancedCom::WriteWaitLimit(1, 115200), 83u);
    EXPECT_EQ(TAdvancedCom::WriteWaitLimit(INT32_MAX, 1), quint64(INT32_MAX) * 9600000u);
}

TEST_F(TComTest, ComCloseIsHarmlessTwiceAndTheDestructorCloses) {
    auto com = std::make_unique<TAdvancedCom>();
    com->ComClose();
    Open(*com);
    com->ComClose();
    com->ComClose();
    EXPECT_FALSE(com->ComThread);
    EXPECT_FALSE(com->PortHandle);
    EXPECT_TRUE(TSerialLine::Probe(Pty.SlavePath()));
    com->ComInit();
    EXPECT_FALSE(TSerialLine::Probe(Pty.SlavePath()));
    com.reset();
    EXPECT_TRUE(TSerialLine::Probe(Pty.SlavePath()));
}

TEST_F(TComTest, ComCloseInsidePacketHandlerDoesNotDeadlock) {
    TAdvancedCom com;
    QPointer<TComThread> retired;
    int calls = 0;
    com.OnPacketReceived = [&](QObject* Sender, QByteArray& Buffer) {
        ++calls;
        retired = qobject_cast<TComThread*>(Sender);
        com.ComClose();
        EXPECT_FALSE(com.ComThread);
        EXPECT_EQ(Buffer.left(1), "A") << "the packet outlives the close";
    };
    Open(com);
    com.SetPacketSize(1);
    com.SetPacketNotify(true);
    Pty.Write("A");
    ASSERT_TRUE(WaitUntil([&] { return calls == 1; }));
    EXPECT_FALSE(com.PortHandle);
    ASSERT_TRUE(WaitUntil([&] { return retired.isNull(); })) << "the reader never ended";
    // The port was given back at once and opens again.
    com.ComInit();
    EXPECT_TRUE(com.ComThread);
    EXPECT_EQ(calls, 1);
}

namespace {

// A reader that stops inside the delivery of a byte until termination is requested.
class TStallingThread : public TComThread {
public:
    using TComThread::TComThread;
    std::atomic<bool> Stalled{false};

protected:
    void AddToPacket(const char* Bytes, quint32 Count) override {
        TComThread::AddToPacket(Bytes, Count);
        Stalled = true;
        while (!isInterruptionRequested())
            QThread::msleep(1);
    }
};

class TStallingCom : public TAdvancedCom {
public:
    void SetupThread() override {
        ComThread = std::make_unique<TStallingThread>(
            PortHandle, this, OnStatusChanged, OnPacketReceived, ReadOverlapped, BufSize(), false);
        ComThread->start();
    }
};

} // namespace

TEST_F(TComTest, TerminationWhileDeliveringGivesNoCall) {
    TStallingCom com;
    TCapture capture;
    capture.Attach(com);
    Open(com);
    com.SetPacketSize(1);
    com.SetPacketNotify(true);
    Pty.Write("A");
    auto* reader = static_cast<TStallingThread*>(com.ComThread.get());
    ASSERT_TRUE(WaitUntil([&] { return reader->Stalled.load(); }));
    com.ComClose();
    QCoreApplication::processEvents();
    EXPECT_EQ(capture.ListenedCount(), 0u);
    EXPECT_TRUE(capture.Events.empty());
}

TEST_F(TComTest, HungUpLineIsCountedWithoutSpinning) {
    TAdvancedCom com;
    Open(com);
    Pty.CloseMaster();
    QElapsedTimer timer;
    timer.start();
    QThread::msleep(100);
    com.ComThread->requestInterruption(); // freeze the counts
    const qint64 elapsed = timer.elapsed();
    ASSERT_TRUE(WaitUntil([&] { return !com.ComThread->Running; }));
    qint32 errors = 0;
    for (int i = 0; i < TComThread::ErrorSlots; ++i)
        errors += com.ComThread->ErrorCounts[i];
    EXPECT_GT(errors + com.ComThread->ReadFailures, 0);
    // Each failed request is followed by a pause of at least a millisecond.
    EXPECT_LE(errors, elapsed + 2);
    com.ComClose();
    EXPECT_FALSE(com.ComThread);
}

TEST(ComThread, ErrorTableCountsThirtyTwoDistinctCodes) {
    TestSupport::TPty pty;
    auto line = TSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(line);
    TComThread reader(line, nullptr, {}, {}, std::make_shared<TOverlapped>(), 8, false);
    for (qint32 code = 1; code <= 33; ++code)
        reader.CountReadError(code);
    reader.CountReadError(7);
    EXPECT_EQ(reader.ErrorCodes[31], 32);
    EXPECT_EQ(reader.ErrorCounts[6], 2);
    qint32 total = 0;
    for (int i = 0; i < TComThread::ErrorSlots; ++i)
        total += reader.ErrorCounts[i];
    EXPECT_EQ(total, 33) << "the 33rd code is not counted";
}

TEST_F(TComTest, ModemLinesNeedAReaderAndAPortWithModemControl) {
    TAdvancedCom com;
    bool dsr = true, cts = true;
    EXPECT_EQ(MessageOf([&] { com.GetModemLines(dsr, cts); }),
              QStringLiteral("Open Port before calling get Modem State"));
    EXPECT_EQ(MessageOf([&] { com.SetDtr(true); }),
              QStringLiteral("Initialize port before setting DTR"));
    EXPECT_EQ(MessageOf([&] { com.SetRts(true); }),
              QStringLiteral("Set Serial port before Starting"));
    EXPECT_EQ(MessageOf([&] { com.Purge(); }), QStringLiteral("<no error>"));
    TDcb dcb;
    EXPECT_EQ(MessageOf([&] { com.GetSerialState(dcb); }), QStringLiteral("GetCommState Failed."));

    com.SetDtrControl(com.dtrHandshake);
    com.SetRtsControl(com.rtsHandshake);
    Open(com);
    EXPECT_EQ(MessageOf([&] { com.SetDtr(true); }),
              QStringLiteral("Can't set DTR when DtrControl is dtrHandshake"));
    EXPECT_EQ(MessageOf([&] { com.SetRts(true); }),
              QStringLiteral("Can't set RTS when RtsControl is rtsHandshake"));
    // A pseudo-terminal has no modem lines (ENOTTY).
    EXPECT_EQ(MessageOf([&] { com.GetModemLines(dsr, cts); }),
              QStringLiteral("Failed to retreive Modem Status"));
    com.ComClose();
    com.SetDtrControl(com.dtrEnable);
    com.SetRtsControl(com.rtsEnable);
    com.ComInit();
    EXPECT_EQ(MessageOf([&] { com.SetDtr(true); }), QStringLiteral("DTR cannot be set!"));
    EXPECT_EQ(MessageOf([&] { com.SetRts(true); }), QStringLiteral("RTS cannot be set!"));
    EXPECT_FALSE(com.Dtr());
    EXPECT_FALSE(com.Rts());
}

TEST(AdvancedCom, WaitForAndRegister) {
    TAdvancedCom com;
    QElapsedTimer timer;
    timer.start();
    com.WaitFor(-1);
    com.WaitFor(0);
    EXPECT_LT(timer.elapsed(), 1000) << "a negative wait must not become an endless one";
    timer.restart();
    com.WaitFor(20);
    EXPECT_GE(timer.elapsed(), 20);

    AdvancedCom::Register();
    AdvancedCom::Register();
    EXPECT_EQ(
        ComponentPalette::Classes(QStringLiteral("ZEV")).count(QStringLiteral("TAdvancedCom")), 1);
}

TEST(AdvancedComSim, SimulatedPrintoutArrivesWhole) {
    TestSupport::TempConfig config;
    const TestSupport::TSim::TResult printout = TestSupport::TSim::Run({"--print"});
    ASSERT_EQ(printout.ExitCode, 0);
    ASSERT_GT(printout.StdOut.size(), 1000);
    TestSupport::TSim sim({"--unpaced", "--com", "1"});
    ASSERT_TRUE(sim.Started());

    // Lines by their carriage return; the host restarts the packet after each one.
    struct TLines : TPacketListener {
        std::mutex Lock;
        QByteArray Text;
        void PacketArrived(TAdvancedCom* Com, const char* Packet) override {
            std::lock_guard<std::mutex> guard(Lock);
            Text.append(Packet, Com->ComThread->PacketCount);
            Com->SetPacketSize(Com->PacketSize());
        }
        qsizetype Size() {
            std::lock_guard<std::mutex> guard(Lock);
            return Text.size();
        }
    } lines;
    TAdvancedCom com;
    com.PacketListener = &lines;
    com.SetPortA(1);
    com.ComInit();
    ASSERT_TRUE(com.ComThread);
    com.SetStopByte(13);
    com.SetUseStopByte(true);
    ASSERT_TRUE(WaitUntil([&] { return lines.Size() >= printout.StdOut.size(); }));
    com.ComClose();
    EXPECT_EQ(lines.Text, printout.StdOut);
}
