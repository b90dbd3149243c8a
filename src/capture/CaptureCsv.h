#pragma once

#include "CaptureReader.h"
#include "TimelineRow.h"

#include <QString>

// A capture as CSV for spreadsheets (RFC 4180: a field holding a comma, a quote, CR or LF is
// quoted, with its quotes doubled), one line for each entry: the local time in ISO 8601 to the
// millisecond, the port ("COM1"), the direction ("received", "sent" or empty), the event ("data",
// "line change", "break", ...) or the entry's comment, the bytes as text with control characters
// escaped, and the bytes in hex ("41 54 0D"). Lines end in CR LF; neither function adds it.
namespace CaptureCsv {

QString header();
QString line(const CaptureRecord& record);
// A row of the timeline as the line of an entry: its bytes, its remark, or its event, with a
// change of lines told as the lines that changed ("CTS on").
QString line(const TimelineRow& row, const QString& portName);

} // namespace CaptureCsv
