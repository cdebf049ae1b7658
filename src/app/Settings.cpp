#include "app/Settings.h"

#include "platform/Exception.h"
#include "platform/Registry.h"

namespace Settings {

namespace {
QString ReadInstallDir(const TRegistry& Reg) {
    return Reg.ValueExists(QStringLiteral("InstallDir"))
               ? Reg.ReadString(QStringLiteral("InstallDir"))
               : QString();
}
} // namespace

void Load(TValues& V) {
    TRegistry reg;
    if (!reg.OpenKey(Key, false))
        return;
    V.PortNumber = reg.ReadInteger(QStringLiteral("Port"));
    V.InfoEnable = reg.ReadInteger(QStringLiteral("InfoEnable"));
    V.InstallDir = ReadInstallDir(reg);
    if (!reg.ValueExists(QStringLiteral("FontName")))
        return;
    V.Font.Name = reg.ReadString(QStringLiteral("FontName"));
    V.Font.Size = reg.ReadInteger(QStringLiteral("FontSize"));
    V.Font.Color = reg.ReadInteger(QStringLiteral("FontColor"));
    const QString style = reg.ReadString(QStringLiteral("FontStyle"));
    bool* flags[] = {&V.Font.Bold, &V.Font.Italic, &V.Font.Underline, &V.Font.StrikeOut};
    for (int i = 0; i < 4; ++i) {
        if (i >= style.size())
            throw ERangeError(QStringLiteral("Range check error"));
        if (style[i] == '1')
            *flags[i] = true;
    }
}

QString StyleText(const TEditorFont& F) {
    QString s = QStringLiteral("0000");
    const bool flags[] = {F.Bold, F.Italic, F.Underline, F.StrikeOut};
    for (int i = 0; i < 4; ++i)
        if (flags[i])
            s[i] = '1';
    return s;
}

void Save(TValues& V) {
    TRegistry reg;
    // A key that cannot be opened fails the first value, and says why.
    const QString first = QStringLiteral("Failed to set data for 'Port'\n");
    bool opened = false;
    try {
        opened = reg.OpenKey(Key, true);
    } catch (const Exception& e) {
        throw ERegistryException(first + e.Message);
    }
    if (!opened)
        throw ERegistryException(first + TRegistry::StorePath() +
                                 QStringLiteral(": the key cannot be created"));
    reg.WriteInteger(QStringLiteral("Port"), V.PortNumber);
    reg.WriteInteger(QStringLiteral("InfoEnable"), V.InfoEnable);
    reg.WriteString(QStringLiteral("FontName"), V.Font.Name);
    reg.WriteInteger(QStringLiteral("FontSize"), V.Font.Size);
    reg.WriteInteger(QStringLiteral("FontColor"), V.Font.Color);
    reg.WriteString(QStringLiteral("FontStyle"), StyleText(V.Font));
    V.InstallDir = ReadInstallDir(reg);
}

} // namespace Settings
