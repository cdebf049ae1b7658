#include "acquisition/ECommError.h"

#include <cerrno>
#include <cstring>

ECommError::ECommError(uint8_t ACode) : Code(ACode), SystemError(static_cast<uint32_t>(errno)) {}

const char* CommErrorName(uint8_t Code) {
    switch (Code) {
    case ECommError::PortAlreadyOpen:
        return "PortAlreadyOpen";
    case ECommError::PortNotOpen:
        return "PortNotOpen";
    case ECommError::OpenFailed:
        return "OpenFailed";
    case ECommError::ReadFailed:
        return "ReadFailed";
    case ECommError::CloseFailed:
        return "CloseFailed";
    case ECommError::GetStateFailed:
        return "GetStateFailed";
    case ECommError::SetStateFailed:
        return "SetStateFailed";
    case ECommError::SetupFailed:
        return "SetupFailed";
    case ECommError::SetTimeoutsFailed:
        return "SetTimeoutsFailed";
    case ECommError::QueueStatusFailed:
        return "QueueStatusFailed";
    }
    return "Unknown";
}

QString CommErrorText(const ECommError& Error) {
    QString Text = QStringLiteral("Serial port error %1 (%2)")
                       .arg(QString::fromLatin1(CommErrorName(Error.Code)))
                       .arg(Error.Code);
    if (Error.SystemError != 0)
        Text += QStringLiteral(": %1 (%2)")
                    .arg(QString::fromLocal8Bit(std::strerror(static_cast<int>(Error.SystemError))))
                    .arg(Error.SystemError);
    return Text;
}
