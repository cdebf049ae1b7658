#include "CliPorts.h"

#include "CliIo.h"
#include "platform/Exception.h"
#include "platform/JsonText.h"
#include "platform/MessageText.h"
#include "platform/PortAssignments.h"
#include "platform/PortMap.h"

#include <QDir>
#include <QFileInfo>
#include <climits>
#include <cstdio>

namespace CliPorts {

using SerialDevices::TState;

namespace {

// The ports' states are those a download meets; a path that is no terminal device leads to no
// instrument, which is what "missing" tells a script.
QString PortWord(TState State) {
    return SerialDevices::Word(State == TState::NotTerminal ? TState::Missing : State);
}

QString Shown(const QString& Path) {
    return MessageText::Shown(Path, PATH_MAX);
}

void Warn(const QString& Line) {
    std::fprintf(stderr, "halvorn-cli: warning: %s\n", Line.toLocal8Bit().constData());
    std::fflush(stderr);
}

void Assign(const TCliOptions& Options) {
    const QString Port = ComPorts::PortName(ComPorts::PortNumber(Options.Arguments.at(0)));
    // The store would otherwise keep a name that means something else in the next folder.
    const QString Given = QFileInfo(Options.Arguments.at(1)).isAbsolute()
                              ? Options.Arguments.at(1)
                              : QDir::current().absoluteFilePath(Options.Arguments.at(1));
    if (const QString Why = SerialDevices::Refusal(Given); !Why.isEmpty())
        throw Exception(QStringLiteral("%1 was not assigned: %2").arg(Port, Why));
    // Read first: a store that cannot be parsed is named and left as it is.
    PortAssignments::Read();
    const QString Path = SerialDevices::StoredPath(Given, SerialDevices::ListDevices());
    if (!QFileInfo::exists(Path))
        Warn(QStringLiteral("%1 does not exist now; %2 leads there once it does")
                 .arg(Shown(Path), Port));
    PortAssignments::Store({{Port, Path}});
    CliIo::WriteStdout(QStringLiteral("%1 now leads to %2\n").arg(Port, Shown(Path)).toLocal8Bit());
}

} // namespace

TListing List(const SerialDevices::TRoots& Roots) {
    TListing Listing;
    QList<SerialDevices::TAssignment> Leads;
    const QList<SerialDevices::TAssignment> Stored = PortAssignments::Read();
    for (int n = 1; n <= PortAssignments::PortCount; ++n) {
        TPort Port;
        Port.Name = ComPorts::PortName(n);
        Port.Device = PortMap::DevicePath(Port.Name);
        for (const SerialDevices::TAssignment& A : Stored)
            Port.Stored = Port.Stored || (A.Port == Port.Name && !A.Path.isEmpty());
        Listing.Ports << Port;
        Leads.append({Port.Name, Port.Device});
    }
    // Each port's path is a row of the inventory (its own when no device answers to it), so
    // the process tree is read once for all.
    for (const SerialDevices::TDevice& Row : SerialDevices::Inventory(Leads, Roots)) {
        for (TPort& Port : Listing.Ports)
            if (Row.Ports.contains(Port.Name))
                Port.Status = Row.Status;
        if (Row.Hardware)
            Listing.Devices << Row;
    }
    return Listing;
}

QByteArray Json(const TListing& Listing) {
    QByteArray Out = "{\"ports\": [";
    for (qsizetype i = 0; i < Listing.Ports.size(); ++i) {
        const TPort& P = Listing.Ports.at(i);
        const bool Present =
            P.Status.State != TState::Missing && P.Status.State != TState::NotTerminal;
        Out += (i ? ",\n  " : "\n  ") + QByteArray("{\"name\": ") + JsonText::String(P.Name) +
               ", \"device\": " + JsonText::String(P.Device) +
               ", \"source\": " + (P.Stored ? "\"store\"" : "\"default\"") +
               ", \"present\": " + (Present ? "true" : "false") +
               ", \"state\": " + JsonText::String(PortWord(P.Status.State)) + '}';
    }
    Out += "],\n\"devices\": [";
    for (qsizetype i = 0; i < Listing.Devices.size(); ++i) {
        const SerialDevices::TDevice& D = Listing.Devices.at(i);
        Out += (i ? ",\n  " : "\n  ") + QByteArray("{\"path\": ") + JsonText::String(D.Path) +
               ", \"stable\": " + JsonText::StringOrNull(D.Stable) +
               ", \"description\": " + JsonText::StringOrNull(SerialDevices::Description(D)) +
               ", \"state\": " + JsonText::String(SerialDevices::Word(D.Status.State)) +
               ", \"assigned\": " + JsonText::StringOrNull(D.Ports.value(0)) + '}';
    }
    Out += "]}\n";
    return Out;
}

QByteArray ForPeople(const TListing& Listing) {
    QString Out;
    const auto Hints = [&Out](const SerialDevices::TStatus& Status) {
        for (const QString& Hint : SerialDevices::Hints(Status))
            Out += QStringLiteral("      ") + Hint + QLatin1Char('\n');
    };
    for (const TPort& P : Listing.Ports) {
        Out += QStringLiteral("%1  %2 (%3): %4\n")
                   .arg(P.Name, Shown(P.Device),
                        P.Stored ? QStringLiteral("store") : QStringLiteral("default"),
                        SerialDevices::Sentence(P.Status, P.Device));
        Hints(P.Status);
    }
    Out += Listing.Devices.isEmpty() ? QStringLiteral("\nNo serial device found.\n")
                                     : QStringLiteral("\nSerial devices:\n");
    for (const SerialDevices::TDevice& D : Listing.Devices) {
        Out += QStringLiteral("  %1: %2")
                   .arg(Shown(D.Path), SerialDevices::Sentence(D.Status, D.Path));
        if (!D.Ports.isEmpty())
            Out += QStringLiteral(", ") + D.Ports.join(QStringLiteral(", "));
        Out += QLatin1Char('\n');
        for (const QString& More : {D.Stable, SerialDevices::Description(D)})
            if (!More.isEmpty())
                Out += QStringLiteral("      ") + Shown(More) + QLatin1Char('\n');
        Hints(D.Status);
    }
    return Out.toLocal8Bit();
}

void Ports(const TCliOptions& Options) {
    if (Options.Assign)
        Assign(Options);
    else
        CliIo::WriteStdout(Options.Json ? Json(List()) : ForPeople(List()));
}

} // namespace CliPorts
