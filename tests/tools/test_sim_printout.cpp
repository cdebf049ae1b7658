#include "Printout.h"

#include "TestSupport.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace {

const QByteArray ControlBytes("\x0F\x13\x1D\x1F\xFF", 5);

QByteArray WithoutControlBytes(QByteArray Text) {
    for (const char Byte : ControlBytes)
        Text.replace(QByteArray(1, Byte), QByteArray());
    return Text;
}

bool Matches(const char* Pattern, const QByteArray& Line) {
    return QRegularExpression(Pattern).match(QString::fromLatin1(Line)).hasMatch();
}

// Checks the instrument's shape; returns the table's readings in tenths.
std::vector<int> CheckShape(const QByteArray& Printout, const QByteArray& End) {
    EXPECT_TRUE(Printout.endsWith(End));
    EXPECT_EQ(Printout.count('\r'), Printout.count(End));
    EXPECT_TRUE(Matches("^[\\x0d\\x0a\\x0f\\x13\\x1d\\x1f\\xff\\x20-\\x7e]*$", Printout));
    QList<QByteArray> Lines = WithoutControlBytes(Printout).replace(End, "\r").split('\r');
    Lines.removeLast();

    const qsizetype Serial = Lines.indexOf("Serial #");
    EXPECT_GT(Serial, 0) << "a title comes first";
    EXPECT_EQ(Lines.mid(Serial, 6),
              (QList<QByteArray>{"Serial #", "Start Date", "Start Time",
                                 "Location:", QByteArray(24, '-'), "Time Interval   1 Hr"}));
    qsizetype Average = Serial + 7;
    std::vector<int> Readings;
    for (; Average < Lines.size() && Lines[Average] != ""; ++Average) {
        EXPECT_TRUE(Matches("^ ( +(T|P|TP)? +\\d+\\.\\d)+ $", Lines[Average]))
            << Lines[Average].data();
        for (const QByteArray& Value : Lines[Average].split(' '))
            if (Matches("^\\d+\\.\\d$", Value))
                Readings.push_back(int(std::lround(Value.toDouble() * 10)));
    }
    ++Average;
    EXPECT_TRUE(Matches("^Overall Avg +\\d+\\.\\d pCi/l$", Lines.value(Average)));
    EXPECT_TRUE(Matches("^EPA Protocol +\\d+\\.\\d pCi/l$", Lines.value(Average + 1)));
    EXPECT_EQ(Lines.value(Average + 2), QByteArray(24, '-'));
    const qsizetype Upper = Lines.indexOf(SimPrintout::ScaleLine);
    const qsizetype Lower = Lines.lastIndexOf(SimPrintout::ScaleLine);
    EXPECT_GT(Upper, Average + 3);
    EXPECT_EQ(Lower - Upper - 1, qsizetype(Readings.size())) << "one graph row per reading";
    for (qsizetype I = Upper + 1; I < Lower && I - Upper <= qsizetype(Readings.size()); ++I) {
        // Bars grow with the readings.
        EXPECT_TRUE(Matches("^   \\|~*$", Lines[I]));
        if (I > Upper + 1 && Readings[I - Upper - 2] < Readings[I - Upper - 1]) {
            EXPECT_LE(Lines[I - 1].size(), Lines[I].size());
        }
    }
    EXPECT_TRUE(Lines.value(Lower + 1).startsWith("   0   ")) << "axis under the lower scale line";
    EXPECT_EQ(Lines.size(), Lower + 4) << "two closing lines";
    return Readings;
}

TEST(SimPrintout, HasTheInstrumentsShape) {
    const SimPrintout::TOptions Cases[] = {
        {1, 0, true, false}, {48, 0, true, false},   {48, 0, false, false},
        {48, 5, true, true}, {1560, 0, true, false},
    };
    for (const SimPrintout::TOptions& Options : Cases) {
        SCOPED_TRACE(testing::Message() << Options.Hours << " hours, control " << Options.Control
                                        << ", crlf " << Options.CrLf);
        const QByteArray Printout = SimPrintout::Generate(Options);
        const std::vector<int> Readings = CheckShape(Printout, Options.CrLf ? "\r\n" : "\r");
        const std::vector<SimPrintout::TReading> Expected = SimPrintout::Readings(Options);
        ASSERT_EQ(Readings.size(), Expected.size());
        for (size_t I = 0; I < Readings.size(); ++I)
            EXPECT_EQ(Readings[I], Expected[I].Tenths);
        EXPECT_EQ(Printout.contains('\xFF'), Options.Control);
        EXPECT_EQ(Printout, SimPrintout::Generate(Options)) << "deterministic";
    }
}

TEST(SimPrintout, SizesAndEvents) {
    SimPrintout::TOptions Options;
    Options.Hours = 4;
    EXPECT_LT(SimPrintout::Generate(Options).size(), 1024);
    Options.Seed = 7;
    EXPECT_NE(SimPrintout::Generate(Options), SimPrintout::Generate({4, 8, true, false}));
    Options.Hours = 1560;
    Options.Seed = 0;
    EXPECT_GT(SimPrintout::Generate(Options).size(), 30 * 1024);
    EXPECT_LE(SimPrintout::Generate(Options).size(), 32768);
    QByteArray Events;
    for (const SimPrintout::TReading& Reading : SimPrintout::Readings(Options))
        Events += Reading.Events;
    EXPECT_TRUE(Events.contains('T') && Events.contains('P'));

    for (const char* Name : {"/short_printout.txt", "/long_printout.txt"}) {
        SCOPED_TRACE(Name);
        EXPECT_FALSE(
            CheckShape(TestSupport::ReadFile(HALVORN_ACQUISITION_FIXTURES + QString(Name)), "\r")
                .empty());
    }
}

} // namespace
