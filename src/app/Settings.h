#pragma once

#include "platform/SettingsKey.h"

#include <QString>

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

struct TValues {
    int PortNumber = 0;
    int InfoEnable = 0;
    QString InstallDir;
    TEditorFont Font;
};

// Reads without guards, filling Values value by value: on an error Values holds what was
// read before it. A missing key reads nothing.
void Load(TValues& Values);

// Writes the six writable values in order (the first failure raises and stops), then reads
// "InstallDir" again into Values.InstallDir.
void Save(TValues& Values);

QString StyleText(const TEditorFont& Font);

} // namespace Settings
