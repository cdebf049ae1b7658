#pragma once

#include "platform/Exception.h"

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// The one way every file of the program and its tools is written.
namespace AtomicWrite {

// A file that could not be written. Message: "Cannot create file <Path>", then Reason on a
// second line: what happened in the user's words, the system's own text last.
class EWriteError : public Exception {
public:
    EWriteError(const QString& APath, const QString& AReason);
    const QString Path;
    const QString Reason;
};

// What an error number means for a file being written, in the user's words, with the system's
// text in brackets: ENOSPC gives "the disk is full (No space left on device)".
QString Reason(int Error);

// The file a write to Path lands on. A symbolic link on the way is followed only where the
// kernel's protected_symlinks rule would follow it: the link belongs to this user or to the
// owner of its folder, or its folder is not both sticky and world-writable. Otherwise, as for
// a link that loops, EWriteError and nothing is written.
QString WriteTarget(const QString& Path);

// Replaces the file at Path with Bytes, or leaves it as it was: the bytes go to a temporary
// file beside the target, which is flushed to disk and renamed over it, so a reader sees the
// old or the new file and never a torn one. A replaced file keeps its mode; a new one gets
// NewFileMode less the umask. Refused with EWriteError: a link WriteTarget refuses, a folder
// or any other file that is not a regular file, a read-only file, and every failed step
// (full disk, size limit) - the old file then stays as it was and no temporary file is left.
void ReplaceFile(const QString& Path, const QByteArray& Bytes, mode_t NewFileMode = 0666);

} // namespace AtomicWrite
