#include "measurement/Decimal.h"
#include "measurement/Units.h"

#include <gtest/gtest.h>

namespace {

TDecimal D(const char* Text) {
    const std::optional<TDecimal> Value = TDecimal::Parse(Text);
    EXPECT_TRUE(Value) << Text;
    return Value.value_or(TDecimal());
}

} // namespace

TEST(Decimal, ParsesOnlyWholeDecimalNumbers) {
    const struct {
        const char* Text;
        const char* Value; // nullptr: not a number
    } Cases[] = {
        {"1.4", "1.4"},    {"+12", "12"},      {"-0.50", "-0.50"}, {"007.0", "7.0"},
        {"-0", "0"},       {"0.000", "0.000"}, {"", nullptr},      {"-", nullptr},
        {".5", nullptr},   {"5.", nullptr},    {"1e3", nullptr},   {"1.2.3", nullptr},
        {"4.x", nullptr},  {" 1", nullptr},    {"1,5", nullptr},   {"--1", nullptr},
        {"1\t7", nullptr},
    };
    for (const auto& Case : Cases) {
        const std::optional<TDecimal> Value = TDecimal::Parse(Case.Text);
        if (Case.Value)
            EXPECT_EQ(Value ? Value->Text() : "<none>", Case.Value) << Case.Text;
        else
            EXPECT_FALSE(Value) << Case.Text;
    }
}

TEST(Decimal, RoundsHalfAwayFromZeroExactly) {
    const struct {
        const char* Sum;
        std::uint32_t Count;
        int Decimals;
        const char* Rounded;
    } Cases[] = {
        {"3.95", 1, 1, "4.0"},
        {"3.949", 1, 1, "3.9"},
        {"-3.95", 1, 1, "-4.0"},
        {"-0.04", 1, 1, "0.0"},
        {"7.9", 2, 1, "4.0"},
        {"7.89", 2, 1, "3.9"}, // 3.95, 3.945
        {"11.85", 3, 1, "4.0"},
        {"11.849", 3, 1, "3.9"}, // 3.95, 3.9496...
        {"1", 3, 3, "0.333"},
        {"2", 3, 1, "0.7"},
        {"146.15", 1, 0, "146"},
        {"99.9", 1, 0, "100"},
        {"0.5", 1, 0, "1"},
        {"-0.5", 1, 0, "-1"},
        {"0.049999999999999999999", 1, 1, "0.0"},
        {"123456789012345678901234567890.05", 1, 1, "123456789012345678901234567890.1"},
        {"4", 8, 0, "1"},
        {"12", 8, 0, "2"},
        {"0.4999", 1, 0, "0"},
    };
    for (const auto& Case : Cases)
        EXPECT_EQ(D(Case.Sum).Quotient(Case.Count, Case.Decimals).Text(), Case.Rounded)
            << Case.Sum << " / " << Case.Count;
}

TEST(Decimal, SumsAndComparesAcrossSignsAndScales) {
    TDecimal Sum;
    for (const char* Text : {"1.25", "-3", "0.755", "+2", "-0.005"})
        Sum += D(Text);
    EXPECT_EQ(Sum.Text(), "1.000");
    EXPECT_EQ((D("0.1") - D("0.35")).Text(), "-0.25");
    EXPECT_EQ(D("2.7").Times(37).Text(), "99.9");
    EXPECT_TRUE(D("3.95") < D("4"));
    EXPECT_TRUE(D("-1.0") < D("-0.99"));
    EXPECT_TRUE(D("4.00") == D("4"));
    EXPECT_DOUBLE_EQ(D("-12.375").ToDouble(), -12.375);
}

TEST(Units, ShowsBothUnitsRoundedForPeople) {
    // A mean of 3.95 pCi/L: 4.0 pCi/L and 146.15 -> 146 Bq/m3.
    EXPECT_EQ(Units::BothForPeople(D("7.90"), 2, TUnit::PciL), "4.0 pCi/L (146 Bq/m3)");
    EXPECT_EQ(Units::BothForPeople(Units::EpaActionLevel(), 1, TUnit::BqM3),
              "148 Bq/m3 (4.0 pCi/L)");
    EXPECT_EQ(Units::ForPeople(Units::WhoReferenceLevel(), 1, TUnit::BqM3), "100 Bq/m3");
    EXPECT_EQ(Units::FromName("Bq/m3"), TUnit::BqM3);
    EXPECT_EQ(Units::FromName("pCi/L"), TUnit::PciL);
    EXPECT_FALSE(Units::FromName("pci/l"));
}
