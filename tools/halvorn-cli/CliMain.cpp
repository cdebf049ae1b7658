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
        return 0;
    } catch (const TCliUsageError& E) {
        return Fail(E.Message + QStringLiteral(" (see halvorn-cli --help)"), 2);
    } catch (const CliCommands::TCliNoData& E) {
        return Fail(E.Message, 3);
    } catch (const Exception& E) {
        return Fail(E.Message, 1);
    } catch (const std::exception& E) {
        return Fail(QString::fromLocal8Bit(E.what()), 1);
    }
}

} // namespace CliMain
