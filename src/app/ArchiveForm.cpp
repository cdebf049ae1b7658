#include "app/ArchiveForm.h"

#include "app/ErrorHandler.h"
#include "app/FileDialogs.h"
#include "app/TeamWorker.h"
#include "archive/ArchiveModel.h"
#include "files/ReportText.h"
#include "platform/AtomicWrite.h"
#include "platform/DateTimeText.h"
#include "platform/MessageText.h"
#include "report/ReportBuilder.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTableView>
#include <QVBoxLayout>
#include <climits>
#include <memory>

namespace {

QString MeasurementName(const TArchiveRow& Row) {
    QString Name =
        QStringLiteral("the measurement of %1").arg(TArchiveModel::DateText(Row.ReceivedAt));
    QStringList About;
    if (!Row.SerialNumber.isEmpty())
        About << QStringLiteral("serial # %1").arg(MessageText::Shown(Row.SerialNumber));
    if (!Row.Location.isEmpty())
        About << MessageText::Shown(Row.Location);
    if (!About.isEmpty())
        Name += QStringLiteral(" (") + About.join(QStringLiteral(", ")) + QLatin1Char(')');
    return Name;
}

// A dialog for raw captures, owned by the caller.
std::unique_ptr<QFileDialog> CaptureDialog(QWidget* Parent, const QString& Title,
                                           QFileDialog::AcceptMode Mode,
                                           QFileDialog::FileMode Files, const QString& Folder) {
    std::unique_ptr<QFileDialog> Dialog(FileDialogs::Make(
        Parent, Title, Mode, Files,
        {QStringLiteral("Raw Captures (*.raw)"), QStringLiteral("All Files (*)")}));
    Dialog->setDirectory(Folder);
    return Dialog;
}

} // namespace

TArchiveForm::TArchiveForm(THost Host, QWidget* Parent) : QDialog(Parent), FHost(std::move(Host)) {
    setWindowTitle(QStringLiteral("Archive"));
    resize(760, 440);

    Source = new QTabBar(this);
    Source->addTab(QStringLiteral("This computer"));
    Source->addTab(QStringLiteral("Team"));
    Source->setVisible(bool(FHost.TeamServer));

    Search = new QLineEdit(this);
    Search->setPlaceholderText(QStringLiteral("Serial #, location, client or address"));
    Search->setClearButtonEnabled(true);
    FromCheck = new QCheckBox(QStringLiteral("&From"), this);
    ToCheck = new QCheckBox(QStringLiteral("&To"), this);
    const QDate Today = QDate::currentDate();
    FromDate = new QDateEdit(Today.addMonths(-1), this);
    ToDate = new QDateEdit(Today, this);
    for (QDateEdit* Edit : {FromDate, ToDate}) {
        Edit->setCalendarPopup(true);
        Edit->setDisplayFormat(DateTimeText::ShortDateFormat());
        Edit->setEnabled(false);
    }

    auto* Filters = new QHBoxLayout;
    auto* SearchLabel = new QLabel(QStringLiteral("&Search:"), this);
    SearchLabel->setBuddy(Search);
    Filters->addWidget(SearchLabel);
    Filters->addWidget(Search, 1);
    Filters->addWidget(FromCheck);
    Filters->addWidget(FromDate);
    Filters->addWidget(ToCheck);
    Filters->addWidget(ToDate);

    Model = new TArchiveModel(this);
    List = new QTableView(this);
    List->setModel(Model);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->setSelectionMode(QAbstractItemView::SingleSelection);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->verticalHeader()->hide();
    List->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    List->horizontalHeader()->setStretchLastSection(true);
    List->setColumnWidth(TArchiveModel::Start, 150);
    List->setColumnWidth(TArchiveModel::Received, 150);
    List->setColumnWidth(TArchiveModel::Location, 200);

    OpenReportButton = new QPushButton(QStringLiteral("&Open Report"), this);
    RebuildButton = new QPushButton(QStringLiteral("&Rebuild"), this);
    ExportRawButton = new QPushButton(QStringLiteral("&Export Raw..."), this);
    DeleteButton = new QPushButton(QStringLiteral("&Delete"), this);
    ImportButton = new QPushButton(QStringLiteral("&Import Captures..."), this);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    MoreButton = new QPushButton(QStringLiteral("&More"), this);
    MoreButton->setToolTip(QStringLiteral("The next measurements of the team list"));
    MoreButton->hide();
    CountLabel = new QLabel(this);

    auto* Buttons = new QHBoxLayout;
    for (QPushButton* Button :
         {OpenReportButton, RebuildButton, ExportRawButton, DeleteButton, ImportButton})
        Buttons->addWidget(Button);
    Buttons->addStretch(1);
    Buttons->addWidget(CountLabel);
    Buttons->addWidget(MoreButton);
    Buttons->addWidget(CloseButton);

    // Tests find the controls by these names.
    const std::pair<QObject*, const char*> Named[] = {
        {Source, "Source"},
        {Search, "Search"},
        {FromCheck, "FromCheck"},
        {ToCheck, "ToCheck"},
        {FromDate, "FromDate"},
        {ToDate, "ToDate"},
        {List, "List"},
        {Model, "Model"},
        {CountLabel, "CountLabel"},
        {OpenReportButton, "OpenReportButton"},
        {RebuildButton, "RebuildButton"},
        {ExportRawButton, "ExportRawButton"},
        {DeleteButton, "DeleteButton"},
        {ImportButton, "ImportButton"},
        {CloseButton, "CloseButton"},
        {MoreButton, "MoreButton"},
    };
    for (const auto& [Object, Name] : Named)
        Object->setObjectName(QLatin1String(Name));

    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(Source);
    Layout->addLayout(Filters);
    Layout->addWidget(List, 1);
    Layout->addLayout(Buttons);

    const auto Guarded = [this](void (TArchiveForm::*Handler)()) {
        return ErrorHandler::Guarded([this, Handler] { (this->*Handler)(); });
    };
    connect(Search, &QLineEdit::textChanged, this, Guarded(&TArchiveForm::SearchChange));
    for (QCheckBox* Check : {FromCheck, ToCheck})
        connect(Check, &QCheckBox::toggled, this, Guarded(&TArchiveForm::Refresh));
    for (QDateEdit* Edit : {FromDate, ToDate})
        connect(Edit, &QDateEdit::dateChanged, this, Guarded(&TArchiveForm::Refresh));
    connect(OpenReportButton, &QPushButton::clicked, this, Guarded(&TArchiveForm::OpenReportClick));
    connect(RebuildButton, &QPushButton::clicked, this, Guarded(&TArchiveForm::RebuildClick));
    connect(ExportRawButton, &QPushButton::clicked, this, Guarded(&TArchiveForm::ExportRawClick));
    connect(DeleteButton, &QPushButton::clicked, this, Guarded(&TArchiveForm::DeleteClick));
    connect(ImportButton, &QPushButton::clicked, this, Guarded(&TArchiveForm::ImportCapturesClick));
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::close);
    connect(Source, &QTabBar::currentChanged, this, Guarded(&TArchiveForm::Refresh));
    connect(MoreButton, &QPushButton::clicked, this,
            ErrorHandler::Guarded([this] { ListTeam(true); }));
    connect(List, &QTableView::doubleClicked, this, Guarded(&TArchiveForm::OpenReportClick));
    connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    UpdateButtons();
}

