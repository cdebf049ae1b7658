#include "SerialTest.h"

#include "components/serial/DeviceBroadcast.h"
#include "components/serial/DeviceWatcher.h"
#include "components/serial/SerialLine.h"

#include <thread>
#include <tuple>

using namespace SerialTest;

TEST(SerialLine, OpensTerminalsExclusivelyAndGivesThemBack) {
    TestSupport::TempConfig config;
    TestSupport::TPty pty;
    const QString plain = config.ConfigHome() + "/plain";
    TestSupport::WriteFile(plain, "x");
    EXPECT_FALSE(TSerialLine::Open(plain));
    EXPECT_EQ(errno, ENOTTY);
    EXPECT_FALSE(TSerialLine::Probe(plain));
    EXPECT_FALSE(TSerialLine::Open("/nonexistent/tty"));
    EXPECT_EQ(errno, ENOENT);

    auto line = TSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(line);
    EXPECT_FALSE(TSerialLine::Open(pty.SlavePath()));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_FALSE(TSerialLine::Probe(pty.SlavePath()));
    line->Close();
    EXPECT_TRUE(TSerialLine::Probe(pty.SlavePath()));
    TDcb dcb;
    EXPECT_FALSE(line->GetState(dcb));
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(line->Purge(Comm::PurgeRxClear));
}

TEST(SerialLine, StateKeepsWhatTermiosCannotExpressAndRefusesImpossibleLines) {
    TestSupport::TPty pty;
    auto line = TSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(line);
    TDcb wanted;
    wanted.BaudRate = 57600;
    wanted.StopBits = Comm::TwoStopBits;
    wanted.fParity = true;
    wanted.fOutX = true;
    wanted.fInX = true;
    wanted.XonChar = 0x01;
    wanted.XoffChar = 0x02;
    wanted.fDtrControl = Comm::DtrControlHandshake;
    wanted.fDsrSensitivity = true;
    wanted.fNull = true;
    wanted.XonLim = 77;
    wanted.XoffLim = 66;
    wanted.EofChar = 0x1a;
    wanted.EvtChar = '\n';
    ASSERT_TRUE(line->SetState(wanted)) << std::strerror(errno);
    const auto fields = [](const TDcb& d) {
        return std::tuple(d.BaudRate, d.StopBits, d.fParity, d.fOutX, d.fInX, d.XonChar, d.XoffChar,
                          d.fDtrControl, d.fDsrSensitivity, d.fNull, d.XonLim, d.XoffLim, d.EofChar,
                          d.EvtChar);
    };
    TDcb read;
    ASSERT_TRUE(line->GetState(read));
    EXPECT_EQ(fields(read), fields(wanted));

    const std::pair<const char*, std::function<void(TDcb&)>> impossible[] = {
        {"14400 baud", [](TDcb& d) { d.BaudRate = 14400; }},
        {"0 baud", [](TDcb& d) { d.BaudRate = 0; }},
        {"9 data bits", [](TDcb& d) { d.ByteSize = 9; }},
        {"1.5 stop bits with 8 data bits", [](TDcb& d) { d.StopBits = Comm::One5StopBits; }},
        {"parity 5", [](TDcb& d) { d.Parity = 5; }},
        {"text mode", [](TDcb& d) { d.fBinary = false; }},
        {"RTS control 4", [](TDcb& d) { d.fRtsControl = 4; }},
    };
    for (const auto& [why, spoil] : impossible) {
        TDcb dcb = wanted;
        spoil(dcb);
        EXPECT_FALSE(line->SetState(dcb)) << why;
        EXPECT_EQ(errno, EINVAL) << why;
        ASSERT_TRUE(line->GetState(read));
        EXPECT_EQ(fields(read), fields(wanted)) << why;
    }
}

TEST(SerialLine, OverlappedReadsEndByTimeLimitDataAbortOrHangUp) {
    TestSupport::TPty pty;
    auto line = TSerialLine::Open(pty.SlavePath());
    ASSERT_TRUE(line);
    TOverlapped ov;
    char buffer[4] = {};
    quint32 count = 99;

    // The component's time-outs: a read ends after a millisecond with whatever came.
    TCommTimeouts timeouts;
    timeouts.ReadTotalTimeoutConstant = 1;
    ASSERT_TRUE(line->SetTimeouts(timeouts));
    EXPECT_FALSE(line->Read(ov, buffer, 1, &count));
    EXPECT_EQ(errno, Comm::IoPending);
    EXPECT_TRUE(line->WaitFor(ov, 5000));
    EXPECT_TRUE(line->GetResult(ov, count, true));
    EXPECT_EQ(count, 0u);

    pty.Write("Q");
    ASSERT_TRUE(WaitUntil([&] { return line->Read(ov, buffer, 1, &count) && count == 1; }));
    EXPECT_EQ(buffer[0], 'Q');

    // Without a time limit a read waits until a purge aborts it from another thread.
    ASSERT_TRUE(line->SetTimeouts(TCommTimeouts{}));
    EXPECT_FALSE(line->Read(ov, buffer, 1, &count));
    std::thread purger([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        line->Purge(Comm::PurgeRxAbort | Comm::PurgeRxClear);
    });
    EXPECT_FALSE(line->GetResult(ov, count, true));
    EXPECT_EQ(errno, ECANCELED);
    purger.join();

    // A pending read meets the hang-up; the next one fails at once.
    EXPECT_FALSE(line->Read(ov, buffer, 1, &count));
    pty.CloseMaster();
    EXPECT_FALSE(line->GetResult(ov, count, true));
    EXPECT_EQ(errno, EIO);
    EXPECT_FALSE(line->Read(ov, buffer, 1, &count));
    EXPECT_EQ(errno, EIO);
    EXPECT_FALSE(ov.EventSet()) << "a refused request signals nothing";
}

TEST(DeviceWatcher, RecordsNameOnlyMappedPorts) {
    TestSupport::TempConfig config;
    PortMap::MapPort(QStringLiteral("COM2"), QStringLiteral("/dev/ttyUSB0"));
    PortMap::MapPort(QStringLiteral("COM6"), QStringLiteral("/dev/serial/by-id/usb-Halvorn-if00"));
    struct TCase {
        QString Node;
        QStringList Links;
        QByteArray Port;
    };
    const TCase cases[] = {
        {"/dev/ttyUSB0", {}, "COM2"},
        {"/dev/ttyUSB1", {"/dev/serial/by-id/usb-Halvorn-if00"}, "COM6"},
        {"/dev/ttyACM0", {"/dev/serial/by-id/other"}, ""},
        {"/dev/ttyS0", {}, "COM1"}, // the classical mapping
    };
    for (const TCase& c : cases) {
        const QByteArray record = TDeviceWatcher::RecordFor(c.Node, c.Links);
        if (c.Port.isEmpty()) {
            EXPECT_TRUE(record.isEmpty()) << c.Node.toStdString();
            continue;
        }
        EXPECT_EQ(DeviceBroadcast::DeviceType(record.constData()), DeviceBroadcast::DevTypPort);
        EXPECT_EQ(DeviceBroadcast::PortNameOf(record.constData()), c.Port);
    }
    TDeviceWatcher watcher;
    EXPECT_FALSE(watcher.Active());
    if (watcher.Start()) {
        EXPECT_TRUE(TDeviceWatcher::Supported());
        EXPECT_TRUE(watcher.Active());
    }
    watcher.Stop();
    EXPECT_FALSE(watcher.Active());
}
