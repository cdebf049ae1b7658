#include "app/ClientReportDialog.h"

#include "app/ErrorHandler.h"
#include "app/FileDialogs.h"
#include "measurement/clientreport/ClientReport.h"
#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

namespace {

QLineEdit* Field(QWidget* Parent, const char* Name, const QString& Text) {
    auto* Edit = new QLineEdit(Text, Parent);
    Edit->setObjectName(QLatin1String(Name));
    Edit->setMaxLength(Job::MaxFieldLength);
    return Edit;
}

} // namespace

TClientReportDialog::TClientReportDialog(const TJob& Job, const TInspector& Inspector,
                                         QWidget* Parent)
    : QDialog(Parent), FLogo(Inspector.LogoFile) {
    setWindowTitle(QStringLiteral("Client Report"));
    auto* Layout = new QVBoxLayout(this);

    auto* JobBox = new QGroupBox(QStringLiteral("The job"), this);
    auto* JobForm = new QFormLayout(JobBox);
    ClientEdit = Field(JobBox, "JobClient", Job.Client);
    AddressEdit = Field(JobBox, "JobAddress", Job.Address);
    PlacementEdit = Field(JobBox, "JobPlacement", Job.Placement);
    PlacementEdit->setPlaceholderText(QStringLiteral("floor, room"));
    TestTypeBox = new QComboBox(JobBox);
    TestTypeBox->setObjectName(QStringLiteral("JobTestType"));
    for (TTestType Type : {TTestType::None, TTestType::RealEstate, TTestType::Initial,
                           TTestType::FollowUp, TTestType::PostMitigation, TTestType::Other})
        TestTypeBox->addItem(Type == TTestType::None ? QStringLiteral("(not given)")
                                                     : Job::TestTypeForPeople(Type),
                             int(Type));
    TestTypeBox->setCurrentIndex(TestTypeBox->findData(int(Job.TestType)));
    ConditionsBox = new QComboBox(JobBox);
    ConditionsBox->setObjectName(QStringLiteral("JobConditions"));
    for (TConditions Conditions : {TConditions::None, TConditions::Maintained,
                                   TConditions::NotMaintained, TConditions::Unknown})
        ConditionsBox->addItem(Conditions == TConditions::None
                                   ? QStringLiteral("(not given)")
                                   : Job::ConditionsForPeople(Conditions),
                               int(Conditions));
    ConditionsBox->setCurrentIndex(ConditionsBox->findData(int(Job.Conditions)));
    NotesEdit = new QPlainTextEdit(Job.Notes, JobBox);
    NotesEdit->setObjectName(QStringLiteral("JobNotes"));
    NotesEdit->setTabChangesFocus(true);
    NotesEdit->setFixedHeight(70);
    JobForm->addRow(QStringLiteral("&Client:"), ClientEdit);
    JobForm->addRow(QStringLiteral("Property &address:"), AddressEdit);
    JobForm->addRow(QStringLiteral("&Placement:"), PlacementEdit);
    JobForm->addRow(QStringLiteral("&Test type:"), TestTypeBox);
    JobForm->addRow(QStringLiteral("Closed-building c&onditions:"), ConditionsBox);
    JobForm->addRow(QStringLiteral("&Notes:"), NotesEdit);
    Layout->addWidget(JobBox);

    auto* SignBox = new QGroupBox(QStringLiteral("The inspector (kept for every report)"), this);
    auto* SignForm = new QFormLayout(SignBox);
    NameEdit = Field(SignBox, "InspectorName", Inspector.Name);
    CertificationEdit = Field(SignBox, "InspectorCertification", Inspector.Certification);
    LogoLabel = new QLabel(SignBox);
    LogoLabel->setObjectName(QStringLiteral("InspectorLogo"));
    auto* Choose = new QPushButton(QStringLiteral("C&hoose..."), SignBox);
    Choose->setObjectName(QStringLiteral("InspectorLogoChoose"));
    auto* Remove = new QPushButton(QStringLiteral("&Remove"), SignBox);
    Remove->setObjectName(QStringLiteral("InspectorLogoRemove"));
    auto* LogoRow = new QHBoxLayout;
    LogoRow->addWidget(LogoLabel, 1);
    LogoRow->addWidget(Choose);
    LogoRow->addWidget(Remove);
    SignatureCheck = new QCheckBox(QStringLiteral("Print a &signature and date line"), SignBox);
    SignatureCheck->setObjectName(QStringLiteral("InspectorSignature"));
    SignatureCheck->setChecked(Inspector.SignatureLine);
    SignForm->addRow(QStringLiteral("Inspector's &name:"), NameEdit);
    SignForm->addRow(QStringLiteral("Certification n&umber:"), CertificationEdit);
    SignForm->addRow(QStringLiteral("Company logo:"), LogoRow);
    SignForm->addRow(QString(), SignatureCheck);
    Layout->addWidget(SignBox);

    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("&Make Report..."));
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Layout->addWidget(Buttons);
    connect(Choose, &QPushButton::clicked, this, ErrorHandler::Guarded([this] { ChooseLogo(); }));
    connect(Remove, &QPushButton::clicked, this, [this] {
        FLogo.clear();
        FChosenLogo.clear();
        ShowLogo();
    });
    ShowLogo();
    resize(480, sizeHint().height());
}

void TClientReportDialog::ShowLogo() {
    LogoLabel->setText(FLogo.isEmpty() ? QStringLiteral("none")
                                       : MessageText::Shown(QFileInfo(FLogo).fileName(), 60));
    LogoLabel->setToolTip(FLogo);
}

void TClientReportDialog::ChooseLogo() {
    const std::unique_ptr<QFileDialog> Dialog(FileDialogs::Make(
        this, QStringLiteral("Company Logo"), QFileDialog::AcceptOpen, QFileDialog::ExistingFile,
        {QStringLiteral("Images (*.png *.jpg *.jpeg)"), FileDialogs::AllFilesFilter}));
    if (!FLogo.isEmpty())
        Dialog->setDirectory(QFileInfo(FLogo).absolutePath());
    if (Dialog->exec() != QDialog::Accepted || Dialog->selectedFiles().isEmpty())
        return;
    const QString File = Dialog->selectedFiles().first();
    // Refused here, with the reason, rather than after the report is asked for.
    if (const QString Problem = ClientReport::LogoProblem(File); !Problem.isEmpty())
        throw Exception(Problem);
    FLogo = FChosenLogo = File;
    ShowLogo();
}

TJob TClientReportDialog::Job() const {
    TJob Job;
    Job.Client = ClientEdit->text().trimmed();
    Job.Address = AddressEdit->text().trimmed();
    Job.Placement = PlacementEdit->text().trimmed();
    Job.TestType = TTestType(TestTypeBox->currentData().toInt());
    Job.Conditions = TConditions(ConditionsBox->currentData().toInt());
    Job.Notes = NotesEdit->toPlainText().trimmed().left(Job::MaxFieldLength);
    return Job;
}

TInspector TClientReportDialog::Inspector() const {
    TInspector Inspector;
    Inspector.Name = NameEdit->text().trimmed();
    Inspector.Certification = CertificationEdit->text().trimmed();
    Inspector.LogoFile = FLogo;
    Inspector.SignatureLine = SignatureCheck->isChecked();
    return Inspector;
}
