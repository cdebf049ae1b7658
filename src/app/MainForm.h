#pragma once

#include "acquisition/Download.h"
#include "acquisition/TSerialPort.h"
#include "app/ArchiveKeeper.h"
#include "app/ErrorHandler.h"
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
class QPlainTextEdit;
class QSplitter;
class QTimer;
class TAboutForm;
class TArchiveForm;
class TDeviceWatcher;
class TInfoForm;
class TReadingsPanel;

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

    // How long the readings panel waits after the last change of the editor's text.
    static constexpr int ReadingsDelayMs = 300;
    // Pages are laid out in the printer's own device pixels, not the screen's.
    QPrinter Printer{QPrinter::HighResolution};
    // Made at start-up after this window, as the About command's window; owned by this window.
    void SetAboutForm(TAboutForm* Form) { AboutForm = Form; }

    // The download's port and its state.
    std::unique_ptr<TSerialPort> SerialPort;
    std::unique_ptr<TDownload> Download;
    // The settings as they stand: the port chosen, the information switch, the installation
    // folder and the editor font.
    const Settings::TValues& SettingsValues() const { return FSettings; }
    // The editor font, shown at once and stored at close.
    void SetEditorFont(const Settings::TEditorFont& Font);

    // Handlers.
    void FileNewClick();
    void FileOpenClick();
    void FileSaveClick();
    void FileSaveAsClick();
    void FileExportCsvClick();
    void FileClientReportClick();
    void FileArchiveClick();
    // A report from the archive as a new untitled report, after the save-changes prompt; false
    // when the user kept the one in the editor.
    bool OpenArchivedReport(const QStringList& Lines);
    TArchiveKeeper& ArchiveKeeper() { return FArchive; }
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
    // Enables the port items whose device is there now, each with why in its tool tip; the
    // port a download holds stays as it is.
    void UpdatePortItems();
    // Keeps the port items up to date: from udev's device events where udev runs, else by a
    // check every PortCheckIntervalMs.
    void WatchPorts(bool UseUdev);
    static constexpr int PortCheckIntervalMs = 500;
    void GetDataClick();
    void AboutClick();
    void ViewReadingsClick();
    void ViewUnitsClick(TUnit Unit);
    // Measures the editor's report into the panel when it is shown.
    void UpdateReadings();
    TUnit Unit() const { return FUnit; }
    void tmrReceiveTimer();
    void AppIdle();
    void TextMemoChange();
    void BuildReport();
    void ApplyReportInformation(const TReportInfo& Info);

    // Save-changes prompt: true to go on, false when the caller must stop.
    bool ConfirmDiscard();

    QString FileName() const { return FFileName; }
    QString StatusText() const;
    void SetStatusText(const QString& Text);

    // The editor's text as report lines (a line ends at each line break; a trailing empty
    // line after the last break is no line) and the whole text as file lines.
    QStringList EditorLines() const;
    QStringList EditorFileLines() const;
    // Replaces the editor's text. Modified says whether the result counts as unsaved.
    void SetEditorLines(const QStringList& Lines, bool Modified);
    bool Modified() const;
    void SetModified(bool Modified);

    // Index of the save dialog's file type, 1 to 3.
    int SaveFilterIndex() const;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    // Controls; each has its member's name as object name, by which tests find it.
    QPlainTextEdit* TextMemo;
    QLabel* StatusPanel;
    // Bytes, time and rate of the running download, at the right of the status bar.
    QLabel* ProgressPanel;
    QTimer* tmrReceive;
    QFileDialog* SaveDialog;
    QFileDialog* OpenDialog;
    QAction *FileNew, *FileOpen, *FileSave, *FileSaveAs, *FilePrint, *FilePrinterSetup, *FileExit;
    QAction *EditUndo, *EditCut, *EditCopy, *EditPaste, *Info, *Font;
    QAction* ComPortCom[4]; // "ComPortCom1" to "ComPortCom4"
    QAction* ComPortDevices;
    QAction* ComPortStop;
    QAction *GetData, *About;
    QAction *ViewReadings, *ViewPciL, *ViewBqM3, *FileExportCsv, *FileClientReport;
    QAction* FileArchive;
    // Made when first opened; owned by this window.
    TArchiveForm* ArchiveForm = nullptr;
    TReadingsPanel* ReadingsPanel;
    // Restarted by every change of the editor's text; the panel follows when it runs out.
    QTimer* tmrReadings;
    TAboutForm* AboutForm = nullptr;
    TDeviceWatcher* PortWatcher = nullptr;
    QTimer* PortCheckTimer = nullptr;

    // Sets the controls' object names.
    void NameControls();
    void ApplyEditorFont();
    bool FormClose();
    // No usable installation folder at start: makes and stores one, as halvorn-setup does.
    void FirstStart();
    // Empties the editor; the report has no file any more.
    void ClearReport();
    void SetCaption();
    void CreateMenus();
    // Asks for the name of a file the report is turned into; empty when the user cancels. The
    // report's own file name stays as it is.
    // The editor's readings; a report without a readings table raises an Exception that
    // begins with NotDone.
    TReadings ReadingsOrRefuse(const QString& NotDone) const;
    QString AskOutputFile(const QString& Title, const QString& Filter, const QString& Suffix);
    void ApplyView(const Settings::TView& View);
    // The calibration dates of the store; none when it cannot be read (start-up says why).
    void ReadCalibration();
    QAction* AddItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                     const QKeySequence& Shortcut = {});

    // The download is over, however it ended: timer, Stop, progress, status and port items.
    void DownloadEnded();
    void ShowProgress();
    // Writes Bytes into the captures folder: the file, or empty when there are none or (Error
    // set) they could not be written.
    QString KeepCapture(const QByteArray& Bytes, QString& Error);
    // Stores a download in the archive with the port, device and report information in force.
    TArchiveKeeper::TKept ArchiveDownload(TArchiveState State, const QByteArray& Bytes,
                                          const QString& Error = {});
    // The bytes of a transfer that ended without a report, into the archive or, when that is
    // off or fails (ArchiveError set), a capture file: where they are, or empty when no byte
    // came or (CaptureError set) they could not be kept.
    QString KeepUnfinished(TArchiveState State, const QString& Error, QString& ArchiveError,
                           QString& CaptureError);
    // A complete download the archive did not take: its bytes into a capture file, and one
    // message with both (only the status line when the archive is off, which was said once).
    void ArchiveFailed(const QString& ArchiveError, const QByteArray& Bytes);

    Settings::TValues FSettings;
    QString FFileName;
    QElapsedTimer FDownloadClock;
    QDateTime FDownloadStarted;
    qint64 FKeptBytes = 0;
    TInfoForm* FInfoForm = nullptr;
    QActionGroup* FPortGroup;
    QMetaObject::Connection FIdleConnection;
    bool FClipboardHasText = false;
    QSplitter* FSplitter;
    TUnit FUnit = TUnit::PciL;
    TCalibrationDates FCalibration;
    TArchiveKeeper FArchive{[](const QString& Text) { ErrorHandler::Show(Text); }};
};
