#include "portselect.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

namespace {

constexpr int OuterWidth = 263;
constexpr int OuterHeight = 201;

TSelectPortDlg::THelpHook& HelpHook() {
    static TSelectPortDlg::THelpHook hook;
    return hook;
}

QWidget* MainWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible())
            return w;
    return nullptr;
}

template <class T> T* Place(T* Control, int Left, int Top, int Width, int Height) {
    Control->setGeometry(Left, Top, Width, Height);
    return Control;
}

} // namespace

TSelectPortDlg::TSelectPortDlg(QWidget* Owner, bool ShowInformation)
    : QDialog(Owner), FShowInformation(ShowInformation) {
    setObjectName(QStringLiteral("SelectPortDlg"));
    setWindowTitle(QStringLiteral("Select Port"));
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    setFixedSize(OuterWidth, OuterHeight);

    Label1 = Place(new QLabel(QStringLiteral("Select the Proper Port"), this), 57, 30, 142, 13);
    Label1->setAlignment(Qt::AlignCenter);
    InformationLabel = Place(new QLabel(this), 55, 88, 145, 13);
    InformationLabel->setAlignment(Qt::AlignCenter);
    InformationLabel->hide();

    PortComboBox = Place(new QComboBox(this), 55, 58, 145, 21);
    PortComboBox->setEditable(true);
    PortComboBox->setInsertPolicy(QComboBox::NoInsert);
    Save = Place(new QPushButton(QStringLiteral("Save"), this), 9, 141, 75, 25);
    Cancel = Place(new QPushButton(QStringLiteral("Cancel"), this), 90, 141, 75, 25);
    HelpBtn = Place(new QPushButton(QStringLiteral("&Help"), this), 170, 141, 75, 25);
    FindButton = Place(new QPushButton(QStringLiteral("Find"), this), 90, 110, 75, 25);
    FindButton->hide();

    Label1->setObjectName(QStringLiteral("Label1"));
    InformationLabel->setObjectName(QStringLiteral("InformationLabel"));
    PortComboBox->setObjectName(QStringLiteral("PortComboBox"));
    Save->setObjectName(QStringLiteral("Save"));
    Cancel->setObjectName(QStringLiteral("Cancel"));
    HelpBtn->setObjectName(QStringLiteral("HelpBtn"));
    FindButton->setObjectName(QStringLiteral("FindButton"));

    setTabOrder(PortComboBox, Save);
    setTabOrder(Save, Cancel);
    setTabOrder(Cancel, HelpBtn);
    setTabOrder(HelpBtn, FindButton);

    connect(Save, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(Cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
    connect(HelpBtn, &QPushButton::clicked, this, [this] { HelpBtnClick(HelpBtn); });
}

void TSelectPortDlg::showEvent(QShowEvent* Event) {
    FormShow(this);
    QDialog::showEvent(Event);
}

void TSelectPortDlg::FormShow(QObject*) {
    if (FShowInformation)
        InformationLabel->setVisible(true);
    // The size is the outer one: take the window frame off the client area.
    if (const QWindow* handle = windowHandle()) {
        const QMargins frame = handle->frameMargins();
        setFixedSize(OuterWidth - frame.left() - frame.right(),
                     OuterHeight - frame.top() - frame.bottom());
    }
    QRect area;
    if (const QWidget* main = MainWindow())
        area = main->frameGeometry();
    else if (const QScreen* screen = QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(OuterWidth / 2, OuterHeight / 2));
}

void TSelectPortDlg::HelpBtnClick(QObject*) {
    if (HelpHook()) {
        HelpHook()(HelpContext);
        return;
    }
    QMessageBox::information(this, QStringLiteral("Help"),
                             QStringLiteral("No help is installed for topic %1.").arg(HelpContext));
}

qint32 TSelectPortDlg::ReadPortNumber(int Index) const {
    const QString entry = PortComboBox->itemText(Index);
    if (entry.size() < 4)
        return -1;
    bool ok = false;
    const qint32 number = entry.mid(3).toInt(&ok, 10);
    return ok ? number : -1;
}

int TSelectPortDlg::SelectedIndex() const {
    return PortComboBox->findText(PortComboBox->currentText(),
                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void TSelectPortDlg::SetHelpHook(THelpHook Hook) {
    HelpHook() = std::move(Hook);
}

void TSelectPortDlg::reject() {
    done(mrCancel);
}
