#include "acquisition/ECommError.h"

#include <cerrno>
#include <gtest/gtest.h>

namespace {

TEST(CommError, NamesAndTexts) {
    const uint8_t Codes[] = {6, 7, 8, 10, 11, 14, 15, 16, 17, 18, 9};
    const char* Names[] = {"PortAlreadyOpen",   "PortNotOpen", "OpenFailed",
                           "ReadFailed",        "CloseFailed", "GetStateFailed",
                           "SetStateFailed",    "SetupFailed", "SetTimeoutsFailed",
                           "QueueStatusFailed", "Unknown"};
    for (size_t I = 0; I < std::size(Codes); ++I)
        EXPECT_STREQ(CommErrorName(Codes[I]), Names[I]);

    EXPECT_EQ(CommErrorText(ECommError(ECommError::OpenFailed, ENOENT)),
              "Serial port error OpenFailed (8): No such file or directory (2)");
    EXPECT_EQ(CommErrorText(ECommError(ECommError::PortNotOpen, 0)),
              "Serial port error PortNotOpen (7)");
    errno = EBUSY;
    EXPECT_EQ(ECommError(ECommError::OpenFailed).SystemError, uint32_t(EBUSY));
}

} // namespace
