#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

namespace TestSupport {

// Answers the next modal widget that becomes active: polls with a zero-delay timer for
// QApplication::activeModalWidget() and hands it to Action. A safety timer closes any modal
// widget still open after TimeoutMs so a failing test cannot hang in exec().
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QWidget*)> Action, int TimeoutMs = 5000);
    ~ModalAnswer();
    bool Answered() const { return *FAnswered; }
    // Text of the message box that was answered (empty for other widgets).
    QString Text() const { return *FText; }

    // Presses Button on the next QMessageBox.
    static std::function<void(QWidget*)> Press(QMessageBox::StandardButton Button);

private:
    std::shared_ptr<bool> FAnswered;
    std::shared_ptr<QString> FText;
    std::shared_ptr<bool> FAlive;
};

} // namespace TestSupport
