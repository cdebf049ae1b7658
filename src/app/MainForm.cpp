#include "app/MainForm.h"

#include "acquisition/CaptureFile.h"
#include "acquisition/DownloadProgress.h"
#include "acquisition/ECommError.h"
#include "app/ArchiveForm.h"
#include "app/ClientReportDialog.h"
#include "app/DownloadWords.h"
#include "app/ErrorHandler.h"
#include "app/FontDialog.h"
#include "app/ReadingsPanel.h"
#include "app/ReferenceLevelDialog.h"
#include "app/ReportEditor.h"
#include "app/SerialDevicesForm.h"
#include "app/TeamSync.h"
#include "components/serial/DeviceWatcher.h"
#include "components/ui/About.h"
#include "info/InfoForm.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/AtomicWrite.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"
#include "platform/PortMap.h"
#include "platform/Registry.h"
#include "platform/SerialDevices.h"
#include "platform/SignalWatcher.h"
#include "report/ApplyInfo.h"
#include "settings/InstallFolder.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>

TMainForm::TMainForm(QWidget* Parent) : QMainWindow(Parent) {
    setWindowTitle(QStringLiteral("Halvorn - Untitled"));
    resize(523, 526);
    // The paper of the user's territory until a dialog picks another for this run.
    Printer.setPageSize(
        QPageSize(Paper::LocalePaper() == TPaper::Letter ? QPageSize::Letter : QPageSize::A4));

    TextMemo = new TReportEditor(this);
    ReadingsPanel = new TReadingsPanel;
    FSplitter = new QSplitter(Qt::Vertical, this);
    FSplitter->addWidget(TextMemo);
    FSplitter->addWidget(ReadingsPanel);
    FSplitter->setChildrenCollapsible(false);
    FSplitter->setStretchFactor(0, 3);
    FSplitter->setStretchFactor(1, 2);
    ReadingsPanel->hide();
    setCentralWidget(FSplitter);
    TextMemo->SetStoredFont(FSettings.Font);
    connect(TextMemo, &QPlainTextEdit::textChanged, this, [this] { TextMemoChange(); });

    tmrReadings = new QTimer(this);
    tmrReadings->setSingleShot(true);
    tmrReadings->setInterval(ReadingsDelayMs);
    connect(tmrReadings, &QTimer::timeout, this,
            ErrorHandler::Guarded([this] { UpdateReadings(); }));

    StatusPanel = new QLabel(QStringLiteral("Idle"));
    statusBar()->addWidget(StatusPanel, 1);
    ProgressPanel = new QLabel;
    statusBar()->addPermanentWidget(ProgressPanel);
    FTeam = new TTeamSync([this] { return FArchive.Readable(FSettings.InstallDir); }, this);
    statusBar()->addPermanentWidget(FTeam->Field());
    statusBar()->setSizeGripEnabled(true);
    statusBar()->setFixedHeight(19);

    FSession = new TDownloadSession(this);
    connect(FSession, &TDownloadSession::Progress, this,
            [this](TDownload::TState State, qint64 Bytes, qint64 ElapsedMs) {
                StatusPanel->setText(::StatusText(State, FSettings.PortNumber));
                ProgressPanel->setText(DownloadProgress::Text(Bytes, ElapsedMs));
            });
    connect(FSession, &TDownloadSession::Ended, this, [this](const TDownloadResult& Result) {
        ErrorHandler::Run([&] { DownloadEnded(Result); });
    });

    CreateFileDialogs();

    // A child like the controls, found by its name; a member, it is gone before the window
    // deletes its children.
    FArchive.setParent(this);
    CreateMenus();
    NameControls();
}

