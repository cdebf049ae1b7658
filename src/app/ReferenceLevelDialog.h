#pragma once

#include "measurement/ReferenceLevel.h"

#include <QDialog>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// "View > Reference Level...": the level results are placed against, one of the known ones or
// a value, unit and name of the tester's own. OK keeps the dialog open, saying why, while a
// level of one's own is not one.
class TReferenceLevelDialog : public QDialog {
    Q_OBJECT
public:
    explicit TReferenceLevelDialog(QWidget* Parent = nullptr);

    void SetLevel(const TReferenceLevel& Level);
    // The level chosen; only meaningful after OK.
    TReferenceLevel Level() const { return FLevel; }

    // Controls, by object name: "LevelEpa", "LevelWho", "LevelEu", "LevelCanada", "LevelCustom",
    // "LevelValue", "LevelUnit", "LevelName", "LevelProblem".
    QRadioButton* Custom;
    QLineEdit* ValueEdit;
    QComboBox* UnitBox;
    QLineEdit* NameEdit;
    QLabel* Problem;

    void accept() override;

private:
    void ShowCustom();
    QButtonGroup* FChoice;
    TReferenceLevel FLevel = ReferenceLevels::Epa();
};
