#pragma once

#include "LineSettings.h"

#include <QString>

// What of `wanted` the device did not take on, as read back from it ("the parity e",
// "7 data bits"), or an empty text. Some drivers accept a setting without error and quietly
// keep their own (a pseudo-terminal always runs 8 data bits without parity), so a setting
// counts as applied only once the device reports it. Where the platform cannot read the
// device back, nothing is reported.
QString settingsRefusedByDevice(qintptr handle, const LineSettings& wanted);
