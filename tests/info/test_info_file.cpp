#include "info/InfoFile.h"
#include "platform/Exception.h"

#include "QtPrint.h"
#include "TestSupport.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

const QLocale US("en_US");

TReportInfo Sample() {
    TReportInfo v;
    v.SerialNumbers = {"A-100", "A-100", "B-7"};
    v.Header = {"Acme Radon Testing", "", "  indented line"};
    v.Footer = {"Tested by Ann"};
    v.StartDate = QDateTime(QDate(2026, 3, 5), QTime(16, 5, 9), Qt::UTC);
    v.StartTime = QDateTime(QDate(2026, 3, 5), QTime(0, 0, 0), Qt::UTC);
    v.EndDate = QDateTime(QDate(2026, 3, 7), QTime(9, 30, 0), Qt::UTC);
    v.EndTime = QDateTime(QDate(2026, 3, 7), QTime(12, 0, 0), Qt::UTC);
    v.SerialNumber = "A-100";
    v.Location = "Basement, 12 Elm St";
    return v;
}

void ExpectSame(const QDateTime& A, const QDateTime& B) {
    EXPECT_EQ(A.date(), B.date());
    EXPECT_EQ(A.time(), B.time());
}

} // namespace

// Every field comes back, also from information that never had a date.
TEST(InfoFile, RoundTripKeepsEveryField) {
    for (const TReportInfo& v : {Sample(), TReportInfo()}) {
        const InfoFile::TReadResult r = InfoFile::Parse(InfoFile::Format(v, US), US);
        EXPECT_EQ(r.FieldsRead, InfoFile::FieldCount);
        EXPECT_TRUE(r.Error.isEmpty()) << r.Error.toStdString();
        EXPECT_EQ(r.Values.SerialNumbers, v.SerialNumbers);
        EXPECT_EQ(r.Values.Header, v.Header);
        EXPECT_EQ(r.Values.Footer, v.Footer);
        ExpectSame(r.Values.StartDate, v.StartDate);
        ExpectSame(r.Values.StartTime, v.StartTime);
        ExpectSame(r.Values.EndDate, v.EndDate);
        ExpectSame(r.Values.EndTime, v.EndTime);
        EXPECT_EQ(r.Values.SerialNumber, v.SerialNumber);
        EXPECT_EQ(r.Values.Location, v.Location);
    }
}

TEST(InfoFile, LayoutOfTheWrittenFile) {
    TReportInfo v = Sample();
    v.Header.clear();
    v.Location.clear();
    const QByteArray bytes = InfoFile::Format(v, US);
    EXPECT_EQ(bytes, QByteArray("3\r\nA-100\r\nA-100\r\nB-7\r\n"
                                "0\r\n"
                                "1\r\nTested by Ann\r\n"
                                "3/5/2026 4:05:09 PM\r\n"
                                "3/5/2026\r\n" // midnight: the date alone
                                "3/7/2026 9:30:00 AM\r\n"
                                "3/7/2026 12:00:00 PM\r\n"
                                "A-100\r\n"
                                "\r\n"));
    const InfoFile::TReadResult r = InfoFile::Parse(bytes, US);
    EXPECT_TRUE(r.Values.Header.isEmpty());
    EXPECT_TRUE(r.Values.Location.isEmpty());
    EXPECT_EQ(r.Values.StartTime.time(), QTime(0, 0));
}

TEST(InfoFile, EightBitTextAndLongLinesSurvive) {
    TReportInfo v = Sample();
    QString odd;
    for (int b = 128; b < 256; ++b)
        odd += QChar(b);
    v.Location = odd;
    v.Header = {QString(500, 'h')};
    const QByteArray bytes = InfoFile::Format(v, US);
    EXPECT_TRUE(bytes.contains(odd.toLatin1()));
    const InfoFile::TReadResult r = InfoFile::Parse(bytes, US);
    EXPECT_EQ(r.Values.Location, odd);
    EXPECT_EQ(r.Values.Header, v.Header);
}

TEST(InfoFile, LineFeedAloneIsALineEnd) {
    const QByteArray lf = InfoFile::Format(Sample(), US).replace("\r\n", "\n");
    const InfoFile::TReadResult r = InfoFile::Parse(lf, US);
    EXPECT_EQ(r.FieldsRead, InfoFile::FieldCount);
    EXPECT_EQ(r.Values.Footer, QStringList{"Tested by Ann"});
}

struct TBadFile {
    const char* Name;
    QByteArray Contents;
    int FieldsRead;
    QString Error;
    QString Problem = {}; // "": the same as Error
};

