#pragma once

#include <QAction>
#include <QObject>
#include <QPlainTextEdit>
#include <QString>
#include <stdexcept>

// The windows keep their controls private; tests and benchmarks find them by object name.
template <class T> T* Control(const QObject& Window, const QString& Name) {
    T* found = Window.findChild<T*>(Name);
    if (!found)
        throw std::logic_error("no control named " + Name.toStdString());
    return found;
}

// The main window's editor.
inline QPlainTextEdit* Memo(const QObject& Window) {
    return Control<QPlainTextEdit>(Window, QStringLiteral("TextMemo"));
}

// The main window's Com Port item of port N, 1 to 4.
inline QAction* PortItem(const QObject& Window, int N) {
    return Control<QAction>(Window, QStringLiteral("ComPortCom%1").arg(N));
}
