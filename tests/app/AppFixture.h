#pragma once

#include "app/ErrorHandler.h"
#include "app/MainForm.h"
#include "archive/Archive.h"
#include "info/InfoForm.h"
#include "platform/Registry.h"
#include "settings/Settings.h"

#include "Controls.h"
#include "ModalAnswer.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// A main window over a private settings store, with errors collected instead of shown.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        ErrorHandler::SetSink([this](const QString& Text) { Errors << Text; });
    }
    void TearDown() override {
        if (Form) {
            Form->SetInfoForm(nullptr);
            Info.reset();
            Control<QTimer>(*Form, "tmrReceive")->stop();
            Form.reset();
        }
        ErrorHandler::SetSink({});
    }

    // Writes the settings key with the given value lines (regedit syntax).
    void Store(const QByteArray& Values) {
        Config.WriteStore("Windows Registry Editor Version 5.00\r\n\r\n"
                          "[HKEY_CURRENT_USER\\Software\\Tamsor\\Halvorn 4410]\r\n" +
                          Values);
    }
    // Where the program keeps downloads: the archive, and capture files when it cannot.
    QString ArchivePath() const { return TArchive::PathIn(Install.path()); }
    QStringList Captures() const {
        QStringList files;
        QDirIterator it(Install.filePath("Data/Captures"), QDir::Files);
        while (it.hasNext())
            files << it.next();
        return files;
    }

    void StoreWithInstallDir(
        const QByteArray& More = "\"Port\"=dword:00000000\r\n\"InfoEnable\"=dword:00000000\r\n") {
        QByteArray dir = Install.path().toUtf8();
        Store("\"InstallDir\"=\"" + dir + "\"\r\n" + More);
    }

    // The archive as the program sees it: the window's own while a window is up (a second
    // object on the file in this process is refused), else one of the test's until a window
    // is made.
    TArchive& Archive() {
        if (Form)
            if (TArchive* Own = Control<TArchiveKeeper>(*Form, "ArchiveKeeper")
                                    ->Readable(Settings::TReader().InstallDir()))
                return *Own;
        if (!TestArchive)
            TestArchive = std::make_unique<TArchive>(ArchivePath());
        return *TestArchive;
    }

    // Start-up as the program does it; WithInfo also creates the report information dialog.
    TMainForm& Create(bool WithInfo = false) {
        TestArchive.reset();
        Form = std::make_unique<TMainForm>();
        Form->FormCreate();
        if (WithInfo) {
            Info = std::make_unique<TInfoForm>(Form->Information(), Form.get());
            Form->SetInfoForm(Info.get());
        }
        return *Form;
    }

    void Type(const QString& Text) {
        Memo(*Form)->setFocus();
        Memo(*Form)->moveCursor(QTextCursor::End);
        Memo(*Form)->insertPlainText(Text);
    }

    // Whether a download holds its port, and the bytes it has counted so far.
    static bool Downloading(const TMainForm& F) {
        return Control<TDownloadSession>(F, "Session")->Running();
    }
    static int QueueCount(const TMainForm& F) {
        return Control<TDownloadSession>(F, "Session")->QueueCount();
    }

    // The window's report as the user sees it: the editor's report lines, lines put in it
    // (Modified: as an unsaved edit), its modified flag, the status line and the report's file
    // name from the caption (empty while untitled).
    QStringList EditorLines() const { return Memo(*Form)->ReportLines(); }
    void SetEditorLines(const QStringList& Lines, bool Modified) {
        Memo(*Form)->SetLines(Lines, Modified);
    }
    bool Modified() const { return Memo(*Form)->Modified(); }
    QString StatusText() const { return Control<QLabel>(*Form, "StatusPanel")->text(); }
    QString FileName() const {
        const QString Title = Form->windowTitle();
        return Title == "Halvorn - Untitled" ? QString() : Title.mid(QString("Halvorn - ").size());
    }

    TestSupport::TempConfig Config;
    QTemporaryDir Install;
    QStringList Errors;
    std::unique_ptr<TMainForm> Form;
    std::unique_ptr<TInfoForm> Info;
    std::unique_ptr<TArchive> TestArchive;
};

using TestSupport::WaitUntil;
