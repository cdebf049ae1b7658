#pragma once

#include "platform/PortAssignments.h"
#include "platform/SerialDevices.h"

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QTableWidget;
class QTimer;

// "Serial Devices": every serial device of the machine with its state, and which device each
// of Com 1..Com 4 goes to. Lists without opening a device; stores nothing itself.
class TSerialDevicesForm : public QDialog {
    Q_OBJECT
public:
    struct TResult {
        // The ports whose device the user changed, in port order; empty after Cancel and when
        // the store could not be read.
        QList<SerialDevices::TAssignment> Changed;
    };

    // Stored: the store's assignments; StoreError: why the store could not be read (nothing
    // can be assigned then).
    TSerialDevicesForm(const QList<SerialDevices::TAssignment>& Stored, const QString& StoreError,
                       QWidget* Parent = nullptr, const SerialDevices::TRoots& Roots = {});

    TResult Result() const { return FResult; }

    // Lists the devices again with the assignments as shown.
    void Refresh();

    QTableWidget* Table;
    QComboBox* PortBox[PortAssignments::PortCount];
    QLabel* StoreErrorLabel;
    QLabel* RefusalLabel;
    QDialogButtonBox* Buttons;

    enum TColumn { DeviceColumn, KernelColumn, UsbColumn, StateColumn, PortColumn, ColumnCount };

    void accept() override;

private:
    QList<SerialDevices::TAssignment> Shown() const;

    QList<SerialDevices::TAssignment> FStored;
    QList<SerialDevices::TDevice> FRows;
    SerialDevices::TRoots FRoots;
    QTimer* FRefreshTimer;
    bool FStoreUnreadable;
    TResult FResult;
};
