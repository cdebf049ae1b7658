// The logo's copy: kept apart, as it needs the picture readers of Qt Gui, which the light
// commands never load.
#include "settings/Settings.h"

#include "measurement/clientreport/ClientReport.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QDir>
#include <QFile>
#include <QImageReader>

namespace Settings {

QString StoreLogo(const QString& Source, const QString& InstallDir) {
    if (const QString Problem = ClientReport::LogoProblem(Source); !Problem.isEmpty())
        throw Exception(Problem);
    QFile File(Source);
    if (!File.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("The logo %1 cannot be read: %2")
                            .arg(MessageText::Quoted(Source), File.errorString()));
    // Read to the limit and one byte more: a file that grew since it was checked is refused.
    const QByteArray Bytes = File.read(ClientReport::MaxLogoBytes + 1);
    if (Bytes.size() > ClientReport::MaxLogoBytes)
        throw Exception(
            QStringLiteral("The logo %1 is larger than %2 MiB: choose a smaller picture")
                .arg(MessageText::Quoted(Source))
                .arg(ClientReport::MaxLogoBytes >> 20));
    QImageReader Reader(Source);
    const QString Name =
        Reader.format() == "png" ? QStringLiteral("logo.png") : QStringLiteral("logo.jpg");
    const QString Path = InstallDir + QDir::separator() + Name;
    AtomicWrite::ReplaceFile(Path, Bytes);
    TRegistry reg;
    reg.OpenKeyToWrite(Key, QStringLiteral("InspectorLogo"));
    reg.WriteString(QStringLiteral("InspectorLogo"), Name);
    return Path;
}

} // namespace Settings
