#include "measurement/CalibrationDates.h"

#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "platform/RegFile.h"
#include "platform/Registry.h"

#include <QFile>

namespace CalibrationDates {

TCalibrationDates Read() {
    // The store's reader answers one value at a time by name; the names are the serial
    // numbers, so the key is read from the file as a whole.
    const QString path = TRegistry::StorePath();
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        throw ERegistryException(QStringLiteral("Cannot read the calibration dates from %1: %2")
                                     .arg(MessageText::Shown(path, -1), file.errorString()));
    if (file.size() > RegFile::MaxFileSize)
        throw ERegistryException(
            QStringLiteral("Cannot read the calibration dates from %1: the file is too large")
                .arg(MessageText::Shown(path, -1)));
    const RegFile::Document doc = RegFile::Parse(file.readAll(), path);
    const RegFile::Key* key = RegFile::FindKey(doc, QStringLiteral("HKEY_CURRENT_USER\\") + Key);
    TCalibrationDates dates;
    if (!key)
        return dates;
    for (const RegFile::Value& v : key->Values) {
        QString text;
        if (v.Type == RegFile::ValueType::Comment || v.Name.isEmpty() ||
            !RegFile::StringOf(v, text))
            continue;
        const QDate date = QDate::fromString(text, Qt::ISODate);
        if (date.isValid() && text.size() == 10)
            dates.insert(v.Name, date);
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
    if (!reg.OpenKey(Key, true))
        throw ERegistryException(
            QStringLiteral("Failed to set data for '%1'\n%2").arg(SerialNumber, reg.LastError()));
    reg.WriteString(SerialNumber, Date.toString(Qt::ISODate));
}

} // namespace CalibrationDates
