#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QSocketNotifier;

// Turns terminal devices appearing and going away (udev) into port records for the ports
// COM1..COM9 that ComPorts::DevicePath points at them, so a host can pass them to
// TAdvancedCom::HandleDeviceInterfaceChange and then call HandleDeviceInsertion or
// HandleDeviceRemoval. Without libudev in the build it never starts.
class TDeviceWatcher : public QObject {
    Q_OBJECT
public:
    explicit TDeviceWatcher(QObject* Parent = nullptr);
    ~TDeviceWatcher() override;

    static bool Supported();
    // False when the system offers no device monitor.
    bool Start();
    void Stop();
    bool Active() const { return FNotifier != nullptr; }

    // The record of the first port mapped to DevNode or to one of its links, or an empty array.
    static QByteArray RecordFor(const QString& DevNode, const QStringList& DevLinks);

signals:
    void DeviceArrived(const QByteArray& Record);
    void DeviceRemoved(const QByteArray& Record);

private:
    void ReadEvent();

    struct TMonitor;
    std::unique_ptr<TMonitor> FMonitor;
    QSocketNotifier* FNotifier = nullptr;
};
