#include "AdvancedCom.h"

#include "DeviceBroadcast.h"
#include "Overlapped.h"
#include "SerialLine.h"
#include "portselect.h"

#include "platform/ComPorts.h"
#include "platform/ComponentPalette.h"
#include "platform/Exception.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

[[noreturn]] void Fail(const char* Message) {
    throw Exception(QString::fromLatin1(Message));
}

void Pause(int Ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(Ms));
}

// Clears a flag on every way out of the scope.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagGuard() { FFlag = false; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& FFlag;
};

QWidget* BoxParent() {
    return QApplication::activeWindow();
}

} // namespace

TAdvancedCom::TAdvancedCom(QObject* Owner) : QObject(Owner) {}

TAdvancedCom::~TAdvancedCom() {
    ComClose();
}

QString TAdvancedCom::PortName(quint32 PortNumber) {
    return ComPorts::PortName(int(PortNumber));
}

void TAdvancedCom::RequireBeforeComInit(const char* Message) const {
    if (ComThread)
        Fail(Message);
}

void TAdvancedCom::SetBufSize(quint32 Value) {
    RequireBeforeComInit("Buffer can only be resized before ComInit()!");
    FBufSize = Value;
}

void TAdvancedCom::SetBaud(quint32 Value) {
    if (ComThread) {
        TDcb dcb;
        if (!PortHandle->GetState(dcb))
            Fail("Baud rate cannot be set!");
        dcb.BaudRate = Value;
        if (!PortHandle->SetState(dcb))
            Fail("Baud rate cannot be set!");
    }
    FBaud = Value;
}

void TAdvancedCom::SetDataBits(quint32 Value) {
    if (Value > 5 && FStopBits == s1_5)
        Fail("1.5 Stop Bits with 6,7, or 8 Data Bits is an invalid combination");
    RequireBeforeComInit("Data bits can only be set before ComInit()!");
    FDataBits = Value;
}

void TAdvancedCom::SetParity(TParity Value) {
    RequireBeforeComInit("Parity can only be set before ComInit()!");
    FParity = Value;
}

void TAdvancedCom::SetStopBits(TStopBits Value) {
    if (Value == s1_5 && FDataBits > 5)
        Fail("1.5 Stop Bits with 6,7, or 8 Data Bits is an invalid combination");
    RequireBeforeComInit("Stop bits can only be set before ComInit()!");
    FStopBits = Value;
}

void TAdvancedCom::SetPortA(quint32 Value) {
    RequireBeforeComInit("Port can only be set before ComInit()!");
    FPort = Value;
}

void TAdvancedCom::SetTimeout(quint32 Value) {
    RequireBeforeComInit("Timeout can only be set before ComInit()!");
    FTimeout = Value;
}

void TAdvancedCom::SetDtrControl(TDtrControl Value) {
    RequireBeforeComInit("Dtr control can only be set before ComInit()!");
    FDtrControl = Value;
}

void TAdvancedCom::SetRtsControl(TRtsControl Value) {
    RequireBeforeComInit("Rts control can only be set before ComInit()!");
    FRtsControl = Value;
}

void TAdvancedCom::SetDtr(bool Value) {
    if (!ComThread)
        Fail("Initialize port before setting DTR");
    if (FDtrControl == dtrHandshake)
        Fail("Can't set DTR when DtrControl is dtrHandshake");
    if (!PortHandle->Escape(Value ? Comm::SetDtr : Comm::ClrDtr))
        Fail("DTR cannot be set!");
    FDtr = Value;
}

void TAdvancedCom::SetRts(bool Value) {
    if (!ComThread)
        Fail("Set Serial port before Starting");
    if (FRtsControl == rtsHandshake)
        Fail("Can't set RTS when RtsControl is rtsHandshake");
    if (!PortHandle->Escape(Value ? Comm::SetRts : Comm::ClrRts))
        Fail("RTS cannot be set!");
    FRts = Value;
}

void TAdvancedCom::SetPacketSize(quint32 Value) {
    FPacketSize = Value;
    if (ComThread) {
        ComThread->SetPacketSize(Value);
        ComThread->PacketCount = 0;
    }
}

qint32 TAdvancedCom::GetPacketSize() {
    return ComThread ? qint32(ComThread->GetPacketSize()) : -1;
}

void TAdvancedCom::ComInit() {
    ComClose();
    InitPort();
    if (!Initialized)
        return;
    try {
        ReadOverlapped = std::make_shared<TOverlapped>();
        WriteOverlapped = std::make_shared<TOverlapped>();
    } catch (const Exception&) {
        ReadOverlapped.reset();
        PortHandle.reset();
        throw;
    }
    SetupThread();
    if (OnComInit)
        OnComInit(this);
}

