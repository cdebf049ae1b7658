#pragma once

#include "archive/Archive.h"

#include <QAbstractTableModel>
#include <vector>

// The archive's list for a view: the report's start and the receiving time (local), serial
// number, location, readings, EPA Protocol, state and the job's client and address, in the order
// the archive gave the rows (newest first). Texts are made only for the cells a view asks for;
// typing narrows the rows held without a query. A field the measurement has none of shows as "—".
class TArchiveModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn {
        Start,
        Received,
        Serial,
        Location,
        Readings,
        EpaProtocol,
        State,
        Job,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The rows held; those matching the text (TArchiveFilter::Matches) are shown.
    void SetRows(std::vector<TArchiveRow> Rows);
    void SetText(const QString& Text);
    // The shown row's measurement; nullptr outside the list.
    const TArchiveRow* RowAt(int Row) const;
    // "12/8/2026 2:03:22 PM": a time in the user's short date and long time; "—" for none.
    static QString DateText(const QDateTime& Time);
    static inline const QString None = QStringLiteral("\u2014");

    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
    QVariant headerData(int Section, Qt::Orientation Orientation,
                        int Role = Qt::DisplayRole) const override;

private:
    void Narrow();

    std::vector<TArchiveRow> FRows;
    QString FText;
    std::vector<int> FShown; // indexes into FRows
};
