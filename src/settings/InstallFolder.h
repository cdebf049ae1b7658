#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

// The installation folder: "InstallDir" of the settings store, the parent of "Data" and of
// the information file. The one place that prepares it for a user, for halvorn-setup and for
// the first start of the program and of halvorn-cli.
namespace InstallFolder {

struct TOptions {
    // The folder to store when none is stored; empty means HomeDir/Halvorn.
    QString Dir;
    // "Port" to store when none is stored.
    int Port = 0;
    QString HomeDir = QDir::homePath();
};

struct TResult {
    // The folder in use (stored before or stored now).
    QString Dir;
    // True when this call stored "InstallDir".
    bool Stored = false;
    // What was found and done, one line each, for the user.
    QStringList Done;
};

// True for a folder the program may keep files in: not empty and not the root folder, so
// nothing is ever read or written directly under "/".
bool Usable(const QString& Dir);

// The installer's part: reads the store first (an unreadable store raises and nothing is
// made); stores "InstallDir" when it is missing or not Usable(), and "Port" and "InfoEnable" when
// missing, since the program reads both without guards; creates the folder and its Data
// folder when missing. Nothing stored with a value is changed. Raises Exception when a folder
// cannot be made or a value cannot be written; what was made before stays.
TResult Prepare(const TOptions& Options = {});

// The first start: Prepare() with the defaults when "InstallDir" is missing or not Usable();
// otherwise the stored folder, with nothing made or written.
TResult FirstStart();

} // namespace InstallFolder
