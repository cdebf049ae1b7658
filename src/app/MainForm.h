#pragma once

#include "acquisition/DownloadSession.h"
#include "app/ArchiveKeeper.h"
#include "app/ErrorHandler.h"
#include "info/ReportInformation.h"
#include "measurement/Summary.h"
#include "report/ReportInfo.h"
#include "settings/Settings.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QPrinter>
#include <QStringList>
#include <memory>

class QAction;
class QActionGroup;
class QFileDialog;
class QLabel;
class QSplitter;
class QTimer;
class TAboutForm;
class TArchiveForm;
class TDeviceWatcher;
class TInfoForm;
class TReadingsPanel;
class TReportEditor;
class TTeamSync;

// The program's only top-level window: the report editor, every command, the status bar and
// the download's state.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* Parent = nullptr);
    ~TMainForm() override;

    // Runs the creation handler; called once by start-up right after construction.
    void FormCreate();
    void SetInfoForm(TInfoForm* Form);
    // Made at start-up after this window, as the About command's window; owned by this window.
    void SetAboutForm(TAboutForm* Form) { AboutForm = Form; }
    // The report information, read at creation; start-up gives it to the information dialog.
    TReportInformation& Information() { return FInformation; }

protected:
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    // How long the readings panel waits after the last change of the editor's text.
    static constexpr int ReadingsDelayMs = 300;
    // Without udev's device events the port items are checked this often.
    static constexpr int PortCheckIntervalMs = 500;

    // Handlers of the menus, the editor and the idle loop.
    void FileNewClick();
    void FileOpenClick();
    void FileSaveClick();
    void FileSaveAsClick();
    void FileExportCsvClick();
    void FileClientReportClick();
    void FileArchiveClick();
    void FilePrintClick();
    void FilePrinterSetupClick();
    void FileExitClick();
    void EditUndoClick();
    void EditCutClick();
    void EditCopyClick();
    void EditPasteClick();
    void InfoClick();
    void FontClick();
    void ComPortClick(int N);
    void ComPortDevicesClick();
    // Ends a listening or acquiring download without a report.
    void ComPortStopClick();
    void GetDataClick();
    void AboutClick();
    void ViewReadingsClick();
    void ViewUnitsClick(TUnit Unit);
    // Asks for the reference level; OK applies and stores it.
    void ViewLevelClick();
    void AppIdle();
    void TextMemoChange();

    // Enables the port items whose device is there now, each with why in its tool tip; the
    // port a download holds stays as it is.
    void UpdatePortItems();
    // Keeps the port items up to date: from udev's device events where udev runs, else by a
    // check every PortCheckIntervalMs.
    void WatchPorts(bool UseUdev);
    // Measures the editor's report into the panel when it is shown.
    void UpdateReadings();
    // The report information's dialog applied by OK: the report rebuilt with it.
    void ApplyReportInformation(const TReportInfo& Info);
    // A report from the archive as a new untitled report, after the save-changes prompt; false
    // when the user kept the one in the editor.
    bool OpenArchivedReport(const QStringList& Lines, const TArchiveRow& Row);
    // Save-changes prompt: true to go on, false when the caller must stop.
    bool ConfirmDiscard();
    // The editor's text as report lines.
    QStringList EditorLines() const;
    // Index of the save dialog's file type, 1 to 3.
    int SaveFilterIndex() const;

    // Controls; each has its member's name as object name, by which tests find it.
    TReportEditor* TextMemo;
    QLabel* StatusPanel;
    // Bytes, time and rate of the running download, at the right of the status bar.
    QLabel* ProgressPanel;
    QFileDialog* SaveDialog;
    QFileDialog* OpenDialog;
    QAction *FileNew, *FileOpen, *FileSave, *FileSaveAs, *FilePrint, *FilePrinterSetup, *FileExit;
    QAction *EditUndo, *EditCut, *EditCopy, *EditPaste, *Info, *Font;
    QAction* ComPortCom[4]; // "ComPortCom1" to "ComPortCom4"
    QAction* ComPortDevices;
    QAction* ComPortStop;
    QAction *GetData, *About;
    QAction *ViewReadings, *ViewPciL, *ViewBqM3, *FileExportCsv, *FileClientReport;
    QAction* ViewLevel;
    QAction* FileArchive;
    // Made when first opened; owned by this window.
    TArchiveForm* ArchiveForm = nullptr;
    TReadingsPanel* ReadingsPanel;
    // Restarted by every change of the editor's text; the panel follows when it runs out.
    QTimer* tmrReadings;
    TAboutForm* AboutForm = nullptr;
    // Pages are laid out in the printer's own device pixels, not the screen's.
    QPrinter Printer{QPrinter::HighResolution};
    TDeviceWatcher* PortWatcher = nullptr;
    QTimer* PortCheckTimer = nullptr;

    // Sets the controls' object names.
    void NameControls();
    bool FormClose();
    // No usable installation folder at start: makes and stores one, as halvorn-setup does.
    void FirstStart();
    // Empties the editor; the report has no file any more.
    void ClearReport();
    void SetCaption();
    // The Save As and Open dialogs, kept for the run so each opens where the last one closed.
    void CreateFileDialogs();
    void CreateMenus();
    // The editor's readings; a report without a readings table raises an Exception that
    // begins with NotDone.
    TReadings ReadingsOrRefuse(const QString& NotDone) const;
    // Asks for the name of a file the report is turned into; empty when the user cancels. The
    // report's own file name stays as it is.
    QString AskOutputFile(const QString& Title, const QString& Filter, const QString& Suffix);
    void ApplyView(const Settings::TView& View);
    QAction* AddItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                     const QKeySequence& Shortcut = {});

    // The download is over, however it ended: Stop, progress, status, port items, the report
    // and what is to be said of it.
    void DownloadEnded(const TDownloadResult& Result);

    Settings::TValues FSettings;
    QString FFileName;
    // The download: its port, ticks, end, and where its bytes go.
    TDownloadSession* FSession;
    TInfoForm* FInfoForm = nullptr;
    QActionGroup* FPortGroup;
    QMetaObject::Connection FIdleConnection;
    bool FClipboardHasText = false;
    QSplitter* FSplitter;
    TUnit FUnit = TUnit::PciL;
    // The report information's one model, which the information dialog edits.
    TReportInformation FInformation;
    // The measurement the editor's report is of (0: none, a report from a file or typed) and its
    // job, as the client report's dialog gave it.
    qint64 FMeasurementId = 0;
    TJob FJob;
    // The job into the archive with its measurement, or for this session.
    void KeepJob(const TJob& Job);
    TReferenceLevel FLevel = ReferenceLevels::Epa();
    TArchiveKeeper FArchive{[](const QString& Text) { ErrorHandler::Show(Text); }};
    // The push to the team server and its status-bar field.
    TTeamSync* FTeam;
};
