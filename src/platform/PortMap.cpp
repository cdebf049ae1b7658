#include "PortMap.h"

#include "ComPorts.h"
#include "Exception.h"
#include "MessageText.h"
#include "Registry.h"

namespace PortMap {

namespace {

int RequirePortNumber(const QString& PortName) {
    const int Number = ComPorts::PortNumber(PortName);
    if (Number == 0)
        throw ERegistryException(QStringLiteral("'%1' is not a port name from COM1 to COM9")
                                     .arg(MessageText::Shown(PortName)));
    return Number;
}

} // namespace

QString DevicePath(const QString& PortName) {
    const int Number = ComPorts::PortNumber(PortName);
    if (Number == 0)
        return PortName;
    TRegistry Registry;
    if (Registry.OpenKeyReadOnly(PortsKey) && Registry.ValueExists(ComPorts::PortName(Number))) {
        const QString Mapped = Registry.ReadString(ComPorts::PortName(Number));
        // An emptied value means "no mapping", not "open nothing".
        if (!Mapped.isEmpty())
            return Mapped;
    }
    return ComPorts::ClassicalPath(PortName);
}

void MapPort(const QString& PortName, const QString& DevicePath) {
    const int Number = RequirePortNumber(PortName);
    TRegistry Registry;
    Registry.OpenKey(PortsKey, true);
    Registry.WriteString(ComPorts::PortName(Number), DevicePath);
}

std::optional<QString> StoredMapping(const QString& PortName) {
    const QString Name = ComPorts::PortName(RequirePortNumber(PortName));
    TRegistry Registry;
    if (!Registry.OpenKeyReadOnly(PortsKey) || !Registry.ValueExists(Name))
        return std::nullopt;
    return Registry.ReadString(Name);
}

void RestoreMapping(const QString& PortName, const std::optional<QString>& Previous,
                    const QString& Ours) {
    const QString Name = ComPorts::PortName(RequirePortNumber(PortName));
    if (StoredMapping(PortName) != Ours)
        return;
    TRegistry Registry;
    if (!Registry.OpenKey(PortsKey, false))
        return;
    if (Previous)
        Registry.WriteString(Name, *Previous);
    else
        Registry.DeleteValue(Name);
}

} // namespace PortMap
