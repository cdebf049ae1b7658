#include "QStringPrinter.h"
#include "files/ReportText.h"
#include "platform/Exception.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace ReportText;

namespace {

QByteArray FileBytes(const QString& Path) {
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
}

void PutFile(const QString& Path, const QByteArray& Bytes) {
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    ASSERT_EQ(File.write(Bytes), Bytes.size());
}

QString FirstLineOfError(const std::function<void()>& Action) {
    try {
        Action();
    } catch (const Exception& Error) {
        return Error.Message.section(QLatin1Char('\n'), 0, 0);
    }
    return QStringLiteral("<no error>");
}

// Limits the size of files this process writes, so a write fails even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t Bytes) {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int) = nullptr;
};

} // namespace

TEST(ReportText, EncodeAndDecode) {
    const struct {
        const char* Name;
        QStringList Lines;
        QByteArray Bytes;
    } Cases[] = {
        {"two lines", {"A", "B"}, QByteArray("\x41\x0d\x0a\x42")},
        {"an empty last line ends the file with a break", {"A", ""}, "A\r\n"},
        {"empty lines between", {"", "A", "", ""}, "\r\nA\r\n\r\n"},
        {"no lines", {}, ""},
        {"tabs and spaces kept", {" \tA\t "}, " \tA\t "},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(EncodeText(Case.Lines), Case.Bytes);
        EXPECT_EQ(DecodeText(Case.Bytes), Case.Lines);
    }
}

TEST(ReportText, LineBreaksRead) {
    const struct {
        const char* Name;
        QByteArray Bytes;
        QStringList Lines;
    } Cases[] = {
        {"line feeds only", "A\nB\nC", {"A", "B", "C"}},
        {"lone carriage returns", "A\rB\r", {"A", "B", ""}},
        {"line feed then carriage return is two breaks", "A\n\rB", {"A", "", "B"}},
        {"mixed", "A\r\nB\rC\nD\r\n\r\nE", {"A", "B", "C", "D", "", "E"}},
        {"carriage return at the very end", "A\r", {"A", ""}},
        {"only a break", "\r\n", {"", ""}},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        EXPECT_EQ(DecodeText(Case.Bytes), Case.Lines);
    }
}

TEST(ReportText, EveryByteValueRoundTrips) {
    QByteArray Line;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n')
            Line += static_cast<char>(b);
    const QStringList Lines{QString::fromLatin1(Line), QString::fromLatin1(Line)};
    EXPECT_EQ(EncodeText(Lines), Line + "\r\n" + Line);
    EXPECT_EQ(DecodeText(EncodeText(Lines)), Lines);
}

TEST(ReportText, TypedCharactersBeyondOneByteBecomeQuestionMarks) {
    EXPECT_EQ(EncodeText({QString::fromUtf8("5 \xe2\x82\xac / \xc3\xa9")}), "5 ? / \xe9");
}

TEST(ReportText, LineFeedInsideALineIsWrittenAsItIs) {
    EXPECT_EQ(EncodeText({"A", "\nB"}), "A\r\n\nB");
}

TEST(ReportText, WriteAndReadBack) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_t.txt");
    PutFile(Path, QByteArray(5000, 'x'));
    const QStringList Lines{"Serial #   : 4410", "", QString::fromLatin1("\xb5R/h\x80"), "end"};
    WriteReportText(Path, Lines);
    EXPECT_EQ(FileBytes(Path), "Serial #   : 4410\r\n\r\n\xb5R/h\x80\r\nend");
    EXPECT_EQ(ReadReportText(Path), Lines);
    // Nothing of the temporary file stays behind.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"report_t.txt"});
}

TEST(ReportText, FailedWriteKeepsTheOldFile) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_t.txt");
    PutFile(Path, "old report");
    {
        FileSizeLimit Limit(1024);
        EXPECT_EQ(FirstLineOfError([&] { WriteReportText(Path, {QString(4096, 'n')}); }),
                  "Cannot create file " + Path);
    }
    EXPECT_EQ(FileBytes(Path), "old report");
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"report_t.txt"});
}

TEST(ReportText, FailedWriteInAReadOnlyFolder) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("report_t.txt");
    PutFile(Path, "old report");
    QFile::setPermissions(Dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(FirstLineOfError([&] { WriteReportText(Path, {"new"}); }),
              "Cannot create file " + Path);
    QFile::setPermissions(Dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(FileBytes(Path), "old report");
}

TEST(ReportText, WriteAndReadFailures) {
    QTemporaryDir Dir;
    const QString AFile = Dir.filePath("plain");
    PutFile(AFile, "x");
    const QString UnderAFile = AFile + "/report_t.txt";
    const QString Missing = Dir.filePath("missing/report_t.txt");

    EXPECT_EQ(FirstLineOfError([&] { WriteReportText(UnderAFile, {"A"}); }),
              "Cannot create file " + UnderAFile);
    EXPECT_EQ(FirstLineOfError([&] { WriteReportText(Missing, {"A"}); }),
              "Cannot create file " + Missing);
    EXPECT_EQ(FirstLineOfError([&] { ReadReportText(Missing); }), "Cannot open file " + Missing);
    EXPECT_EQ(FirstLineOfError([&] { ReadReportText(Dir.path()); }),
              "Cannot open file " + Dir.path());
}

TEST(ReportText, CapacityOfTheEditor) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("big.txt");
    {
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        ASSERT_TRUE(File.resize(MemoCapacity)); // sparse: fast to make
    }
    EXPECT_EQ(ReadReportText(Path).size(), 1);
    {
        QFile File(Path);
        ASSERT_TRUE(File.open(QIODevice::ReadWrite));
        ASSERT_TRUE(File.resize(MemoCapacity + 1));
    }
    EXPECT_EQ(FirstLineOfError([&] { ReadReportText(Path); }), "Text exceeds memo capacity");
}

TEST(ReportText, EmptyFileHasNoLines) {
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("empty.txt");
    PutFile(Path, "");
    EXPECT_EQ(ReadReportText(Path), QStringList());
}
