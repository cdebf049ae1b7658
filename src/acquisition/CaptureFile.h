#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The bytes of a transfer that ended without a report, kept as they came from the line in
// "YYYY-MM-DD HH-MM-SS COMn.raw" (the time the download started), so a report can still be
// built from them.
namespace CaptureFile {

// Where the window and halvorn-cli keep them: Data/Captures of the installation folder.
QString FolderIn(const QString& InstallDir);

// The longest port part of a name.
constexpr int MaxPortLabel = 48;

// "COMn" for Com n; for a port named by its device path (PortNumber 0), the path below /dev
// with '-' for '/' ("ttyUSB0", "pts-3"), else the file's own name.
QString PortLabel(int PortNumber, const QString& Device);

// The port part made safe: control and layout characters become '_', cut to MaxPortLabel.
QString NameFor(const QDateTime& Started, const QString& Port);

// Writes Bytes into Folder (made when missing) through the atomic writer, never over an
// earlier capture; returns the file's path. A name that cannot be written falls back to
// "... capture.raw"; raises Exception naming the file only when that fails too.
QString Write(const QString& Folder, const QDateTime& Started, const QString& Port,
              const QByteArray& Bytes);

} // namespace CaptureFile
