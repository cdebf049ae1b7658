#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class TVersionInfo;
class TVirtualListBox;

// The about-box component's form. Product name, version and copyright come from the version
// resource of the program file; without one (or without its translation entry) the labels keep
// their design texts.
class TZEVAboutBox : public QDialog {
    Q_OBJECT

public:
    static constexpr int PairCount = 4;

    // Reads the running program's own file.
    explicit TZEVAboutBox(QWidget* Owner = nullptr);
    // Reads the version resource of ProgramFile instead.
    TZEVAboutBox(QWidget* Owner, const QString& ProgramFile);
    ~TZEVAboutBox() override;

    // The controls of extra pair N (1 to 4); nullptr for any other N.
    QLabel* DescriptionControl(int N) const;
    QLabel* VersionControl(int N) const;
    // Sets the caption of pair N's version control; those of pairs 3 and 4 fit their text.
    void SetVersionCaption(int N, const QString& Text);

    QFrame* Panel1;
    QLabel* ProgramIcon;
    QLabel* ProductName;
    QFrame* Bevel1;
    QLabel* VersionStaticText;
    QLabel* Version;
    QLabel* UserDefineText1;
    QLabel* UserDefineVersion1;
    QLabel* UserDefineText2;
    QLabel* UserDefineVersion2;
    QLabel* UserDefineText3;
    QLabel* UserDefineVersion3;
    QLabel* UserDefineText4;
    QLabel* UserDefineVersion4;
    TVirtualListBox* lbCustomFields;
    QLabel* CopyrightStaticText;
    QFrame* Panel2;
    QLabel* Copyright;
    QPushButton* OKButton;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void CreateControls();
    void FillFromVersionInfo(const TVersionInfo& Info);
};
