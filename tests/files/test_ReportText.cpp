#include "FilesTestHelpers.h"
#include "files/ReportText.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace ReportText;

TEST(ReportText, EncodeAndDecode) {
    const struct {
        QByteArray Bytes;
        QStringList Lines;
        bool Written; // also what EncodeText makes of the lines
    } Cases[] = {
        {"\x41\x0d\x0a\x42", {"A", "B"}, true},
        {"A\r\n", {"A", ""}, true},
        {"\r\nA\r\n\r\n", {"", "A", "", ""}, true},
        {"", {}, true},
        {"A\nB\nC", {"A", "B", "C"}, false},
        {"A\rB\r", {"A", "B", ""}, false},
        {"A\n\rB", {"A", "", "B"}, false},
        {"A\r\nB\rC\nD\r\n\r\nE", {"A", "B", "C", "D", "", "E"}, false},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Bytes.toStdString());
        if (Case.Written) {
            EXPECT_EQ(EncodeText(Case.Lines), Case.Bytes);
        }
        EXPECT_EQ(DecodeText(Case.Bytes), Case.Lines);
    }
    QByteArray High;
    for (int b = 128; b < 256; ++b)
        High += static_cast<char>(b);
    const QStringList Lines{QString::fromLatin1(High), QString::fromLatin1(High)};
    EXPECT_EQ(EncodeText(Lines), High + "\r\n" + High);
    EXPECT_EQ(DecodeText(EncodeText(Lines)), Lines);
    EXPECT_EQ(EncodeText({QString::fromUtf8("5 \xe2\x82\xac")}), "5 ?");
}

TEST(ReportText, WriteReadBackAndCapacity) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_t.txt");
    PutFile(Path, QByteArray(5000, 'x'));
    const QStringList Lines{"Serial #   : 4410", "", QString::fromLatin1("\xb5R/h\x80")};
    WriteReportText(Path, Lines);
    EXPECT_EQ(FileBytes(Path), "Serial #   : 4410\r\n\r\n\xb5R/h\x80");
    EXPECT_EQ(ReadReportText(Path), Lines);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"report_t.txt"});
    PutFile(Path, "");
    EXPECT_EQ(ReadReportText(Path), QStringList());
    ASSERT_TRUE(QFile::resize(Path, MemoCapacity)); // sparse: fast to make
    EXPECT_EQ(ReadReportText(Path).size(), 1);
    ASSERT_TRUE(QFile::resize(Path, MemoCapacity + 1));
    EXPECT_EQ(ErrorOf([&] { ReadReportText(Path); }), "Text exceeds memo capacity");
}

TEST(ReportText, FailedWriteKeepsTheOldFile) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_t.txt");
    PutFile(Path, "old report");
    {
        // A file size limit makes the write fail even for root.
        rlimit Old{};
        getrlimit(RLIMIT_FSIZE, &Old);
        const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit Limit{1024, Old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &Limit);
        const QString Error = ErrorOf([&] { WriteReportText(Path, {QString(4096, 'n')}); });
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
        EXPECT_EQ(Error, "Cannot create file " + Path);
    }
    EXPECT_EQ(FileBytes(Path), "old report");
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"report_t.txt"});

    const QString Missing = Dir.filePath("missing/report_t.txt");
    EXPECT_EQ(ErrorOf([&] { WriteReportText(Missing, {"A"}); }), "Cannot create file " + Missing);
    EXPECT_EQ(ErrorOf([&] { ReadReportText(Missing); }), "Cannot open file " + Missing);
}
