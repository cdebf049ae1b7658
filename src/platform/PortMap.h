#pragma once

#include <QString>

// Serial port names stay "COM1".."COM9" as the instrument's users know them. A name is
// turned into a device path through the string value "COMn" under Software\Tamsor\Ports in
// the settings store, else the classical /dev/ttyS<n-1>. A name that is already a path
// (starts with '/') is returned unchanged; any other name is returned unchanged too, so
// opening it fails with the system's own reason.
namespace PortMap {

inline const char* const PortsKey = "Software\\Tamsor\\Ports";

QString DevicePath(const QString& PortName);

// 1..9 for "COM1".."COM9" in any letter case; 0 for any other name.
int PortNumber(const QString& PortName);

// Records PortName ("COMn") as mapped to DevicePath in the store.
void MapPort(const QString& PortName, const QString& DevicePath);

} // namespace PortMap