void TAdvancedCom::InitPort() {
    try {
        PortHandle = TSerialLine::Open(ComPorts::DevicePath(PortName(FPort)));
        if (!PortHandle)
            Fail("Comport Unavailable.");
        SetupState();
        TCommTimeouts timeouts;
        if (!PortHandle->GetTimeouts(timeouts))
            Fail("GetCommTimeouts Failed.");
        timeouts.ReadIntervalTimeout = 0;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 1;
        timeouts.WriteTotalTimeoutMultiplier = 0;
        timeouts.WriteTotalTimeoutConstant = 0;
        if (!PortHandle->SetTimeouts(timeouts))
            Fail("SetCommTimeouts Failed.");
        if (!PortHandle->SetupComm(FBufSize, FBufSize))
            Fail("SetupComm Failed - try reducing buffer size.");
        Initialized = true;
    } catch (const Exception&) {
        if (PortHandle) {
            PortHandle->Close();
            PortHandle.reset();
            Pause(5);
        }
        SetPortA(0);
        Initialized = false;
    }
}

bool TAdvancedCom::SetupState() {
    TDcb dcb;
    if (!PortHandle->GetState(dcb))
        Fail("GetCommState Failed.");
    dcb.BaudRate = FBaud;
    dcb.fBinary = true;
    dcb.Parity = uint8_t(FParity);
    dcb.fOutxCtsFlow = false;
    dcb.fOutxDsrFlow = false;
    dcb.fDtrControl = uint8_t(FDtrControl);
    dcb.fDsrSensitivity = false;
    dcb.fTXContinueOnXoff = false;
    dcb.fOutX = false;
    dcb.fInX = false;
    dcb.fErrorChar = false;
    dcb.fNull = false;
    dcb.fRtsControl = uint8_t(FRtsControl);
    dcb.fAbortOnError = false;
    dcb.XonLim = 2048;
    dcb.XoffLim = 512;
    dcb.ByteSize = uint8_t(FDataBits & 0xFF);
    dcb.StopBits = uint8_t(FStopBits);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    if (!PortHandle->SetState(dcb))
        Fail("SetCommState Failed.");
    return true;
}

void TAdvancedCom::SetupThread() {
    if (!PortHandle)
        return;
    // Started only once ComThread is set: the first packet may reach DataRecieved (and a
    // listener that looks at ComThread) at once.
    ComThread = std::make_unique<TComThread>(PortHandle, this, OnStatusChanged, OnPacketReceived,
                                             ReadOverlapped, FBufSize, false);
    ComThread->start();
}

void TAdvancedCom::ComClose() {
    if (!ComThread || FClosing)
        return;
    TFlagGuard closing(FClosing);
    Purge();
    ComThread->requestInterruption();
    ReadOverlapped->SetEvent();
    // The reader may be waiting for this thread to run one of its notifications.
    while (ComThread->Running && !ComThread->InNotification()) {
        QCoreApplication::processEvents();
        ComThread->wait(QDeadlineTimer(1));
    }
    if (ComThread->Running) {
        // Called from inside the reader's own notification: the reader waits for us, so it
        // cannot end yet. It ends as soon as the handler returns, and then deletes itself;
        // it holds the line and its record until then.
        TComThread* reader = ComThread.release();
        connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    } else {
        ComThread.reset();
    }
    PortHandle->Close();
    PortHandle.reset();
    Pause(5);
    WriteOverlapped.reset();
    ReadOverlapped.reset();
}

void TAdvancedCom::Write(const char* Bytes, qint32 Count) {
    if (!ComThread) {
        Initialized = false;
        LastError = QStringLiteral("Com not initialized.");
        return;
    }
    if (Count < 1)
        return;
    const quint64 limit = WriteWaitLimit(Count, FBaud);
    quint32 written = 0;
    if (PortHandle->Write(*WriteOverlapped, Bytes, quint32(Count), &written))
        return;
    int error = errno;
    if (error == Comm::IoPending) {
        if (!PortHandle->WaitFor(*WriteOverlapped, limit)) {
            PortHandle->ClearError();
            PortHandle->Purge(Comm::PurgeTxAbort | Comm::PurgeTxClear);
            Fail("Send Timeout");
        }
        if (PortHandle->GetResult(*WriteOverlapped, written, true))
            return;
        error = errno;
        PortHandle->Purge(Comm::PurgeTxAbort | Comm::PurgeTxClear);
    }
    throw Exception(QStringLiteral("Send Error: ") + QString::number(error));
}

quint64 TAdvancedCom::WriteWaitLimit(qint32 Count, quint32 Baud) {
    return Count < 1 ? 0 : quint64(Count) * 9600000u / (Baud ? Baud : 1);
}

void TAdvancedCom::Write(const QByteArray& Text) {
    Write(Text.constData(), qint32(qMin<qsizetype>(Text.size(), INT32_MAX)));
}

void TAdvancedCom::Purge() {
    if (PortHandle)
        PortHandle->Purge(Comm::PurgeTxAbort | Comm::PurgeRxAbort | Comm::PurgeTxClear |
                          Comm::PurgeRxClear);
}

bool TAdvancedCom::TryPort(qint32 PortNumber) {
    return TryPort(PortName(quint32(PortNumber)));
}

bool TAdvancedCom::TryPort(const QString& PortName) {
    if (!TSerialLine::Probe(ComPorts::DevicePath(PortName)))
        return false;
    Pause(100);
    return true;
}

