#include "ModalAnswer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

namespace TestSupport {

struct ModalAnswer::TState {
    std::vector<TAction> Actions;
    size_t Next = 0;
    QPointer<QWidget> Last;
    QStringList Texts;
    bool Alive = true;
};

namespace {
void Poll(std::shared_ptr<ModalAnswer::TState> S, int RemainingMs) {
    if (!S->Alive || S->Next >= S->Actions.size() || RemainingMs <= 0)
        return;
    QWidget* w = QApplication::activeModalWidget();
    if (w && w != S->Last) {
        S->Last = w;
        if (auto* box = qobject_cast<QMessageBox*>(w))
            S->Texts << box->text();
        else
            S->Texts << w->windowTitle();
        TAction action = S->Actions[S->Next++];
        action(w);
    }
    QTimer::singleShot(5, [S, RemainingMs] { Poll(S, RemainingMs - 5); });
}
} // namespace

ModalAnswer::ModalAnswer(TAction Action, int TimeoutMs)
    : ModalAnswer(std::vector<TAction>{std::move(Action)}, TimeoutMs) {}

ModalAnswer::ModalAnswer(std::vector<TAction> Actions, int TimeoutMs)
    : FState(std::make_shared<TState>()) {
    FState->Actions = std::move(Actions);
    auto s = FState;
    QTimer::singleShot(0, [s, TimeoutMs] { Poll(s, TimeoutMs); });
    QTimer::singleShot(TimeoutMs, [s] {
        if (!s->Alive)
            return;
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->reject();
    });
}

ModalAnswer::~ModalAnswer() {
    FState->Alive = false;
}

int ModalAnswer::Answered() const {
    return int(FState->Next);
}
QStringList ModalAnswer::Texts() const {
    return FState->Texts;
}

TAction ModalAnswer::Press(QMessageBox::StandardButton Button) {
    return [Button](QWidget* w) {
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            if (QAbstractButton* b = box->button(Button)) {
                QTimer::singleShot(0, b, &QAbstractButton::click);
                return;
            }
        }
        if (auto* d = qobject_cast<QDialog*>(w))
            QTimer::singleShot(0, d, &QDialog::reject);
    };
}

TAction ModalAnswer::Reject() {
    return [](QWidget* w) {
        if (auto* d = qobject_cast<QDialog*>(w))
            QTimer::singleShot(0, d, &QDialog::reject);
    };
}

TAction ModalAnswer::ChooseFile(const QString& Path, const QString& Filter) {
    return [Path, Filter](QWidget* w) {
        auto* d = qobject_cast<QFileDialog*>(w);
        if (!d)
            return;
        QPointer<QFileDialog> dialog(d);
        QTimer::singleShot(0, [dialog, Path, Filter] {
            if (!dialog)
                return;
            if (!Filter.isEmpty())
                dialog->selectNameFilter(Filter);
            // selectFile() leaves a focused name field alone, so type the name instead.
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(Path);
            else
                dialog->selectFile(Path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
    };
}

TAction ModalAnswer::PrintToFile(const QString& Path) {
    return [Path](QWidget* w) {
        auto* printers = w->findChild<QComboBox*>(QStringLiteral("printers"));
        auto* name = w->findChild<QLineEdit*>(QStringLiteral("filename"));
        if (!printers || !name)
            return;
        printers->setCurrentIndex(printers->findText(QStringLiteral("Print to File (PDF)")));
        name->setText(Path);
        QMetaObject::invokeMethod(w, "accept", Qt::QueuedConnection);
    };
}

} // namespace TestSupport
