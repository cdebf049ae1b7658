#include "CliMain.h"

#include "CliCommands.h"
#include "CliOptions.h"

#include "platform/Exception.h"

#include <cstdio>
#include <exception>

namespace CliMain {

namespace {

// The toolkit's own notices (no runtime folder, font fallbacks) are not the user's business in
// a script; its critical messages still reach stderr.
void ToolkitMessage(QtMsgType Type, const QMessageLogContext&, const QString& Message) {
    if (Type == QtCriticalMsg || Type == QtFatalMsg)
        std::fprintf(stderr, "halvorn-cli: %s\n", Message.toLocal8Bit().constData());
}

} // namespace

void InstallMessageFilter() {
    qInstallMessageHandler(ToolkitMessage);
}

int Fail(const QString& Message, int Status) {
    // One line per failure, also for texts that put the system's reason on a line of its own.
    QString Line;
    for (const QString& Part : Message.trimmed().split(QLatin1Char('\n'))) {
        if (!Line.isEmpty())
            Line += Line.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral(": ");
        Line += Part;
    }
    std::fprintf(stderr, "halvorn-cli: %s\n", Line.toLocal8Bit().constData());
    return Status;
}

int Guarded(const std::function<void()>& Command) {
    try {
        Command();
        return CliExit::Done;
    } catch (const ECliUsage& E) {
        return Fail(E.Message + QStringLiteral(" (see halvorn-cli --help)"), CliExit::Usage);
    } catch (const ECliNoData& E) {
        return Fail(E.Message, CliExit::NoData);
    } catch (const ECliStopped& E) {
        return Fail(E.Message, CliExit::SignalBase + E.Signal);
    } catch (const Exception& E) {
        return Fail(E.Message, CliExit::Failure);
    } catch (const std::exception& E) {
        return Fail(QString::fromLocal8Bit(E.what()), CliExit::Failure);
    }
}

} // namespace CliMain
