#pragma once

#include <cerrno>
#include <cstdint>

// The serial records and constants of the component's interface (the Windows names and
// layouts its host programs know), field for field. TSerialLine maps them onto termios.
namespace Comm {

// An overlapped operation that has started and will finish later (errno value).
constexpr int IoPending = EINPROGRESS;

constexpr uint32_t PurgeTxAbort = 0x1;
constexpr uint32_t PurgeRxAbort = 0x2;
constexpr uint32_t PurgeTxClear = 0x4;
constexpr uint32_t PurgeRxClear = 0x8;

constexpr uint32_t MsCtsOn = 0x10;
constexpr uint32_t MsDsrOn = 0x20;
constexpr uint32_t MsRingOn = 0x40;
constexpr uint32_t MsRlsdOn = 0x80;

constexpr uint32_t SetRts = 3;
constexpr uint32_t ClrRts = 4;
constexpr uint32_t SetDtr = 5;
constexpr uint32_t ClrDtr = 6;

constexpr uint8_t DtrControlDisable = 0;
constexpr uint8_t DtrControlEnable = 1;
constexpr uint8_t DtrControlHandshake = 2;

constexpr uint8_t RtsControlDisable = 0;
constexpr uint8_t RtsControlEnable = 1;
constexpr uint8_t RtsControlHandshake = 2;
constexpr uint8_t RtsControlToggle = 3;

constexpr uint8_t NoParity = 0;
constexpr uint8_t OddParity = 1;
constexpr uint8_t EvenParity = 2;
constexpr uint8_t MarkParity = 3;
constexpr uint8_t SpaceParity = 4;

constexpr uint8_t OneStopBit = 0;
constexpr uint8_t One5StopBits = 1;
constexpr uint8_t TwoStopBits = 2;

// Queue sizes above this are refused: the reader allocates buffers of that size.
constexpr uint32_t MaxQueueSize = 16u * 1024 * 1024;

} // namespace Comm

// The device-control record. Fields that termios cannot express (the DTR and DSR controls,
// the XON/XOFF limits, the error, end-of-file and event characters ...) are kept with the open
// line and read back as they were written.
struct TDcb {
    uint32_t BaudRate = 9600;
    bool fBinary = true;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = Comm::DtrControlEnable;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    uint8_t fRtsControl = Comm::RtsControlEnable;
    bool fAbortOnError = false;
    uint16_t XonLim = 2048;
    uint16_t XoffLim = 512;
    uint8_t ByteSize = 8;
    uint8_t Parity = Comm::NoParity;
    uint8_t StopBits = Comm::OneStopBit;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Time limits in milliseconds. A read ends after Multiplier * count + Constant milliseconds
// (0: no limit); an interval of MaxDword with both read totals 0 returns at once.
struct TCommTimeouts {
    static constexpr uint32_t MaxDword = 0xFFFFFFFFu;
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};
