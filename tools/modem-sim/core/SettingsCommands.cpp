#include "SettingsCommands.h"

#include "CommandParser.h"
#include "ModemIdentity.h"
#include "ModemSettings.h"
#include "ResultCode.h"

#include <cstdio>
#include <map>

namespace {

// The basic commands accepted for compatibility only, with the highest number each takes.
const std::map<std::string, int> kAcceptedOnly = {
    {"L", 3}, {"M", 3}, {"X", 4}, {"&C", 1}, {"&D", 3},
};

int numberOrZero(const Command& command) {
    return command.number < 0 ? 0 : command.number;
}

bool setSwitch(const Command& command, bool& value) {
    const int n = numberOrZero(command);
    if (n > 1)
        return false;
    value = n == 1;
    return true;
}

std::string threeDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%03d", value);
    return text;
}

std::string settingsSummary(const ModemSettings& s) {
    return "E" + std::to_string(int(s.echo)) + " Q" + std::to_string(int(s.quiet)) + " V" +
           std::to_string(int(s.verbose)) + " S0=" + threeDigits(s.reg(0)) +
           " S2=" + threeDigits(s.reg(2)) + " S7=" + threeDigits(s.reg(7)) +
           " S12=" + threeDigits(s.reg(12));
}

bool identify(int which, const ModemSettings& settings, int telephoneNumber, std::string& out) {
    switch (which) {
    case 0:
        out += formatInformation(identity::kProductCode, settings);
        return true;
    case 1:
        out += formatInformation("Telephone number " + std::to_string(telephoneNumber), settings);
        return true;
    case 2:
        return true;
    case 3:
        out += formatInformation(identity::kProductLine, settings);
        return true;
    case 4:
        out += formatInformation(settingsSummary(settings), settings);
        return true;
    default:
        return false;
    }
}

CommandStatus runRegister(const Command& command, ModemSettings& settings, std::string& out) {
    if (!ModemSettings::hasRegister(command.number))
        return CommandStatus::Failed;
    if (command.form == Command::Form::Query) {
        out += formatInformation(threeDigits(settings.reg(command.number)), settings);
        return CommandStatus::Done;
    }
    const int value = std::stoi(command.argument);
    if (value > 255)
        return CommandStatus::Failed;
    settings.setReg(command.number, value);
    return CommandStatus::Done;
}

CommandStatus runExtended(const Command& command, const ModemSettings& settings, std::string& out) {
    static const std::map<std::string, const char*> answers = {
        {"+GMI", identity::kManufacturer}, {"+CGMI", identity::kManufacturer},
        {"+GMM", identity::kModel},        {"+CGMM", identity::kModel},
        {"+GMR", identity::kRevision},     {"+CGMR", identity::kRevision},
    };
    const auto found = answers.find(command.name);
    if (found == answers.end())
        return CommandStatus::Failed;
    if (command.form == Command::Form::Test)
        return CommandStatus::Done;
    if (command.form != Command::Form::Action)
        return CommandStatus::Failed;
    out += formatInformation(found->second, settings);
    return CommandStatus::Done;
}

} // namespace

CommandStatus runSettingsCommand(const Command& command, ModemSettings& settings,
                                 int telephoneNumber, std::string& output) {
    const std::string& name = command.name;
    bool ok = true;
    if (name == "E")
        ok = setSwitch(command, settings.echo);
    else if (name == "V")
        ok = setSwitch(command, settings.verbose);
    else if (name == "Q")
        ok = setSwitch(command, settings.quiet);
    else if (name == "I")
        ok = identify(numberOrZero(command), settings, telephoneNumber, output);
    else if (name == "S")
        return runRegister(command, settings, output);
    else if (name[0] == '+')
        return runExtended(command, settings, output);
    else if (const auto accepted = kAcceptedOnly.find(name); accepted != kAcceptedOnly.end())
        ok = numberOrZero(command) <= accepted->second;
    else
        return CommandStatus::NotMine;
    return ok ? CommandStatus::Done : CommandStatus::Failed;
}
