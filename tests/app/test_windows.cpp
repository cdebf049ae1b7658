// The program's windows as the user sees them, at the display scales of common screens.
#include "AppFixture.h"
#include "QtPrint.h"

#include "app/FontDialog.h"
#include "components/ui/About.h"
#include "platform/Exception.h"

#include <QLabel>
#include <QMessageBox>
#include <QProcess>

namespace {

// Labels whose text needs more room than they have, as "text: hint > size".
QStringList Clipped(QWidget* Window) {
    Window->show();
    QCoreApplication::processEvents();
    QStringList clipped;
    for (QLabel* l : Window->findChildren<QLabel*>()) {
        if (!l->isVisibleTo(Window) || l->text().isEmpty())
            continue;
        const QSize hint = l->sizeHint();
        if (hint.width() > l->width() || hint.height() > l->height())
            clipped << QStringLiteral("%1: %2x%3 > %4x%5")
                           .arg(l->text())
                           .arg(hint.width())
                           .arg(hint.height())
                           .arg(l->width())
                           .arg(l->height());
    }
    Window->hide();
    return clipped;
}

} // namespace

// Every label fits its text, here and (in a second run of this test) at scale 1.5.
TEST_F(AppTest, EveryLabelFitsItsText) {
    TMainForm& f = Create(true);
    Control<QLabel>(f, "StatusPanel")->setText("Acquiring Data on Com 4 - Please Wait...");
    TFontDialog font(&f);
    font.SetFont(Settings::TEditorFont{}); // a first start's
    TAboutForm about(&f);
    QWidget* windows[] = {&f, &about, Info.get(), &font};
    for (QWidget* w : windows) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        EXPECT_EQ(Clipped(w).join('\n'), "");
    }

    if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        return;
    QProcess again;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_SCALE_FACTOR", "1.5");
    again.setProcessEnvironment(env);
    again.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=AppTest.EveryLabelFitsItsText"});
    ASSERT_TRUE(again.waitForFinished(60000));
    EXPECT_EQ(again.exitCode(), 0) << again.readAllStandardOutput().toStdString();
}

// The general error handler's boxes carry the program's name; the save-changes prompt keeps
// its own title.
TEST_F(AppTest, ErrorBoxesAreTitledHalvorn) {
    using TestSupport::ModalAnswer;
    TMainForm& f = Create();
    ErrorHandler::SetSink({});
    QStringList titles;
    auto answer = [&](QMessageBox::StandardButton Button) {
        return [&titles, Button](QWidget* w) {
            titles << w->windowTitle();
            ModalAnswer::Press(Button)(w);
        };
    };
    {
        ModalAnswer ok(answer(QMessageBox::Ok));
        ErrorHandler::Run([] { throw Exception("Something failed"); });
    }
    Type("unsaved");
    {
        ModalAnswer cancel(answer(QMessageBox::Cancel));
        Trigger(f, "FileNew");
    }
    EXPECT_EQ(titles, (QStringList{"Halvorn", "Message"}));
}
