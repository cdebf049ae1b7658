#include "app/MainForm.h"

#include "app/ErrorHandler.h"
#include "app/FontDialog.h"
#include "components/ui/About.h"
#include "files/ExportWriter.h"
#include "files/ReportPrinter.h"
#include "files/ReportText.h"
#include "files/SuffixRule.h"
#include "info/InfoForm.h"
#include "platform/AtomicWrite.h"
#include "report/ApplyInfo.h"
#include "report/ReportBuilder.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>

namespace {

// A line feed inside a report line cannot live in the editor (it would start a new line), so
// the editor shows it as the line-feed symbol and every way out of the editor turns it back.
constexpr QChar InLineFeed(0x240A);

const QString TextFilesFilter = QStringLiteral("Text Files (*.txt)");
const QString ExportFilter = QStringLiteral("Import Friendly Format (*.txt)");
const QString AllFilesFilter = QStringLiteral("All Files (*.*)");

QString FromEditor(QString Line) {
    return Line.replace(InLineFeed, QChar('\n'));
}
QString ToEditor(QString Line) {
    return Line.replace(QChar('\n'), InLineFeed);
}

// The toolkit colour value: 0x00BBGGRR, or 0x80000000 plus a system colour index.
QColor ColorOf(int Value, const QPalette& Palette) {
    const auto v = static_cast<quint32>(Value);
    if ((v & 0xFF000000u) == 0x80000000u)
        return Palette.color(QPalette::Text);
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

// "All Files (*.*)" keeps its caption but must list names without a dot too.
void ShowAllFilesFor(QFileDialog* Dialog, const QString& Filter) {
    if (Filter != AllFilesFilter)
        return;
    if (auto* model = Dialog->findChild<QFileSystemModel*>())
        model->setNameFilters({QStringLiteral("*")});
}

QFileDialog* MakeFileDialog(QWidget* Parent, const QStringList& Filters, bool Save) {
    auto* d = new QFileDialog(Parent);
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->setDefaultSuffix(QStringLiteral("txt"));
    d->setNameFilters(Filters);
    if (Save) {
        d->setWindowTitle(QStringLiteral("Save As"));
        d->setAcceptMode(QFileDialog::AcceptSave);
        d->setFileMode(QFileDialog::AnyFile);
        d->setOption(QFileDialog::DontConfirmOverwrite);
    } else {
        d->setAcceptMode(QFileDialog::AcceptOpen);
        d->setFileMode(QFileDialog::AnyFile);
    }
    QObject::connect(d, &QFileDialog::filterSelected, d,
                     [d](const QString& f) { ShowAllFilesFor(d, f); });
    return d;
}

} // namespace

TMainForm::TMainForm(QWidget* Parent)
    : QMainWindow(Parent), PortNumber(SettingsValues.PortNumber),
      InfoEnable(SettingsValues.InfoEnable), InstallDir(SettingsValues.InstallDir) {
    setWindowTitle(QStringLiteral("Halvorn - Untitled"));
    resize(523, 526);

    TextMemo = new QPlainTextEdit(this);
    TextMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    TextMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TextMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    TextMemo->setTabChangesFocus(false);
    setCentralWidget(TextMemo);
    ApplyEditorFont();
    connect(TextMemo, &QPlainTextEdit::textChanged, this, [this] { TextMemoChange(); });

    StatusPanel = new QLabel(QStringLiteral("Idle"));
    statusBar()->addWidget(StatusPanel, 1);
    statusBar()->setSizeGripEnabled(true);
    statusBar()->setFixedHeight(19);

    tmrReceive = new QTimer(this);
    tmrReceive->setInterval(TDownload::TickIntervalMs);
    connect(tmrReceive, &QTimer::timeout, this,
            ErrorHandler::Guarded([this] { tmrReceiveTimer(); }));

    SaveDialog = MakeFileDialog(this, {TextFilesFilter, ExportFilter, AllFilesFilter}, true);
    OpenDialog = MakeFileDialog(this, {TextFilesFilter, AllFilesFilter}, false);

    CreateMenus();
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

    QMenu* ports = bar->addMenu(QStringLiteral("&Com Port"));
    FPortGroup = new QActionGroup(this);
    FPortGroup->setExclusive(true);
    for (int n = 1; n <= 4; ++n) {
        QAction* a = ports->addAction(QStringLiteral("Com %1").arg(n));
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
                        ComPortCom[i - 1]->setChecked(i == PortNumber);
                    ComPortClick(n);
                }));
    }

    GetData = bar->addAction(QStringLiteral("Get &Data"));
    connect(GetData, &QAction::triggered, this, ErrorHandler::Guarded([this] { GetDataClick(); }));
    About = bar->addAction(QStringLiteral("&About"));
    connect(About, &QAction::triggered, this, ErrorHandler::Guarded([this] { AboutClick(); }));
}