bool TAdvancedCom::GetSerialState(TDcb& Dcb) {
    if (!PortHandle || !PortHandle->GetState(Dcb))
        Fail("GetCommState Failed.");
    return true;
}

void TAdvancedCom::GetModemLines(bool& Dsr, bool& Cts) {
    if (!ComThread)
        Fail("Open Port before calling get Modem State");
    quint32 status;
    if (!PortHandle->GetModemStatus(status))
        Fail("Failed to retreive Modem Status");
    Dsr = (status & Comm::MsDsrOn) != 0;
    Cts = (status & Comm::MsCtsOn) != 0;
}

void TAdvancedCom::SetStopByte(quint8 Value) {
    if (ComThread)
        ComThread->SetStopByte(Value);
}

void TAdvancedCom::SetUseStopByte(bool Value) {
    if (ComThread)
        ComThread->SetUseStopByte(Value);
}

void TAdvancedCom::SetPacketNotify(bool Value) {
    if (ComThread)
        ComThread->SetPacketNotify(Value);
}

void TAdvancedCom::ResetComThreadErrors() {
    if (ComThread)
        ComThread->ClearErrors();
}

void TAdvancedCom::DataRecieved(const char* Packet) {
    if (PacketListener)
        PacketListener->PacketArrived(this, Packet);
}

void TAdvancedCom::WaitFor(qint32 Ms) {
    // A monotonic clock: no wrap-around that ends the wait at once or makes it endless.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(qMax(Ms, 0));
    while (std::chrono::steady_clock::now() < end)
        Pause(1);
}

int TAdvancedCom::GetComPortDlg(QWidget* Owner, qint32 Preselect, qint32 HelpContext) {
    int index = -1;
    const bool wasOpen = Initialized;
    if (wasOpen)
        ComClose();
    TSelectPortDlg dialog(Owner, true);
    PortDialog = &dialog;
    struct TForget {
        TSelectPortDlg*& Dialog;
        ~TForget() { Dialog = nullptr; }
    } forget{PortDialog};
    dialog.HelpContext = HelpContext;
    if (OnFindClicked)
        connect(dialog.FindButton, &QPushButton::clicked, &dialog,
                [handler = OnFindClicked, button = dialog.FindButton] { handler(button); });
    for (qint32 n = 1; n <= 9; ++n) {
        if (!TryPort(n))
            continue;
        dialog.PortComboBox->addItem(PortName(quint32(n)));
        if (n == Preselect)
            index = dialog.PortComboBox->findText(PortName(quint32(n)));
    }
    dialog.PortComboBox->setCurrentIndex(index >= 0 ? index : 0);
    dialog.FindButton->setVisible(bool(OnFindClicked));
    dialog.FindButton->setEnabled(bool(OnFindClicked));

    int result = dialog.exec();
    if (result == TSelectPortDlg::mrOk) {
        const int selected = dialog.SelectedIndex();
        if (selected < 0) {
            result = TSelectPortDlg::mrCancel;
        } else {
            SetPortA(quint32(dialog.ReadPortNumber(selected)));
            ComInit();
        }
    }
    if (result == TSelectPortDlg::mrCancel && wasOpen)
        ComInit();
    return result;
}

qint32 TAdvancedCom::HandleDeviceInterfaceChange(void*, qint32, qint32,
                                                 const TDevBroadcastDeviceInterface* Record) {
    if (!Record || DeviceBroadcast::DeviceType(Record) != DeviceBroadcast::DevTypPort)
        return -1;
    const QByteArray name = DeviceBroadcast::PortNameOf(Record);
    const qsizetype at = name.indexOf("Com");
    const QByteArray four = at >= 0 ? name.mid(at, 4) : name.left(4);
    const QString digit = four.size() >= 4 ? QString(QChar::fromLatin1(four[3])) : QString();
    bool ok = false;
    const qint32 number = digit.toInt(&ok, 10);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(digit));
    return number;
}

void TAdvancedCom::HandleDeviceInsertion(qint32 PortNumber) {
    WaitFor(InsertionDelayMs);
    if (!TryPort(PortNumber))
        return;
    const QString text = QStringLiteral("Com") + QString::number(PortNumber) +
                         QStringLiteral(" is connected would you like to connect to this port?");
    if (QMessageBox::question(BoxParent(), QStringLiteral("Confirm"), text,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    ComClose();
    SetPortA(quint32(PortNumber));
    ComInit();
}

void TAdvancedCom::HandleDeviceRemoval(qint32 PortNumber) {
    if (qint64(PortNumber) != qint64(FPort))
        return;
    ComClose();
    SetPortA(0);
    QMessageBox::information(BoxParent(), QStringLiteral("Information"),
                             QStringLiteral("Com") + QString::number(PortNumber) +
                                 QStringLiteral(" is disconnected. Port is no longer available."));
}

namespace AdvancedCom {

void Register() {
    ComponentPalette::Register(QStringLiteral("ZEV"), QStringLiteral("TAdvancedCom"));
}

} // namespace AdvancedCom
