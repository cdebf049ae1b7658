#pragma once

#include "platform/SerialDevices.h"

#include <QList>

// The ports Com 1..Com 4 as the settings store maps them to devices.
namespace PortAssignments {

constexpr int PortCount = 4;

// The stored "COMn" values of Com 1..Com 4 that exist (empty ones too). A store that cannot be
// parsed raises its error, naming the file and line.
QList<SerialDevices::TAssignment> Read();

// Writes each assignment as "COMn"="path" under Software\Tamsor\Ports.
void Store(const QList<SerialDevices::TAssignment>& Assignments);

} // namespace PortAssignments
