#pragma once

#include "platform/Exception.h"

#include <QString>
#include <cstdint>

// The serial port's error: which step failed and the system's error number (errno) at that
// moment. Its message is made from them: "Serial port error OpenFailed (8): No such file or
// directory (2)" (without a system error the part after the colon is left out). An
// OpenFailed that names its device and failed for a missing device or a lack of permission
// gets lines in front telling the user what to do.
class ECommError : public Exception {
public:
    static constexpr uint8_t PortAlreadyOpen = 6;
    static constexpr uint8_t PortNotOpen = 7;
    static constexpr uint8_t OpenFailed = 8;
    static constexpr uint8_t ReadFailed = 10;
    static constexpr uint8_t CloseFailed = 11;
    static constexpr uint8_t GetStateFailed = 14;
    static constexpr uint8_t SetStateFailed = 15;
    static constexpr uint8_t SetupFailed = 16;
    static constexpr uint8_t SetTimeoutsFailed = 17;
    static constexpr uint8_t QueueStatusFailed = 18;

    // Takes errno now.
    explicit ECommError(uint8_t ACode);
    // APortName and ADevicePath, given by a port that could not be opened: the name it was
    // given ("COM1" or a path) and the device file that name leads to, so the message can say
    // how to get at it.
    ECommError(uint8_t ACode, uint32_t ASystemError, const QString& APortName = {},
               const QString& ADevicePath = {});

    uint8_t Code;
    uint32_t SystemError;
    QString PortName;
    QString DevicePath;
};

// "OpenFailed" for 8; "Unknown" for a number that is not a code.
const char* CommErrorName(uint8_t Code);
