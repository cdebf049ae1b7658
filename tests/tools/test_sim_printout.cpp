#include "Printout.h"

#include "TestSupport.h"

#include <QList>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QByteArray ControlBytes("\x0F\x13\x1D\x1F\xFF", 5);
const QByteArray Separator(24, '-');

QByteArray WithoutControlBytes(QByteArray Text) {
    for (const char Byte : ControlBytes)
        Text.replace(QByteArray(1, Byte), QByteArray());
    return Text;
}

int Tenths(const QByteArray& Reading) {
    const QList<QByteArray> Parts = Reading.split('.');
    return Parts[0].toInt() * 10 + Parts[1].toInt();
}

// Checks a printout against the instrument's shape and returns the table's readings in tenths.
std::vector<int> CheckShape(const QByteArray& Printout, const QByteArray& End) {
    std::vector<int> Readings;
    EXPECT_TRUE(Printout.endsWith(End));
    EXPECT_EQ(Printout.count('\r'), Printout.count(End));
    EXPECT_EQ(Printout.indexOf('\0'), -1);
    for (const char Byte : Printout) {
        const uchar Code = uchar(Byte);
        if ((Code < 32 || Code > 126) && Byte != '\r' && Byte != '\n') {
            EXPECT_GE(ControlBytes.indexOf(Byte), 0) << int(Code);
        }
    }
    QList<QByteArray> Lines = WithoutControlBytes(Printout).split('\r');
    Lines.removeLast(); // after the last line end
    if (End == "\r\n")
        for (qsizetype I = 1; I < Lines.size(); ++I) {
            EXPECT_TRUE(Lines[I].startsWith('\n'));
            Lines[I].remove(0, 1);
        }

    const qsizetype Serial = Lines.indexOf("Serial #");
    EXPECT_GT(Serial, 0) << "a title comes first";
    EXPECT_EQ(Lines.mid(Serial, 4),
              (QList<QByteArray>{"Serial #", "Start Date", "Start Time", "Location:"}));
    EXPECT_TRUE(Lines.value(Serial + 4).contains(Separator));
    const qsizetype Interval = Serial + 5;
    EXPECT_TRUE(Lines.value(Interval).contains("Time Interval"));
    const QRegularExpression AverageLine("^Overall Avg +\\d+\\.\\d pCi/l$");
    qsizetype Average = -1;
    for (qsizetype I = 0; I < Lines.size() && Average < 0; ++I)
        if (AverageLine.match(QString::fromLatin1(Lines[I])).hasMatch())
            Average = I;
    EXPECT_GT(Average, Interval + 2);
    EXPECT_EQ(Lines.value(Average - 1), "");
    EXPECT_TRUE(Lines.value(Average + 1).startsWith("EPA Protocol"));
    EXPECT_TRUE(Lines.value(Average + 2).contains(Separator));

    const QRegularExpression Cell("^(T|P|TP)?\\d+\\.\\d$");
    for (qsizetype I = Interval + 2; I < Average - 1; ++I) {
        const QByteArray& Row = Lines[I];
        EXPECT_TRUE(Row.startsWith(' ') && Row.endsWith(' ')) << Row.constData();
        // Letters stand before their reading, at most one space apart.
        QByteArray Joined = Row.simplified();
        Joined.replace("T ", "T").replace("P ", "P");
        for (const QByteArray& Value : Joined.split(' ')) {
            EXPECT_TRUE(Cell.match(QString::fromLatin1(Value)).hasMatch()) << Value.constData();
            QByteArray Reading = Value;
            while (Reading.startsWith('T') || Reading.startsWith('P'))
                Reading.remove(0, 1);
            Readings.push_back(Tenths(Reading));
        }
    }
    if (!Readings.empty()) {
        long Sum = 0;
        for (const int Value : Readings)
            Sum += Value;
        const double Mean = double(Sum) / double(Readings.size()) / 10.0;
        EXPECT_NEAR(
            Lines[Average].split(' ').value(Lines[Average].split(' ').size() - 2).toDouble(), Mean,
            0.051);
    }

    const qsizetype Upper = Lines.indexOf(SimPrintout::ScaleLine);
    const qsizetype Lower = Lines.lastIndexOf(SimPrintout::ScaleLine);
    EXPECT_GT(Upper, Average + 2);
    EXPECT_GT(Upper, 0);
    EXPECT_EQ(Lower - Upper - 1, qsizetype(Readings.size())) << "one graph row per reading";
    std::vector<std::pair<int, int>> Bars;
    for (qsizetype I = Upper + 1; I < Lower; ++I) {
        EXPECT_TRUE(
            QRegularExpression("^   \\|~*$").match(QString::fromLatin1(Lines[I])).hasMatch());
        Bars.emplace_back(Readings.at(size_t(I - Upper - 1)), int(Lines[I].size()) - 4);
    }
    // Longer bars for higher readings.
    std::sort(Bars.begin(), Bars.end());
    for (size_t I = 1; I < Bars.size(); ++I)
        EXPECT_LE(Bars[I - 1].second, Bars[I].second);
    EXPECT_TRUE(Lines.value(Lower + 1).startsWith("   0   ")) << "axis under the lower scale line";
    EXPECT_EQ(Lines.size(), Lower + 4) << "two closing lines";
    return Readings;
}

