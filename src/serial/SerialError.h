#pragma once

#include <QString>

#include <stdexcept>

// An error raised by the serial control (or by turning a text into its port number). The
// description is meant for the user: it names the port and says what went wrong.
class SerialError : public std::runtime_error {
public:
    explicit SerialError(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description) {}

    QString description() const { return m_description; }

private:
    QString m_description;
};

// The device would not take a settings string; the settings in force before stay.
class SettingsRefused : public SerialError {
public:
    using SerialError::SerialError;
};
