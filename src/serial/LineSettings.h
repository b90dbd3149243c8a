#pragma once

#include <QChar>
#include <QString>

#include <optional>

// The four parts of a settings string "speed,parity,data,stop".
struct LineSettings {
    qint32 speed = 9600;
    QChar parity = QLatin1Char('n'); // n, e, o, s or m
    int dataBits = 8;                // 5..8
    int stopBits = 1;                // 1 or 2

    QString toString() const;
    bool operator==(const LineSettings& other) const;
};

// Parses a settings string; on failure returns nothing and says why in `problem`.
std::optional<LineSettings> parseLineSettings(const QString& text, QString* problem = nullptr);
