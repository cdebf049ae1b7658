#include "ZEVAboutBox.h"

#include "components/ui/AboutPictures.h"
#include "components/ui/DialogFrame.h"
#include "components/ui/VirtualListBox.h"
#include "platform/VersionInfo.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace {

QFrame* WhitePanel(QWidget* Parent, const QRect& Geometry) {
    auto* panel = new QFrame(Parent);
    panel->setGeometry(Geometry);
    // A raised inner edge inside a lowered outer one: an etched frame.
    panel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    return panel;
}

QLabel* Label(QWidget* Parent, const QString& Text, const QRect& Geometry, bool Bold = false,
              bool Visible = true) {
    auto* label = new QLabel(Text, Parent);
    label->setGeometry(Geometry);
    if (Bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    label->setVisible(Visible);
    return label;
}

} // namespace

TZEVAboutBox::TZEVAboutBox(QWidget* Owner) : QDialog(Owner) {
    CreateControls();
    FillFromVersionInfo(TVersionInfo::FromRunningProgram());
}

TZEVAboutBox::TZEVAboutBox(QWidget* Owner, const QString& ProgramFile) : QDialog(Owner) {
    CreateControls();
    FillFromVersionInfo(TVersionInfo::FromFile(ProgramFile));
}

TZEVAboutBox::~TZEVAboutBox() = default;

void TZEVAboutBox::CreateControls() {
    setWindowTitle("ZEV About");
    DialogFrame::MakeFixed(this, QSize(296, 326));

    Panel1 = WhitePanel(this, QRect(8, 8, 281, 233));
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setGeometry(32, 8, 217, 49);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(AboutPictures::ProgramBanner());
    ProductName = Label(Panel1, "Product Name", QRect(40, 16, 201, 13));
    ProductName->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setFrameStyle(QFrame::HLine | QFrame::Sunken);
    Bevel1->setGeometry(0, 65, 281, 7);
    VersionStaticText = Label(Panel1, "Application Version", QRect(16, 80, 113, 17), true);
    Version = Label(Panel1, "", QRect(137, 80, 97, 17));

    UserDefineText1 = Label(Panel1, "UserDefineText1", QRect(17, 104, 113, 17), true, false);
    UserDefineVersion1 = Label(Panel1, "UserDefineVersion1", QRect(137, 104, 97, 17), false, false);
    UserDefineText2 = Label(Panel1, "UserDefineText2", QRect(17, 136, 113, 17), true, false);
    UserDefineVersion2 = Label(Panel1, "UserDefineVersion2", QRect(137, 136, 97, 17), false, false);
    UserDefineText3 = Label(Panel1, "UserDefineText3", QRect(17, 168, 113, 17), true, false);
    UserDefineVersion3 = Label(Panel1, "UserDefineVersion3", QRect(138, 168, 94, 13), false, false);
    UserDefineText4 = Label(Panel1, "UserDefineText4", QRect(17, 200, 113, 17), true, false);
    UserDefineVersion4 = Label(Panel1, "UserDefineVersion4", QRect(138, 200, 94, 13), false, false);

    lbCustomFields = new TVirtualListBox(Panel1);
    lbCustomFields->setGeometry(2, 104, 277, 127);
    lbCustomFields->setFrameShape(QFrame::NoFrame);
    QFont bold = lbCustomFields->font();
    bold.setBold(true);
    lbCustomFields->setFont(bold);
    QPalette panelColour = lbCustomFields->palette();
    panelColour.setColor(QPalette::Base, Panel1->palette().color(QPalette::Window));
    lbCustomFields->setPalette(panelColour);
    lbCustomFields->SetItemHeight(14);
    lbCustomFields->setFocusPolicy(Qt::NoFocus);
    lbCustomFields->setVisible(false);

    CopyrightStaticText = Label(this, "Copyright", QRect(8, 246, 48, 17));
    Panel2 = WhitePanel(this, QRect(8, 264, 281, 33));
    Copyright = Label(Panel2, "", QRect(11, 8, 262, 17));

    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(111, 300, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TZEVAboutBox::FillFromVersionInfo(const TVersionInfo& Info) {
    const QVector<TVersionTranslation> translations = Info.Translations();
    if (Info.IsEmpty() || translations.isEmpty())
        return;
    const TVersionTranslation first = translations.first();
    auto hex4 = [](quint16 Value) { return QString("%1").arg(Value, 4, 16, QChar('0')).toUpper(); };
    const QString prefix =
        "\\StringFileInfo\\" + hex4(first.Language) + hex4(first.CodePage) + "\\";
    auto read = [&](const char* Name) { return Info.Value(prefix + Name).value_or(QString()); };
    Copyright->setText(read("LegalCopyright"));
    ProductName->setText(read("ProductName"));
    Version->setText(read("ProductVersion"));
}

QLabel* TZEVAboutBox::DescriptionControl(int N) const {
    QLabel* const controls[] = {UserDefineText1, UserDefineText2, UserDefineText3, UserDefineText4};
    return N >= 1 && N <= PairCount ? controls[N - 1] : nullptr;
}

QLabel* TZEVAboutBox::VersionControl(int N) const {
    QLabel* const controls[] = {UserDefineVersion1, UserDefineVersion2, UserDefineVersion3,
                                UserDefineVersion4};
    return N >= 1 && N <= PairCount ? controls[N - 1] : nullptr;
}

void TZEVAboutBox::SetVersionCaption(int N, const QString& Text) {
    QLabel* control = VersionControl(N);
    if (!control)
        return;
    control->setText(Text);
    if (N >= 3)
        control->adjustSize();
}

void TZEVAboutBox::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    DialogFrame::CenterOnScreen(this);
}
