#pragma once

#include <string>

class ModemSettings;

enum class ResultCode { Ok, Connect9600, Ring, NoCarrier, Error, Busy };

// The result code framed as the settings ask: "\r\nOK\r\n" verbose, "0\r" numeric (ATV0),
// nothing at all when quiet (ATQ1).
std::string formatResult(ResultCode code, const ModemSettings& settings);

// One line of information text: "\r\n" line "\r\n" verbose, line "\r\n" numeric.
std::string formatInformation(const std::string& line, const ModemSettings& settings);
