#pragma once

#include <QByteArray>
#include <QString>

namespace AtomicWrite {

// Replaces the file at Path with Bytes, or leaves it as it was.
// Failure: Exception "Cannot create file <Path>", the system's reason on a second line.
void ReplaceFile(const QString& Path, const QByteArray& Bytes);

} // namespace AtomicWrite