void TMainForm::SetInfoForm(TInfoForm* Form) {
    FInfoForm = Form;
    if (Form)
        Form->OnApply = [this](const TReportInfo& Info) { ApplyReportInformation(Info); };
}

void TMainForm::FormCreate() {
    SerialPort = std::make_unique<TSerialPort>();
    Download = std::make_unique<TDownload>(*SerialPort);
    try {
        Settings::Load(SettingsValues);
    } catch (...) {
        ApplyEditorFont();
        // The rest of creation is skipped for this run; the window still opens.
        ErrorHandler::Show(ErrorHandler::CurrentExceptionText());
        return;
    }
    ApplyEditorFont();
    for (int n = 1; n <= 4; ++n)
        if (PortPresent(n))
            ComPortCom[n - 1]->setEnabled(true);
    if (PortNumber >= 1 && PortNumber <= 4)
        ErrorHandler::Run([this] { ComPortClick(PortNumber); });
    const QString data = InstallDir + QDir::separator() + QStringLiteral("Data");
    OpenDialog->setDirectory(data);
    SaveDialog->setDirectory(data);
    // Asking the clipboard at every idle call would be a round trip to the display server on
    // X11; its change signal keeps the answer instead.
    auto clipboardChanged = [this] {
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        FClipboardHasText = clip && clip->hasText();
    };
    clipboardChanged();
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, clipboardChanged);
    FIdleConnection = connect(QAbstractEventDispatcher::instance(),
                              &QAbstractEventDispatcher::aboutToBlock, this, [this] { AppIdle(); });
}

void TMainForm::ApplyEditorFont() {
    const Settings::TEditorFont& f = SettingsValues.Font;
    QFont font(f.Name, f.Size);
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    TextMemo->setFont(font);
    QPalette p = TextMemo->palette();
    p.setColor(QPalette::Text, ColorOf(f.Color, QApplication::palette()));
    TextMemo->setPalette(p);
}

void TMainForm::ComPortClick(int N) {
    SerialPort->SetPortName(QStringLiteral("COM%1").arg(N));
    ComPortCom[N - 1]->setChecked(true);
    GetData->setEnabled(true);
    PortNumber = N;
}

void TMainForm::AppIdle() {
    const bool selection = TextMemo->textCursor().hasSelection();
    EditCut->setEnabled(selection);
    EditCopy->setEnabled(selection);
    EditPaste->setEnabled(FClipboardHasText);
    const bool hasLines = !TextMemo->document()->isEmpty();
    FileSave->setEnabled(Modified() && hasLines);
    FileSaveAs->setEnabled(hasLines);
    EditUndo->setEnabled(Modified());
    GetData->setEnabled(FPortGroup->checkedAction() != nullptr);
}

void TMainForm::TextMemoChange() {
    FileNew->setEnabled(true);
}

bool TMainForm::Modified() const {
    return TextMemo->document()->isModified();
}
void TMainForm::SetModified(bool M) {
    TextMemo->document()->setModified(M);
}

QStringList TMainForm::EditorFileLines() const {
    // The raw text: toPlainText() would turn a no-break space (byte 160) into a space.
    QStringList lines = TextMemo->document()->toRawText().split(QChar::ParagraphSeparator);
    for (QString& l : lines)
        l = FromEditor(l);
    return lines;
}

