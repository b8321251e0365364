#pragma once
// The run-time library's exception classes that the system's units raise and
// catch: Exception with its Message, the silent EAbort, EConvertError.
#include <QString>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(QString message) : Message(std::move(message)), FUtf8(Message.toStdString()) {}
    ~Exception() override = default;
    const char* what() const noexcept override { return FUtf8.c_str(); }
    QString Message;

private:
    std::string FUtf8;
};

// Raised to stop an operation the user cancelled; reporters show nothing for it.
class EAbort : public Exception {
public:
    explicit EAbort(QString message = QStringLiteral("Operation aborted")) : Exception(std::move(message)) {}
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// Raises the silent stop.
[[noreturn]] inline void Abort() { throw EAbort(); }
