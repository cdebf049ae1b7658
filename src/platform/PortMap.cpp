#include "PortMap.h"

#include "Exception.h"
#include "Registry.h"

#include <QRegularExpression>

namespace PortMap {

namespace {

QString ValueName(int Number) {
    return QStringLiteral("COM%1").arg(Number);
}

} // namespace

int PortNumber(const QString& PortName) {
    static const QRegularExpression Pattern(QStringLiteral("^COM([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch Match = Pattern.match(PortName);
    return Match.hasMatch() ? Match.captured(1).toInt() : 0;
}

QString DevicePath(const QString& PortName) {
    const int Number = PortNumber(PortName);
    if (Number == 0)
        return PortName;
    TRegistry Registry;
    if (Registry.OpenKeyReadOnly(PortsKey) && Registry.ValueExists(ValueName(Number))) {
        const QString Mapped = Registry.ReadString(ValueName(Number));
        // An emptied value means "no mapping", not "open nothing".
        if (!Mapped.isEmpty())
            return Mapped;
    }
    return QStringLiteral("/dev/ttyS%1").arg(Number - 1);
}

void MapPort(const QString& PortName, const QString& DevicePath) {
    const int Number = PortNumber(PortName);
    if (Number == 0)
        throw ERegistryException(
            QStringLiteral("'%1' is not a port name from COM1 to COM9").arg(PortName));
    TRegistry Registry;
    if (!Registry.OpenKey(PortsKey, true))
        throw ERegistryException(Registry.LastError());
    Registry.WriteString(ValueName(Number), DevicePath);
}

} // namespace PortMap
