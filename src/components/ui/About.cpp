#include "About.h"

#include "components/ui/AboutPictures.h"
#include "components/ui/DialogFrame.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSysInfo>

namespace {

// A label on its place of the layout, grown around that place's centre when its text needs
// more room (fonts and display scales differ from screen to screen).
QLabel* Label(QWidget* Parent, const QString& Text, const QRect& Place) {
    auto* label = new QLabel(Text, Parent);
    label->setAlignment(Qt::AlignCenter);
    QRect r(QPoint(), Place.size().expandedTo(label->sizeHint()));
    r.moveCenter(Place.center());
    label->setGeometry(r);
    return label;
}

} // namespace

TAboutForm::TAboutForm(QWidget* Parent) : QDialog(Parent) {
    setWindowTitle("About");
    DialogFrame::MakeFixed(this, QSize(273, 175));

    Bevel1 = new QFrame(this);
    Bevel1->setGeometry(72, 8, 193, 129);
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
    Label1 = Label(this, SoftwareLine(), QRect(97, 48, 146, 13));
    Image1 = new QLabel(this);
    Image1->setGeometry(0, 8, 65, 49);
    Image1->setScaledContents(true);
    Image1->setPixmap(AboutPictures::InstrumentLogo());
    Label2 = Label(this, ProductLine, QRect(104, 16, 130, 13));
    Label3 = Label(this, "Model 4410", QRect(141, 32, 56, 13));

    WWWLabel = Label(this, WebAddress, QRect(104, 112, 133, 13));
    QFont underlined = WWWLabel->font();
    underlined.setUnderline(true);
    WWWLabel->setFont(underlined);
    QPalette black = WWWLabel->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    WWWLabel->setPalette(black);
    WWWLabel->setTextInteractionFlags(Qt::NoTextInteraction);

    OKBitBtn = new QPushButton(AboutPictures::CheckGlyph(), "OK", this);
    OKBitBtn->setGeometry(96, 144, 75, 25);
    OKBitBtn->setDefault(true);
    OKBitBtn->setFocus();
    connect(OKBitBtn, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutForm::~TAboutForm() = default;

QString TAboutForm::SoftwareLine() {
#if defined(Q_OS_LINUX)
    const QString platform = "Linux";
#elif defined(Q_OS_WIN)
    const QString platform = "Windows";
#elif defined(Q_OS_MACOS)
    const QString platform = "macOS";
#else
    const QString platform = QSysInfo::kernelType();
#endif
    return "Software for " + platform + " v" + HALVORN_UI_VERSION;
}

void TAboutForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    DialogFrame::CenterOnScreen(this);
}
