#pragma once

#include "measurement/Units.h"
#include "platform/SettingsKey.h"

#include <QString>
#include <array>

// The settings kept between runs under the user's key of the settings store.
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

// The view's choices, written when the user changes them rather than at close: "Readings"
// (1: the readings panel shown) and "Units" ("pCi/L" or "Bq/m3").
struct TView {
    bool ReadingsShown = false;
    TUnit Unit = TUnit::PciL;
};
// A missing or unknown value keeps its default; a store that cannot be read raises.
TView LoadView();
void SaveReadingsShown(bool Shown);
void SaveUnit(TUnit Unit);

} // namespace Settings