// Waits for the team server's reply in progress: at most its time-outs.
TArchiveForm::~TArchiveForm() = default;

TArchive* TArchiveForm::Archive() const {
    return FHost.Archive ? FHost.Archive() : nullptr;
}

TArchiveFilter TArchiveForm::Filter() const {
    TArchiveFilter Filter;
    Filter.Text = Search->text().trimmed();
    if (FromCheck->isChecked())
        Filter.From = FromDate->date();
    if (ToCheck->isChecked())
        Filter.To = ToDate->date();
    return Filter;
}

bool TArchiveForm::TeamShown() const {
    return Source->currentIndex() == 1;
}

void TArchiveForm::Refresh() {
    FromDate->setEnabled(FromCheck->isChecked());
    ToDate->setEnabled(ToCheck->isChecked());
    MoreButton->setVisible(TeamShown());
    if (TeamShown()) {
        // Coming from this computer's list: none of its rows stays on show.
        Model->SetText(QString());
        Model->SetRows(FTeamRows);
        UpdateButtons();
        ListTeam(false);
        return;
    }
    FTeamRows.clear();
    TArchiveFilter Days = Filter();
    Days.Text.clear();
    TArchive* Shown = Archive();
    Model->SetText(Search->text().trimmed());
    Model->SetRows(Shown ? Shown->List(Days) : std::vector<TArchiveRow>{});
    ShowCount();
}

void TArchiveForm::SearchChange() {
    // The team list is narrowed on the server.
    if (TeamShown()) {
        ListTeam(false);
        return;
    }
    Model->SetText(Search->text().trimmed());
    ShowCount();
}

void TArchiveForm::ShowCount() {
    const QLocale English(QLocale::English, QLocale::UnitedStates);
    CountLabel->setText(
        (Model->rowCount() == 1
             ? QStringLiteral("1 measurement")
             : QStringLiteral("%1 measurements").arg(English.toString(Model->rowCount()))) +
        (TeamShown() && FTeamNext ? QStringLiteral(", more on the server") : QString()));
    CountLabel->setToolTip(QString());
    UpdateButtons();
}

