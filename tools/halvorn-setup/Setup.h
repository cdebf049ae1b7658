#pragma once

#include "SetupOptions.h"

#include <QStringList>

// The installer's part for one user: the installation folder, its Data folder and the values
// the program expects in its key. Only missing things are made; nothing stored is changed.
namespace HalvornSetup {

// Returns what was found and done, one line each, for the user. Throws Exception (an
// unreadable store, a folder that cannot be made, a value that cannot be written); what was
// made before the failure stays.
QStringList Run(const TSetupOptions& Options, const QString& HomeDir);

} // namespace HalvornSetup
