#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTextStream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace TestSupport {

// True when this process holds a POSIX lock on the file at Path (from /proc/locks, which
// names a file by its device, in hex, and inode).
inline bool HoldsLock(const QString& Path) {
    struct stat Info {};
    if (::stat(QFile::encodeName(Path).constData(), &Info) != 0)
        return false;
    const QString File = QStringLiteral("%1:%2:%3")
                             .arg(major(Info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(Info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(quint64(Info.st_ino));
    QFile Locks(QStringLiteral("/proc/locks"));
    if (!Locks.open(QIODevice::ReadOnly))
        return false;
    const QString Pid = QString::number(::getpid());
    for (const QString& Line : QString::fromLatin1(Locks.readAll()).split(QLatin1Char('\n'))) {
        const QStringList F = Line.simplified().split(QLatin1Char(' '));
        // "1: POSIX  ADVISORY  READ 1234 08:01:5678 128 128"; a blocked request has "->".
        if (F.size() >= 6 && F[1] == QLatin1String("POSIX") && F[4] == Pid && F[5] == File)
            return true;
    }
    return false;
}

// The files this process holds open that have been deleted and whose path began with Prefix.
inline QStringList DeletedOpenFiles(const QString& Prefix) {
    QStringList Found;
    const QString Fds = QStringLiteral("/proc/self/fd");
    for (const QString& Fd : QDir(Fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char Buffer[4096];
        const ssize_t N = ::readlink(QFile::encodeName(Fds + QLatin1Char('/') + Fd).constData(),
                                     Buffer, sizeof Buffer);
        const QString Target = N > 0 ? QFile::decodeName(QByteArray(Buffer, int(N))) : QString();
        if (Target.startsWith(Prefix) && Target.endsWith(QLatin1String(" (deleted)")))
            Found << Target;
    }
    return Found;
}

} // namespace TestSupport
