#include "files/PrintLayout.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace PrintLayout {

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const std::int64_t Product = static_cast<std::int64_t>(a) * b;
    const std::int64_t Half = std::llabs(c) / 2;
    // Round half away from zero: move the magnitude by half the divisor, then truncate.
    const bool Negative = (Product < 0) != (c < 0);
    const std::int64_t Magnitude = (std::llabs(Product) + Half) / std::llabs(c);
    const std::int64_t Result = Negative ? -Magnitude : Magnitude;
    if (Result > INT32_MAX || Result < INT32_MIN)
        return -1;
    return static_cast<int>(Result);
}

TPageLayout ComputeLayout(int LogPixelsY, int VertRes, int PointSize, int LineCount) {
    TPageLayout Layout;
    Layout.D = LogPixelsY;
    Layout.M = MulDiv(PointSize, LogPixelsY, 72);
    const std::int64_t Height = std::llabs(static_cast<std::int64_t>(Layout.M)) * 6 / 5;
    // A line height of 0 would leave the rows undefined.
    Layout.H = static_cast<int>(std::clamp<std::int64_t>(Height, 1, INT32_MAX));
    Layout.P = VertRes / Layout.H - 4;

    const int Count = std::max(LineCount, 0);
    Layout.Lines.reserve(Count);
    if (Layout.P >= 3) {
        Layout.FirstPageLines = Layout.P - 2;
        Layout.LaterPageLines = Layout.P - 1;
        int Row = 2;
        int Page = 0;
        for (int j = 0; j < Count; ++j) {
            const int Previous = Row++;
            if (Previous == Layout.P) {
                Row = 2;
                ++Page;
            }
            Layout.Lines.push_back({Page, Row * Layout.H});
        }
    } else {
        // The usual rule would leave the first page blank or run off the page: one line a
        // page instead, in the first of the rows 2, 1, 0 whose line fits on the page.
        Layout.FirstPageLines = Layout.LaterPageLines = 1;
        int Row = 2;
        while (Row > 0 && static_cast<std::int64_t>(Row + 1) * Layout.H > VertRes)
            --Row;
        for (int j = 0; j < Count; ++j)
            Layout.Lines.push_back({j, Row * Layout.H});
    }
    Layout.Pages = Count == 0 ? 0 : Layout.Lines.back().Page + 1;
    return Layout;
}

} // namespace PrintLayout
