#pragma once

#include <QByteArray>
#include <QString>
#include <ostream>

// Readable failure output: control characters shown as \xNN.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"';
    for (const QChar Char : Text) {
        if (Char.unicode() < 32 || Char.unicode() >= 127)
            *Out << "\\x" << QByteArray::number(Char.unicode(), 16).constData();
        else
            *Out << static_cast<char>(Char.unicode());
    }
    *Out << '"';
}
