#include "files/PrintLayout.h"

#include <gtest/gtest.h>

#include <climits>

using namespace PrintLayout;

TEST(PrintLayout, MulDivRoundsHalvesAwayFromZero) {
    const struct {
        int a, b, c, Expected;
    } Cases[] = {
        {10, 600, 72, 83},
        {10, 300, 72, 42},
        {12, 600, 72, 100},
        {5, 3, 2, 8},
        {-5, 3, 2, -8},
        {5, -3, 2, -8},
        {5, 3, -2, -8},
        {-5, -3, -2, -8},
        {7, 1, 3, 2},
        {8, 1, 3, 3},
        {-7, 1, 3, -2},
        {1, 1, 0, -1},
        {0, 5, 0, -1},
        {INT_MAX, 2, 2, INT_MAX},
        {INT_MIN, 1, 1, INT_MIN},
        {INT_MAX, INT_MAX, 1, -1},
        {65536, 65536, 65536, 65536},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message() << Case.a << " * " << Case.b << " / " << Case.c);
        EXPECT_EQ(MulDiv(Case.a, Case.b, Case.c), Case.Expected);
    }
}

TEST(PrintLayout, LineHeightAndRowsPerPage) {
    const struct {
        int D, VertRes, Size;
        int M, H, P, First, Later;
    } Cases[] = {
        {600, 6600, 10, 83, 99, 62, 60, 61}, // the worked example
        {600, 6851, 10, 83, 99, 65, 63, 64}, // A4 at 600 dpi
        {600, 6600, 20, 167, 200, 29, 27, 28}, {300, 3300, 10, 42, 50, 62, 60, 61},
        {600, 6600, -10, -83, 99, 62, 60, 61}, // a font given by its cell height
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(testing::Message() << Case.D << " dpi, " << Case.Size << " pt");
        const TPageLayout Layout = ComputeLayout(Case.D, Case.VertRes, Case.Size, 0);
        EXPECT_EQ(Layout.M, Case.M);
        EXPECT_EQ(Layout.H, Case.H);
        EXPECT_EQ(Layout.P, Case.P);
        EXPECT_EQ(Layout.FirstPageLines, Case.First);
        EXPECT_EQ(Layout.LaterPageLines, Case.Later);
        EXPECT_EQ(Layout.Pages, 0);
    }
}

TEST(PrintLayout, LinesFillPagesRowByRow) {
    const TPageLayout Layout = ComputeLayout(600, 6600, 10, 60 + 61 + 1);
    ASSERT_EQ(Layout.Lines.size(), 122u);
    EXPECT_EQ(Layout.Pages, 3);
    const struct {
        int Line, Page, Y;
    } Expected[] = {
        {0, 0, 3 * 99},  {1, 0, 4 * 99},    {59, 0, 62 * 99}, {60, 1, 2 * 99},
        {61, 1, 3 * 99}, {120, 1, 62 * 99}, {121, 2, 2 * 99},
    };
    for (const auto& Row : Expected) {
        SCOPED_TRACE(Row.Line);
        EXPECT_EQ(Layout.Lines.at(Row.Line).Page, Row.Page);
        EXPECT_EQ(Layout.Lines.at(Row.Line).Y, Row.Y);
    }
    EXPECT_EQ(ComputeLayout(600, 6600, 10, 60).Pages, 1);
    EXPECT_EQ(ComputeLayout(600, 6600, 10, 61).Pages, 2);
}

TEST(PrintLayout, EveryLineStaysOnItsPage) {
    // Ordinary sizes and the limits of the rule: tiny fonts, fonts too large for it, a
    // font taller than the page.
    for (const int Size : {0, 1, 6, 10, 72, 100, 110, 150, 300, 600, 1000})
        for (const int VertRes : {0, 50, 3300, 6600}) {
            SCOPED_TRACE(testing::Message() << Size << " pt on " << VertRes << " pixels");
            const TPageLayout Layout = ComputeLayout(600, VertRes, Size, 10);
            ASSERT_GE(Layout.H, 1);
            ASSERT_EQ(Layout.Lines.size(), 10u);
            EXPECT_EQ(Layout.Lines.front().Page, 0); // no blank first page
            for (size_t j = 0; j < Layout.Lines.size(); ++j) {
                const TPlacedLine& Line = Layout.Lines.at(j);
                EXPECT_GE(Line.Y, 0);
                if (Layout.H <= VertRes) {
                    EXPECT_LE(Line.Y + Layout.H, VertRes) << "line " << j;
                }
                if (j > 0) { // pages in order, none skipped
                    EXPECT_LE(Line.Page - Layout.Lines.at(j - 1).Page, 1);
                }
            }
            EXPECT_GE(Layout.FirstPageLines, 1);
        }
}

TEST(PrintLayout, FontTooLargeForTheRulePrintsOneLineAPage) {
    // 110 pt at 600 dpi: h = 1100, P = 6600 / 1100 - 4 = 2.
    const TPageLayout Layout = ComputeLayout(600, 6600, 110, 3);
    EXPECT_EQ(Layout.P, 2);
    EXPECT_EQ(Layout.Pages, 3);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(Layout.Lines.at(j).Page, j);
        EXPECT_EQ(Layout.Lines.at(j).Y, 2 * 1100);
    }
    // Taller than three rows of the page: drawn at the top.
    EXPECT_EQ(ComputeLayout(600, 6600, 400, 1).Lines.front().Y, 0);
}
