#include "files/PrintLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace PrintLayout;

TEST(PrintLayout, MulDivRoundsHalvesAwayFromZero) {
    // a, b, c, a * b / c
    const int Cases[][4] = {
        {10, 600, 72, 83}, {5, 3, 2, 8},  {-5, 3, 2, -8},           {5, 3, -2, -8},
        {7, 1, 3, 2},      {1, 1, 0, -1}, {INT_MAX, 2, 2, INT_MAX}, {INT_MAX, INT_MAX, 1, -1},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(testing::Message() << C[0] << " * " << C[1] << " / " << C[2]);
        EXPECT_EQ(MulDiv(C[0], C[1], C[2]), C[3]);
    }
}

TEST(PrintLayout, LineHeightAndRowsPerPage) {
    const struct {
        int Size;
        std::vector<int> MHPFirstLater;
    } Cases[] = {
        {10, {83, 99, 62, 60, 61}},    // 10 pt at 600 dpi on a 6600-pixel page
        {-10, {-83, 99, 62, 60, 61}},  // a font given by its cell height
        {0, {0, 1, 6596, 6594, 6595}}, // h never 0
        {110, {917, 1100, 2, 1, 1}},   // too large for the rule: one line a page
    };
    for (const auto& Case : Cases) {
        const TPageLayout L = ComputeLayout(600, 6600, Case.Size, 3);
        EXPECT_EQ((std::vector<int>{L.M, L.H, L.P, L.FirstPageLines, L.LaterPageLines}),
                  Case.MHPFirstLater)
            << Case.Size << " pt";
    }
    const TPageLayout Large = ComputeLayout(600, 6600, 110, 3);
    EXPECT_EQ(Large.Pages, 3);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(Large.Lines.at(j).Page, j);
        EXPECT_EQ(Large.Lines.at(j).Y, 2 * 1100);
    }
    // Taller than three rows of the page: drawn at the top.
    EXPECT_EQ(ComputeLayout(600, 6600, 400, 1).Lines.front().Y, 0);
    EXPECT_EQ(ComputeLayout(600, 6600, 10, 0).Pages, 0);
}

TEST(PrintLayout, EveryLineStaysOnItsPage) {
    for (const int Size : {0, 1, 10, 100, 110, 300, 1000})
        for (const int VertRes : {0, 50, 6600}) {
            SCOPED_TRACE(testing::Message() << Size << " pt on " << VertRes << " pixels");
            const TPageLayout Layout = ComputeLayout(600, VertRes, Size, 10);
            ASSERT_EQ(Layout.Lines.size(), 10u);
            EXPECT_EQ(Layout.Lines.front().Page, 0); // no blank first page
            for (size_t j = 0; j < Layout.Lines.size(); ++j) {
                const TPlacedLine& Line = Layout.Lines.at(j);
                EXPECT_GE(Line.Y, 0);
                EXPECT_TRUE(Layout.H > VertRes || Line.Y + Layout.H <= VertRes) << "line " << j;
                // Pages in order, none skipped.
                EXPECT_LE(Line.Page - (j > 0 ? Layout.Lines.at(j - 1).Page : 0), 1);
            }
        }
}
