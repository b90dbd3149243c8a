#pragma once

#include "terminal/PortSettings.h"

#include <QString>

// Every setting that survives a restart, in the settings file's record order.
struct SettingsRecord {
    QString ProductName;
    QString ProductVersion;
    QString CreatedFolder;
    double CreatedDate = 0; // days since 30 December 1899
    QString CreatedTime;
    QString ResultsFolder;
    qint16 Reserved1 = 0;
    qint16 Reserved2 = 0;
    qint16 Language = 0; // 0 English, 1 Russian
    PortSettings Channel[2];
};
