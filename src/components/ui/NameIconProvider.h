#pragma once

#include <QFileIconProvider>

// Gives a file's icon and type from its name alone. Qt's own provider reads the first bytes
// of every file a file dialog lists, and a process that opens and closes a file loses every
// POSIX lock it holds on it: a database open in the same program (its -wal and -shm too) would
// lose its locks to a dialog showing its folder.
class TNameIconProvider : public QFileIconProvider {
public:
    QIcon icon(IconType Type) const override;
    QIcon icon(const QFileInfo& Info) const override;
    QString type(const QFileInfo& Info) const override;

    // One provider for every dialog of the process; it holds no state of its own.
    static TNameIconProvider* Shared();
};
