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

    EXPECT_EQ(ECommError(ECommError::OpenFailed, ENOENT).Message,
              "Serial port error OpenFailed (8): No such file or directory (2)");
    EXPECT_EQ(ECommError(ECommError::PortNotOpen, 0).Message, "Serial port error PortNotOpen (7)");
    errno = EBUSY;
    EXPECT_EQ(ECommError(ECommError::OpenFailed).SystemError, uint32_t(EBUSY));
}

// One handler for every error of the program: the port's is caught as any other, with its
// text, code and system error.
TEST(CommError, IsCaughtAsTheProgramsException) {
    try {
        throw ECommError(ECommError::ReadFailed, EIO);
    } catch (const Exception& Error) {
        EXPECT_EQ(Error.Message, "Serial port error ReadFailed (10): Input/output error (5)");
        EXPECT_STREQ(Error.what(), "Serial port error ReadFailed (10): Input/output error (5)");
        const auto* Port = dynamic_cast<const ECommError*>(&Error);
        ASSERT_NE(Port, nullptr);
        EXPECT_EQ(Port->Code, ECommError::ReadFailed);
        EXPECT_EQ(Port->SystemError, uint32_t(EIO));
    }
}

} // namespace
