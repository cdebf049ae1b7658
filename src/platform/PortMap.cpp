#include "PortMap.h"

#include "Exception.h"
#include "MessageText.h"
#include "Registry.h"

#include <QRegularExpression>

namespace PortMap {

namespace {

int RequirePortNumber(const QString& PortName) {
    const int Number = PortNumber(PortName);
    if (Number == 0)
        throw ERegistryException(QStringLiteral("'%1' is not a port name from COM1 to COM9")
                                     .arg(MessageText::Shown(PortName)));
    return Number;
}

} // namespace

int PortNumber(const QString& PortName) {
    static const QRegularExpression Pattern(QStringLiteral("^COM([1-9])$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch Match = Pattern.match(PortName);
    return Match.hasMatch() ? Match.captured(1).toInt() : 0;
}

QString PortName(int Number) {
    return QStringLiteral("COM%1").arg(Number);
}

QString PortLabel(int Number) {
    return QStringLiteral("Com %1").arg(Number);
}

QString DevicePath(const QString& PortName) {
    const int Number = PortNumber(PortName);
    if (Number == 0)
        return PortName;
    TRegistry Registry;
    if (Registry.OpenKeyReadOnly(PortsKey) && Registry.ValueExists(PortMap::PortName(Number))) {
        const QString Mapped = Registry.ReadString(PortMap::PortName(Number));
        // An emptied value means "no mapping", not "open nothing".
        if (!Mapped.isEmpty())
            return Mapped;
    }
    return QStringLiteral("/dev/ttyS%1").arg(Number - 1);
}

void MapPort(const QString& PortName, const QString& DevicePath) {
    const int Number = RequirePortNumber(PortName);
    TRegistry Registry;
    Registry.OpenKey(PortsKey, true);
    Registry.WriteString(PortMap::PortName(Number), DevicePath);
}

std::optional<QString> StoredMapping(const QString& PortName) {
    const QString Name = PortMap::PortName(RequirePortNumber(PortName));
    TRegistry Registry;
    if (!Registry.OpenKeyReadOnly(PortsKey) || !Registry.ValueExists(Name))
        return std::nullopt;
    return Registry.ReadString(Name);
}

void RestoreMapping(const QString& PortName, const std::optional<QString>& Previous,
                    const QString& Ours) {
    const QString Name = PortMap::PortName(RequirePortNumber(PortName));
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
