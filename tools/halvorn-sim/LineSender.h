#pragma once

#include "SimOptions.h"

#include <QByteArray>
#include <csignal>

// Feeds bytes into the master side of a pseudo-terminal at the line's pace. The master is
// non-blocking: when the kernel's buffer is full the sender waits until the reader makes
// room, so no byte is lost, and the pace starts afresh from there instead of bursting.
// Every wait ends early once Stop is set; the StopSignals must be blocked outside the waits,
// which unblock them atomically.
namespace LineSender {

// What ends the simulator early: a kill, Ctrl+C, or its terminal going away.
inline constexpr int StopSignals[] = {SIGTERM, SIGINT, SIGHUP};

enum class TResult { Sent, Stopped, Failed };

TResult Send(int MasterFd, const QByteArray& Data, const TSimOptions& Options,
             const volatile std::sig_atomic_t& Stop);

// Waits Milliseconds (negative: for ever) or until Stop; false when stopped.
bool Wait(int Milliseconds, const volatile std::sig_atomic_t& Stop);

} // namespace LineSender
