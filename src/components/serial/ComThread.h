#pragma once

#include <QByteArray>
#include <QThread>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class TAdvancedCom;
class TOverlapped;
class TSerialLine;

// The component's events. Sender is the object that raises them.
using TNotifyEvent = std::function<void(QObject* Sender)>;
// Buffer is the reader's packet text itself: the handler may read or change it.
using TPacketEvent = std::function<void(QObject* Sender, QByteArray& Buffer)>;
using TStatusEvent =
    std::function<void(QObject* Sender, bool CtsOn, bool DsrOn, bool RingOn, bool RlsdOn)>;

// The reader of an open port: reads one byte per request, assembles packets by length or by
// a stop byte, hands each complete packet to its owner on this thread and, when asked, raises
// the packet event on the user-interface thread while it waits. It also watches the modem
// status lines. The user-interface thread sets the packet fields while it runs, hence atomics.
class TComThread : public QThread {
    Q_OBJECT
public:
    static constexpr int ErrorSlots = 32;

    // Starts at once when Start is set; a subclass passes false and calls start() itself, so
    // the thread never runs before the object is complete.
    TComThread(std::shared_ptr<TSerialLine> PortHandle, TAdvancedCom* Owner,
               TStatusEvent StatusHandler, TPacketEvent PacketHandler,
               std::shared_ptr<TOverlapped> ReadRecord, quint32 BufSize, bool Start);
    ~TComThread() override;

    QByteArray Packet;
    std::atomic<quint32> PacketCount{0};
    std::atomic<bool> Running{true};
    std::atomic<bool> PacketNotify{false};
    std::atomic<bool> UseStopByte{false};
    std::atomic<qint32> SplitReadMark{0};
    std::atomic<quint8> StopByte{0};
    std::atomic<qint32> ReadFailures{0};
    std::array<std::atomic<qint32>, ErrorSlots> ErrorCodes{};
    std::array<std::atomic<qint32>, ErrorSlots> ErrorCounts{};
    // Bytes that arrived while Packet was full (the host had not restarted it).
    std::atomic<quint32> DroppedBytes{0};
    std::atomic<quint32> PacketLength;
    const quint32 BufferSize;

    virtual void SetPacketSize(quint32 Value);
    virtual quint32 GetPacketSize();
    virtual void SetPacketNotify(bool Value);
    virtual void SetStopByte(quint8 Value);
    virtual void SetUseStopByte(bool Value);

    void ClearErrors();
    // Counts an error code of a read request that failed outright in the error table.
    void CountReadError(qint32 Code);
    // True while NotifyPacket or NotifyStatus runs the host's handler.
    bool InNotification() const { return FNotifyDepth > 0; }

    bool CtsOn() const { return FCts; }
    bool DsrOn() const { return FDsr; }
    bool RingOn() const { return FRing; }
    bool RlsdOn() const { return FRlsd; }

protected:
    void run() override;
    virtual void ReadLoop();
    virtual void AddToPacket(const char* Bytes, quint32 Count);
    virtual void NotifyPacket();
    virtual void NotifyStatus();

private:
    void Deliver(quint32 Count);
    void DeliverPacket();
    bool StoreLines(quint32 Status);
    void WatchStatus();
    // Runs Step on the user-interface thread and waits for it.
    void Synchronize(void (TComThread::*Step)());

    std::shared_ptr<TSerialLine> FPort;
    TAdvancedCom* FOwner;
    std::shared_ptr<TOverlapped> FReadRecord;
    TStatusEvent FStatusHandler;
    TPacketEvent FPacketHandler;
    QByteArray FReadBuffer;
    bool FLastDropped = false;
    std::atomic<bool> FCts{false};
    std::atomic<bool> FDsr{false};
    std::atomic<bool> FRing{false};
    std::atomic<bool> FRlsd{false};
    int FNotifyDepth = 0;
};
