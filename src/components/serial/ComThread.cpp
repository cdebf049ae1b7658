#include "ComThread.h"

#include "AdvancedCom.h"
#include "CommTypes.h"
#include "Overlapped.h"
#include "SerialLine.h"

#include <QMetaObject>
#include <cerrno>

namespace {

// Keeps InNotification() true while a handler runs, also when it throws.
class TDepthGuard {
public:
    explicit TDepthGuard(int& Depth) : FDepth(Depth) { ++FDepth; }
    ~TDepthGuard() { --FDepth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;

private:
    int& FDepth;
};

} // namespace

TComThread::TComThread(std::shared_ptr<TSerialLine> PortHandle, TAdvancedCom* Owner,
                       TStatusEvent StatusHandler, TPacketEvent PacketHandler,
                       std::shared_ptr<TOverlapped> ReadRecord, quint32 BufSize, bool Start)
    : Packet(qsizetype(BufSize) + 4, 'X'), PacketLength(BufSize), BufferSize(BufSize),
      FPort(std::move(PortHandle)), FOwner(Owner), FReadRecord(std::move(ReadRecord)),
      FStatusHandler(std::move(StatusHandler)), FPacketHandler(std::move(PacketHandler)),
      FReadBuffer(qsizetype(BufSize) + 1, '\0') {
    ClearErrors();
    if (Start)
        start();
}

TComThread::~TComThread() {
    requestInterruption();
    wait();
}

void TComThread::SetPacketSize(quint32 Value) {
    PacketLength = Value;
}

quint32 TComThread::GetPacketSize() {
    return PacketLength;
}

void TComThread::SetPacketNotify(bool Value) {
    PacketNotify = Value;
}

void TComThread::SetStopByte(quint8 Value) {
    StopByte = Value;
}

void TComThread::SetUseStopByte(bool Value) {
    UseStopByte = Value;
}

void TComThread::ClearErrors() {
    ReadFailures = 0;
    SplitReadMark = 0;
    for (int i = 0; i < ErrorSlots; ++i) {
        ErrorCodes[i] = 0;
        ErrorCounts[i] = 0;
    }
}

void TComThread::CountReadError(qint32 Code) {
    for (int i = 0; i < ErrorSlots; ++i) {
        if (ErrorCodes[i] == Code || ErrorCodes[i] == 0) {
            ErrorCodes[i] = Code;
            ++ErrorCounts[i];
            return;
        }
    }
}

void TComThread::run() {
    Running = true;
    quint32 status;
    if (FPort->GetModemStatus(status) && StoreLines(status) && !isInterruptionRequested())
        Synchronize(&TComThread::NotifyStatus);
    while (!isInterruptionRequested())
        ReadLoop();
    Running = false;
}

void TComThread::ReadLoop() {
    char* buffer = FReadBuffer.data();
    while (!isInterruptionRequested()) {
        quint32 count = 0;
        if (FPort->Read(*FReadRecord, buffer, 1, &count)) {
            if (count > 0)
                Deliver(count);
        } else if (errno == Comm::IoPending) {
            FPort->WaitFor(*FReadRecord, 5000);
            if (!FPort->GetResult(*FReadRecord, count, true))
                ++ReadFailures;
            else if (count > 0)
                Deliver(count);
        } else {
            CountReadError(errno);
            // A line that refuses every request (a hang-up) must not spin: pause as an idle
            // read would. ComClose's signal cuts the pause short.
            FReadRecord->WaitEvent(1);
        }
        if (FStatusHandler && !isInterruptionRequested())
            WatchStatus();
    }
}

void TComThread::AddToPacket(const char* Bytes, quint32 Count) {
    const quint32 at = PacketCount;
    FLastDropped = at >= quint32(Packet.size());
    if (FLastDropped) {
        ++DroppedBytes;
        return;
    }
    Packet[at] = Bytes[0];
    PacketCount = at + 1;
    if (Count > 1)
        SplitReadMark = qint32(at + 1);
}

void TComThread::Deliver(quint32 Count) {
    AddToPacket(FReadBuffer.constData(), Count);
    if (isInterruptionRequested() || FLastDropped)
        return;
    const bool full = PacketCount >= PacketLength;
    if (!full && !(UseStopByte && quint8(FReadBuffer[0]) == StopByte))
        return;
    DeliverPacket();
    if (PacketNotify && !isInterruptionRequested())
        Synchronize(&TComThread::NotifyPacket);
}

void TComThread::DeliverPacket() {
    if (FOwner && !isInterruptionRequested())
        FOwner->DataRecieved(Packet.constData());
}

void TComThread::NotifyPacket() {
    if (!FPacketHandler || isInterruptionRequested())
        return;
    TDepthGuard guard(FNotifyDepth);
    FPacketHandler(this, Packet);
}

void TComThread::NotifyStatus() {
    if (!FStatusHandler || isInterruptionRequested())
        return;
    TDepthGuard guard(FNotifyDepth);
    FStatusHandler(this, FCts, FDsr, FRing, FRlsd);
}

bool TComThread::StoreLines(quint32 Status) {
    FCts = (Status & Comm::MsCtsOn) != 0;
    FDsr = (Status & Comm::MsDsrOn) != 0;
    FRing = (Status & Comm::MsRingOn) != 0;
    FRlsd = (Status & Comm::MsRlsdOn) != 0;
    return FCts || FDsr || FRing || FRlsd;
}

void TComThread::WatchStatus() {
    quint32 status;
    if (!FPort->GetModemStatus(status))
        return;
    const bool changed =
        FCts != ((status & Comm::MsCtsOn) != 0) || FDsr != ((status & Comm::MsDsrOn) != 0) ||
        FRing != ((status & Comm::MsRingOn) != 0) || FRlsd != ((status & Comm::MsRlsdOn) != 0);
    if (!changed)
        return;
    StoreLines(status);
    if (!isInterruptionRequested())
        Synchronize(&TComThread::NotifyStatus);
}

void TComThread::Synchronize(void (TComThread::*Step)()) {
    QMetaObject::invokeMethod(
        this, [this, Step] { (this->*Step)(); }, Qt::BlockingQueuedConnection);
}
