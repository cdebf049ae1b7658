#pragma once

#include <QString>
#include <QStringList>
#include <ostream>

// Readable Qt values in test failure messages: control characters and bytes outside ASCII
// percent-encoded (in UTF-8), so a stray carriage return or Latin-1 byte shows.
inline void PrintTo(const QString& Text, std::ostream* Out) {
    *Out << '"' << Text.toUtf8().toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}").constData()
         << '"';
}

inline void PrintTo(const QStringList& List, std::ostream* Out) {
    *Out << "{ ";
    for (qsizetype i = 0; i < List.size(); ++i) {
        if (i > 0)
            *Out << ", ";
        PrintTo(List[i], Out);
    }
    *Out << " }";
}
