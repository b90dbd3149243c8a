#pragma once

#include <QByteArray>

// Text as a modem sends it: command echoes, result codes, signal reports and unsolicited lines,
// each ending in CR LF. The same seed gives the same text.
QByteArray modemLines(qsizetype size, quint32 seed);