TEST(SimPrintout, HasTheInstrumentsShape) {
    const struct {
        int Hours;
        bool Control;
        bool CrLf;
    } Cases[] = {{1, true, false},   {4, true, false}, {48, true, false},
                 {48, false, false}, {48, true, true}, {1560, true, false}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message()
                     << Case.Hours << " hours, control " << Case.Control << ", crlf " << Case.CrLf);
        SimPrintout::TOptions Options;
        Options.Hours = Case.Hours;
        Options.Control = Case.Control;
        Options.CrLf = Case.CrLf;
        const QByteArray Printout = SimPrintout::Generate(Options);
        const std::vector<int> Readings = CheckShape(Printout, Case.CrLf ? "\r\n" : "\r");
        ASSERT_EQ(int(Readings.size()), Case.Hours);
        const std::vector<SimPrintout::TReading> Expected = SimPrintout::Readings(Options);
        for (size_t I = 0; I < Readings.size(); ++I)
            EXPECT_EQ(Readings[I], Expected[I].Tenths);
        EXPECT_EQ(Printout.contains('\xFF'), Case.Control);
        EXPECT_EQ(WithoutControlBytes(Printout), WithoutControlBytes(SimPrintout::Generate([&] {
                      SimPrintout::TOptions Other = Options;
                      Other.Control = !Case.Control;
                      return Other;
                  }())))
            << "control bytes are the only difference";
    }
}

TEST(SimPrintout, IsDeterministicAndSized) {
    SimPrintout::TOptions Options;
    EXPECT_EQ(SimPrintout::Generate(Options), SimPrintout::Generate(Options));
    SimPrintout::TOptions Seeded = Options;
    Seeded.Seed = 7;
    EXPECT_NE(SimPrintout::Generate(Seeded), SimPrintout::Generate(Options));
    Options.Hours = 4;
    EXPECT_LT(SimPrintout::Generate(Options).size(), 1024);
    Options.Hours = 1560;
    const qsizetype Long = SimPrintout::Generate(Options).size();
    EXPECT_GT(Long, 30 * 1024);
    EXPECT_LE(Long, 32768);
    // Both event letters occur in a long run.
    int Letters[2] = {0, 0};
    for (const SimPrintout::TReading& Reading : SimPrintout::Readings(Options)) {
        Letters[0] += Reading.Events.contains('T');
        Letters[1] += Reading.Events.contains('P');
    }
    EXPECT_GT(Letters[0], 0);
    EXPECT_GT(Letters[1], 0);
}

TEST(SimPrintout, FixturesHaveTheShape) {
    const struct {
        const char* Name;
        qsizetype Min;
        qsizetype Max;
    } Cases[] = {{"short_printout.txt", 1, 1023}, {"long_printout.txt", 4097, 32768}};
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const QByteArray Printout =
            TestSupport::ReadFile(QStringLiteral(HALVORN_ACQUISITION_FIXTURES "/") + Case.Name);
        EXPECT_GE(Printout.size(), Case.Min);
        EXPECT_LE(Printout.size(), Case.Max);
        EXPECT_FALSE(CheckShape(Printout, "\r").empty());
    }
}

} // namespace
