#include "DeviceBroadcast.h"

#include <cstddef>
#include <cstring>

namespace DeviceBroadcast {

namespace {

void Put(QByteArray& Record, int Offset, uint32_t Value) {
    std::memcpy(Record.data() + Offset, &Value, sizeof Value);
}

uint32_t Get(const void* Record, int Offset) {
    uint32_t value;
    std::memcpy(&value, static_cast<const char*>(Record) + Offset, sizeof value);
    return value;
}

QByteArray Build(uint32_t Type, int NameAt, const QString& Name) {
    const QByteArray name = Name.toLatin1();
    QByteArray record(NameAt + name.size() + 1, '\0');
    Put(record, 0, uint32_t(record.size()));
    Put(record, 4, Type);
    std::memcpy(record.data() + NameAt, name.constData(), size_t(name.size()));
    return record;
}

} // namespace

QByteArray PortRecord(const QString& PortName) {
    return Build(DevTypPort, NameOffset, PortName);
}

QByteArray InterfaceRecord(const QString& Name) {
    return Build(DevTypDeviceInterface, int(offsetof(TDevBroadcastDeviceInterface, dbcc_name)),
                 Name);
}

uint32_t DeviceType(const void* Record) {
    return Get(Record, 4);
}

QByteArray PortNameOf(const void* Record) {
    const uint32_t size = Get(Record, 0);
    if (size <= uint32_t(NameOffset))
        return {};
    const char* name = static_cast<const char*>(Record) + NameOffset;
    return QByteArray(name, qsizetype(::strnlen(name, size - NameOffset)));
}

} // namespace DeviceBroadcast
