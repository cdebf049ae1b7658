#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable Qt values in test failure messages.
inline void PrintTo(const QString& Value, std::ostream* Out) {
    *Out << '"' << Value.toStdString() << '"';
}

inline void PrintTo(const QStringList& Value, std::ostream* Out) {
    *Out << "{ \"" << Value.join("\", \"").toStdString() << "\" }";
}
