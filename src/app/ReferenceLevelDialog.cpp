#include "app/ReferenceLevelDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

TReferenceLevelDialog::TReferenceLevelDialog(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle(QStringLiteral("Reference Level"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Results are placed against:")));
    FChoice = new QButtonGroup(this);
    const QStringList keys = ReferenceLevels::Keys();
    const char* const names[] = {"LevelEpa", "LevelWho", "LevelEu", "LevelCanada"};
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const TReferenceLevel level = *ReferenceLevels::FromKey(keys[i]);
        QString caption =
            level.Name + QStringLiteral(", ") + ReferenceLevels::ValueForPeople(level, level.Unit);
        caption[0] = caption[0].toUpper();
        if (level.ConsiderFixing)
            caption += QStringLiteral("; consider fixing from %1 %2")
                           .arg(QString::fromStdString(level.ConsiderFixing->Text()),
                                Units::Name(level.Unit));
        auto* button = new QRadioButton(caption.replace(u'&', QStringLiteral("&&")));
        button->setObjectName(QLatin1String(names[i]));
        FChoice->addButton(button, static_cast<int>(i));
        layout->addWidget(button);
    }
    Custom = new QRadioButton(QStringLiteral("A level of &your own:"));
    Custom->setObjectName(QStringLiteral("LevelCustom"));
    FChoice->addButton(Custom, static_cast<int>(keys.size()));
    layout->addWidget(Custom);

    ValueEdit = new QLineEdit;
    ValueEdit->setObjectName(QStringLiteral("LevelValue"));
    UnitBox = new QComboBox;
    UnitBox->setObjectName(QStringLiteral("LevelUnit"));
    for (const TUnit unit : {TUnit::PciL, TUnit::BqM3})
        UnitBox->addItem(Units::Name(unit), static_cast<int>(unit));
    NameEdit = new QLineEdit;
    NameEdit->setObjectName(QStringLiteral("LevelName"));
    NameEdit->setMaxLength(ReferenceLevels::MaxNameLength);
    NameEdit->setPlaceholderText(QStringLiteral("reference level"));
    auto* form = new QFormLayout;
    form->setContentsMargins(24, 0, 0, 0);
    form->addRow(QStringLiteral("&Value:"), ValueEdit);
    form->addRow(QStringLiteral("&Unit:"), UnitBox);
    form->addRow(QStringLiteral("&Name:"), NameEdit);
    layout->addLayout(form);

    Problem = new QLabel;
    Problem->setObjectName(QStringLiteral("LevelProblem"));
    Problem->setWordWrap(true);
    Problem->setStyleSheet(QStringLiteral("color: #b71c1c"));
    layout->addWidget(Problem);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TReferenceLevelDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(FChoice, &QButtonGroup::idToggled, this, [this] { ShowCustom(); });
    SetLevel(FLevel);
}

void TReferenceLevelDialog::SetLevel(const TReferenceLevel& Level) {
    FLevel = Level;
    const qsizetype index = ReferenceLevels::Keys().indexOf(Level.Key);
    FChoice->button(index >= 0 ? static_cast<int>(index) : FChoice->id(Custom))->setChecked(true);
    if (index < 0) {
        ValueEdit->setText(QString::fromStdString(Level.Value.Text()));
        UnitBox->setCurrentIndex(Level.Unit == TUnit::PciL ? 0 : 1);
        NameEdit->setText(Level.Name);
    }
    Problem->clear();
    ShowCustom();
}

void TReferenceLevelDialog::ShowCustom() {
    for (QWidget* edit : {static_cast<QWidget*>(ValueEdit), static_cast<QWidget*>(UnitBox),
                          static_cast<QWidget*>(NameEdit)})
        edit->setEnabled(Custom->isChecked());
}

void TReferenceLevelDialog::accept() {
    if (!Custom->isChecked()) {
        FLevel = *ReferenceLevels::FromKey(ReferenceLevels::Keys().at(FChoice->checkedId()));
        QDialog::accept();
        return;
    }
    const auto custom = ReferenceLevels::Custom(
        ValueEdit->text(), static_cast<TUnit>(UnitBox->currentData().toInt()), NameEdit->text());
    if (!custom.Level) {
        Problem->setText(custom.Refusal);
        ValueEdit->setFocus();
        return;
    }
    FLevel = *custom.Level;
    QDialog::accept();
}