QStringList TMainForm::EditorLines() const {
    QStringList lines = EditorFileLines();
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TMainForm::SetEditorLines(const QStringList& Lines, bool M) {
    QString text;
    for (const QString& l : Lines) {
        text += ToEditor(l);
        text += QChar('\n');
    }
    if (M) {
        // A program edit like any other: the user can undo it (a rebuild drops the lines
        // outside the separators, which must not be lost for good).
        QTextCursor all(TextMemo->document());
        all.select(QTextCursor::Document);
        all.insertText(text);
    } else {
        TextMemo->setPlainText(text);
    }
    SetModified(M);
}

QString TMainForm::StatusText() const {
    return StatusPanel->text();
}
void TMainForm::SetStatusText(const QString& Text) {
    StatusPanel->setText(Text);
}

void TMainForm::SetCaption() {
    setWindowTitle(FFileName.isEmpty() ? QStringLiteral("Halvorn - Untitled")
                                       : QStringLiteral("Halvorn - ") + FFileName);
}

bool TMainForm::ConfirmDiscard() {
    if (!Modified())
        return true;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Message"),
                    QStringLiteral("The current file has changed. Save changes?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setWindowModality(Qt::ApplicationModal);
    switch (box.exec()) {
    case QMessageBox::Yes:
        FileSaveClick();
        return !Modified();
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

void TMainForm::FileNewClick() {
    if (ConfirmDiscard())
        ClearReport();
}

void TMainForm::ClearReport() {
    TextMemo->clear();
    SetModified(false);
    FFileName.clear();
    SetCaption();
    FileNew->setEnabled(false);
}

int TMainForm::SaveFilterIndex() const {
    const int i = SaveDialog->nameFilters().indexOf(SaveDialog->selectedNameFilter());
    return i < 0 ? 1 : i + 1;
}

void TMainForm::FileSaveClick() {
    if (FFileName.isEmpty()) {
        FileSaveAsClick();
        return;
    }
    ReportText::WriteReportText(FFileName, EditorFileLines());
    SetModified(false);
}

void TMainForm::FileSaveAsClick() {
    SaveDialog->selectFile(FFileName);
    ShowAllFilesFor(SaveDialog, SaveDialog->selectedNameFilter());
    if (SaveDialog->exec() != QDialog::Accepted || SaveDialog->selectedFiles().isEmpty())
        return;
    const QString chosen = SaveDialog->selectedFiles().first();
    const bool exportType = SaveFilterIndex() == 2;
    const QString target = ApplySuffix(chosen, exportType);
    if (exportType) {
        // A report the export refuses changes nothing, not even the file name.
        const QByteArray bytes = ExportWriter::BuildExport(EditorLines());
        FFileName = target;
        AtomicWrite::ReplaceFile(FFileName, bytes);
    } else {
        FFileName = target;
        ReportText::WriteReportText(FFileName, EditorFileLines());
    }
    SetModified(false);
    SetCaption();
}

void TMainForm::FileOpenClick() {
    if (!ConfirmDiscard())
        return;
    OpenDialog->selectFile(QString());
    ShowAllFilesFor(OpenDialog, OpenDialog->selectedNameFilter());
    if (OpenDialog->exec() != QDialog::Accepted || OpenDialog->selectedFiles().isEmpty())
        return;
    const QString path = OpenDialog->selectedFiles().first();
    TextMemo->clear();
    SetModified(false);
    const QStringList lines = ReportText::ReadReportText(path);
    QStringList shown;
    shown.reserve(lines.size());
    for (const QString& l : lines)
        shown << ToEditor(l);
    TextMemo->setPlainText(shown.join(QChar('\n')));
    FFileName = path;
    SetModified(false);
    SetCaption();
}

void TMainForm::FilePrintClick() {
    QPrintDialog dialog(&Printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QColor color = TextMemo->palette().color(QPalette::Text);
    // A PDF file is written as every other file is: whole or not at all.
    if (Printer.outputFormat() == QPrinter::PdfFormat && !Printer.outputFileName().isEmpty())
        PrintReportToPdf(Printer.outputFileName(), Printer.pageLayout(), Printer.resolution(),
                         TextMemo->font(), EditorLines(), color);
    else
        PrintReport(Printer, TextMemo->font(), EditorLines(), QString(), color);
}

void TMainForm::FilePrinterSetupClick() {
    QPageSetupDialog dialog(&Printer, this);
    dialog.exec();
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
    if (FInfoForm)
        FInfoForm->exec();
}

void TMainForm::FontClick() {
    TFontDialog dialog(this);
    dialog.SetFont(SettingsValues.Font);
    if (dialog.exec() != QDialog::Accepted)
        return;
    SettingsValues.Font = dialog.ChosenFont(SettingsValues.Font);
    ApplyEditorFont();
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
    Download->Start();
    SetStatusText(::StatusText(TDownload::TState::Listening, PortNumber));
    tmrReceive->start();
}

void TMainForm::tmrReceiveTimer() {
    bool ended = false;
    try {
        ended = Download->Tick();
    } catch (...) {
        // The download has closed the port; one message, and a new Get Data can start.
        tmrReceive->stop();
        SetStatusText(::StatusText(TDownload::TState::Idle, PortNumber));
        throw;
    }
    if (!ended) {
        SetStatusText(::StatusText(Download->State(), PortNumber));
        return;
    }
    tmrReceive->stop();
    SetStatusText(::StatusText(TDownload::TState::Idle, PortNumber));
    BuildReport();
}

void TMainForm::BuildReport() {
    if (Download->DownloadText().isEmpty())
        return;
    const TReportInfo info = FInfoForm ? FInfoForm->Snapshot() : TReportInfo{};
    const QStringList lines = ::BuildReport(Download->DownloadText(), info);
    SetEditorLines(lines, true);
    Download->TakeDownloadText();
}

void TMainForm::ApplyReportInformation(const TReportInfo& Info) {
    if (std::optional<QStringList> lines = ApplyInfo(EditorLines(), Info))
        SetEditorLines(*lines, true);
}

bool TMainForm::FormClose() {
    try {
        Settings::Save(SettingsValues);
    } catch (...) {
        // The settings could not be kept: the close is called off so nothing is lost.
        ErrorHandler::Show(ErrorHandler::CurrentExceptionText());
        return false;
    }
    if (!ConfirmDiscard())
        return false;
    if (FInfoForm) {
        ErrorHandler::Run([this] { FInfoForm->WriteInfoFile(InfoFile::PathIn(InstallDir)); });
    }
    tmrReceive->stop();
    if (Download)
        Download->Abort();
    Download.reset();
    SerialPort.reset();
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
