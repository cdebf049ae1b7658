#pragma once

#include "platform/FileDescriptor.h"

#include <QString>

struct termios;

// Terminal devices (serial ports, pseudo-terminals) as one program's own: opened without
// waiting for carrier, claimed against every other opener, set raw, given back.
namespace TerminalDevice {

// The step of OpenClaimed that failed.
enum class TStep { None, Open, Terminal, Lock, Exclusive };

// Opens Path read-write, non-blocking (a plain open can wait for carrier for ever; the flag
// stays set) and without becoming our controlling terminal. Retried after a signal. On
// failure the result is empty and errno says why.
TFd Open(const QString& Path, int Access);

// Open, then claims the device: it must be a terminal (ENOTTY otherwise), flock(LOCK_EX |
// LOCK_NB) holds against every other opener, root included, and TIOCEXCL makes the kernel
// refuse later opens. The lock comes before TIOCEXCL: a refused lock must not touch the flag
// of the one who holds the device. On failure: an empty result, errno of the failed step and
// Failed set to it (when given); nothing stays open.
TFd OpenClaimed(const QString& Path, TStep* Failed = nullptr);

// Whether Path opens as a terminal that nobody holds. Closed again at once.
bool Probe(const QString& Path);

// Hardware flow control (RTS/CTS) in raw mode: the driver's setting, or none.
enum class THardwareFlow { Keep, Off };

// Raw 8N1 bytes: no translation, stripping or software flow control of the input (IXON would
// swallow byte 19), none of the output, no echo, no signals; a read returns once one byte is
// there (VMIN 1, VTIME 0, so an empty non-blocking read fails with EAGAIN and a read of 0 is a
// hang-up); receiver on, modem lines ignored (CLOCAL | CREAD). The speed, the control
// characters and IGNPAR keep their values.
void MakeRaw(termios& Settings, THardwareFlow Flow);

// Gives the device back: TIOCNXCL (a tty keeps its exclusive flag while another holder keeps
// it open), then closes. False when the close fails, errno saying why; the descriptor is gone
// either way.
bool Release(TFd& Device);

} // namespace TerminalDevice
