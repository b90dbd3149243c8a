#pragma once

#include "LineSettings.h"

#include <QString>

// What every serial control refuses alike, in the same words. Each throws SerialError.

// A port number outside COM1 to COM16, or a change while the port is open.
void checkPortNumberChange(qint16 port, bool portOpen, const QString& label);

// The line settings a settings string such as "9600,n,8,1" gives.
LineSettings lineSettingsOf(const QString& settings, const QString& label);
