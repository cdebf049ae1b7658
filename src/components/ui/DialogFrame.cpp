#include "DialogFrame.h"

#include <QDialog>
#include <QGuiApplication>
#include <QScreen>

namespace DialogFrame {

void MakeFixed(QDialog* Dialog, QSize Client) {
    Dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint);
    Dialog->setFixedSize(Client);
    Dialog->setFont(QFont("MS Sans Serif", 8));
}

void CenterOnScreen(QWidget* Window) {
    QScreen* screen = Window->screen() ? Window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = Window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    Window->move(frame.topLeft());
}

} // namespace DialogFrame
