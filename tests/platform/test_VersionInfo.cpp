#include "QtPrint.h"
#include "TestSupport.h"
#include "platform/VersionInfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QString Prefix = "\\StringFileInfo\\040904B0\\";

QString ValueOr(const TVersionInfo& Info, const QString& Path, const QString& Missing = "<none>") {
    return Info.Value(Path).value_or(Missing);
}

TEST(VersionInfo, ProgramFilesBuiltWithAndWithoutResource) {
    const struct {
        const char* File;
        bool Empty;
        int Translations;
        QString Name, Version, Copyright;
    } cases[] = {
        {VERSION_PROBE_FULL, false, 1, "Probe", "2.3.4", "Copyright (C) Probe \"quoted\" \\ back"},
        {VERSION_PROBE_NONE, true, 0, "<none>", "<none>", "<none>"},
        {VERSION_PROBE_NO_COPYRIGHT, false, 1, "Halvorn", HALVORN_PROJECT_VERSION, "<none>"},
        {VERSION_PROBE_NO_TRANSLATION, false, 0, "Halvorn", HALVORN_PROJECT_VERSION,
         "Copyright (C) 2026 Tamsor Instruments"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        const TVersionInfo info = TVersionInfo::FromFile(c.File);
        EXPECT_EQ(info.IsEmpty(), c.Empty);
        ASSERT_EQ(info.Translations().size(), c.Translations);
        EXPECT_EQ(ValueOr(info, Prefix + "ProductName"), c.Name);
        EXPECT_EQ(ValueOr(info, Prefix + "ProductVersion"), c.Version);
        EXPECT_EQ(ValueOr(info, Prefix + "LegalCopyright"), c.Copyright);
    }
    // The running program reads its own file; paths are looked up without regard to case.
    EXPECT_EQ(
        ValueOr(TVersionInfo::FromRunningProgram(), "\\stringfileinfo\\040904b0\\PRODUCTNAME"),
        "Halvorn");
}

TEST(VersionInfo, DamagedOrForeignFilesGiveNoResource) {
    QFile probe(VERSION_PROBE_FULL);
    ASSERT_TRUE(probe.open(QIODevice::ReadOnly));
    const QByteArray good = probe.readAll();
    ASSERT_GT(good.size(), 64);

    auto patched = [&](int Offset, quint64 Value, int Size) {
        QByteArray b = good;
        for (int i = 0; i < Size; ++i)
            b[Offset + i] = char((Value >> (8 * i)) & 0xFF);
        return b;
    };
    const struct {
        const char* What;
        QByteArray Bytes;
    } cases[] = {
        {"empty file", QByteArray()},
        {"text file", QByteArray("HALVORN-VERSION-RESOURCE 1\n")},
        {"section table cut off", good.left(good.size() / 2)},
        {"last byte missing", good.left(good.size() - 1)},
        {"section table beyond the end", patched(0x28, quint64(good.size()) + 1000, 8)},
        {"huge section count", patched(0x3C, 0xFFFE, 2)},
        {"unknown class", patched(4, 7, 1)},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const QString path = dir.filePath("damaged");
        TestSupport::WriteFile(path, c.Bytes);
        EXPECT_TRUE(TVersionInfo::FromFile(path).IsEmpty());
    }
    EXPECT_TRUE(TVersionInfo::FromFile(dir.filePath("missing")).IsEmpty());
    EXPECT_TRUE(TVersionInfo::FromFile(dir.path()).IsEmpty());
}

TEST(VersionInfo, BlockParsing) {
    const QByteArray head = "HALVORN-VERSION-RESOURCE 1\n";
    const struct {
        const char* What;
        QByteArray Block;
        bool Empty;
        int Translations;
    } cases[] = {
        {"padding after the text",
         head + "\\VarFileInfo\\Translation=040904E4\n" + QByteArray(7, '\0') + "junk", false, 1},
        {"two translations", head + "\\VarFileInfo\\Translation=040904E4 040704B0\n", false, 2},
        {"translation not hex", head + "\\VarFileInfo\\Translation=0409XYZ0\n", false, 0},
        {"other header", "HALVORN-VERSION-RESOURCE 2\n\\A=b\n", true, 0},
        {"line without a value", head + "\\StringFileInfo\\x\n", true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        const TVersionInfo info = TVersionInfo::FromBlock(c.Block);
        EXPECT_EQ(info.IsEmpty(), c.Empty);
        EXPECT_EQ(info.Translations().size(), c.Translations);
    }
    const TVersionInfo two = TVersionInfo::FromBlock(
        head + "\\VarFileInfo\\Translation=040904E4 040704B0\n\\S\\x=a=b\n");
    EXPECT_EQ(two.Translations()[1].Language, 0x0407);
    EXPECT_EQ(two.Translations()[1].CodePage, 0x04B0);
    EXPECT_EQ(ValueOr(two, "\\S\\x"), "a=b");
}

} // namespace
