#pragma once

#include "LineEvents.h"

class QSerialPort;

// Reads the input lines of an open port without disturbing its error state. A device without
// modem lines (a pseudo-terminal) reads all off.
LineSnapshot readModemLines(QSerialPort& port);
