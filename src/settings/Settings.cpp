#include "settings/Settings.h"

#include "platform/Exception.h"
#include "platform/Registry.h"

#include <QDir>

namespace Settings {

namespace {

const char* const Names[ValueCount] = {"Port",     "InfoEnable", "FontName",
                                       "FontSize", "FontColor",  "FontStyle"};

void ReadValues(TValues& V) {
    const TReader reg;
    if (!reg.KeyExists()) {
        V.Settled.fill(true);
        return;
    }
    V.PortNumber = reg.Integer(Port);
    V.Settled[Port] = true;
    V.InfoEnable = reg.Integer(InfoEnable);
    V.Settled[InfoEnable] = true;
    V.InstallDir = reg.InstallDir();
    if (!reg.Has(FontName)) {
        V.Settled[FontName] = V.Settled[FontSize] = V.Settled[FontColor] = V.Settled[FontStyle] =
            true;
        return;
    }
    V.Font.Name = reg.String(FontName);
    V.Settled[FontName] = true;
    V.Font.Size = reg.Integer(FontSize);
    V.Settled[FontSize] = true;
    V.Font.Color = reg.Integer(FontColor);
    V.Settled[FontColor] = true;
    const QString style = reg.String(FontStyle);
    bool* flags[] = {&V.Font.Bold, &V.Font.Italic, &V.Font.Underline, &V.Font.StrikeOut};
    for (int i = 0; i < 4; ++i) {
        if (i >= style.size())
            throw ERangeError(QStringLiteral("Range check error"));
        if (style[i] == '1')
            *flags[i] = true;
    }
    V.Settled[FontStyle] = true;
}

bool Changed(const TValues& V, TValue Value) {
    switch (Value) {
    case Port:
        return V.PortNumber != V.LoadedPortNumber;
    case InfoEnable:
        return V.InfoEnable != V.LoadedInfoEnable;
    case FontName:
        return V.Font.Name != V.LoadedFont.Name;
    case FontSize:
        return V.Font.Size != V.LoadedFont.Size;
    case FontColor:
        return V.Font.Color != V.LoadedFont.Color;
    default:
        return StyleText(V.Font) != StyleText(V.LoadedFont);
    }
}

} // namespace

QString NameOf(TValue Value) {
    return QLatin1String(Names[Value]);
}

TReader::TReader() : FOpen(FRegistry.OpenKeyReadOnly(Key)) {}

bool TReader::Has(const QString& Name) const {
    return FOpen && FRegistry.ValueExists(Name);
}

bool TReader::Has(TValue Value) const {
    return Has(NameOf(Value));
}

int TReader::Integer(TValue Value) const {
    return FRegistry.ReadInteger(NameOf(Value));
}

QString TReader::String(TValue Value) const {
    return FRegistry.ReadString(NameOf(Value));
}

QString TReader::InstallDir() const {
    const QString name = QStringLiteral("InstallDir");
    return Has(name) ? FRegistry.ReadString(name) : QString();
}

bool TReader::InfoEnabled() const {
    return Has(InfoEnable) && Integer(InfoEnable) != 0;
}

bool TReader::ReadingsShown() const {
    const QString name = QStringLiteral("Readings");
    return Has(name) && FRegistry.ReadInteger(name) != 0;
}

TUnit TReader::Unit() const {
    const QString name = QStringLiteral("Units");
    const TUnit unit = TView().Unit;
    return Has(name) ? Units::FromName(FRegistry.ReadString(name)).value_or(unit) : unit;
}

TReferenceLevel TReader::Level() const {
    const auto Text = [this](const char* Name) {
        const QString name = QLatin1String(Name);
        return Has(name) ? FRegistry.ReadString(name) : QString();
    };
    const QString Key = Text("ReferenceLevel");
    if (const std::optional<TReferenceLevel> Named = ReferenceLevels::FromKey(Key))
        return *Named;
    if (Key == ReferenceLevels::CustomKey)
        if (const std::optional<TUnit> In = Units::FromName(Text("ReferenceLevelUnit")))
            if (const auto Custom = ReferenceLevels::Custom(Text("ReferenceLevelValue"), *In,
                                                            Text("ReferenceLevelName"));
                Custom.Level)
                return *Custom.Level;
    return ReferenceLevels::Epa();
}

TInspector TReader::Inspector(const QString& InstallDir) const {
    const auto Text = [this](const char* Name) {
        const QString name = QLatin1String(Name);
        return Has(name) ? FRegistry.ReadString(name) : QString();
    };
    TInspector Result;
    Result.Name = Text("InspectorName");
    Result.Certification = Text("InspectorCertification");
    const QString Logo = Text("InspectorLogo");
    if (!Logo.isEmpty())
        Result.LogoFile = InstallDir + QDir::separator() + Logo;
    const QString Signature = QStringLiteral("InspectorSignature");
    Result.SignatureLine = Has(Signature) && FRegistry.ReadInteger(Signature) != 0;
    return Result;
}

bool TValues::AllSettled() const {
    for (bool s : Settled)
        if (!s)
            return false;
    return true;
}

void Load(TValues& V) {
    V.Settled.fill(false);
    try {
        ReadValues(V);
    } catch (...) {
        V.LoadedPortNumber = V.PortNumber;
        V.LoadedInfoEnable = V.InfoEnable;
        V.LoadedFont = V.Font;
        throw;
    }
    V.LoadedPortNumber = V.PortNumber;
    V.LoadedInfoEnable = V.InfoEnable;
    V.LoadedFont = V.Font;
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
    int first = -1;
    bool write[ValueCount];
    for (int i = ValueCount - 1; i >= 0; --i) {
        write[i] = V.Settled[i] || Changed(V, TValue(i));
        if (write[i])
            first = i;
    }
    if (first >= 0) {
        TRegistry reg;
        // A key that cannot be opened fails the first value, and says why.
        reg.OpenKeyToWrite(Key, QLatin1String(Names[first]));
        for (int i = 0; i < ValueCount; ++i) {
            if (!write[i])
                continue;
            const QString name = QLatin1String(Names[i]);
            switch (TValue(i)) {
            case Port:
                reg.WriteInteger(name, V.PortNumber);
                break;
            case InfoEnable:
                reg.WriteInteger(name, V.InfoEnable);
                break;
            case FontName:
                reg.WriteString(name, V.Font.Name);
                break;
            case FontSize:
                reg.WriteInteger(name, V.Font.Size);
                break;
            case FontColor:
                reg.WriteInteger(name, V.Font.Color);
                break;
            default:
                reg.WriteString(name, StyleText(V.Font));
            }
        }
    }
    V.InstallDir = TReader().InstallDir();
}

namespace {

void OpenForWriting(TRegistry& Reg, const QString& Name) {
    Reg.OpenKeyToWrite(Key, Name);
}

} // namespace

void SaveReadingsShown(bool Shown) {
    TRegistry reg;
    OpenForWriting(reg, QStringLiteral("Readings"));
    reg.WriteInteger(QStringLiteral("Readings"), Shown ? 1 : 0);
}

void SaveUnit(TUnit Unit) {
    TRegistry reg;
    OpenForWriting(reg, QStringLiteral("Units"));
    reg.WriteString(QStringLiteral("Units"), Units::Name(Unit));
}

void SaveLevel(const TReferenceLevel& Level) {
    TRegistry reg;
    OpenForWriting(reg, QStringLiteral("ReferenceLevel"));
    reg.WriteString(QStringLiteral("ReferenceLevel"), Level.Key);
    const QString Custom[] = {QStringLiteral("ReferenceLevelValue"),
                              QStringLiteral("ReferenceLevelUnit"),
                              QStringLiteral("ReferenceLevelName")};
    if (Level.Key == ReferenceLevels::CustomKey) {
        reg.WriteString(Custom[0], QString::fromStdString(Level.Value.Text()));
        reg.WriteString(Custom[1], Units::Name(Level.Unit));
        reg.WriteString(Custom[2], Level.Name);
        return;
    }
    // A named level leaves no custom one behind to be read by mistake.
    for (const QString& Name : Custom)
        if (reg.ValueExists(Name))
            reg.DeleteValue(Name);
}

void SaveInspector(const TInspector& Inspector) {
    TRegistry reg;
    OpenForWriting(reg, QStringLiteral("InspectorName"));
    reg.WriteString(QStringLiteral("InspectorName"), Inspector.Name);
    reg.WriteString(QStringLiteral("InspectorCertification"), Inspector.Certification);
    reg.WriteInteger(QStringLiteral("InspectorSignature"), Inspector.SignatureLine ? 1 : 0);
    if (Inspector.LogoFile.isEmpty() && reg.ValueExists(QStringLiteral("InspectorLogo")))
        reg.DeleteValue(QStringLiteral("InspectorLogo"));
}

QString TeamServer() {
    TRegistry reg;
    if (!reg.OpenKeyReadOnly(QLatin1String(TeamKey)) || !reg.ValueExists(QStringLiteral("Server")))
        return {};
    return reg.ReadString(QStringLiteral("Server"));
}

void SaveTeamServer(const QString& Uri) {
    TRegistry reg;
    reg.OpenKeyToWrite(QLatin1String(TeamKey), QStringLiteral("Server"));
    reg.WriteString(QStringLiteral("Server"), Uri);
}

} // namespace Settings
