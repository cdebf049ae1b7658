#include "acquisition/DownloadFault.h"

#include "acquisition/DownloadSession.h"
#include "acquisition/ECommError.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"

#include <QLocale>
#include <cerrno>

namespace DownloadFault {

namespace {

struct TText {
    QString Sentence, Details;
};

TText Text(const TFault& Fault, const ECommError& Error) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    // A hang-up is what a pulled cable or adapter looks like from here.
    const bool gone =
        Error.SystemError == EIO || Error.SystemError == ENXIO || Error.SystemError == ENODEV;
    const QString device = MessageText::Shown(Fault.Device);
    const QString where =
        Fault.PortNumber > 0
            ? QStringLiteral("%1 (%2)").arg(ComPorts::PortLabel(Fault.PortNumber), device)
            : device;
    const QString after = Fault.Bytes > 0
                              ? QStringLiteral("after %1 bytes").arg(english.toString(Fault.Bytes))
                              : QStringLiteral("before any byte came");
    QString text =
        gone ? QStringLiteral("The instrument on %1 was disconnected %2.").arg(where, after)
             : QStringLiteral("The download on %1 failed %2.").arg(where, after);
    QString details = QString(Error.Message).replace(QChar('\n'), QStringLiteral(" "));
    if (!Fault.Capture.isEmpty()) {
        text +=
            QStringLiteral(" No report was made; the bytes received are in %1.").arg(Fault.Capture);
    } else if (!Fault.CaptureError.isEmpty()) {
        text += QStringLiteral(" No report was made, and the bytes received could not be kept.");
        details += QStringLiteral("; ") +
                   QString(Fault.CaptureError).replace(QChar('\n'), QStringLiteral(": "));
    } else {
        text += QStringLiteral(" No report was made.");
    }
    return {text, details};
}

TFault FaultOf(const TDownloadResult& R, const QString& Capture) {
    return {R.PortNumber, R.Device, R.Bytes.size(), Capture, R.CaptureError};
}

} // namespace

QString Message(const TFault& Fault, const ECommError& Error) {
    const TText t = Text(Fault, Error);
    return t.Sentence + QStringLiteral("\nDetails: ") + t.Details;
}

QString Line(const TFault& Fault, const ECommError& Error) {
    const TText t = Text(Fault, Error);
    return t.Sentence + QStringLiteral(" (") + t.Details + QLatin1Char(')');
}

QString Message(const TDownloadResult& R, const QString& Capture) {
    return Message(FaultOf(R, Capture), ECommError(R.FaultCode, R.SystemError));
}

QString Line(const TDownloadResult& R, const QString& Capture) {
    return Line(FaultOf(R, Capture), ECommError(R.FaultCode, R.SystemError));
}

} // namespace DownloadFault
