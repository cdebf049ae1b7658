#pragma once

#include <vector>

// Where each printed line goes: pure arithmetic in printer device pixels.
namespace PrintLayout {

// a * b / c with a 64-bit product, rounded half away from zero; c == 0 gives -1.
int MulDiv(int a, int b, int c);

constexpr int LeftMargin = 250;

struct TPlacedLine {
    int Page; // from 0
    int Y;    // top of the line, from the printable area's top
};

struct TPageLayout {
    int D = 0; // pixels per inch, vertically
    int M = 0; // font height in pixels
    int H = 0; // line height
    int P = 0; // last row on a page
    int FirstPageLines = 0;
    int LaterPageLines = 0;
    int Pages = 0;                  // 0 for no lines
    std::vector<TPlacedLine> Lines; // one per line
};

// LogPixelsY: vertical resolution; VertRes: printable height in pixels. A page holds rows
// 3 (first page) or 2 (later pages) to P, row r at r * H. A font too large for that rule
// prints one line per page, as high up as it fits.
TPageLayout ComputeLayout(int LogPixelsY, int VertRes, int PointSize, int LineCount);

} // namespace PrintLayout
