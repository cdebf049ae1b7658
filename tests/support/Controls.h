#pragma once

#include "app/ReportEditor.h"
#include "components/serial/DeviceWatcher.h"

#include <QAction>
#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>
#include <stdexcept>

// The windows keep their controls private; tests and benchmarks find them by object name.
template <class T> T* Control(const QObject& Window, const QString& Name) {
    T* found = Window.findChild<T*>(Name);
    if (!found)
        throw std::logic_error("no control named " + Name.toStdString());
    return found;
}

// The main window's report editor.
inline TReportEditor* Memo(const QObject& Window) {
    return Control<TReportEditor>(Window, QStringLiteral("TextMemo"));
}

// The main window's Com Port item of port N, 1 to 4.
inline QAction* PortItem(const QObject& Window, int N) {
    return Control<QAction>(Window, QStringLiteral("ComPortCom%1").arg(N));
}

// Lets the event loop run until it would block, so the idle handler runs.
inline void Idle() {
    QCoreApplication::processEvents();
    QTimer::singleShot(1, [] {});
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Runs the command Name as a click on its item does: after the idle handler has set the
// items, and only when the item is enabled then.
inline void Trigger(const QObject& Window, const char* Name) {
    Idle();
    QAction* Item = Control<QAction>(Window, QLatin1String(Name));
    if (!Item->isEnabled())
        throw std::logic_error(std::string(Name) + " is disabled");
    Item->trigger();
}

// Chooses port N in the Com Port menu; an item without a device is enabled first.
inline void ChoosePort(const QObject& Window, int N) {
    PortItem(Window, N)->setEnabled(true);
    PortItem(Window, N)->trigger();
}

// The timer Name runs out now.
inline void Fire(const QObject& Window, const char* Name) {
    QMetaObject::invokeMethod(Control<QTimer>(Window, QLatin1String(Name)), "timeout");
}

// The port items followed by the timed check, as where no udev daemon runs.
inline void PollPorts(const QObject& Window) {
    Control<TDeviceWatcher>(Window, QStringLiteral("PortWatcher"))->Stop();
    Control<QTimer>(Window, QStringLiteral("PortCheckTimer"))->start();
}
