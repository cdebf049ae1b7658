#include "platform/PortAssignments.h"

#include "platform/PortMap.h"
#include "platform/Registry.h"

namespace PortAssignments {

QList<SerialDevices::TAssignment> Read() {
    QList<SerialDevices::TAssignment> Stored;
    TRegistry Registry;
    if (!Registry.OpenKeyReadOnly(QString::fromLatin1(PortMap::PortsKey)))
        return Stored;
    for (int n = 1; n <= PortCount; ++n) {
        const QString Name = ComPorts::PortName(n);
        if (Registry.ValueExists(Name))
            Stored.append({Name, Registry.ReadString(Name)});
    }
    return Stored;
}

void Store(const QList<SerialDevices::TAssignment>& Assignments) {
    for (const SerialDevices::TAssignment& Assignment : Assignments)
        PortMap::MapPort(Assignment.Port, Assignment.Path);
}

} // namespace PortAssignments