void TArchiveForm::OnTeam(std::function<void(TTeamArchive&)> Work, std::function<void()> Then,
                          std::function<void(std::exception_ptr)> Failed) {
    const std::optional<TTeamServer> Server = FHost.TeamServer ? FHost.TeamServer() : std::nullopt;
    if (!Server)
        throw Exception(QStringLiteral("No team server is stored: \"halvorn-cli team connect "
                                       "postgresql://user@host/dbname\" stores one."));
    if (!FTeamWorker)
        FTeamWorker = std::make_unique<TTeamWorker>();
    FTeamWorker->Run(
        *Server, [Work](TTeamArchive& Team, const TTeamWorker::TPost&) { Work(Team); },
        [this, Work, Then, Failed](std::exception_ptr Error) {
            ErrorHandler::Run([&] {
                if (!Error) {
                    Then();
                    return;
                }
                try {
                    std::rethrow_exception(Error);
                } catch (const ETeamPasswordNeeded&) {
                    if (FHost.AskTeamPassword && FHost.AskTeamPassword()) {
                        OnTeam(Work, Then, Failed);
                        return;
                    }
                }
                Failed(Error);
            });
        });
}

void TArchiveForm::ListTeam(bool More) {
    // Typing while a page is on its way: one more query once it came, for the text then.
    if (FTeamListing) {
        FTeamListAgain = FTeamListAgain || !More;
        return;
    }
    if (More && !FTeamNext)
        return;
    TTeamQuery Query;
    Query.Filter = Filter();
    Query.Limit = TeamPageSize;
    if (More)
        Query.After = FTeamNext;
    const auto Page = std::make_shared<TTeamPage>();
    FTeamListing = true;
    MoreButton->setEnabled(false);
    if (!More)
        CountLabel->setText(QStringLiteral("Reading the team archive..."));
    try {
        OnTeam([Query, Page](TTeamArchive& Team) { *Page = Team.List(Query); },
               [this, Page, More] {
                   if (!TeamListed(More))
                       return;
                   if (!More)
                       FTeamRows.clear();
                   for (const TTeamRow& Row : Page->Rows)
                       FTeamRows.push_back(Row.Row);
                   FTeamNext = Page->Next;
                   Model->SetText(QString());
                   Model->SetRows(FTeamRows);
                   MoreButton->setEnabled(bool(FTeamNext));
                   ShowCount();
               },
               [this, More](std::exception_ptr Error) {
                   if (!TeamListed(More))
                       return;
                   // Typing must not bring up a box at each key: the list says it.
                   try {
                       std::rethrow_exception(Error);
                   } catch (...) {
                       const QString Text = ErrorHandler::CurrentExceptionText();
                       CountLabel->setText(Text.section(QLatin1Char('\n'), 0, 0));
                       CountLabel->setToolTip(Text);
                   }
               });
    } catch (...) {
        FTeamListing = false;
        throw;
    }
}

bool TArchiveForm::TeamListed(bool More) {
    FTeamListing = false;
    if (FTeamListAgain) {
        FTeamListAgain = false;
        if (TeamShown())
            ListTeam(false);
        return false;
    }
    if (!TeamShown())
        return false;
    if (!More) {
        FTeamRows.clear();
        FTeamNext.reset();
        Model->SetRows({});
    }
    return true;
}

void TArchiveForm::UpdateButtons() {
    const bool Chosen = List->selectionModel()->hasSelection();
    TArchive* Shown = FHost.Archive ? Archive() : nullptr;
    // The team's measurements are read, never changed from here.
    const bool Writable =
        !TeamShown() && Shown && Shown->OpenState() == TArchive::TOpenState::Writable;
    OpenReportButton->setEnabled(Chosen);
    RebuildButton->setEnabled(Chosen);
    ExportRawButton->setEnabled(Chosen);
    DeleteButton->setEnabled(Chosen && Writable);
    ImportButton->setEnabled(Writable);
}

std::optional<TArchiveEntry> TArchiveForm::Selected() {
    const QModelIndexList Rows = List->selectionModel()->selectedRows();
    if (Rows.isEmpty())
        return std::nullopt;
    const TArchiveRow* Row = Model->RowAt(Rows.first().row());
    TArchive* Shown = Archive();
    if (!Row || !Shown)
        return std::nullopt;
    std::optional<TArchiveEntry> Entry = Shown->Get(Row->Id);
    if (!Entry)
        throw Exception(
            QStringLiteral("%1 is no longer in the archive %2.")
                .arg(MeasurementName(*Row), MessageText::Shown(Shown->Path(), PATH_MAX)));
    return Entry;
}

