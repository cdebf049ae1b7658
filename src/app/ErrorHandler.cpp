#include "app/ErrorHandler.h"

#include "platform/Exception.h"

#include <QApplication>
#include <QMessageBox>

namespace ErrorHandler {

namespace {
std::function<void(const QString&)>& SinkRef() {
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

QString CurrentExceptionText() {
    try {
        throw;
    } catch (const Exception& e) {
        return e.Message;
    } catch (const std::exception& e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("Unknown error");
    }
}

void Show(const QString& Text) {
    if (SinkRef()) {
        SinkRef()(Text);
        return;
    }
    // The program's own name, whatever the process is called (tests, a renamed binary).
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Halvorn"), Text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void SetSink(std::function<void(const QString&)> Sink) {
    SinkRef() = std::move(Sink);
}

bool Run(const std::function<void()>& Action) {
    try {
        Action();
        return true;
    } catch (...) {
        Show(CurrentExceptionText());
        return false;
    }
}

} // namespace ErrorHandler
