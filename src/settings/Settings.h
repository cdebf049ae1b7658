#pragma once

#include "measurement/Job.h"
#include "measurement/ReferenceLevel.h"
#include "measurement/Units.h"
#include "platform/Registry.h"
#include "platform/SettingsKey.h"

#include <QString>
#include <array>

// The settings kept between runs under the user's key of the settings store: the one place
// that reads and writes them, for the window, the information dialog, halvorn-cli and
// halvorn-setup alike.
namespace Settings {

inline const char* const Key = HalvornSettingsKey;

// Toolkit colour value of the window-text system colour: the editor's design colour.
constexpr int clWindowText = int(0x80000008u);

struct TEditorFont {
    QString Name = QStringLiteral("Courier New");
    int Size = 10;
    int Color = clWindowText;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The six values written at close, in their order.
enum TValue { Port, InfoEnable, FontName, FontSize, FontColor, FontStyle, ValueCount };
QString NameOf(TValue Value);

// The view's choices, written when the user changes them rather than at close: "Readings"
// (1: the readings panel shown) and "Units" ("pCi/L" or "Bq/m3").
struct TView {
    bool ReadingsShown = false;
    TUnit Unit = TUnit::PciL;
};

// Reads the values under Key, opened for reading once when the reader is made; without the
// key every value is missing. A store that cannot be read or parsed raises
// ERegistryException naming the file; so does a value of another type than its own.
class TReader {
public:
    TReader();
    bool KeyExists() const { return FOpen; }
    bool Has(TValue Value) const;
    // Unguarded: a missing value raises "Failed to get data for '<name>'".
    int Integer(TValue Value) const;
    QString String(TValue Value) const;
    // "InstallDir", read without expansion; missing: empty.
    QString InstallDir() const;
    // "InfoEnable" where a missing value means off.
    bool InfoEnabled() const;
    // "Readings" and "Units"; a missing value, or a unit of no known name, keeps its default.
    bool ReadingsShown() const;
    TUnit Unit() const;
    TView View() const { return {ReadingsShown(), Unit()}; }
    // "ReferenceLevel" (epa, who, eu, canada or custom) with, for a custom one,
    // "ReferenceLevelValue", "ReferenceLevelUnit" and "ReferenceLevelName"; missing, or a level
    // that is not one, gives the EPA action level.
    TReferenceLevel Level() const;
    // "InspectorName", "InspectorCertification", "InspectorSignature" (1: a signature line)
    // and "InspectorLogo", the logo's file name in InstallDir; missing: empty, no line.
    TInspector Inspector(const QString& InstallDir) const;

private:
    bool Has(const QString& Name) const;
    TRegistry FRegistry;
    bool FOpen = false;
};

struct TValues {
    int PortNumber = 0;
    int InfoEnable = 0;
    QString InstallDir;
    TEditorFont Font;

    // Which values Load settled (read, or known to be absent from a readable store), and the
    // values as Load left them. Save writes a value only when it was settled or has changed
    // since: never a default over a value that could not be read.
    std::array<bool, ValueCount> Settled{};
    int LoadedPortNumber = 0;
    int LoadedInfoEnable = 0;
    TEditorFont LoadedFont;

    bool AllSettled() const;
};

// Reads without guards, filling Values value by value: on an error Values holds what was
// read before it. A missing key reads nothing (and settles every value).
void Load(TValues& Values);

// Writes the values Load settled or that changed since, in order (the first failure raises and
// stops), then reads "InstallDir" again into Values.InstallDir. Creates the key only when
// there is something to write.
void Save(TValues& Values);

QString StyleText(const TEditorFont& Font);

void SaveReadingsShown(bool Shown);
void SaveUnit(TUnit Unit);
void SaveLevel(const TReferenceLevel& Level);
// The name, certification number and signature switch; the logo is stored by StoreLogo, and
// an empty LogoFile removes it from the settings (the file stays).
void SaveInspector(const TInspector& Inspector);

// Copies the PNG or JPEG picture at Source into InstallDir as "logo.png" or "logo.jpg"
// (through AtomicWrite) and stores that name as "InspectorLogo"; returns the copy's path. A
// file that is no usable logo (too large, of another kind: ClientReport::LogoProblem) is
// refused with Exception saying why, and nothing is written.
QString StoreLogo(const QString& Source, const QString& InstallDir);

// The team archive's server, a libpq URI without a password, under Key\Team as "Server";
// empty when none is stored.
inline const char* const TeamKey = "Software\\Tamsor\\Halvorn 4410\\Team";
QString TeamServer();
void SaveTeamServer(const QString& Uri);

} // namespace Settings
