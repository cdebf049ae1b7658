#include "app/Application.h"
#include "app/ErrorHandler.h"
#include "app/MainForm.h"

int main(int argc, char** argv) {
    THalvornApplication app(argc, argv);
    int status = 1;
    ErrorHandler::Run([&] {
        TMainForm* main = CreateForms();
        main->show();
        status = app.exec();
    });
    return status;
}
