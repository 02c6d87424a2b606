#pragma once
// The error that the core units raise: a readable UTF-8 text, often one of the fixed
// Japanese diagnostics filled with the offending values.
#include <QString>
#include <stdexcept>

class Exception : public std::runtime_error {
public:
    explicit Exception(const QString& message)
        : std::runtime_error(message.toStdString()), FMessage(message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};
