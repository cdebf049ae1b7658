#include "app/SerialDevicesForm.h"

#include "platform/MessageText.h"
#include "platform/PortMap.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

using SerialDevices::TAssignment;
using SerialDevices::TDevice;

namespace {

// A vanished adapter must show within a second while the dialog is open.
constexpr int RefreshIntervalMs = 500;

// What the store keeps for a device: its stable name, which survives replugging.
QString StoredName(const TDevice& Device) {
    return Device.Stable.isEmpty() ? Device.Path : Device.Stable;
}

} // namespace

TSerialDevicesForm::TSerialDevicesForm(const QList<TAssignment>& Stored, const QString& StoreError,
                                       QWidget* Parent, const SerialDevices::TRoots& Roots)
    : QDialog(Parent), FStored(Stored), FRoots(Roots), FStoreUnreadable(!StoreError.isEmpty()) {
    setWindowTitle(QStringLiteral("Serial Devices"));
    auto* layout = new QVBoxLayout(this);

    StoreErrorLabel = new QLabel(this);
    StoreErrorLabel->setWordWrap(true);
    StoreErrorLabel->setText(
        StoreError.isEmpty()
            ? QString()
            : QStringLiteral("The port settings cannot be read, so nothing can be assigned.\n") +
                  StoreError);
    StoreErrorLabel->setVisible(!StoreError.isEmpty());
    layout->addWidget(StoreErrorLabel);

    Table = new QTableWidget(0, ColumnCount, this);
    Table->setHorizontalHeaderLabels({QStringLiteral("Device"), QStringLiteral("Kernel name"),
                                      QStringLiteral("USB"), QStringLiteral("State"),
                                      QStringLiteral("Port")});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(Table);

    auto* ports = new QFormLayout;
    for (int n = 1; n <= PortAssignments::PortCount; ++n) {
        QComboBox* box = new QComboBox(this);
        box->setEditable(true);
        box->setEnabled(StoreError.isEmpty());
        for (const TAssignment& a : Stored)
            if (a.Port == ComPorts::PortName(n))
                box->setEditText(a.Path);
        connect(box, &QComboBox::currentTextChanged, this, [this] { RefusalLabel->clear(); });
        PortBox[n - 1] = box;
        ports->addRow(ComPorts::PortLabel(n), box);
    }
    layout->addLayout(ports);

    RefusalLabel = new QLabel(this);
    RefusalLabel->setWordWrap(true);
    layout->addWidget(RefusalLabel);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(Buttons);

    resize(640, 420);
    Refresh();
    FRefreshTimer = new QTimer(this);
    FRefreshTimer->setInterval(RefreshIntervalMs);
    connect(FRefreshTimer, &QTimer::timeout, this, [this] { Refresh(); });
    FRefreshTimer->start();
}

QList<TAssignment> TSerialDevicesForm::Shown() const {
    QList<TAssignment> shown;
    for (int n = 1; n <= PortAssignments::PortCount; ++n) {
        const QString path = PortBox[n - 1]->currentText().trimmed();
        if (!path.isEmpty())
            shown.append({ComPorts::PortName(n), path});
    }
    return shown;
}

void TSerialDevicesForm::Refresh() {
    FRows = SerialDevices::Inventory(Shown(), FRoots);
    const QList<TDevice>& rows = FRows;
    Table->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const TDevice& d = rows[r];
        const QString path = d.AssignedPath.isEmpty() ? d.Path : d.AssignedPath;
        QString state = SerialDevices::Sentence(d.Status, path);
        const QStringList hints = SerialDevices::Hints(d.Status);
        if (!hints.isEmpty())
            state += QChar('\n') + hints.join(QChar('\n'));
        QStringList ports;
        for (const QString& p : d.Ports)
            ports << ComPorts::PortLabel(ComPorts::PortNumber(p));
        const QString cells[ColumnCount] = {
            MessageText::Shown(d.Stable.isEmpty() ? d.Path : d.Stable),
            d.KernelName.isEmpty() ? MessageText::Shown(d.Path) : d.KernelName,
            SerialDevices::Description(d), state, ports.join(QStringLiteral(", "))};
        for (int c = 0; c < ColumnCount; ++c) {
            QTableWidgetItem* item = Table->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                Table->setItem(r, c, item);
            }
            if (item->text() != cells[c])
                item->setText(cells[c]);
        }
    }
    Table->resizeRowsToContents();

    // The choices follow the devices present; what the user typed stays.
    for (QComboBox* box : PortBox) {
        const QString text = box->currentText();
        QStringList choices;
        for (const TDevice& d : rows)
            if (d.Hardware)
                choices << StoredName(d);
        QStringList now;
        for (int i = 0; i < box->count(); ++i)
            now << box->itemText(i);
        if (now == choices)
            continue;
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(choices);
        box->setEditText(text);
    }
}

void TSerialDevicesForm::accept() {
    if (FStoreUnreadable) {
        FResult = {};
        QDialog::accept();
        return;
    }
    QStringList refused;
    for (const TAssignment& a : Shown()) {
        const QString why = SerialDevices::Refusal(a.Path, FRoots);
        if (!why.isEmpty())
            refused << ComPorts::PortLabel(ComPorts::PortNumber(a.Port)) + QStringLiteral(": ") +
                           why;
    }
    if (!refused.isEmpty()) {
        RefusalLabel->setText(refused.join(QChar('\n')));
        return;
    }
    TResult result;
    for (int n = 1; n <= PortAssignments::PortCount; ++n) {
        const QString port = ComPorts::PortName(n);
        const QString path =
            SerialDevices::StoredPath(PortBox[n - 1]->currentText().trimmed(), FRows);
        QString stored;
        bool wasStored = false;
        for (const TAssignment& a : FStored)
            if (a.Port == port) {
                stored = a.Path;
                wasStored = true;
            }
        if (path != stored && (wasStored || !path.isEmpty()))
            result.Changed.append({port, path});
    }
    FResult = result;
    QDialog::accept();
}
