#pragma once

#include "QtPrint.h"
#include "TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

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
    return TestSupport::MessageOf(Action).section(QLatin1Char('\n'), 0, 0);
}
