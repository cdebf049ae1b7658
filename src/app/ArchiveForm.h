#pragma once

#include "archive/Archive.h"
#include "archive/TeamArchive.h"

#include <QDialog>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTableView;
class TArchiveModel;
class TTeamWorker;

// The archive's window: the measurements newest first, narrowed as the user types a serial
// number, location or job and by a range of days; a report opened from them, rebuilt, the bytes
// exported, a measurement deleted, capture files brought in. "This computer" shows the local
// archive; "Team" the team server's measurements, a page at a time, read in a worker's thread
// and never copied to this computer.
class TArchiveForm : public QDialog {
    Q_OBJECT
public:
    struct THost {
        // The archive to show; nullptr when there is none (the host has said why).
        std::function<TArchive*()> Archive;
        // Puts Lines, a report of the measurement Row, into the editor as a new untitled report;
        // false when the user kept the report there (Cancel at the save-changes prompt).
        std::function<bool(const QStringList& Lines, const TArchiveRow& Row)> OpenReport;
        // The report information in force now, for Rebuild.
        std::function<TReportInfo()> CurrentInfo;
        // Where the file dialogs start.
        std::function<QString()> DataFolder;
        // The team server with the password given in this run; nullopt when none is stored.
        std::function<std::optional<TTeamServer>()> TeamServer;
        // Asks for the team server's password after it asked for one; false on Cancel.
        std::function<bool()> AskTeamPassword;
    };

    // The team list's page.
    static constexpr int TeamPageSize = 200;

    TArchiveForm(THost Host, QWidget* Parent = nullptr);
    ~TArchiveForm() override;

    QLineEdit* Search;
    QCheckBox *FromCheck, *ToCheck;
    QDateEdit *FromDate, *ToDate;
    QTableView* List;
    TArchiveModel* Model;
    QLabel* CountLabel;
    QPushButton *OpenReportButton, *RebuildButton, *ExportRawButton, *DeleteButton, *ImportButton,
        *CloseButton;
    // "This computer" (0) or "Team" (1); the next page of the team list.
    QTabBar* Source;
    QPushButton* MoreButton;

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
    bool TeamShown() const;
    void ExportRaw(const TArchiveEntry& Entry);
    // Runs Then with the selected measurement, read whole: at once from this computer, from
    // the team server when its reply comes.
    void WithSelected(std::function<void(const TArchiveEntry&)> Then);
    // Reads the team list's first page again for the filter, or its next page.
    void ListTeam(bool More);
    // The list's reply: false when it came too late (the filter changed meanwhile).
    bool TeamListed(bool More);
    // Runs Work on the team server in the worker's thread, then Then here, or Failed with what
    // went wrong; asks for the password and tries again when the server wants one.
    void OnTeam(std::function<void(TTeamArchive&)> Work, std::function<void()> Then,
                std::function<void(std::exception_ptr)> Failed);

    THost FHost;
    std::unique_ptr<TTeamWorker> FTeamWorker;
    std::vector<TArchiveRow> FTeamRows;
    std::optional<TTeamCursor> FTeamNext;
    bool FTeamListing = false, FTeamListAgain = false;
};