void TArchiveForm::WithSelected(std::function<void(const TArchiveEntry&)> Then) {
    if (!TeamShown()) {
        if (const std::optional<TArchiveEntry> Entry = Selected())
            Then(*Entry);
        return;
    }
    const QModelIndexList Rows = List->selectionModel()->selectedRows();
    const TArchiveRow* Row = Rows.isEmpty() ? nullptr : Model->RowAt(Rows.first().row());
    if (!Row)
        return;
    const auto Got = std::make_shared<std::optional<TTeamEntry>>();
    const qint64 Id = Row->Id;
    OnTeam([Got, Id](TTeamArchive& Team) { *Got = Team.Get(Id); },
           [this, Got, Id, Then] {
               if (!*Got)
                   throw Exception(QStringLiteral("Measurement %1 is no longer on the team "
                                                  "server: the office may have deleted it.")
                                       .arg(Id));
               TArchiveEntry Entry = (*Got)->Entry;
               // Not a measurement of this computer's archive: a job given to its report stays
               // with the report for this session.
               Entry.Id = 0;
               Then(Entry);
           },
           [](std::exception_ptr Error) { std::rethrow_exception(Error); });
}

void TArchiveForm::OpenReportClick() {
    WithSelected([this](const TArchiveEntry& Entry) {
        QStringList Lines = ReportText::DecodeText(TArchive::ReportFileOf(Entry));
        // The line end after the last line is no line of its own.
        if (!Lines.isEmpty() && Lines.last().isEmpty())
            Lines.removeLast();
        if (FHost.OpenReport)
            FHost.OpenReport(Lines, Entry);
    });
}

void TArchiveForm::RebuildClick() {
    WithSelected([this](const TArchiveEntry& Entry) {
        const TReportInfo Info = FHost.CurrentInfo ? FHost.CurrentInfo() : TReportInfo{};
        if (FHost.OpenReport)
            FHost.OpenReport(BuildReportFromBytes(Entry.Raw, Info), Entry);
    });
}

QString TArchiveForm::StartFolder() const {
    return FHost.DataFolder ? FHost.DataFolder() : QDir::homePath();
}

void TArchiveForm::ExportRawClick() {
    WithSelected([this](const TArchiveEntry& Entry) { ExportRaw(Entry); });
}

void TArchiveForm::ExportRaw(const TArchiveEntry& Entry) {
    const std::unique_ptr<QFileDialog> Owned =
        CaptureDialog(this, QStringLiteral("Export Raw"), QFileDialog::AcceptSave,
                      QFileDialog::AnyFile, StartFolder());
    QFileDialog& Dialog = *Owned;
    Dialog.setDefaultSuffix(QStringLiteral("raw"));
    Dialog.selectFile(
        Entry.ReceivedAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")) +
        (Entry.Port.isEmpty() ? QString() : QLatin1Char(' ') + Entry.Port) +
        QStringLiteral(".raw"));
    if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return;
    AtomicWrite::ReplaceFile(Dialog.selectedFiles().first(), Entry.Raw);
}

void TArchiveForm::DeleteClick() {
    const QModelIndexList Rows = List->selectionModel()->selectedRows();
    TArchive* Shown = Archive();
    if (Rows.isEmpty() || !Shown)
        return;
    const TArchiveRow Row = *Model->RowAt(Rows.first().row());
    const auto Answer = QMessageBox::question(
        this, QStringLiteral("Delete"),
        (Row.TeamSent ? QStringLiteral("Delete %1 from this computer's archive? Its bytes and its "
                                       "report are gone from this computer for good; the team "
                                       "archive keeps its copy.")
                      : QStringLiteral("Delete %1 from the archive? Its bytes and its report are "
                                       "gone for good."))
            .arg(MeasurementName(Row)),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (Answer != QMessageBox::Yes)
        return;
    Shown->Remove(Row.Id);
    Refresh();
}

void TArchiveForm::ImportCapturesClick() {
    TArchive* Shown = Archive();
    if (!Shown)
        return;
    const QString Captures = QDir(StartFolder()).filePath(QStringLiteral("Captures"));
    const std::unique_ptr<QFileDialog> Owned = CaptureDialog(
        this, QStringLiteral("Import Captures"), QFileDialog::AcceptOpen,
        QFileDialog::ExistingFiles, QDir(Captures).exists() ? Captures : StartFolder());
    QFileDialog& Dialog = *Owned;
    if (Dialog.exec() != QDialog::Accepted)
        return;
    QStringList Problems;
    int Added = 0, Already = 0;
    for (const QString& File : Dialog.selectedFiles()) {
        try {
            const TArchive::TImported Done = Shown->Import(File);
            (Done.Duplicate ? Already : Added) += 1;
        } catch (const Exception& E) {
            Problems << E.Message;
        }
    }
    Refresh();
    CountLabel->setText(QStringLiteral("%1 imported, %2 already archived").arg(Added).arg(Already));
    if (!Problems.isEmpty())
        throw Exception(QStringLiteral("Some captures were not imported:\n") +
                        Problems.join(QLatin1Char('\n')));
}
