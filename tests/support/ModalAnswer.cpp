#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <memory>

namespace TestSupport {

namespace {
void Poll(std::shared_ptr<bool> alive, std::shared_ptr<bool> answered, std::shared_ptr<QString> text,
          std::function<void(QWidget*)> action, int remainingMs) {
    if (!*alive || *answered)
        return;
    if (QWidget* w = QApplication::activeModalWidget()) {
        *answered = true;
        if (auto* box = qobject_cast<QMessageBox*>(w))
            *text = box->text();
        action(w);
        return;
    }
    if (remainingMs <= 0)
        return;
    QTimer::singleShot(5, [=] { Poll(alive, answered, text, action, remainingMs - 5); });
}
} // namespace

ModalAnswer::ModalAnswer(std::function<void(QWidget*)> Action, int TimeoutMs)
    : FAnswered(std::make_shared<bool>(false)), FText(std::make_shared<QString>()),
      FAlive(std::make_shared<bool>(true)) {
    auto alive = FAlive;
    QTimer::singleShot(0, [=, answered = FAnswered, text = FText] {
        Poll(alive, answered, text, Action, TimeoutMs);
    });
    // Safety net: whatever modal widget is still up after the time-out is rejected.
    QTimer::singleShot(TimeoutMs, [alive] {
        if (!*alive)
            return;
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
}

ModalAnswer::~ModalAnswer() { *FAlive = false; }

std::function<void(QWidget*)> ModalAnswer::Press(QMessageBox::StandardButton Button) {
    return [Button](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (QAbstractButton* b = box->button(Button)) {
                b->click();
                return;
            }
        }
        if (auto* d = qobject_cast<QDialog*>(w))
            d->reject();
    };
}

} // namespace TestSupport