void TMainForm::NameControls() {
    const std::pair<QObject*, const char*> named[] = {
        {TextMemo, "TextMemo"},
        {StatusPanel, "StatusPanel"},
        {ProgressPanel, "ProgressPanel"},
        {FSession, "Session"},
        {&FArchive, "ArchiveKeeper"},
        {SaveDialog, "SaveDialog"},
        {OpenDialog, "OpenDialog"},
        {FileNew, "FileNew"},
        {FileOpen, "FileOpen"},
        {FileSave, "FileSave"},
        {FileSaveAs, "FileSaveAs"},
        {FilePrint, "FilePrint"},
        {FilePrinterSetup, "FilePrinterSetup"},
        {FileExit, "FileExit"},
        {EditUndo, "EditUndo"},
        {EditCut, "EditCut"},
        {EditCopy, "EditCopy"},
        {EditPaste, "EditPaste"},
        {Info, "Info"},
        {Font, "Font"},
        {ComPortDevices, "ComPortDevices"},
        {ComPortStop, "ComPortStop"},
        {GetData, "GetData"},
        {About, "About"},
        {ViewReadings, "ViewReadings"},
        {ViewPciL, "ViewPciL"},
        {ViewBqM3, "ViewBqM3"},
        {ViewLevel, "ViewLevel"},
        {FileExportCsv, "FileExportCsv"},
        {FileClientReport, "FileClientReport"},
        {FileArchive, "FileArchive"},
        {ReadingsPanel, "ReadingsPanel"},
        {tmrReadings, "tmrReadings"},
    };
    for (const auto& [object, name] : named)
        object->setObjectName(QLatin1String(name));
    for (int n = 1; n <= 4; ++n)
        ComPortCom[n - 1]->setObjectName(QStringLiteral("ComPortCom%1").arg(n));
}

TMainForm::~TMainForm() {
    if (FIdleConnection)
        disconnect(FIdleConnection);
}

QAction* TMainForm::AddItem(QMenu* Menu, const QString& Caption, void (TMainForm::*Handler)(),
                            const QKeySequence& Shortcut) {
    QAction* a = Menu->addAction(Caption);
    if (!Shortcut.isEmpty())
        a->setShortcut(Shortcut);
    connect(a, &QAction::triggered, this,
            ErrorHandler::Guarded([this, Handler] { (this->*Handler)(); }));
    return a;
}

