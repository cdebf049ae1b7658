#pragma once

#include <QString>
#include <stdexcept>

// The general error of every layer but the serial port: it carries the text the user sees.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), Message(message) {}
    const QString Message;
};

// A text that is not a number, date or time of the expected form.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An index outside the text or list it addresses.
class ERangeError : public Exception {
public:
    using Exception::Exception;
};

// Any failure of the settings store: missing value, wrong type, failed write, unreadable file.
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};
