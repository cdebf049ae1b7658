#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The program's About window: product line, model, the platform and version of this build,
// and the maker's web address.
class TAboutForm : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* ProductLine = "Halvorn Radon Monitor";
    static constexpr const char* WebAddress = "www.halvorn.example";

    explicit TAboutForm(QWidget* Parent = nullptr);
    ~TAboutForm() override;

    // "Software for <platform> v<version>" of the build this program came from.
    static QString SoftwareLine();

    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* Image1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* WWWLabel;
    QPushButton* OKBitBtn;

protected:
    void showEvent(QShowEvent* Event) override;
};
