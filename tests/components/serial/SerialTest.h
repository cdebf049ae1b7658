#pragma once

#include "Pty.h"
#include "TestSupport.h"

#include "components/serial/AdvancedCom.h"
#include "platform/Exception.h"
#include "platform/PortMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace SerialTest {

// What arrives on Fd within TimeoutMs, up to Count bytes.
inline QByteArray ReadFrom(int Fd, int Count, int TimeoutMs = 2000) {
    QByteArray data;
    QElapsedTimer timer;
    timer.start();
    while (data.size() < Count && timer.elapsed() < TimeoutMs) {
        pollfd p{Fd, POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::read(Fd, buffer, sizeof buffer);
        if (n > 0)
            data.append(buffer, n);
    }
    return data;
}

using TestSupport::MessageOf;
using TestSupport::WaitUntil;

struct TPacket {
    quint32 Count;
    QByteArray Text;
};

// Collects packets from the reader thread (listener) and from the packet event.
class TCapture : public TPacketListener {
public:
    void PacketArrived(TAdvancedCom* Com, const char* Packet) override {
        std::lock_guard<std::mutex> guard(FLock);
        const quint32 count = Com->ComThread->PacketCount;
        FListened.push_back({count, QByteArray(Packet, Com->ComThread->Packet.size())});
    }
    void Attach(TAdvancedCom& Com) {
        Com.PacketListener = this;
        Com.OnPacketReceived = [this](QObject* Sender, QByteArray& Buffer) {
            auto* reader = qobject_cast<TComThread*>(Sender);
            ASSERT_NE(reader, nullptr);
            Events.push_back({reader->PacketCount, Buffer});
        };
    }
    std::vector<TPacket> Listened() const {
        std::lock_guard<std::mutex> guard(FLock);
        return FListened;
    }
    size_t ListenedCount() const { return Listened().size(); }

    std::vector<TPacket> Events; // user-interface thread only

private:
    mutable std::mutex FLock;
    std::vector<TPacket> FListened;
};

// A component whose COM1 is the slave of a fresh pseudo-terminal.
class TComTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Pty.Ok());
        PortMap::MapPort(QStringLiteral("COM1"), Pty.SlavePath());
    }
    void Open(TAdvancedCom& Com) {
        Com.SetPortA(1);
        Com.ComInit();
        ASSERT_TRUE(Com.ComThread) << "the pty did not open";
    }

    TestSupport::TempConfig Config;
    TestSupport::TPty Pty;
};

} // namespace SerialTest
