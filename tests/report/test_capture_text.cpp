#include "report/CaptureText.h"

#include <gtest/gtest.h>

namespace {

// What a download hands over for the bytes received: pieces of up to 199 bytes end at a CR;
// a zero byte drops the rest of its own piece only.
TEST(CaptureText, PiecesEndAtCarriageReturnAndZeroBytes) {
    const QByteArray X199(199, 'x'), X101(101, 'x'), X50(50, 'x');
    const struct {
        const char* Name;
        QByteArray Received, Text;
    } Cases[] = {
        {"empty", "", ""},
        {"unterminated tail kept", "AB\rCD", "AB\rCD"},
        {"zero ends its piece only", QByteArray("AB\0CD\rEF\r", 9), "ABEF\r"},
        {"line feed is ordinary", "A\r\nB\r", "A\r\nB\r"},
        {"long run split at 199", QByteArray(300, 'x') + '\r', QByteArray(300, 'x') + '\r'},
        {"zero in second piece", X199 + X50 + '\0' + QByteArray(50, 'y') + "\rZ\r",
         X199 + X50 + "Z\r"},
        {"zero in first piece keeps second", QByteArray("x\0", 2) + QByteArray(197, 'y') + X101,
         "x" + X101},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(CaptureText::DownloadText(C.Received), C.Text);
    }
}

} // namespace
