#pragma once

#include <QByteArray>

// A settings store of about Bytes with the program's key first and many keys of other programs
// after it, as a user who keeps other settings in the same file might have.
inline QByteArray LargeStore(qsizetype Bytes) {
    QByteArray Text = "Windows Registry Editor Version 5.00\n\n"
                      "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\n"
                      "\"Port\"=dword:00000001\n\"InfoEnable\"=dword:00000000\n\n";
    for (int Key = 0; Text.size() < Bytes; ++Key) {
        Text += "[HKEY_CURRENT_USER\\Software\\Other\\Key" + QByteArray::number(Key) + "]\n";
        for (int Value = 0; Value < 4; ++Value)
            Text += "\"Value" + QByteArray::number(Value) + "\"=\"some text of value " +
                    QByteArray::number(Key * 4 + Value) + "\"\n";
        Text += "\n";
    }
    return Text;
}
