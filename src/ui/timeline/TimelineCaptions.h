#pragma once

#include <QString>
#include <QStringList>

// The captions of the timeline window's own controls in the interface language; its find bar
// takes the log's find captions.
struct TimelineCaptions {
    QString title;
    QString time, timeName, bytes, bytesName, gap, gapName, gapSuffix, goTo, goToName, go;
    QStringList timeModes, bytesModes;
    QString received, sent, other;
    QStringList columns;
    QString exportCsv, exportTitle;
    QString captureOff;
    QString exporting;    // "%1" the file, "%2" how far, in percent
    QString exported;     // "%1" the rows, "%2" the file
    QString exportFailed; // "%1" the file, "%2" why
};

// English for 0, Russian for 1; English for any other value.
const TimelineCaptions& timelineCaptions(qint16 language);
