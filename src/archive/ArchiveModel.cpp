#include "archive/ArchiveModel.h"

#include "platform/DateTimeText.h"

void TArchiveModel::SetRows(std::vector<TArchiveRow> Rows) {
    beginResetModel();
    FRows = std::move(Rows);
    Narrow();
    endResetModel();
}

void TArchiveModel::SetText(const QString& Text) {
    beginResetModel();
    FText = Text;
    Narrow();
    endResetModel();
}

void TArchiveModel::Narrow() {
    FShown.clear();
    FShown.reserve(FRows.size());
    for (size_t I = 0; I < FRows.size(); ++I)
        if (TArchiveFilter::Matches(FRows[I], FText))
            FShown.push_back(int(I));
}

const TArchiveRow* TArchiveModel::RowAt(int Row) const {
    return Row >= 0 && size_t(Row) < FShown.size() ? &FRows[size_t(FShown[size_t(Row)])] : nullptr;
}

QString TArchiveModel::DateText(const QDateTime& Time) {
    if (!Time.isValid())
        return None;
    const QDateTime Local = Time.toLocalTime();
    return DateTimeText::FormatDate(Local.date()) + QLatin1Char(' ') +
           DateTimeText::FormatTime(Local.time());
}

int TArchiveModel::rowCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : int(FShown.size());
}

int TArchiveModel::columnCount(const QModelIndex& Parent) const {
    return Parent.isValid() ? 0 : ColumnCount;
}

QVariant TArchiveModel::data(const QModelIndex& Index, int Role) const {
    const TArchiveRow* Row = RowAt(Index.row());
    if (!Row)
        return {};
    if (Role == Qt::TextAlignmentRole &&
        (Index.column() == Readings || Index.column() == EpaProtocol))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (Role != Qt::DisplayRole)
        return {};
    switch (Index.column()) {
    case Start:
        return DateText(Row->Start);
    case Received:
        return DateText(Row->ReceivedAt);
    case Serial:
        return Row->SerialNumber.isEmpty() ? None : Row->SerialNumber;
    case Location:
        return Row->Location.isEmpty() ? None : Row->Location;
    case Readings:
        return Row->Readings ? QString::number(*Row->Readings) : QString();
    case EpaProtocol:
        return Row->EpaProtocol.value_or(QString());
    case State:
        return ArchiveStates::Name(Row->State);
    case Job: {
        QStringList Given;
        for (const QString& Field : {Row->Job.Client, Row->Job.Address})
            if (!Field.isEmpty())
                Given << Field;
        return Given.isEmpty() ? None : Given.join(QStringLiteral(", "));
    }
    default:
        return {};
    }
}

QVariant TArchiveModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
    if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(Section, Orientation, Role);
    switch (Section) {
    case Start:
        return QStringLiteral("Start");
    case Received:
        return QStringLiteral("Received");
    case Serial:
        return QStringLiteral("Serial #");
    case Location:
        return QStringLiteral("Location");
    case Readings:
        return QStringLiteral("Readings");
    case EpaProtocol:
        return QStringLiteral("EPA Protocol");
    case State:
        return QStringLiteral("State");
    case Job:
        return QStringLiteral("Job");
    default:
        return {};
    }
}
