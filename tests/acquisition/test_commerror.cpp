#include "acquisition/ECommError.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TEST(CommError, NamesEveryCodeByItsNumber) {
    const struct {
        uint8_t Code;
        const char* Name;
    } Cases[] = {
        {6, "PortAlreadyOpen"},    {7, "PortNotOpen"},  {8, "OpenFailed"},
        {10, "ReadFailed"},        {11, "CloseFailed"}, {14, "GetStateFailed"},
        {15, "SetStateFailed"},    {16, "SetupFailed"}, {17, "SetTimeoutsFailed"},
        {18, "QueueStatusFailed"}, {0, "Unknown"},      {9, "Unknown"},
        {12, "Unknown"},           {255, "Unknown"},
    };
    for (const auto& Case : Cases)
        EXPECT_STREQ(CommErrorName(Case.Code), Case.Name) << int(Case.Code);
}

TEST(CommError, TextKeepsTheSystemsReason) {
    EXPECT_EQ(CommErrorText(ECommError(ECommError::OpenFailed, ENOENT)),
              "Serial port error OpenFailed (8): No such file or directory (2)");
    EXPECT_EQ(CommErrorText(ECommError(ECommError::GetStateFailed, ENOTTY)),
              "Serial port error GetStateFailed (14): Inappropriate ioctl for device (25)");
    EXPECT_EQ(CommErrorText(ECommError(ECommError::PortNotOpen, 0)),
              "Serial port error PortNotOpen (7)");
}

TEST(CommError, TakesErrnoWhenMade) {
    errno = EBUSY;
    const ECommError Error(ECommError::OpenFailed);
    errno = 0;
    EXPECT_EQ(Error.Code, ECommError::OpenFailed);
    EXPECT_EQ(Error.SystemError, uint32_t(EBUSY));
}

} // namespace