void TMainForm::CreateMenus() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    FileNew = AddItem(file, QStringLiteral("&Clear"), &TMainForm::FileNewClick);
    FileNew->setEnabled(false);
    FileOpen = AddItem(file, QStringLiteral("&Open..."), &TMainForm::FileOpenClick);
    FileSave = AddItem(file, QStringLiteral("&Save..."), &TMainForm::FileSaveClick);
    FileSaveAs = AddItem(file, QStringLiteral("Save &As..."), &TMainForm::FileSaveAsClick);
    FileExportCsv = AddItem(file, QStringLiteral("Export CS&V..."), &TMainForm::FileExportCsvClick);
    FileClientReport =
        AddItem(file, QStringLiteral("Client Report (P&DF)..."), &TMainForm::FileClientReportClick);
    FileArchive = AddItem(file, QStringLiteral("Arc&hive..."), &TMainForm::FileArchiveClick);
    file->addSeparator();
    FilePrint = AddItem(file, QStringLiteral("&Print..."), &TMainForm::FilePrintClick);
    FilePrinterSetup =
        AddItem(file, QStringLiteral("Printer &Setup..."), &TMainForm::FilePrinterSetupClick);
    file->addSeparator();
    FileExit = AddItem(file, QStringLiteral("&Exit"), &TMainForm::FileExitClick);

    QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
    EditUndo = AddItem(edit, QStringLiteral("&Undo"), &TMainForm::EditUndoClick,
                       QKeySequence(Qt::CTRL | Qt::Key_Z));
    edit->addSeparator();
    EditCut = AddItem(edit, QStringLiteral("Cu&t"), &TMainForm::EditCutClick,
                      QKeySequence(Qt::CTRL | Qt::Key_X));
    EditCopy = AddItem(edit, QStringLiteral("&Copy"), &TMainForm::EditCopyClick,
                       QKeySequence(Qt::CTRL | Qt::Key_C));
    EditPaste = AddItem(edit, QStringLiteral("&Paste"), &TMainForm::EditPasteClick,
                        QKeySequence(Qt::CTRL | Qt::Key_V));
    edit->addSeparator();
    Info = AddItem(edit, QStringLiteral("&Info..."), &TMainForm::InfoClick);
    Font = AddItem(edit, QStringLiteral("Font..."), &TMainForm::FontClick);

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    ViewReadings = AddItem(view, QStringLiteral("&Readings"), &TMainForm::ViewReadingsClick);
    ViewReadings->setCheckable(true);
    QMenu* units = view->addMenu(QStringLiteral("&Units"));
    auto* unitGroup = new QActionGroup(this);
    ViewPciL = units->addAction(Units::Name(TUnit::PciL));
    ViewBqM3 = units->addAction(Units::Name(TUnit::BqM3));
    for (auto [action, unit] :
         {std::pair{ViewPciL, TUnit::PciL}, std::pair{ViewBqM3, TUnit::BqM3}}) {
        action->setCheckable(true);
        unitGroup->addAction(action);
        connect(action, &QAction::triggered, this,
                ErrorHandler::Guarded([this, unit = unit] { ViewUnitsClick(unit); }));
    }
    ViewPciL->setChecked(true);
    ViewLevel = AddItem(view, QStringLiteral("Reference &Level..."), &TMainForm::ViewLevelClick);

    QMenu* ports = bar->addMenu(QStringLiteral("&Com Port"));
    FPortGroup = new QActionGroup(this);
    FPortGroup->setExclusive(true);
    for (int n = 1; n <= 4; ++n) {
        QAction* a = ports->addAction(ComPorts::PortLabel(n));
        a->setCheckable(true);
        a->setEnabled(false);
        FPortGroup->addAction(a);
        ComPortCom[n - 1] = a;
    }
    // Triggering a checkable item toggles it before the handler runs: restore the marks
    // first so a refused change (port held open by a download) leaves them as they were.
    for (int n = 1; n <= 4; ++n) {
        connect(ComPortCom[n - 1], &QAction::triggered, this, ErrorHandler::Guarded([this, n] {
                    for (int i = 1; i <= 4; ++i)
                        ComPortCom[i - 1]->setChecked(i == FSettings.PortNumber);
                    ComPortClick(n);
                }));
    }
    ports->addSeparator();
    ComPortDevices = AddItem(ports, QStringLiteral("&Devices..."), &TMainForm::ComPortDevicesClick);
    ComPortStop = AddItem(ports, QStringLiteral("&Stop"), &TMainForm::ComPortStopClick,
                          QKeySequence(Qt::Key_Escape));
    ComPortStop->setEnabled(false);
    ports->setToolTipsVisible(true);

    GetData = bar->addAction(QStringLiteral("Get &Data"));
    connect(GetData, &QAction::triggered, this, ErrorHandler::Guarded([this] { GetDataClick(); }));
    About = bar->addAction(QStringLiteral("&About"));
    connect(About, &QAction::triggered, this, ErrorHandler::Guarded([this] { AboutClick(); }));
}

void TMainForm::SetInfoForm(TInfoForm* Form) {
    FInfoForm = Form;
    if (Form) {
        Form->OnApply = [this](const TReportInfo& Info) { ApplyReportInformation(Info); };
        connect(Form, &TInfoForm::EnableChanged, this,
                [this](int InfoEnable) { FSettings.InfoEnable = InfoEnable; });
        Form->OnError = [](const QString& Text) { ErrorHandler::Show(Text); };
    }
}

void TMainForm::FormCreate() {
    try {
        Settings::Load(FSettings);
    } catch (...) {
        TextMemo->SetStoredFont(FSettings.Font);
        // The rest of creation is skipped for this run; the window still opens.
        ErrorHandler::Show(ErrorHandler::CurrentExceptionText());
        return;
    }
    TextMemo->SetStoredFont(FSettings.Font);
    ErrorHandler::Run([this] { ApplyView(Settings::TReader().View()); });
    if (!InstallFolder::Usable(FSettings.InstallDir))
        ErrorHandler::Run([this] { FirstStart(); });
    ErrorHandler::Run(
        [this] { FInformation.Load(FSettings.InstallDir, FSettings.InfoEnable != 0); });
    UpdatePortItems();
    WatchPorts(true);
    if (FSettings.PortNumber >= 1 && FSettings.PortNumber <= 4)
        ErrorHandler::Run([this] { ComPortClick(FSettings.PortNumber); });
    // Without a folder the dialogs keep Qt's own start folder: never one under the root.
    if (InstallFolder::Usable(FSettings.InstallDir)) {
        const QString data = FSettings.InstallDir + QDir::separator() + QStringLiteral("Data");
        OpenDialog->setDirectory(data);
        SaveDialog->setDirectory(data);
    }
    // Asking the clipboard at every idle call would be a round trip to the display server on
    // X11; its change signal keeps the answer instead.
    auto clipboardChanged = [this] {
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        FClipboardHasText = clip && clip->hasText();
    };
    clipboardChanged();
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, clipboardChanged);
    // A logout, a closed terminal or Ctrl+C where the window was started: the download's bytes
    // are kept as Stop keeps them, then the window closes as Exit closes it.
    auto* ending = new TSignalWatcher({SIGINT, SIGTERM, SIGHUP}, this);
    ending->setObjectName(QStringLiteral("SignalWatcher"));
    connect(ending, &TSignalWatcher::Received, this, [this](int Signal) {
        FSession->Stop(Signal);
        close();
    });
    FIdleConnection = connect(QAbstractEventDispatcher::instance(),
                              &QAbstractEventDispatcher::aboutToBlock, this, [this] { AppIdle(); });
    FTeam->Push();
}

