#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The serial devices of this machine and what stands between each of them and a download,
// found without opening a device that nobody holds (an open raises DTR and RTS, and the close
// drops them again: enough to reset some instruments).
namespace SerialDevices {

// Where the system's trees are; tests point them at a fake tree in a temporary folder. udev is
// asked only when Sys is the real "/sys" and UseUdev is set, since it cannot read another tree.
struct TRoots {
    QString Sys = QStringLiteral("/sys");
    QString Dev = QStringLiteral("/dev");
    QString Proc = QStringLiteral("/proc");
    bool UseUdev = true;
};

// True when this build can ask udev.
bool UdevSupported();

enum class TState {
    Free,         // a download could open it now
    Busy,         // another process has claimed it (a lock, or exclusive use)
    NoPermission, // the user may not open it
    Missing,      // nothing at that path now
    NotTerminal,  // a regular file, a folder or a device that is no terminal
};

struct TProcess {
    qint64 Pid = 0;  // 0 when unknown
    QString Program; // empty when it cannot be read
};

struct TStatus {
    TState State = TState::Missing;
    QList<TProcess> Holders;   // Busy: who claimed it, where known
    QList<TProcess> Openers;   // other processes that have it open without claiming it
    QString Group;             // NoPermission: the group that may use it
    QString User;              // NoPermission: the user who is not in it
    QString Reason;            // NotTerminal: what the path is instead
    bool ModemManager = false; // a holder is ModemManager, or it runs and may take the device
};

struct TDevice {
    QString Path;         // the device node, e.g. "/dev/ttyUSB0"; the assigned path for other rows
    QString KernelName;   // e.g. "ttyUSB0"; empty for rows that are no hardware
    QString Stable;       // "/dev/serial/by-id/..." when there is one
    QString Maker;        // USB manufacturer text, where known
    QString Product;      // USB product text, where known
    QString SerialNumber; // USB serial number text, where known
    bool Hardware = true; // false for assigned paths that no device of the machine answers to
    QStringList Ports;    // the COM ports assigned to it, in port order
    QString AssignedPath; // the path as the first of Ports stores it
    TStatus Status;
};

struct TAssignment {
    QString Port; // "COM1".."COM9"
    QString Path; // as the store holds it
};

// Every serial device of the machine (udev where possible, else sysfs), sorted by kernel name,
// without states.
QList<TDevice> ListDevices(const TRoots& Roots = {});

// The state of the device at Path, without opening a device that no process has open.
TStatus StateOf(const QString& Path, const TRoots& Roots = {});
// StateOf() for several paths, reading the process tree once.
QList<TStatus> StatesOf(const QStringList& Paths, const TRoots& Roots = {});

// ListDevices() with each device's state and the COM ports assigned to it, followed by one
// row for each assigned path that is no device of the machine (pseudo-terminals, vanished
// adapters, other paths), in port order.
QList<TDevice> Inventory(const QList<TAssignment>& Assignments, const TRoots& Roots = {});

// Why Path cannot be assigned to a port ("... is a folder, not a serial device"), or an empty
// text for a terminal device or a path that does not exist now (an adapter not plugged in).
QString Refusal(const QString& Path, const TRoots& Roots = {});

// What the store keeps for Path: the stable name of the device of Devices it leads to, which
// stays the same whichever socket the adapter is plugged into; else Path itself.
QString StoredPath(const QString& Path, const QList<TDevice>& Devices);

// "free", "busy", "no-permission", "missing", "not-a-terminal".
QString Word(TState State);

// The state in the user's words: "free", "in use by minicom (pid 4711)", "no permission: group
// dialout", "missing: no device at /dev/ttyUSB0", "/tmp/x is a folder, not a serial device".
QString Sentence(const TStatus& Status, const QString& Path);

// What the user can do about it, or an empty text: the usermod command, how to stop
// ModemManager, the programs that have the device open.
QStringList Hints(const TStatus& Status);

// Whether a download could use the device at Path now, and why, in a few words: what a port's
// menu item shows.
struct TAvailability {
    bool There = false;
    QString Why;
};
TAvailability Availability(const QString& Path);

// Maker, product and serial number in one text ("FTDI FT232R USB UART (A10K1234)"), or empty.
QString Description(const TDevice& Device);

} // namespace SerialDevices
