#pragma once

#include "CliOptions.h"
#include "platform/SerialDevices.h"

#include <QByteArray>
#include <QList>

// "halvorn-cli ports": Com 1 to Com 4 and the serial devices of the machine, as the window's
// Serial Devices dialog sees them, and an assignment stored as the dialog's OK stores it.
namespace CliPorts {

struct TPort {
    QString Name;   // "COM1"
    QString Device; // the path it leads to
    bool Stored = false;
    SerialDevices::TStatus Status;
};

struct TListing {
    QList<TPort> Ports;                    // COM1 to COM4 in order
    QList<SerialDevices::TDevice> Devices; // the machine's serial devices
};

// Reads the store (an unreadable one raises its error, naming file and line) and the system's
// trees under Roots.
TListing List(const SerialDevices::TRoots& Roots = {});

// One JSON object: "ports", then "devices", keys in a fixed order.
QByteArray Json(const TListing& Listing);
QByteArray ForPeople(const TListing& Listing);

// The command: the listing on stdout, or with --assign the assignment stored.
void Ports(const TCliOptions& Options);

} // namespace CliPorts
