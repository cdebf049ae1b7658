#pragma once

#include "settings/Settings.h"

#include <QColor>
#include <QFont>

// The stored editor font as the toolkit draws it: the one place the stored values become a
// QFont and a QColor, for the editor, the Font dialog and printing.
namespace Settings {

// The stored face where a font answers to its name (a family, or an alias such as "Courier
// New" for Liberation Mono), else the system's fixed-pitch font, never a proportional one
// picked for an unknown name.
QFont FontOf(const TEditorFont& Font);

// The stored colour value: 0x00BBGGRR, or 0x80000000 plus a system colour index, which
// draws in WindowText.
QColor ColorOf(int Value, const QColor& WindowText);

} // namespace Settings