void TMainForm::ApplyView(const Settings::TView& View) {
    FUnit = View.Unit;
    FLevel = Settings::TReader().Level();
    (FUnit == TUnit::BqM3 ? ViewBqM3 : ViewPciL)->setChecked(true);
    ViewReadings->setChecked(View.ReadingsShown);
    ReadingsPanel->setVisible(View.ReadingsShown);
    UpdateReadings();
}

void TMainForm::FirstStart() {
    const InstallFolder::TResult r = InstallFolder::FirstStart();
    FSettings.InstallDir = r.Dir;
    if (r.Stored)
        StatusPanel->setText(
            QStringLiteral("First start: made the installation folder %1 and its Data "
                           "folder, and stored it as \"InstallDir\"")
                .arg(r.Dir));
}

void TMainForm::ComPortClick(int N) {
    // The port a download holds stays its port until the download ends.
    if (FSession->Running() && N != FSettings.PortNumber)
        throw ECommError(ECommError::PortAlreadyOpen, 0);
    ComPortCom[N - 1]->setChecked(true);
    GetData->setEnabled(true);
    FSettings.PortNumber = N;
}

void TMainForm::ComPortDevicesClick() {
    QList<SerialDevices::TAssignment> stored;
    QString storeError;
    try {
        stored = PortAssignments::Read();
    } catch (...) {
        storeError = ErrorHandler::CurrentExceptionText();
    }
    TSerialDevicesForm dialog(stored, storeError, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PortAssignments::Store(dialog.Result().Changed);
    UpdatePortItems();
}

void TMainForm::UpdatePortItems() {
    QStringList paths;
    for (int n = 1; n <= 4; ++n) {
        try {
            paths << PortMap::DevicePath(ComPorts::PortName(n));
        } catch (...) {
            // The store cannot be read now: the items stay as they are until it can.
            return;
        }
    }
    for (int n = 1; n <= 4; ++n) {
        if (FSession->Running() && n == FSettings.PortNumber)
            continue;
        const SerialDevices::TAvailability Device = SerialDevices::Availability(paths[n - 1]);
        ComPortCom[n - 1]->setEnabled(Device.There);
        ComPortCom[n - 1]->setToolTip(Device.Why);
    }
}

void TMainForm::WatchPorts(bool UseUdev) {
    if (!PortWatcher) {
        PortWatcher = new TDeviceWatcher(this);
        PortWatcher->setObjectName(QStringLiteral("PortWatcher"));
        connect(PortWatcher, &TDeviceWatcher::DeviceArrived, this, [this] { UpdatePortItems(); });
        connect(PortWatcher, &TDeviceWatcher::DeviceRemoved, this, [this] { UpdatePortItems(); });
        PortCheckTimer = new QTimer(this);
        PortCheckTimer->setObjectName(QStringLiteral("PortCheckTimer"));
        PortCheckTimer->setInterval(PortCheckIntervalMs);
        connect(PortCheckTimer, &QTimer::timeout, this, [this] { UpdatePortItems(); });
    }
    // A monitor can be made without a udev daemon, and then no event ever comes.
    const bool udevRuns = QFileInfo::exists(QStringLiteral("/run/udev/control"));
    if (UseUdev && udevRuns && PortWatcher->Start()) {
        PortCheckTimer->stop();
        return;
    }
    PortWatcher->Stop();
    PortCheckTimer->start();
}

void TMainForm::AppIdle() {
    const bool selection = TextMemo->textCursor().hasSelection();
    EditCut->setEnabled(selection);
    EditCopy->setEnabled(selection);
    EditPaste->setEnabled(FClipboardHasText);
    const bool hasLines = !TextMemo->document()->isEmpty();
    FileSave->setEnabled(TextMemo->Modified() && hasLines);
    FileSaveAs->setEnabled(hasLines);
    EditUndo->setEnabled(TextMemo->Modified());
    GetData->setEnabled(FPortGroup->checkedAction() != nullptr);
}

void TMainForm::TextMemoChange() {
    FileNew->setEnabled(true);
    tmrReadings->start();
}

void TMainForm::UpdateReadings() {
    tmrReadings->stop();
    if (ViewReadings->isChecked())
        ReadingsPanel->Measure(EditorLines(),
                               TCriteria{FInformation.Info().Calibration, FLevel,
                                         FJob.TestType == TTestType::PostMitigation},
                               FUnit);
}

void TMainForm::ViewReadingsClick() {
    const bool shown = ViewReadings->isChecked();
    ReadingsPanel->setVisible(shown);
    UpdateReadings();
    Settings::SaveReadingsShown(shown);
}

void TMainForm::ViewLevelClick() {
    TReferenceLevelDialog dialog(this);
    dialog.SetLevel(FLevel);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FLevel = dialog.Level();
    UpdateReadings();
    Settings::SaveLevel(FLevel);
}

void TMainForm::ViewUnitsClick(TUnit Unit) {
    FUnit = Unit;
    (FUnit == TUnit::BqM3 ? ViewBqM3 : ViewPciL)->setChecked(true);
    UpdateReadings();
    Settings::SaveUnit(Unit);
}

QStringList TMainForm::EditorLines() const {
    return TextMemo->ReportLines();
}

void TMainForm::FileClientReportClick() {
    ReadingsOrRefuse(QStringLiteral("The client report was not made."));
    TClientReportDialog details(FJob, Settings::TReader().Inspector(FSettings.InstallDir), this);
    if (details.exec() != QDialog::Accepted)
        return;
    KeepJob(details.Job());
    TInspector inspector = details.Inspector();
    if (!details.ChosenLogo().isEmpty())
        inspector.LogoFile = Settings::StoreLogo(details.ChosenLogo(), FSettings.InstallDir);
    Settings::SaveInspector(inspector);
    const QString path = AskOutputFile(QStringLiteral("Client Report"),
                                       QStringLiteral("PDF Files (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    ClientReport::TParts parts;
    parts.Info = FInformation.Info();
    parts.Job = FJob;
    parts.Level = FLevel;
    parts.Inspector = inspector;
    // The paper the printer is set up for.
    const TPaper paper =
        Printer.pageLayout().pageSize().id() == QPageSize::Letter ? TPaper::Letter : TPaper::A4;
    AtomicWrite::ReplaceFile(path, ClientReport::Pdf(EditorLines(), parts, FUnit, paper));
}

void TMainForm::FileExitClick() {
    close();
}
void TMainForm::EditUndoClick() {
    TextMemo->undo();
}
void TMainForm::EditCutClick() {
    TextMemo->cut();
}
void TMainForm::EditCopyClick() {
    TextMemo->copy();
}
void TMainForm::EditPasteClick() {
    TextMemo->paste();
}

void TMainForm::InfoClick() {
    if (!FInfoForm)
        return;
    FInfoForm->exec();
    // A calibration date changed in the dialog changes a check.
    UpdateReadings();
}

void TMainForm::FontClick() {
    TFontDialog dialog(this);
    dialog.SetFont(FSettings.Font);
    if (dialog.exec() != QDialog::Accepted)
        return;
    FSettings.Font = dialog.ChosenFont(FSettings.Font);
    TextMemo->SetStoredFont(FSettings.Font);
}

void TMainForm::AboutClick() {
    if (!AboutForm)
        AboutForm = new TAboutForm(this);
    AboutForm->exec();
}

void TMainForm::GetDataClick() {
    if (!ConfirmDiscard())
        return;
    ClearReport();
    TDownloadSetup setup;
    setup.Port = ComPorts::PortName(FSettings.PortNumber);
    setup.Info = FInformation.Info();
    setup.Archive = [this](const TArchiveEntry& Entry) {
        return FArchive.Store(FSettings.InstallDir, Entry);
    };
    setup.CapturesFolder = [this] {
        if (!InstallFolder::Usable(FSettings.InstallDir))
            throw Exception(QStringLiteral("no installation folder is stored (\"InstallDir\"; "
                                           "halvorn-setup stores one)"));
        return CaptureFile::FolderIn(FSettings.InstallDir);
    };
    FSession->Start(std::move(setup));
    ComPortStop->setEnabled(true);
}

void TMainForm::ComPortStopClick() {
    FSession->Stop();
}

void TMainForm::DownloadEnded(const TDownloadResult& Result) {
    ComPortStop->setEnabled(false);
    ProgressPanel->clear();
    StatusPanel->setText(::StatusText(TDownload::TState::Idle, FSettings.PortNumber));
    UpdatePortItems();
    if (Result.End == TDownloadResult::TEnd::Complete && !Result.Report.isEmpty()) {
        TextMemo->SetLines(Result.Report, true);
        FMeasurementId = Result.ArchiveId;
    }
    // An open archive window shows the new measurement at once.
    if (Result.ArchiveId > 0 && ArchiveForm && ArchiveForm->isVisible())
        ErrorHandler::Run([this] { ArchiveForm->Refresh(); });
    if (Result.ArchiveId > 0)
        FTeam->Push();
    const DownloadWords::TSaid said =
        DownloadWords::ForWindow(Result, TArchive::PathIn(FSettings.InstallDir),
                                 InstallFolder::Usable(FSettings.InstallDir));
    if (!said.Status.isEmpty())
        StatusPanel->setText(said.Status);
    if (!said.Progress.isEmpty())
        ProgressPanel->setText(said.Progress);
    if (!said.Error.isEmpty())
        ErrorHandler::Show(said.Error);
}

void TMainForm::ApplyReportInformation(const TReportInfo& Info) {
    if (std::optional<QStringList> lines = ApplyInfo(EditorLines(), Info))
        TextMemo->SetLines(*lines, true);
}

bool TMainForm::FormClose() {
    // A store that cannot be written must not keep the window open: the user is told once,
    // and the store keeps whatever it holds.
    QString notSaved;
    try {
        Settings::Save(FSettings);
        if (!FSettings.AllSettled())
            notSaved = QStringLiteral("The settings were not saved: %1 could not be read when "
                                      "the program started, so only the settings changed since "
                                      "then were written.")
                           .arg(MessageText::Shown(TRegistry::StorePath(), -1));
    } catch (...) {
        notSaved =
            QStringLiteral("The settings were not saved.\n") + ErrorHandler::CurrentExceptionText();
    }
    const bool hasFolder = InstallFolder::Usable(FSettings.InstallDir);
    const QString noFolder =
        QStringLiteral("The report information was not saved: no installation folder is stored "
                       "(\"InstallDir\"; halvorn-setup stores one).");
    if (!notSaved.isEmpty())
        ErrorHandler::Show(notSaved +
                           (FInfoForm && !hasFolder ? QStringLiteral("\n") + noFolder : QString()));
    if (!ConfirmDiscard())
        return false;
    if (FInfoForm && hasFolder)
        ErrorHandler::Run([this] { FInformation.Save(); });
    else if (FInfoForm && notSaved.isEmpty())
        ErrorHandler::Show(noFolder);
    // Exit ends a download as Stop does.
    FSession->Stop();
    if (PortCheckTimer)
        PortCheckTimer->stop();
    return true;
}

void TMainForm::closeEvent(QCloseEvent* Event) {
    bool accepted = false;
    ErrorHandler::Run([&] { accepted = FormClose(); });
    if (accepted)
        Event->accept();
    else
        Event->ignore();
}

void TMainForm::resizeEvent(QResizeEvent* Event) {
    QMainWindow::resizeEvent(Event);
    if (width() < 340)
        resize(340, height());
}
