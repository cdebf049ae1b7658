#include "measurement/CalibrationDates.h"

#include "platform/Exception.h"
#include "platform/Registry.h"

namespace CalibrationDates {

TCalibrationDates Read() {
    // Through the store's own reader: its cache, its size limit and its refusal of a FIFO.
    TRegistry reg;
    TCalibrationDates dates;
    if (!reg.OpenKeyReadOnly(Key))
        return dates;
    for (const QString& name : reg.GetValueNames()) {
        if (name.isEmpty())
            continue;
        QString text;
        try {
            text = reg.ReadString(name);
        } catch (const ERegistryException&) {
            continue; // not a text: no date
        }
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid() && text.size() == 10)
            dates.insert(name, date);
    }
    return dates;
}

void Write(const QString& SerialNumber, const QDate& Date) {
    TRegistry reg;
    if (!Date.isValid()) {
        if (reg.OpenKey(Key, false) && reg.ValueExists(SerialNumber))
            reg.DeleteValue(SerialNumber);
        return;
    }
    reg.OpenKeyToWrite(Key, SerialNumber);
    reg.WriteString(SerialNumber, Date.toString(Qt::ISODate));
}

} // namespace CalibrationDates
