#pragma once

#include "platform/ComPorts.h"

#include <QString>
#include <optional>

// Serial port names stay "COM1".."COM9" as the instrument's users know them. A name is
// turned into a device path through the string value "COMn" under Software\Tamsor\Ports in
// the settings store, else the classical /dev/ttyS<n-1>. A name that is already a path
// (starts with '/') is returned unchanged; any other name is returned unchanged too, so
// opening it fails with the system's own reason.
namespace PortMap {

inline const char* const PortsKey = "Software\\Tamsor\\Ports";

QString DevicePath(const QString& PortName);

// Records PortName ("COMn") as mapped to DevicePath in the store.
void MapPort(const QString& PortName, const QString& DevicePath);

// What the store holds for PortName ("COMn"): nullopt when there is no entry. An entry that is
// not a text raises its read error: it could not be put back once replaced.
std::optional<QString> StoredMapping(const QString& PortName);

// Puts PortName's entry back as it was before a MapPort to Ours: Previous again, or no entry.
// An entry that no longer names Ours has been changed since by someone else and is left.
void RestoreMapping(const QString& PortName, const std::optional<QString>& Previous,
                    const QString& Ours);

} // namespace PortMap
