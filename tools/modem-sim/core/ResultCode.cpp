#include "ResultCode.h"

#include "ModemSettings.h"

namespace {

const char* verboseText(ResultCode code) {
    switch (code) {
    case ResultCode::Ok:
        return "OK";
    case ResultCode::Connect9600:
        return "CONNECT 9600";
    case ResultCode::Ring:
        return "RING";
    case ResultCode::NoCarrier:
        return "NO CARRIER";
    case ResultCode::Error:
        return "ERROR";
    case ResultCode::Busy:
        return "BUSY";
    }
    return "ERROR";
}

const char* numericText(ResultCode code) {
    switch (code) {
    case ResultCode::Ok:
        return "0";
    case ResultCode::Connect9600:
        return "12";
    case ResultCode::Ring:
        return "2";
    case ResultCode::NoCarrier:
        return "3";
    case ResultCode::Error:
        return "4";
    case ResultCode::Busy:
        return "7";
    }
    return "4";
}

} // namespace

std::string formatResult(ResultCode code, const ModemSettings& settings) {
    if (settings.quiet)
        return {};
    const std::string cr(1, settings.lineTerminator());
    if (!settings.verbose)
        return numericText(code) + cr;
    const std::string crlf = cr + settings.lineFeed();
    return crlf + verboseText(code) + crlf;
}

std::string formatInformation(const std::string& line, const ModemSettings& settings) {
    const std::string crlf = std::string(1, settings.lineTerminator()) + settings.lineFeed();
    return settings.verbose ? crlf + line + crlf : line + crlf;
}
