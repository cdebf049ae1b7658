#pragma once

#include "archive/Archive.h"

#include <QDialog>
#include <functional>
#include <optional>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TArchiveModel;

// The archive's window: the measurements newest first, narrowed as the user types a serial
// number or location and by a range of days; a report opened from them, rebuilt, the bytes
// exported, a measurement deleted, capture files brought in.
class TArchiveForm : public QDialog {
    Q_OBJECT
public:
    struct THost {
        // The archive to show; nullptr when there is none (the host has said why).
        std::function<TArchive*()> Archive;
        // Puts Lines into the editor as a new untitled report; false when the user kept the
        // report there (Cancel at the save-changes prompt).
        std::function<bool(const QStringList& Lines)> OpenReport;
        // The report information in force now, for Rebuild.
        std::function<TReportInfo()> CurrentInfo;
        // Where the file dialogs start.
        std::function<QString()> DataFolder;
    };

    TArchiveForm(THost Host, QWidget* Parent = nullptr);

    QLineEdit* Search;
    QCheckBox *FromCheck, *ToCheck;
    QDateEdit *FromDate, *ToDate;
    QTableView* List;
    TArchiveModel* Model;
    QLabel* CountLabel;
    QPushButton *OpenReportButton, *RebuildButton, *ExportRawButton, *DeleteButton, *ImportButton,
        *CloseButton;

    // Reads the list again for the range of days; the search text narrows what it holds.
    void Refresh();
    void SearchChange();
    void OpenReportClick();
    void RebuildClick();
    void ExportRawClick();
    void DeleteClick();
    void ImportCapturesClick();

    TArchiveFilter Filter() const;
    // The selected measurement, read whole; nullopt without a selection.
    std::optional<TArchiveEntry> Selected();

private:
    void UpdateButtons();
    void ShowCount();
    TArchive* Archive() const;
    QString StartFolder() const;

    THost FHost;
};
