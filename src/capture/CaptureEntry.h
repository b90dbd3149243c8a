#pragma once

#include "RtacSerial.h"

#include <QByteArray>
#include <QString>

// One moment on one port: what happened, the control lines as they stood, the bytes of the line
// if any, and a remark (a port opened, with its device and settings) if any.
struct CaptureEntry {
    int port = 0; // the interface: 0 for the first port given to the file
    RtacSerial::Event event = RtacSerial::Event::StatusChange;
    quint8 lines = 0; // RtacSerial::Line bits
    QByteArray bytes;
    QString comment;
    qint64 microsecondsSinceEpoch = 0;
};
