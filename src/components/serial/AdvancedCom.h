#pragma once

#include "ComThread.h"
#include "CommTypes.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class QWidget;
class TAdvancedCom;
struct TDevBroadcastDeviceInterface;
class TOverlapped;
class TSelectPortDlg;
class TSerialLine;

// Receives every complete packet on the reader thread (see TAdvancedCom::DataRecieved).
class TPacketListener {
public:
    virtual ~TPacketListener() = default;
    virtual void PacketArrived(TAdvancedCom* Com, const char* Packet) = 0;
};

// A serial port component: opens port COM<Port> (through ComPorts::DevicePath), configures it,
// writes with a time limit and receives through a reader thread that assembles packets. Every
// operation belongs to the user-interface thread except DataRecieved, which the reader calls.
// The configuration setters refuse while the port is open ("before ComInit").
class TAdvancedCom : public QObject {
    Q_OBJECT
public:
    enum TParity { none, odd, even, mark, space };
    Q_ENUM(TParity)
    enum TStopBits { s1, s1_5, s2 };
    Q_ENUM(TStopBits)
    enum TDtrControl { dtrDisable, dtrEnable, dtrHandshake };
    Q_ENUM(TDtrControl)
    enum TRtsControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
    Q_ENUM(TRtsControl)

private:
    Q_PROPERTY(quint32 BufSize READ BufSize WRITE SetBufSize)
    Q_PROPERTY(quint32 Baud READ Baud WRITE SetBaud)
    Q_PROPERTY(quint32 DataBits READ DataBits WRITE SetDataBits)
    Q_PROPERTY(TParity Parity READ Parity WRITE SetParity)
    Q_PROPERTY(TStopBits StopBits READ StopBits WRITE SetStopBits)
    Q_PROPERTY(quint32 Port READ Port WRITE SetPortA)
    Q_PROPERTY(quint32 PacketSize READ PacketSize WRITE SetPacketSize)
    Q_PROPERTY(quint32 Timeout READ Timeout WRITE SetTimeout)
    Q_PROPERTY(bool Dtr READ Dtr WRITE SetDtr)
    Q_PROPERTY(bool Rts READ Rts WRITE SetRts)
    Q_PROPERTY(TDtrControl DtrControl READ DtrControl WRITE SetDtrControl)
    Q_PROPERTY(TRtsControl RtsControl READ RtsControl WRITE SetRtsControl)
    Q_PROPERTY(QString ControlVersion READ ControlVersion WRITE SetControlVersion)

public:
    explicit TAdvancedCom(QObject* Owner = nullptr);
    ~TAdvancedCom() override;

    quint32 BufSize() const { return FBufSize; }
    quint32 Baud() const { return FBaud; }
    quint32 DataBits() const { return FDataBits; }
    TParity Parity() const { return FParity; }
    TStopBits StopBits() const { return FStopBits; }
    quint32 Port() const { return FPort; }
    quint32 PacketSize() const { return FPacketSize; }
    quint32 Timeout() const { return FTimeout; }
    bool Dtr() const { return FDtr; }
    bool Rts() const { return FRts; }
    TDtrControl DtrControl() const { return FDtrControl; }
    TRtsControl RtsControl() const { return FRtsControl; }
    QString ControlVersion() const { return QStringLiteral("1.04.00"); }
    void SetControlVersion(const QString&) {}

    // Events. Packet and status events come from the reader, on the user-interface thread,
    // with the reader as Sender; the reader takes copies of them at ComInit.
    TPacketEvent OnPacketReceived;
    TStatusEvent OnStatusChanged;
    TNotifyEvent OnComInit;
    TNotifyEvent OnFindClicked;

    // True after an opening that succeeded, until a failed one or a Write without a reader.
    // ComClose leaves it alone.
    bool Initialized = false;
    QString LastError;
    std::unique_ptr<TComThread> ComThread;
    TSelectPortDlg* PortDialog = nullptr;
    TPacketListener* PacketListener = nullptr; // not owned
    std::shared_ptr<TSerialLine> PortHandle;   // null while closed
    std::shared_ptr<TOverlapped> ReadOverlapped;
    std::shared_ptr<TOverlapped> WriteOverlapped;
    // How long HandleDeviceInsertion lets a new device settle before probing it.
    int InsertionDelayMs = 4000;

    virtual void SetBufSize(quint32 Value);
    virtual void SetBaud(quint32 Value);
    virtual void SetDataBits(quint32 Value);
    virtual void SetParity(TParity Value);
    virtual void SetStopBits(TStopBits Value);
    virtual void SetPortA(quint32 Value);
    virtual void SetTimeout(quint32 Value);
    virtual void SetupThread();
    virtual bool SetupState();
    virtual void SetDtrControl(TDtrControl Value);
    virtual void SetRtsControl(TRtsControl Value);
    virtual void SetDtr(bool Value);
    virtual void SetRts(bool Value);
    virtual void ComInit();
    virtual void SetPacketSize(quint32 Value);
    virtual qint32 GetPacketSize();
    // Runs on the reader thread for every complete packet.
    virtual void DataRecieved(const char* Packet);

    void ComClose();
    void InitPort();
    void Write(const char* Bytes, qint32 Count);
    void Write(const QByteArray& Text);
    void Purge();
    bool TryPort(qint32 PortNumber);
    bool TryPort(const QString& PortName);
    bool GetSerialState(TDcb& Dcb);
    void GetModemLines(bool& Dsr, bool& Cts);
    void SetStopByte(quint8 Value);
    void SetUseStopByte(bool Value);
    void SetPacketNotify(bool Value);
    void ResetComThreadErrors();
    // Waits without handling messages.
    void WaitFor(qint32 Ms);

    // Port selection and device changes.
    int GetComPortDlg(QWidget* Owner, qint32 Preselect, qint32 HelpContext);
    // Port number named by a port record (DeviceBroadcast.h), -1 for any other record.
    qint32 HandleDeviceInterfaceChange(void* Window, qint32 Message, qint32 Event,
                                       const TDevBroadcastDeviceInterface* Record);
    void HandleDeviceInsertion(qint32 PortNumber);
    void HandleDeviceRemoval(qint32 PortNumber);

    static QString PortName(quint32 PortNumber);
    // Milliseconds Write waits for Count bytes at Baud: one second per byte at 9600 baud.
    static quint64 WriteWaitLimit(qint32 Count, quint32 Baud);

private:
    // Settings that shape the open line are refused once the reader runs.
    void RequireBeforeComInit(const char* Message) const;

    quint32 FBufSize = 254;
    quint32 FBaud = 9600;
    quint32 FDataBits = 8;
    TParity FParity = none;
    TStopBits FStopBits = s1;
    quint32 FPort = 1;
    quint32 FPacketSize = 80;
    quint32 FTimeout = 100;
    bool FDtr = false;
    bool FRts = false;
    TDtrControl FDtrControl = dtrEnable;
    TRtsControl FRtsControl = rtsEnable;
    bool FClosing = false;
};

namespace AdvancedCom {
// Puts TAdvancedCom on the palette page "ZEV".
void Register();
} // namespace AdvancedCom
