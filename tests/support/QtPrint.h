#pragma once

#include <QString>
#include <ostream>

// Readable failure output for QString values in GoogleTest messages.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toStdString() << '"';
}
