#include "ComPorts.h"

#include <QRegularExpression>
#include <mutex>

namespace ComPorts {

namespace {

std::mutex ResolverLock;

TResolver& Installed() {
    static TResolver Resolver;
    return Resolver;
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

QString ClassicalPath(const QString& PortName) {
    const int Number = PortNumber(PortName);
    return Number == 0 ? PortName : QStringLiteral("/dev/ttyS%1").arg(Number - 1);
}

void SetResolver(TResolver Resolver) {
    std::lock_guard<std::mutex> Guard(ResolverLock);
    Installed() = std::move(Resolver);
}

QString DevicePath(const QString& PortName) {
    TResolver Resolver;
    {
        // A copy, so a resolver that takes its time (a file read) holds no lock.
        std::lock_guard<std::mutex> Guard(ResolverLock);
        Resolver = Installed();
    }
    return Resolver ? Resolver(PortName) : ClassicalPath(PortName);
}

} // namespace ComPorts
