#pragma once

#include "platform/Exception.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

// Readable failure output: bytes outside printable ASCII percent-encoded.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toLatin1().toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}").constData()
         << '"';
}

inline QByteArray FileBytes(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

inline void PutFile(const QString& Path, const QByteArray& Bytes) {
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly) && File.write(Bytes) == Bytes.size());
}

// The first line of the Exception's message.
template <typename TAction> QString ErrorOf(TAction Action) {
    try {
        Action();
    } catch (const Exception& Error) {
        return Error.Message.section(QLatin1Char('\n'), 0, 0);
    }
    return QStringLiteral("<no error>");
}
