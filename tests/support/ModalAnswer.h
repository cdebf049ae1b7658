#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace TestSupport {

using TAction = std::function<void(QWidget*)>;

// Answers the modal widgets that become active, one action per widget, in order: polls with
// short timers for QApplication::activeModalWidget(). A safety timer rejects any modal dialog
// still open after TimeoutMs, so a failing test cannot hang in exec().
class ModalAnswer {
public:
    explicit ModalAnswer(TAction Action, int TimeoutMs = 5000);
    explicit ModalAnswer(std::vector<TAction> Actions, int TimeoutMs = 5000);
    ~ModalAnswer();
    int Answered() const;
    // Texts of the message boxes answered, in order (other widgets give their window title).
    QStringList Texts() const;

    static TAction Press(QMessageBox::StandardButton Button);
    static TAction Reject();
    // Accepts a file dialog with Path selected (and the name filter Filter when not empty).
    static TAction ChooseFile(const QString& Path, const QString& Filter = QString());
    // Accepts a print dialog with "Print to File (PDF)" chosen and Path typed as its file.
    static TAction PrintToFile(const QString& Path);

    struct TState;

private:
    std::shared_ptr<TState> FState;
};

} // namespace TestSupport
