#pragma once

#include <QApplication>

// The application object: the last line of defence of the general error handler, for an
// error that escapes an event handler not wrapped by ErrorHandler::Guarded.
class THalvornApplication : public QApplication {
public:
    THalvornApplication(int& Argc, char** Argv);
    bool notify(QObject* Receiver, QEvent* Event) override;
};

// Start-up as the program does it, up to (not including) the message loop. Returns the main
// window; the About window and the report information dialog are owned by it.
class TMainForm;
TMainForm* CreateForms();
