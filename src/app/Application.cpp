#include "app/Application.h"

#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "components/ui/About.h"
#include "info/InfoForm.h"
#include "platform/ComPorts.h"
#include "platform/PortMap.h"

THalvornApplication::THalvornApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {
    setApplicationName(QStringLiteral("Halvorn"));
    setApplicationVersion(QStringLiteral(HALVORN_VERSION));
    // The serial components find COMn where the program's own downloads do: in the store.
    ComPorts::SetResolver(&PortMap::DevicePath);
}

bool THalvornApplication::notify(QObject* Receiver, QEvent* Event) {
    bool result = false;
    ErrorHandler::Run([&] { result = QApplication::notify(Receiver, Event); });
    return result;
}

TMainForm* CreateForms() {
    auto* main = new TMainForm;
    main->setAttribute(Qt::WA_DeleteOnClose);
    main->FormCreate();
    main->SetAboutForm(new TAboutForm(main));
    main->SetInfoForm(new TInfoForm(main->Information(), main));
    return main;
}
