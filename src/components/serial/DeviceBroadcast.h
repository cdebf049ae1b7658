#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The device-change broadcast records in their Windows layout, byte for byte: a host that
// learns of a port appearing or going away hands one to TAdvancedCom::HandleDeviceInterfaceChange.

// The header every record begins with: its size in bytes and its device type.
struct TDevBroadcastHdr {
    uint32_t dbch_size;
    uint32_t dbch_devicetype;
    uint32_t dbch_reserved;
};

// A port appearing or going away (type DevTypPort): the port's name follows the header.
// dbcp_size counts the whole record, name and its NUL included.
struct TDevBroadcastPort {
    uint32_t dbcp_size;
    uint32_t dbcp_devicetype;
    uint32_t dbcp_reserved;
    char dbcp_name[1];
};

// A device interface (type DevTypDeviceInterface): its class and name. The type that
// TAdvancedCom::HandleDeviceInterfaceChange takes; it reads a port record through it.
struct TDevBroadcastDeviceInterface {
    uint32_t dbcc_size;
    uint32_t dbcc_devicetype;
    uint32_t dbcc_reserved;
    uint8_t dbcc_classguid[16];
    char dbcc_name[1];
};

namespace DeviceBroadcast {

constexpr uint32_t DevTypPort = 3;
constexpr uint32_t DevTypDeviceInterface = 5;
constexpr int NameOffset = 12;

// A port record naming PortName (Latin-1, NUL-terminated).
QByteArray PortRecord(const QString& PortName);
// A device-interface record (type 5) naming Name.
QByteArray InterfaceRecord(const QString& Name);

// The device type of a record, read without alignment assumptions.
uint32_t DeviceType(const void* Record);
// The name of a port record, read no further than the record's size says.
QByteArray PortNameOf(const void* Record);

} // namespace DeviceBroadcast

namespace DeviceBroadcast {
// A record built above, as TAdvancedCom::HandleDeviceInterfaceChange takes it.
inline const TDevBroadcastDeviceInterface* AsRecord(const QByteArray& Record) {
    return reinterpret_cast<const TDevBroadcastDeviceInterface*>(Record.constData());
}
} // namespace DeviceBroadcast
