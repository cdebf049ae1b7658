#include "ModalAnswer.h"
#include "QtPrint.h"
#include "TestSupport.h"
#include "components/ui/FolderDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

using TestSupport::ModalAnswer;

namespace {

// What the browser looked like when it came up, and how the test answered it.
struct Seen {
    QString Title;
    QStringList Selected;
    QString Directory;
};

std::function<void(QWidget*)> Choose(const QString& Folder, Seen* Look = nullptr) {
    return [=](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        if (Look)
            *Look = {dialog->windowTitle(), dialog->selectedFiles(),
                     dialog->directory().absolutePath()};
        if (Folder.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(Folder);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    };
}

class FolderDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FDir.isValid());
        for (const char* folder : {"data", "data/sub", "empty", "empty/only", "other"})
            QDir(FDir.path()).mkpath(folder);
        for (const char* file : {"data/b.txt", "data/A.txt", "data/c", "data/.hidden",
                                 "data/sub/deep.txt", "other/o.txt"})
            TestSupport::WriteFile(FDir.filePath(file), "x");
    }
    QString At(const QString& Relative) const { return FDir.filePath(Relative); }

    QTemporaryDir FDir;
    TFolderDialog FDialog;
};

TEST_F(FolderDialogTest, ChooseCancelAndChooseAgain) {
    Seen look;
    FDialog.SetTitle("Pick the data");
    {
        ModalAnswer answer(Choose(At("data"), &look));
        EXPECT_TRUE(FDialog.Execute());
        EXPECT_TRUE(answer.Answered());
    }
    EXPECT_EQ(look.Title, "Pick the data");
    EXPECT_EQ(FDialog.Path(), At("data"));
    // Regular files only, no hidden ones, no subfolders, by name.
    const QStringList files{At("data/A.txt"), At("data/b.txt"), At("data/c")};
    EXPECT_EQ(FDialog.Files(), files);

    // Cancel empties Path and keeps Files.
    {
        ModalAnswer cancel(Choose(QString()));
        EXPECT_FALSE(FDialog.Execute());
    }
    EXPECT_EQ(FDialog.Path(), "");
    EXPECT_EQ(FDialog.Files(), files);
    EXPECT_EQ(FDialog.Selection(), "");

    // A folder with only subfolders gives no files.
    ModalAnswer answer(Choose(At("empty")));
    EXPECT_TRUE(FDialog.Execute());
    EXPECT_TRUE(FDialog.Files().isEmpty());
    EXPECT_EQ(FDialog.Path(), At("empty"));
}

TEST_F(FolderDialogTest, TheNextBrowseOpensOnTheFolderChosenLast) {
    {
        ModalAnswer answer(Choose(At("data/sub")));
        ASSERT_TRUE(FDialog.Execute());
    }
    Seen second;
    {
        ModalAnswer answer(Choose(QString(), &second));
        EXPECT_FALSE(FDialog.Execute());
    }
    EXPECT_EQ(second.Selected, QStringList{At("data/sub")});
    EXPECT_EQ(second.Directory, At("data"));

    // After the cancel nothing is preselected: the browse starts at the top again.
    Seen third;
    ModalAnswer answer(Choose(QString(), &third));
    FDialog.Execute();
    EXPECT_EQ(third.Directory, QDir::homePath());
    EXPECT_FALSE(third.Selected.contains(At("data/sub")));
}

TEST_F(FolderDialogTest, SetPath) {
    FDialog.SetPath(At("other"));
    ASSERT_EQ(FDialog.Path(), At("other"));
    const struct {
        const char* What;
        QString Text;
        QString Path;
        QString Selection;
        QStringList Files;
    } cases[] = {
        {"missing folder", At("missing"), At("other"), "", {At("other/o.txt")}},
        {"a file, not a folder", At("data/c"), At("other"), At("data/c"), {At("other/o.txt")}},
        {"a folder", At("data/sub"), At("data/sub"), At("data/sub"), {At("data/sub/deep.txt")}},
        {"text kept as given",
         At("data/sub/../"),
         At("data/sub/../"),
         At("data"),
         {At("data/A.txt"), At("data/b.txt"), At("data/c")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        FDialog.SetPath(c.Text);
        EXPECT_EQ(FDialog.Path(), c.Path);
        EXPECT_EQ(FDialog.Selection(), c.Selection);
        EXPECT_EQ(QDir::cleanPath(FDialog.Files().value(0)), QDir::cleanPath(c.Files.value(0)));
        EXPECT_EQ(FDialog.Files().size(), c.Files.size());
    }
}

TEST_F(FolderDialogTest, TheBrowseCannotLeaveTheRoot) {
    FDialog.SetRoot(At("data"));
    EXPECT_EQ(FDialog.RootDir(), At("data"));
    bool stayedOpen = false;
    QString bounced;
    ModalAnswer answer([&](QWidget* w) {
        auto* dialog = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->directory().absolutePath(), At("data"));
        auto* up = dialog->findChild<QToolButton*>("toParentButton");
        ASSERT_NE(up, nullptr);
        up->click();
        bounced = dialog->directory().absolutePath();
        dialog->selectFile(At("other"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::DirectConnection);
        stayedOpen = dialog->isVisible();
        dialog->selectFile(At("data/sub"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    EXPECT_TRUE(FDialog.Execute());
    EXPECT_EQ(bounced, At("data"));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(FDialog.Path(), At("data/sub"));
}

TEST(FolderDialog, OptionsAndFlags) {
    TFolderDialog dialog;
    EXPECT_EQ(dialog.Options(), TBrowseFolderOptions({bfOnlyDirs}));
    const struct {
        TBrowseFolderOptions Options;
        quint32 Flags;
    } cases[] = {
        {{bfOnlyDirs}, 0x0001},
        {{bfStatusText}, 0},
        {{bfOnlyDirs, bfStatusText}, 0x0001},
        {{bfComputer, bfPrinter, bfNotBelowDomain, bfFSAncestors, bfOnlyDirs}, 0x300B},
    };
    for (const auto& c : cases) {
        dialog.SetOptions(c.Options);
        EXPECT_EQ(dialog.BuildBrowseFlags(), c.Flags);
        EXPECT_FALSE(dialog.Options().Contains(bfStatusText));
    }
    TBrowseFolderOptions options;
    options.Include(bfStatusText);
    EXPECT_TRUE(options.IsEmpty());
}

} // namespace
