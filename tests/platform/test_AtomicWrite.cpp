#include "PlatformTest.h"
#include "TestSupport.h"
#include "platform/AtomicWrite.h"
#include "platform/Registry.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using TestSupport::MessageOf;
using TestSupport::ReadFile;
using TestSupport::WriteFile;

namespace {

constexpr uid_t Nobody = 65534;

mode_t ModeOf(const QString& Path) {
    struct stat Info {};
    return ::lstat(QFile::encodeName(Path).constData(), &Info) == 0 ? Info.st_mode & 07777 : 0;
}

QString Replaced(const QString& Path, const QByteArray& Bytes, mode_t NewFileMode = 0666) {
    return MessageOf<Exception>([&] { AtomicWrite::ReplaceFile(Path, Bytes, NewFileMode); });
}

// A link at Path to Target that belongs to Owner.
void Plant(const QString& Path, const QString& Target, uid_t Owner) {
    ASSERT_EQ(::symlink(QFile::encodeName(Target).constData(), QFile::encodeName(Path).constData()),
              0);
    ASSERT_EQ(::lchown(QFile::encodeName(Path).constData(), Owner, Owner), 0);
}

void MakeFolder(const QString& Path, mode_t Mode, uid_t Owner = 0) {
    ASSERT_TRUE(QDir().mkpath(Path));
    ASSERT_EQ(::chmod(QFile::encodeName(Path).constData(), Mode), 0);
    ASSERT_EQ(::chown(QFile::encodeName(Path).constData(), Owner, Owner), 0);
}

TEST(AtomicWrite, ReplacesWholeKeepingTheModeOrRefusesAndKeepsTheOldFile) {
    QTemporaryDir Dir;
    const QString D = Dir.path();
    const mode_t OldMask = ::umask(022);
    WriteFile(D + "/private.txt", "old");
    ::chmod(QFile::encodeName(D + "/private.txt").constData(), 0600);
    EXPECT_EQ(Replaced(D + "/private.txt", "new"), "<no error>");
    EXPECT_EQ(ReadFile(D + "/private.txt"), "new");
    EXPECT_EQ(ModeOf(D + "/private.txt"), 0600u);
    EXPECT_EQ(Replaced(D + "/fresh.txt", "new"), "<no error>");
    EXPECT_EQ(ModeOf(D + "/fresh.txt"), 0644u);
    EXPECT_EQ(Replaced(D + "/store.reg", "new", 0600), "<no error>");
    EXPECT_EQ(ModeOf(D + "/store.reg"), 0600u);
    ::umask(OldMask);

    WriteFile(D + "/kept.txt", "kept");
    ::chmod(QFile::encodeName(D + "/kept.txt").constData(), 0444);
    ASSERT_TRUE(QDir(D).mkdir("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(D + "/pipe").constData(), 0600), 0);
    const struct {
        QString Path, Reason;
    } Refused[] = {
        {D + "/kept.txt", "the file is read-only"},
        {D + "/folder", "it is a folder, not a file (Is a directory)"},
        {D + "/new/", "the name ends in \"/\" and so names a folder, not a file"},
        {D + "/pipe", "it is not a plain file (a device, pipe or socket) and is not replaced"},
        {D + "/none/report.txt", "the folder does not exist (No such file or directory)"},
        {"", "no file name was given"},
    };
    for (const auto& C : Refused) {
        SCOPED_TRACE(C.Path.toStdString());
        EXPECT_EQ(Replaced(C.Path, "new"), "Cannot create file " + C.Path + '\n' + C.Reason);
    }
    EXPECT_EQ(ReadFile(D + "/kept.txt"), "kept");
    EXPECT_EQ(ModeOf(D + "/kept.txt"), 0444u);
    EXPECT_EQ(QDir(D).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              QStringList({"folder", "fresh.txt", "kept.txt", "pipe", "private.txt", "store.reg"}));
}

// The kernel's protected_symlinks rule, applied whatever the system's own setting: in a sticky
// world-writable folder such as /tmp a link is followed only when it belongs to this user or
// to the folder's owner. Needs root to give links to another user.
TEST(AtomicWrite, LinksAreFollowedOnlyWhereTheKernelsRuleWould) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can plant a link owned by another user";
    QTemporaryDir Dir;
    const QString D = Dir.path();
    ASSERT_EQ(::chmod(QFile::encodeName(D).constData(), 0755), 0);
    MakeFolder(D + "/tmp", 01777);
    MakeFolder(D + "/home", 01777, Nobody);
    MakeFolder(D + "/open", 0777);
    MakeFolder(D + "/victim", 0755);
    const QString Victim = D + "/victim/precious.txt";
    const struct {
        const char* Name;
        QString Link;
        uid_t Owner;
        QString Write; // written through the link; empty: the link itself
        bool Followed;
    } Cases[] = {
        {"another user's link in a shared folder", D + "/tmp/report.txt", Nobody, {}, false},
        {"a folder link of another user", D + "/tmp/out", Nobody, "/precious.txt", false},
        {"this user's own link", D + "/tmp/mine.txt", 0, {}, true},
        {"the folder owner's link", D + "/home/report.txt", Nobody, {}, true},
        {"a folder that is not sticky", D + "/open/report.txt", Nobody, {}, true},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        WriteFile(Victim, "precious");
        Plant(C.Link, C.Write.isEmpty() ? Victim : D + "/victim", C.Owner);
        const QString Path = C.Link + C.Write;
        const QString Message = Replaced(Path, "planted");
        if (C.Followed) {
            EXPECT_EQ(Message, "<no error>");
            EXPECT_EQ(ReadFile(Victim), "planted");
            EXPECT_TRUE(QFileInfo(C.Link).isSymLink()) << "the link stays a link";
        } else {
            EXPECT_EQ(Message, "Cannot create file " + Path + '\n' + C.Link +
                                   " is a link that another user (uid 65534) put into the "
                                   "shared folder " +
                                   D + "/tmp; it is not followed");
            EXPECT_EQ(ReadFile(Victim), "precious");
        }
        EXPECT_EQ(QDir(D + "/victim").entryList(QDir::Files), QStringList{"precious.txt"});
    }

    Plant(D + "/tmp/loop", D + "/tmp/loop", 0);
    EXPECT_TRUE(Replaced(D + "/tmp/loop", "x").endsWith("(Too many levels of symbolic links)"));
}

// The settings store is written by the same rule.
TEST(AtomicWrite, TheStoreIsNotWrittenThroughAPlantedLink) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can plant a link owned by another user";
    TestSupport::TempConfig Config;
    MakeFolder(Config.ConfigHome() + "/Tamsor", 01777);
    const QString Victim = Config.ConfigHome() + "/victim.reg";
    const QByteArray Before = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\X]\n";
    WriteFile(Victim, Before);
    Plant(Config.StoreFile(), Victim, Nobody);
    TRegistry Registry;
    const QString Message =
        TestSupport::MessageOf([&] { Registry.OpenKey("Software\\Tamsor\\Halvorn 4410", true); });
    EXPECT_TRUE(Message.startsWith("Failed to create key 'Software\\Tamsor\\Halvorn 4410'\n" +
                                   Config.StoreFile() + ": "))
        << Message.toStdString();
    EXPECT_TRUE(Message.endsWith("it is not followed")) << Message.toStdString();
    EXPECT_EQ(ReadFile(Victim), Before);
}

} // namespace