TEST(InfoFile, ReadingStopsWhereTheFileGoesWrong) {
    const TBadFile cases[] = {
        {"empty file", "", 0, "", "the file is empty"},
        {"count not a number", "x\r\n", 0, "line 1: 'x' is not a valid integer value"},
        {"second count not a number", "1\r\nA\r\n2b\r\n", InfoFile::Header,
         "line 3: '2b' is not a valid integer value"},
        {"control characters shown escaped", "1\r\nA\r\n\x1b]0;x\x07\r\n", InfoFile::Header,
         "line 3: '\\x1b]0;x\\x07' is not a valid integer value"},
        {"negative count", "-5\r\nA\r\n", 0,
         "count -5 on line 1 is not a number of serial numbers"},
        {"count beyond the file", "0\r\n5\r\nA\r\nB\r\n", InfoFile::Header,
         "count 5 on line 2 is not a number of header lines: only 2 lines follow"},
        {"huge count", "0\r\n0\r\n2147483647\r\n", InfoFile::Footer,
         "count 2147483647 on line 3 is not a number of footer lines: only 0 lines follow"},
        {"cut after the footer", "1\r\nA\r\n0\r\n0\r\n", InfoFile::StartDate, "",
         "the file ends after line 4, before its start date"},
        {"bad date in another locale", "0\r\n0\r\n0\r\n3/5/2026\r\n05.03.2026\r\n",
         InfoFile::StartTime, "line 5: '05.03.2026' is not a valid date and time"},
        {"escape sequence in a date", "0\r\n0\r\n0\r\n\x1b]2;title\x07\r\n", InfoFile::StartDate,
         "line 4: '\\x1b]2;title\\x07' is not a valid date and time"},
        {"long line cut", "0\r\n0\r\n0\r\n" + QByteArray(500, 'z') + "\r\n", InfoFile::StartDate,
         "line 4: '" + QString(120, 'z') + "... (500 characters)' is not a valid date and time"},
        {"cut before the location",
         "0\r\n0\r\n0\r\n3/5/2026\r\n3/5/2026\r\n3/5/2026\r\n3/5/2026\r\nSN", InfoFile::Location,
         "", "the file ends after line 8, before its location"},
    };
    for (const TBadFile& c : cases) {
        SCOPED_TRACE(c.Name);
        const InfoFile::TReadResult r = InfoFile::Parse(c.Contents, US);
        EXPECT_EQ(r.FieldsRead, c.FieldsRead);
        EXPECT_EQ(r.Error, c.Error);
        EXPECT_EQ(InfoFile::Problem(r), c.Problem.isEmpty() ? c.Error : c.Problem);
    }
    EXPECT_EQ(InfoFile::Problem(InfoFile::Parse(InfoFile::Format(Sample(), US), US)), "");
}

// Files that are not plain information files are refused with one line naming the file.
TEST(InfoFile, ReadFileRefusesWhatItCannotRead) {
    QTemporaryDir dir;
    const QString big = dir.filePath("big.zev");
    TestSupport::WriteFile(big, QByteArray(InfoFile::MaxFileSize + 1, '0'));
    const QString fifo = dir.filePath("fifo.zev");
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const struct {
        QString Path, Says;
    } cases[] = {
        {big, "is larger than 1 MiB"},
        {fifo, "it is not a regular file"},
        {dir.path(), "it is not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString());
        try {
            InfoFile::ReadFile(c.Path);
            ADD_FAILURE() << "no error raised";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.Message.contains(c.Path)) << e.Message.toStdString();
            EXPECT_TRUE(e.Message.contains(c.Says)) << e.Message.toStdString();
            EXPECT_FALSE(e.Message.contains('\n'));
        }
    }
    const QString exact = dir.filePath("exact.zev");
    TestSupport::WriteFile(exact, "0\r\n" + QByteArray(InfoFile::MaxFileSize - 3, '\n'));
    EXPECT_NO_THROW(InfoFile::ReadFile(exact));
}

TEST(InfoFile, FieldsBeforeAnErrorHoldTheirValues) {
    const InfoFile::TReadResult r = InfoFile::Parse("2\r\nB\r\nA\r\n1\r\nHead\r\nzz\r\n", US);
    ASSERT_EQ(r.FieldsRead, InfoFile::Footer);
    EXPECT_EQ(r.Values.SerialNumbers, (QStringList{"B", "A"}));
    EXPECT_EQ(r.Values.Header, QStringList{"Head"});
}
